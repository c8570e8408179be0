#include "customKey.h"

#include <QList>
#include <QPalette>
#include <QStyleOptionButton>
#include <QStylePainter>

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

} // namespace

customKey::customKey(QWidget* parent) : QPushButton(parent) {}

// QPushButton's own drawing, with the shared palette.
void customKey::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.palette = sharedPalette(option.palette);
    painter.drawControl(QStyle::CE_PushButton, option);
}
