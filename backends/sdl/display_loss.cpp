#include "backends/sdl/display_loss.hpp"

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>

#ifdef ZARVO_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace zarvo::platform {
namespace {

std::atomic<bool> lost{false};

#ifdef ZARVO_HAVE_X11
int onIoError(Display*) {
    lost = true;
    return 0;
}

// Xlib's own would exit; returning leaves the display marked dead and its calls harmless.
void onIoErrorExit(Display*, void*) {
    lost = true;
}
#endif

}  // namespace

void watchDisplayLoss(SDL_Window* window) {
#ifdef ZARVO_HAVE_X11
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    XSetIOErrorHandler(onIoError);
    XSetIOErrorExitHandler(info.info.x11.display, onIoErrorExit, nullptr);
#else
    (void)window;
#endif
}

bool displayLost() {
    return lost;
}

}  // namespace zarvo::platform
