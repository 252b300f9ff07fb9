#include "backends/sdl/key_map.hpp"

namespace zarvo::platform {

int virtualKeyOf(SDL_Keycode key) {
    // SDL names letters by their lower-case character; virtual keys use the upper-case one.
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 97 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_RETURN:
        case SDLK_RETURN2:
        case SDLK_KP_ENTER:
            return 13;
        case SDLK_SPACE:
            return 32;
        case SDLK_ESCAPE:
            return 27;
        case SDLK_BACKSPACE:
            return 8;
        case SDLK_TAB:
            return 9;
        case SDLK_PAGEUP:
            return 33;
        case SDLK_PAGEDOWN:
            return 34;
        case SDLK_END:
            return 35;
        case SDLK_HOME:
            return 36;
        case SDLK_LEFT:
            return 37;
        case SDLK_UP:
            return 38;
        case SDLK_RIGHT:
            return 39;
        case SDLK_DOWN:
            return 40;
        case SDLK_INSERT:
            return 45;
        case SDLK_DELETE:
            return 46;
        case SDLK_KP_0:
            return 96;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return 16;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return 17;
        case SDLK_LALT:
        case SDLK_RALT:
            return 18;
        default:
            return 0;
    }
}

bool padButtonOf(Uint8 button, PadButton& out) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A:
            out = PadButton::A;
            return true;
        case SDL_CONTROLLER_BUTTON_B:
            out = PadButton::B;
            return true;
        case SDL_CONTROLLER_BUTTON_X:
            out = PadButton::X;
            return true;
        case SDL_CONTROLLER_BUTTON_Y:
            out = PadButton::Y;
            return true;
        case SDL_CONTROLLER_BUTTON_START:
            out = PadButton::Start;
            return true;
        case SDL_CONTROLLER_BUTTON_BACK:
            out = PadButton::Back;
            return true;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
            out = PadButton::LeftShoulder;
            return true;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
            out = PadButton::RightShoulder;
            return true;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            out = PadButton::Up;
            return true;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            out = PadButton::Down;
            return true;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            out = PadButton::Left;
            return true;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            out = PadButton::Right;
            return true;
        default:
            return false;
    }
}

}  // namespace zarvo::platform
