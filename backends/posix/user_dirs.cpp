#include "backends/posix/user_dirs.hpp"

#include <cstdlib>
#include <fstream>

namespace zarvo::platform {
namespace {

// The rules ignore a relative value: it would depend on where the program was started.
std::string baseDir(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + underHome;
    return {};
}

std::string ownFolder(const std::string& base) {
    return base.empty() ? base : base + "/zarvoplay";
}

}  // namespace

std::string userConfigDir() {
    return ownFolder(baseDir("XDG_CONFIG_HOME", "/.config"));
}

std::string userDataDir() {
    return ownFolder(baseDir("XDG_DATA_HOME", "/.local/share"));
}

std::string userPicturesDir() {
    const char* value = std::getenv("XDG_PICTURES_DIR");
    if (value && value[0] == '/') return value;
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return {};
    // The desktop's own list: a line XDG_PICTURES_DIR="$HOME/Bilder" (or an absolute path).
    std::ifstream dirs(baseDir("XDG_CONFIG_HOME", "/.config") + "/user-dirs.dirs");
    const std::string key = "XDG_PICTURES_DIR=\"";
    for (std::string line; std::getline(dirs, line);) {
        if (line.rfind(key, 0) != 0) continue;
        std::string path = line.substr(key.size());
        const size_t end = path.find('"');
        if (end == std::string::npos) break;
        path.resize(end);
        if (path.rfind("$HOME", 0) == 0) path = std::string(home) + path.substr(5);
        // "$HOME/" alone means no pictures folder of its own: the home folder is no place for them.
        if (path.size() > 1 && path[0] == '/' && path != std::string(home) + "/") return path;
        break;
    }
    return std::string(home) + "/Pictures";
}

}  // namespace zarvo::platform
