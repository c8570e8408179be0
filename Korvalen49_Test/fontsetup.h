// Reading the system's font configuration takes a few milliseconds, and the window's first
// text waits for it. A FontSetUp reads it on a thread of its own while the program does the
// rest of its start-up. Whatever measures text first calls FontSetUp::waitForCurrent() (the
// page widget's tab bar does, and main() before a box): a second reader would read it all
// again. Where the toolkit does not use fontconfig this does nothing.
#pragma once

#include <thread>

class FontSetUp {
public:
    FontSetUp();
    ~FontSetUp(); // waits
    FontSetUp(const FontSetUp&) = delete;
    FontSetUp& operator=(const FontSetUp&) = delete;

    void wait();
    // Waits for the set-up under way, if there is one. Call on the thread that made it.
    static void waitForCurrent();

private:
    std::thread thread_;
};
