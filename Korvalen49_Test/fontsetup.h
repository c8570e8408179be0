// Reading the system's font configuration takes a few milliseconds, and the window's first
// text waits for it. A FontSetUp reads it on a thread of its own while the program does the
// rest of its start-up; wait() before the first window is made. Where the toolkit does not
// use fontconfig this does nothing.
#pragma once

#include <thread>

class FontSetUp {
public:
    FontSetUp();
    ~FontSetUp(); // waits
    FontSetUp(const FontSetUp&) = delete;
    FontSetUp& operator=(const FontSetUp&) = delete;

    void wait();

private:
    std::thread thread_;
};
