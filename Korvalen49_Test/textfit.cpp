#include "textfit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>

namespace textfit {

void chooseFallbackFonts() {
    // A heavy, narrow face: "BANK" and "PAD BANK" fit their labels at the size of the form.
    QFont::insertSubstitution(QStringLiteral("Aharoni"), QStringLiteral("Liberation Sans Narrow"));
}

int widthOf(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

QFont fitted(const QFont& font, const QString& text, int room) {
    if (widthOf(font, text) <= room) return font;
    // First the font's own face a little narrower, then a narrow face, then narrower still,
    // then smaller.
    QFont narrower = font;
    const int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
    for (int s = stretch - 5; s >= kMildStretch; s -= 5) {
        narrower.setStretch(s);
        if (widthOf(narrower, text) <= room) return narrower;
    }
    // The narrow face is condensed by itself: a stretch below its own narrows it further.
    narrower.setFamilies({QStringLiteral("Liberation Sans Narrow")});
    for (int s = kNarrowFaceStretch; s >= kNarrowFaceStretch * kMinStretch / 100; s -= 5) {
        narrower.setStretch(s);
        if (widthOf(narrower, text) <= room) return narrower;
    }
    const qreal size = font.pointSizeF();
    if (size <= 0) return narrower; // a font sized in pixels keeps its size
    for (qreal p = size - 0.5; p >= size * kMinSizeRatio; p -= 0.5) {
        narrower.setPointSizeF(p);
        if (widthOf(narrower, text) <= room) return narrower;
    }
    return narrower;
}

int labelRoom(const QWidget* widget) {
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (label == nullptr) return widget->width();
    int room = label->contentsRect().width() - 2 * label->margin();
    if (label->indent() > 0) room -= label->indent();
    return room;
}

int buttonRoom(const QWidget* widget) {
    const auto* button = qobject_cast<const QPushButton*>(widget);
    if (button == nullptr) return widget->width();
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
    QStyle* style = button->style();
    const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    // The style keeps half its button margin free on either side of the text.
    return contents.width() - style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
}

void fitTexts(QWidget* form) {
    QList<QWidget*> widgets = form->findChildren<QWidget*>();
    widgets.prepend(form);
    for (QWidget* w : widgets) {
        // A window made as a child of the form (the search window, made while the main window
        // is) is laid out apart, later: its widgets have no room of their own yet.
        if (w->window() != form->window()) continue;
        // The text first: most buttons of the picture (keys, layers) have none, and asking the
        // style for their room would polish them before their time.
        auto* label = qobject_cast<QLabel*>(w);
        auto* button = label ? nullptr : qobject_cast<QPushButton*>(w);
        if (label == nullptr && button == nullptr) continue;
        // Words that wrap, and rich text, are laid out by the label itself.
        if (label && (label->wordWrap() || label->textFormat() == Qt::RichText)) continue;
        const QString text = label ? label->text() : button->text();
        if (text.isEmpty()) continue;
        const int room = label ? labelRoom(label) : buttonRoom(button);
        if (widthOf(w->font(), text) <= room) continue;
        w->setFont(fitted(w->font(), text, room));
    }
}

} // namespace textfit
