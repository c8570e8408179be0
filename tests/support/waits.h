// Waits in tests have no bound of their own: on a loaded machine anything may take long, and
// a wait that never ends is ended by the test's time-out (its CTest TIMEOUT), which fails it.
#pragma once

#include <QTest>

namespace testwait {

// For the QTRY_..._WITH_TIMEOUT macros: a day, longer than any test's time-out, and small
// enough that the macros may double it.
constexpr int kUntilTheTestTimesOut = 24 * 3600 * 1000;

// Handles events until `done` holds.
template <typename Done> void until(Done done) {
    while (!done())
        QTest::qWait(10);
}

} // namespace testwait

// QTRY_VERIFY and QTRY_COMPARE bounded by the test's time-out only.
#define KORVALEN_TRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, testwait::kUntilTheTestTimesOut)
#define KORVALEN_TRY_COMPARE(expr, expected)                                                       \
    QTRY_COMPARE_WITH_TIMEOUT(expr, expected, testwait::kUntilTheTestTimesOut)
