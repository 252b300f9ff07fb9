// SDL key symbols to the Windows virtual-key codes the player's input handling expects.
#pragma once
#include <SDL_keycode.h>

namespace zarvo::platform {

// 0 for keys the player has no code for (they are not passed on).
int virtualKeyOf(SDL_Keycode key);

}  // namespace zarvo::platform
