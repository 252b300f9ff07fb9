// zarvoplay-thumbnailer: the preview a file manager shows for a story. It is run on every file
// of our types the user browses past, so it must be quick, small and harmless: a time and a
// memory limit of its own, no window, no sound, and nothing written but OUTPUT.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <string>

#include "backends/archive/story_files.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/text.hpp"
#include "data_dir.hpp"
#ifdef ZARVO_BUILTIN_DECODERS
#include "builtin_decoders.hpp"
#endif
#include "thumbnail.hpp"

namespace {

const char kUsage[] =
    "usage: zarvoplay-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "Writes a preview of the story INPUT (a script beginning with \"///\" or a package) to\n"
    "OUTPUT as PNG: its Opening picture, or else the first picture its start page draws,\n"
    "scaled down so that neither side exceeds SIZE pixels (default 256, at most 4096).\n"
    "Nothing of the story runs; no window is opened, no sound played, no other file written.\n"
    "It gives up after 1.5 seconds or 200 MB of memory.\n"
    "\n"
    "  -s, --size SIZE  the largest side of the preview\n"
    "  -h, --help       this text\n"
    "\n"
    "Exit status: 0 OUTPUT written; 1 no preview (a damaged story, no picture to show, the\n"
    "time or memory limit reached), OUTPUT not written; 2 bad usage.\n";

constexpr int kExitNoPreview = 1;
constexpr int kExitUsage = 2;
constexpr long kTimeLimitMs = 1500;
constexpr rlim_t kMemoryLimit = rlim_t{200} << 20;

// What the alarm must undo: an OUTPUT begun but not finished is removed, so a file manager
// never caches half a picture.
const char* volatile gOutputPath = nullptr;

extern "C" void onTimeLimit(int) {
    const char* path = gOutputPath;
    if (path) unlink(path);
    static const char message[] = "zarvoplay-thumbnailer: time limit reached\n";
    ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
    (void)ignored;
    _exit(kExitNoPreview);
}

void setLimits() {
    struct sigaction action {};
    action.sa_handler = onTimeLimit;
    sigaction(SIGALRM, &action, nullptr);
    itimerval timer{};
    timer.it_value.tv_sec = kTimeLimitMs / 1000;
    timer.it_value.tv_usec = (kTimeLimitMs % 1000) * 1000;
    setitimer(ITIMER_REAL, &timer, nullptr);
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space up front; a sanitized build limits
    // single allocations instead (below).
    rlimit memory{kMemoryLimit, kMemoryLimit};
    setrlimit(RLIMIT_AS, &memory);
#endif
}

#if defined(__SANITIZE_ADDRESS__)
// A picture claiming a gigabyte must fail at once here too, not run into the time limit.
extern "C" const char* __asan_default_options() {
    return "max_allocation_size_mb=200";
}
#endif

bool writeOutput(const std::string& path, const std::string& bytes) {
    gOutputPath = path.c_str();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        gOutputPath = nullptr;
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bool ok = close(fd) == 0 && done == bytes.size();
    if (!ok) unlink(path.c_str());
    gOutputPath = nullptr;
    return ok;
}

int usageError(const std::string& message) {
    std::cerr << "zarvoplay-thumbnailer: " << message << "\n"
              << "Try 'zarvoplay-thumbnailer --help'.\n";
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef ZARVO_BUILTIN_DECODERS
    zarvo::registerBuiltInDecoders();
#endif
    int32_t size = 256;
    std::string input, output;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "-s" || arg == "--size") {
            if (i + 1 >= argc || !zarvo::tryParseInt(argv[++i], size) || size < 1 || size > 4096)
                return usageError("-s needs a size from 1 to 4096");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (input.empty()) {
            input = arg;
        } else if (output.empty()) {
            output = arg;
        } else {
            return usageError("too many arguments");
        }
    }
    if (input.empty() || output.empty()) return usageError("INPUT and OUTPUT are needed");

    setLimits();
    std::string png, why;
    try {
        zarvo::platform::LocalFileSystem local;
        zarvo::platform::StoryFiles files(local, input);
        if (!files.error().empty()) {
            std::cerr << "zarvoplay-thumbnailer: " << files.error() << "\n";
            return kExitNoPreview;
        }
        if (!zarvo::renderThumbnail(files.files(), input, zarvo::programPlaces(argv[0]).programDir,
                                    size, png, why)) {
            std::cerr << "zarvoplay-thumbnailer: " << input << ": " << why << "\n";
            return kExitNoPreview;
        }
    } catch (const std::bad_alloc&) {
        std::cerr << "zarvoplay-thumbnailer: " << input << ": memory limit reached\n";
        return kExitNoPreview;
    }
    if (!writeOutput(output, png)) {
        std::cerr << "zarvoplay-thumbnailer: cannot write " << output << ": "
                  << std::strerror(errno) << "\n";
        return kExitNoPreview;
    }
    return 0;
}
