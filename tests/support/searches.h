// Waits for the editor's search, which runs on a thread of its own beside the window, to end
// and for the window to take its result.
#pragma once

#include "korvalen49_test.h"

#include <QSignalSpy>

namespace testsearch {

// Returns once no search of the window runs (at once when none does). Bounded by the test's
// own time-out.
inline bool ended(Korvalen49_Test& window) {
    QSignalSpy spy(&window, &Korvalen49_Test::searchFinished);
    while (window.isSearching() && spy.isEmpty())
        spy.wait(1000);
    return !window.isSearching();
}

} // namespace testsearch
