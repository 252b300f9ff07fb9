#include "data_dir.hpp"

#include <climits>
#include <filesystem>
#include <system_error>

#ifndef __EMSCRIPTEN__
#include <unistd.h>
#endif

#include "backends/posix/user_dirs.hpp"

// Set by the install rules; these defaults match the usual layout.
#ifndef ZARVO_DATA_DIR_FROM_BIN
#define ZARVO_DATA_DIR_FROM_BIN "../lib/zarvoplay"
#endif
#ifndef ZARVO_INSTALLED_DATA_DIR
#define ZARVO_INSTALLED_DATA_DIR "/usr/local/lib/zarvoplay"
#endif

namespace zarvo {

std::string playerDataDir(const std::string& programDir) {
    namespace fs = std::filesystem;
    auto holdsLibrary = [](const fs::path& dir) {
        std::error_code ec;
        return fs::is_regular_file(dir / "zarvoplay.zvl", ec);
    };
    if (holdsLibrary(programDir)) return programDir;
    fs::path relative = (fs::path(programDir) / ZARVO_DATA_DIR_FROM_BIN).lexically_normal();
    if (holdsLibrary(relative)) return relative.string();
    if (holdsLibrary(ZARVO_INSTALLED_DATA_DIR)) return ZARVO_INSTALLED_DATA_DIR;
    return programDir;
}

ProgramPlaces programPlaces(const char* argv0) {
    ProgramPlaces places;
#ifndef __EMSCRIPTEN__
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) places.programPath.assign(buf, static_cast<size_t>(n));
#endif
    if (places.programPath.empty()) {
        std::error_code ec;
        places.programPath = std::filesystem::absolute(argv0 ? argv0 : "", ec).string();
    }
    places.programDir =
        playerDataDir(std::filesystem::path(places.programPath).parent_path().string());
    places.configDir = platform::userConfigDir();
    places.dataDir = platform::userDataDir();
    return places;
}

}  // namespace zarvo
