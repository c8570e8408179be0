#include "customLayer.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

customLayer::customLayer(QWidget* parent) : QWidget(parent) {}

QString customLayer::layerStyleSheet() const {
    return look_ != nullptr ? look_->styleSheet() : QString();
}

void customLayer::setLayerStyleSheet(const QString& sheet) {
    if (look_ == nullptr) {
        look_ = new QWidget(this);
        look_->hide();
    }
    look_->setStyleSheet(sheet);
    update();
}

// What the toolkit does for a widget with a style sheet, with the rules of the look widget
// and the state and rectangle of this one.
void customLayer::paintEvent(QPaintEvent*) {
    if (look_ == nullptr) return;
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    look_->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, look_);
}
