// Where the player finds its system library and image plug-ins: beside the program (a build
// folder, or files copied together), otherwise in the data folder it was installed with.
#pragma once
#include <string>

namespace zarvo {

// `programDir` is the folder of the running program. The installed data folder is tried
// relative to it first (so an installed tree can be moved), then at its configured place.
// Without a system library anywhere, `programDir` itself: the player's message names it.
std::string playerDataDir(const std::string& programDir);

// Where the running program is and where the reader's own files go, found here once so that
// the engine only ever sees plain paths.
struct ProgramPlaces {
    std::string programPath;  // the running program (a story beside it is its default)
    std::string programDir;   // the system library and image plug-ins, by playerDataDir
    std::string configDir;    // the reader's settings; empty without a home
    std::string dataDir;      // what the player learns while reading; empty without a home
};
// On Linux the program is the one the kernel started; where there is no /proc (the web build,
// whose /proc would name node), argv[0] names it. The reader's folders come from the
// environment (HOME, XDG_CONFIG_HOME, XDG_DATA_HOME).
ProgramPlaces programPlaces(const char* argv0);

}  // namespace zarvo
