#include "customKey.h"

#include <QEvent>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPalette>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <tuple>

namespace {

// The first of the palettes that equals `palette` (a copy shares its data, and so its key in
// the style's cache). A form has a few key colours, so the list stays short.
const QPalette& sharedPalette(const QPalette& palette) {
    static QList<QPalette> palettes;
    for (const QPalette& known : palettes)
        if (known == palette) return known;
    palettes.append(palette);
    return palettes.constLast();
}

// What a face depends on.
struct FaceKey {
    const QStyle* style;
    QSize size;
    qreal scale;
    int state;
    int features;
    qint64 palette;
    bool operator==(const FaceKey& o) const {
        return std::tie(style, size, scale, state, features, palette) ==
               std::tie(o.style, o.size, o.scale, o.state, o.features, o.palette);
    }
};

size_t qHash(const FaceKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.style, k.size.width(), k.size.height(), k.scale, k.state, k.features,
                      k.palette);
}

// Keys come in two colours, two sizes and a few states; a scale change starts afresh rather
// than letting the faces pile up.
constexpr qsizetype kMaxFaces = 32;

QHash<FaceKey, QImage>& faces() {
    static QHash<FaceKey, QImage> kept;
    return kept;
}

} // namespace

customKey::customKey(QWidget* parent) : QPushButton(parent) {}

// A new style may come where an old one was: its faces are drawn afresh.
void customKey::changeEvent(QEvent* event) {
    if (event->type() == QEvent::StyleChange) faces().clear();
    QPushButton::changeEvent(event);
}

// QPushButton's own drawing, with the shared palette, through a face kept per look.
void customKey::paintEvent(QPaintEvent*) {
    QStyleOptionButton option;
    initStyleOption(&option);
    option.palette = sharedPalette(option.palette);
    if (option.state & QStyle::State_HasFocus) {
        QStylePainter painter(this);
        painter.drawControl(QStyle::CE_PushButton, option);
        return;
    }
    const qreal scale = devicePixelRatio();
    const FaceKey key{
        style(), size(), scale, int(option.state), int(option.features), option.palette.cacheKey()};
    auto face = faces().constFind(key);
    if (face == faces().constEnd()) {
        if (faces().size() >= kMaxFaces) faces().clear();
        QImage image(size() * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
        painter.end();
        face = faces().insert(key, image);
    }
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), *face);
}
