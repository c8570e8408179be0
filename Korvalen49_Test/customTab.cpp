#include "customTab.h"

#include <QPushButton>
#include <QTabBar>

customTab::customTab(QWidget* parent) : QTabWidget(parent) {}

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
