// The pages of editing panels after the first (function buttons, pads, transport, slider,
// zones). The window starts with them empty, so that start-up makes only what it shows; a page
// gets its panels, bound to the preset model, when it is first shown or when buildAll() asks.
// The panels look and are named as if the main form had made them.
#pragma once

#include <array>
#include <memory>

class QTabWidget;
class QWidget;

class LaterPages {
public:
    // `tabs` holds the six pages, the first of them built.
    explicit LaterPages(QTabWidget* tabs);
    ~LaterPages();
    LaterPages(const LaterPages&) = delete;
    LaterPages& operator=(const LaterPages&) = delete;

    // Builds and binds page `index` if it is a later page not built yet.
    void build(int index);
    void buildAll();
    bool isBuilt(int index) const;

    static constexpr int kPageCount = 6;

private:
    struct Forms;
    QTabWidget* tabs_;
    std::unique_ptr<Forms> forms_;
    std::array<bool, kPageCount> built_{true, false, false, false, false, false};
};
