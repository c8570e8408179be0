// Waits for the editor's download, which runs on a thread of its own, to end.
#pragma once

#include "korvalen49_test.h"

#include <QSignalSpy>

namespace testdownload {

// Returns once the download under way has ended (at once when none is): true when the
// controller was read back holding the preset. Bounded by the test's own time-out.
inline bool awaited(Korvalen49_Test& window) {
    QSignalSpy spy(&window, &Korvalen49_Test::downloadFinished);
    while (window.isDownloading() && spy.isEmpty())
        spy.wait(1000);
    return !spy.isEmpty() && spy.first().first().toBool();
}

// Watches from before a download is asked for: one that starts once a question is answered,
// and ends before the test looks, is still seen. Bounded by the test's own time-out.
class Watch {
public:
    explicit Watch(Korvalen49_Test& window) : spy_(&window, &Korvalen49_Test::downloadFinished) {}
    // True when the download ended with the controller read back holding the preset.
    bool ended() {
        while (spy_.isEmpty())
            spy_.wait(1000);
        return spy_.first().first().toBool();
    }

private:
    QSignalSpy spy_;
};

} // namespace testdownload
