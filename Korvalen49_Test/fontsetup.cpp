#include "fontsetup.h"

#if KORVALEN_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace {

FontSetUp* current = nullptr;

} // namespace

// fontconfig keeps one configuration for the process, made by whichever caller comes first;
// the toolkit's font database then finds it made.
FontSetUp::FontSetUp() {
#if KORVALEN_FONTCONFIG
    thread_ = std::thread([] { FcInit(); });
#endif
    current = this;
}

FontSetUp::~FontSetUp() {
    wait();
    if (current == this) current = nullptr;
}

void FontSetUp::wait() {
    if (thread_.joinable()) thread_.join();
}

void FontSetUp::waitForCurrent() {
    if (current != nullptr) current->wait();
}
