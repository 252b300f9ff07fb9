// A build without a window system (the web build): there is never a window to open, so the
// caller plays headless, as it does on a desktop without a display.
#include "desktop_run.hpp"

namespace zarvo {

int runDesktop(const DesktopOptions&) {
    return -1;
}

}  // namespace zarvo
