// Where the player finds its system library and image plug-ins: beside the program (a build
// folder, or files copied together), otherwise in the data folder it was installed with.
#pragma once
#include <string>

namespace zarvo {

// `programDir` is the folder of the running program. The installed data folder is tried
// relative to it first (so an installed tree can be moved), then at its configured place.
// Without a system library anywhere, `programDir` itself: the player's message names it.
std::string playerDataDir(const std::string& programDir);

}  // namespace zarvo
