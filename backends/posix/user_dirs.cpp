#include "backends/posix/user_dirs.hpp"

#include <cstdlib>

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

}  // namespace zarvo::platform
