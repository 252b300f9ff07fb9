#include "notice.hpp"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zarvo::setup {
namespace {

bool displayPresent() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

}  // namespace

void showNotice(NoticeKind kind, std::string_view text, bool allowWindow) {
    std::string message(text);
    if (allowWindow && displayPresent()) {
        Uint32 flags =
            kind == NoticeKind::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        // No SDL_Init needed: the box brings up what it uses itself.
        bool shown = SDL_ShowSimpleMessageBox(flags, std::string(kCaption).c_str(), message.c_str(),
                                              nullptr) == 0;
        SDL_Quit();
        if (shown) return;
    }
    std::fprintf(stderr, "%.*s: %s\n", int(kCaption.size()), kCaption.data(), message.c_str());
}

}  // namespace zarvo::setup
