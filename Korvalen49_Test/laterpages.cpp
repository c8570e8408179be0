#include "laterpages.h"

#include "accessibility.h"
#include "presetmodel.h"
#include "textfit.h"
#include "ui_pagefunctions.h"
#include "ui_pagepads.h"
#include "ui_pageslider.h"
#include "ui_pagetransport.h"
#include "ui_pagezones.h"

#include <QTabWidget>
#include <QWidget>

struct LaterPages::Forms {
    Ui::FunctionsPage functions;
    Ui::PadsPage pads;
    Ui::TransportPage transport;
    Ui::SliderPage slider;
    Ui::ZonesPage zones;
};

namespace {

// Puts the widgets of a page built later into the focus chain where the main form would
// have put them: right after the last widget of the pages before it, so that Tab runs through
// the pages in order.
void placeInFocusChain(QTabWidget* tabs, int index) {
    QWidget* const start = tabs->window();
    QWidget* after = nullptr;
    for (QWidget* w = start->nextInFocusChain(); w != start; w = w->nextInFocusChain()) {
        if (w->focusPolicy() == Qt::NoFocus) continue; // the toolkit orders only these
        for (int before = 0; before < index; ++before)
            if (tabs->widget(before)->isAncestorOf(w)) after = w;
    }
    if (after == nullptr) return;
    for (QWidget* w : tabs->widget(index)->findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus) continue;
        QWidget::setTabOrder(after, w);
        after = w;
    }
}

} // namespace

LaterPages::LaterPages(QTabWidget* tabs) : tabs_(tabs), forms_(std::make_unique<Forms>()) {}

LaterPages::~LaterPages() = default;

bool LaterPages::isBuilt(int index) const {
    return index >= 0 && index < kPageCount && built_[static_cast<std::size_t>(index)];
}

void LaterPages::build(int index) {
    if (index < 0 || index >= kPageCount || isBuilt(index)) return;
    QWidget* page = tabs_->widget(index);
    if (page == nullptr) return;
    built_[static_cast<std::size_t>(index)] = true;
    // A page's form is set up on its empty page, then its boxes are bound to the model.
    auto make = [page](auto& form, void (*bind)(QWidget*)) {
        form.setupUi(page);
        textfit::fitTexts(page);
        bind(page);
    };
    switch (index) {
    case 1:
        make(forms_->functions, bindFunctionBanks);
        break;
    case 2:
        make(forms_->pads, bindPadBanks);
        break;
    case 3:
        make(forms_->transport, bindTransport);
        break;
    case 4:
        make(forms_->slider, bindSlider);
        break;
    case 5:
        make(forms_->zones, bindZones);
        break;
    default:
        break;
    }
    placeInFocusChain(tabs_, index);
    a11y::describePage(page);
    // Widgets made on a page that is already shown stay hidden until shown themselves.
    if (page->isVisible()) {
        for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->testAttribute(Qt::WA_WState_ExplicitShowHide)) child->show();
    }
}

void LaterPages::buildAll() {
    for (int index = 1; index < kPageCount; ++index)
        build(index);
}
