// A desktop whose connection goes away (the window manager's forced close kills it, or the X
// server ends) would have Xlib end the program with status 1 at its next call. Watched, the loss
// is only noted: the host then stops the story and leaves the dead window alone.
#pragma once

struct SDL_Window;

namespace zarvo::platform {

// Starts watching the connection of `window` (X11 only; elsewhere nothing to do).
void watchDisplayLoss(SDL_Window* window);
bool displayLost();

}  // namespace zarvo::platform
