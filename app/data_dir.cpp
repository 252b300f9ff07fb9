#include "data_dir.hpp"

#include <filesystem>
#include <system_error>

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

}  // namespace zarvo
