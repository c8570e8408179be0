// Helpers shared by the window tests: building a shown window, finding form widgets by
// objectName, and pressing the mouse where the user would, through the window, so that a
// widget covered by another one cannot be reached.
#pragma once

#include "identitycontroller.h"
#include "korvalen49_test.h"
#include "searches.h"

#include <QPoint>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <memory>

namespace guitest {

// A controller that answers only the identity probe: windows connect at once and no upload
// changes the model.
inline void useQuietController() {
    testsupport::useIdentityController();
}

inline std::unique_ptr<Korvalen49_Test> shownWindow() {
    auto window = std::make_unique<Korvalen49_Test>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) return nullptr;
    // The start-up search runs beside the window; its result comes before the test touches a
    // box, however slowly the machine runs (edits made before it would be asked about).
    if (!testsearch::ended(*window)) return nullptr;
    return window;
}

template <typename T = QWidget> T* part(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

// A point of `target`, in window coordinates, where a mouse press reaches `target` itself
// (not a widget stacked above it). The centre is tried first. Returns (-1, -1) when the
// widget is covered everywhere.
inline QPoint reachablePoint(QWidget* window, QWidget* target, QPoint preferred) {
    const QPoint p = target->mapTo(window, preferred);
    if (window->childAt(p) == target) return p;
    for (int y = 1; y < target->height(); y += 2) {
        for (int x = 1; x < target->width(); x += 2) {
            const QPoint q = target->mapTo(window, QPoint(x, y));
            if (window->childAt(q) == target) return q;
        }
    }
    return {-1, -1};
}

inline QPoint reachablePoint(QWidget* window, QWidget* target) {
    return reachablePoint(window, target, target->rect().center());
}

inline const char* const kLayerButtons[] = {"btnLayer_S1", "BtnLayer_En",     "btnLayer_Fn",
                                            "BtnLayer_Pn", "btnLayer_Zoudai", "BtnLayer_Zn"};

// Names of the checked layer buttons, joined by blanks.
inline QString checkedLayerButtons(QWidget* window) {
    QStringList names;
    for (const char* name : kLayerButtons) {
        auto* button = part<QPushButton>(window, name);
        if (button == nullptr)
            names << QStringLiteral("missing:") + QString::fromLatin1(name);
        else if (button->isChecked())
            names << QString::fromLatin1(name);
    }
    return names.join(QLatin1Char(' '));
}

} // namespace guitest
