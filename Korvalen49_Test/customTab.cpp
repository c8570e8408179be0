#include "customTab.h"

#include "fontsetup.h"

#include <QPaintEvent>
#include <QPushButton>
#include <QRegion>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace {

// The tab bar measures the first text of the window, as the form adds its first page: the font
// configuration, read on a thread of its own while the form was made up to here, must be there.
class customTabBar : public QTabBar {
public:
    explicit customTabBar(QWidget* parent) : QTabBar(parent) {
        setObjectName(QStringLiteral("qt_tabwidget_tabbar"));
    }

protected:
    QSize tabSizeHint(int index) const override {
        FontSetUp::waitForCurrent();
        return QTabBar::tabSizeHint(index);
    }
};

} // namespace

customTab::customTab(QWidget* parent) : QTabWidget(parent) {
    setTabBar(new customTabBar(this));
}

QString customTab::tabBarStyleSheet() const {
    return tabBar()->styleSheet();
}

void customTab::setTabBarStyleSheet(const QString& sheet) {
    tabBar()->setStyleSheet(sheet);
}

void customTab::SetLayerButtons(QPushButton* s1, QPushButton* en, QPushButton* fn, QPushButton* pn,
                                QPushButton* zoudai, QPushButton* zn) {
    layerBtn_S1 = s1;
    layerBtn_En = en;
    layerBtn_Fn = fn;
    layerBtn_Pn = pn;
    layerBtn_Zoudai = zoudai;
    layerBtn_Zn = zn;
}

void customTab::ChangePage_En() {
    showPage(0, layerBtn_En);
}
void customTab::ChangePage_Fn() {
    showPage(1, layerBtn_Fn);
}
void customTab::ChangePage_Pn() {
    showPage(2, layerBtn_Pn);
}
void customTab::ChangePage_S1() {
    showPage(4, layerBtn_S1);
}
void customTab::ChangePage_Zoudai() {
    showPage(3, layerBtn_Zoudai);
}
void customTab::ChangePage_Zn() {
    showPage(5, layerBtn_Zn);
}

// A click on a checkable layer button has already toggled that button; whatever the states
// are now, afterwards only the button of the shown page is checked.
void customTab::showPage(int index, QPushButton* ownButton) {
    setCurrentIndex(index);
    QPushButton* const all[] = {layerBtn_S1, layerBtn_En,     layerBtn_Fn,
                                layerBtn_Pn, layerBtn_Zoudai, layerBtn_Zn};
    for (QPushButton* button : all) {
        if (button != nullptr) button->setChecked(button == ownButton);
    }
}

// The pane frame as the toolkit draws it, but only where it can be seen: the shown page covers
// the inside, and the window cuts off the sides. Each visible piece is drawn with a clip
// rectangle of its own; the toolkit hands a tall piece of a clipped frame to worker threads in
// slices and waits for them, which costs far more than the few rows that are seen.
void customTab::paintEvent(QPaintEvent* event) {
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    option.rect = style()->subElementRect(QStyle::SE_TabWidgetTabPane, &option, this);
    QRegion seen = event->region() & visibleRegion();
    if (QWidget* page = currentWidget())
        seen -= QRect(page->mapTo(this, QPoint(0, 0)), page->size());
    QStylePainter painter(this);
    for (const QRect& piece : seen) {
        painter.setClipRect(piece);
        painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
    }
}
