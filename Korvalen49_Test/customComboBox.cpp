#include "customComboBox.h"

#include <QAbstractItemView>
#include <QEvent>

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
