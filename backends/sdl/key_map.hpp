// SDL key symbols to the Windows virtual-key codes the player's input handling expects.
#pragma once
#include <SDL_gamecontroller.h>
#include <SDL_keycode.h>

#include "platform/host.hpp"

namespace zarvo::platform {

// 0 for keys the player has no code for (they are not passed on).
int virtualKeyOf(SDL_Keycode key);

// A game controller's button as the player names it; false for buttons it does not answer.
bool padButtonOf(Uint8 button, PadButton& out);

}  // namespace zarvo::platform
