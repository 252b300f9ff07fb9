// zarvoplay_setup: records the full path of the zarvoplay program that sits beside this tool,
// for the current user and for the whole machine, then ends. See --help and README.md.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "notice.hpp"
#include "value_store.hpp"

namespace {

using namespace zarvo::setup;

constexpr std::string_view kKey = "Software\\vexo\\Zarvo3\\runtime";
constexpr std::string_view kValueName = "exefile";
constexpr std::string_view kPlayerName = "zarvoplay";
constexpr std::string_view kDefaultMachineRoot = "/etc/xdg";

// The tool's own texts, UTF-8: it links nothing of the player and its boxes take UTF-8.
constexpr std::string_view kPathNotObtained = "ファイルのパスが取得できませんでした";
constexpr std::string_view kWriteFailed = "レジストリの書き込みに失敗しました";
constexpr std::string_view kCompleted = "セットアップ完了しました。";

constexpr int kExitFailed = 255;  // -1 as the shell sees it
constexpr int kExitUsage = 2;

constexpr const char* kHelp =
    "usage: zarvoplay_setup [--user-root DIR] [--machine-root DIR] [--no-gui]\n"
    "\n"
    "Records the full path of the zarvoplay program in this tool's own folder (whether or not\n"
    "it is there yet) as the value \"exefile\" of the key \"Software\\vexo\\Zarvo3\\runtime\",\n"
    "first in the per-user store, then in the per-machine store.\n"
    "\n"
    "Stores are plain files: the key's components are folders below the store root and its\n"
    "last component is a file of NAME=VALUE lines, so the value is the line\n"
    "  exefile=/full/path/zarvoplay\n"
    "in\n"
    "  per-user:    $XDG_CONFIG_HOME/Software/vexo/Zarvo3/runtime\n"
    "               ($XDG_CONFIG_HOME unset or not absolute: ~/.config)\n"
    "  per-machine: /etc/xdg/Software/vexo/Zarvo3/runtime\n"
    "Other lines of an existing file are kept; the file is replaced atomically.\n"
    "\n"
    "  --user-root DIR     use DIR instead of the per-user root\n"
    "  --machine-root DIR  use DIR instead of /etc/xdg\n"
    "  --no-gui            messages on stderr instead of a message box (they go there anyway\n"
    "                      when no display is present)\n"
    "\n"
    "Exit status: 0 both values written; 255 the tool's path was not obtained, or a store\n"
    "could not be written (a per-user value already written stays); 2 bad usage.\n";

// The folder of the running program, ending in a slash; empty when it cannot be found.
std::string ownFolder() {
    std::vector<char> buf(256);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        // A path that fills the buffer may have been cut; a cut path names the wrong folder.
        if (size_t(n) < buf.size()) {
            std::string path(buf.data(), size_t(n));
            size_t slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        if (buf.size() >= 65536) return {};
        buf.resize(buf.size() * 2);
    }
}

std::string defaultUserRoot() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : nullptr;
    }
    return home && *home ? std::string(home) + "/.config" : std::string();
}

struct Options {
    std::string userRoot, machineRoot;
    bool window = true;
    bool help = false;
};

bool parseOptions(int argc, char** argv, Options& opt) {
    bool userGiven = false, machineGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--no-gui") {
            opt.window = false;
        } else if (a == "-h" || a == "--help") {
            opt.help = true;
        } else if ((a == "--user-root" || a == "--machine-root") && i + 1 < argc && *argv[i + 1]) {
            (a == "--user-root" ? opt.userRoot : opt.machineRoot) = argv[++i];
            (a == "--user-root" ? userGiven : machineGiven) = true;
        } else {
            std::fprintf(stderr, "zarvoplay_setup: bad argument \"%s\"\n\n%s", argv[i], kHelp);
            return false;
        }
    }
    if (!userGiven) opt.userRoot = defaultUserRoot();
    if (!machineGiven) opt.machineRoot = kDefaultMachineRoot;
    return true;
}

bool record(const std::string& root, const std::string& player, const Options& opt) {
    std::string why;
    if (setStringValue(root, kKey, kValueName, player, why)) return true;
    showNotice(NoticeKind::Error, kWriteFailed, opt.window);
    std::fprintf(stderr, "zarvoplay_setup: %s\n", why.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseOptions(argc, argv, opt)) return kExitUsage;
    if (opt.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string folder = ownFolder();
    if (folder.empty()) {
        showNotice(NoticeKind::Error, kPathNotObtained, opt.window);
        return kExitFailed;
    }
    std::string player = folder + std::string(kPlayerName);
    if (!record(opt.userRoot, player, opt)) return kExitFailed;
    if (!record(opt.machineRoot, player, opt)) return kExitFailed;
    showNotice(NoticeKind::Information, kCompleted, opt.window);
    return 0;
}
