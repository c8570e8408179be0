#include "customLayer.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

const QLatin1String kLookName("customLayerLook");

// The hidden widget that carries `sheet` for the layers of `window`, made when there is none.
QWidget* lookFor(QWidget* window, const QString& sheet) {
    for (QWidget* look : window->findChildren<QWidget*>(kLookName, Qt::FindDirectChildrenOnly))
        if (look->styleSheet() == sheet) return look;
    auto* look = new QWidget(window);
    look->setObjectName(kLookName);
    look->hide();
    look->setStyleSheet(sheet);
    return look;
}

} // namespace

customLayer::customLayer(QWidget* parent) : QWidget(parent) {}

QString customLayer::layerStyleSheet() const {
    return sheet_;
}

void customLayer::setLayerStyleSheet(const QString& sheet) {
    sheet_ = sheet;
    look_ = nullptr;
    update();
}

// What the toolkit does for a widget with a style sheet, with the rules of the look widget
// and the state and rectangle of this one.
void customLayer::paintEvent(QPaintEvent*) {
    if (sheet_.isEmpty()) return;
    if (look_ == nullptr) look_ = lookFor(window(), sheet_);
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    look_->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, look_);
}
