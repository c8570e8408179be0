#include "customComboBox.h"

#include "textfit.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QHelpEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QToolTip>

customComboBox::customComboBox(QWidget* parent) : QComboBox(parent) {}

void customComboBox::changeEvent(QEvent* event) {
    // Only a box that has never been polished and has no popup yet waits: no size hint has
    // been taken from its old font, and there is no popup whose font would be out of date.
    if (event->type() == QEvent::FontChange &&
        (popupFontPending_ ||
         (!testAttribute(Qt::WA_WState_Polished) && findChild<QAbstractItemView*>() == nullptr))) {
        popupFontPending_ = true;
        QWidget::changeEvent(event); // repaint with the new font
        return;
    }
    QComboBox::changeEvent(event);
}

void customComboBox::applyPendingFont() const {
    if (!popupFontPending_) return;
    popupFontPending_ = false;
    QEvent change(QEvent::FontChange);
    const_cast<customComboBox*>(this)->QComboBox::changeEvent(&change);
}

void customComboBox::showPopup() {
    applyPendingFont();
    QComboBox::showPopup();
}

QSize customComboBox::sizeHint() const {
    applyPendingFont();
    return QComboBox::sizeHint();
}

QSize customComboBox::minimumSizeHint() const {
    applyPendingFont();
    return QComboBox::minimumSizeHint();
}

int customComboBox::textRoom() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // The style draws the entry a pixel in from either side of the field.
    return field.width() - 2;
}

QFont customComboBox::fontFor(const QString& text) const {
    return textfit::fitted(font(), text, textRoom());
}

void customComboBox::paintEvent(QPaintEvent* event) {
    const QString text = currentText();
    const int room = textRoom();
    if (isEditable() || textfit::widthOf(font(), text) <= room) {
        QComboBox::paintEvent(event);
        return;
    }
    // As QComboBox draws itself, with the entry in a font it fits with.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QFont shown = textfit::fitted(font(), text, room);
    if (textfit::widthOf(shown, text) > room)
        option.currentText = QFontMetrics(shown).elidedText(text, Qt::ElideRight, room);
    painter.setFont(shown);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

bool customComboBox::event(QEvent* event) {
    // An entry shown cut short shows whole in the tool tip.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const QString text = currentText();
        const int room = textRoom();
        if (textfit::widthOf(textfit::fitted(font(), text, room), text) > room) {
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, this);
            return true;
        }
    }
    return QComboBox::event(event);
}
