// The demo played from a ~100 MB archive: the demo's files first, then large pictures and
// sounds of incompressible content it never shows. Each iteration opens the archive afresh and
// plays the story to its first frame (500 virtual ms, the first background drawn); the first
// iteration is the first open in the process ("first ms"), the others are later opens
// ("later ms"). Peak resident memory is read from /proc/self/status after each benchmark:
// "over plain MB" is how far it rose above the plain folder's run, which runs first.
// Goals: first open within 2 s, later ones within 0.5 s, at most 64 MB over the plain demo.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "backends/archive/archive_file_system.hpp"
#include "backends/headless/headless_run.hpp"
#include "backends/posix/local_file_system.hpp"
#include "support/archive_files.hpp"

namespace {

namespace fs = std::filesystem;
using zarvo::test::ArchiveKind;

int64_t statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::string(field).size()));
    return 0;
}

double plainPeakMb = 0;

std::string workDir() {
    static const std::string dir = [] {
        std::string d = (fs::temp_directory_path() / "zarvo-bench-archive").string();
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// Pseudo-random bytes: what a compressor cannot shrink, like photographs and recorded sound.
std::string noise(size_t size, uint64_t seed) {
    std::string out(size, '\0');
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = 0; i < size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        for (size_t k = 0; k < 8 && i + k < size; ++k) out[i + k] = static_cast<char>(x >> (8 * k));
    }
    return out;
}

// The archive, made once (in a child process, so its hundred megabytes never count here).
std::string bigArchive(ArchiveKind kind) {
    const std::string path = workDir() + "/demo-" + zarvo::test::archiveKindName(kind);
    if (fs::exists(path)) return path;
    pid_t child = fork();
    if (child == 0) {
        std::vector<zarvo::test::ArchiveItem> items = zarvo::test::folderItems(ZARVO_DEMO_DIR);
        for (int i = 0; i < 8; ++i)
            items.push_back({"extra/picture-" + std::to_string(i) + ".bmp", noise(9 << 20, i)});
        for (int i = 0; i < 4; ++i)
            items.push_back({"extra/sound-" + std::to_string(i) + ".wav", noise(7 << 20, 100 + i)});
        std::string why;
        _exit(zarvo::test::writeArchive(kind, path + ".part", items, why) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    fs::rename(path + ".part", path);
    return path;
}

int playToFirstFrame(const std::string& project, zarvo::platform::FileSystem* files) {
    zarvo::HeadlessOptions options;
    options.projectPath = project;
    options.programDir = ZARVO_PROGRAM_DIR;
    options.maxTime = 500;
    options.quiet = true;
    options.files = files;
    return zarvo::runHeadless(options);
}

void report(benchmark::State& state, const std::vector<double>& ms) {
    if (ms.empty()) return;
    double later = 0;
    for (size_t i = 1; i < ms.size(); ++i) later += ms[i];
    state.counters["first ms"] = ms[0];
    if (ms.size() > 1) state.counters["later ms"] = later / static_cast<double>(ms.size() - 1);
    const double peak = static_cast<double>(statusKb("VmHWM:")) / 1024;
    state.counters["peak MB"] = peak;
    state.counters["over plain MB"] = peak - plainPeakMb;
}

void BM_FirstFramePlainFolder(benchmark::State& state) {
    const std::string dir = workDir() + "/plain";
    fs::remove_all(dir);
    fs::copy(ZARVO_DEMO_DIR, dir);
    std::vector<double> ms;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(playToFirstFrame(dir + "/demo.zp7", nullptr));
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    plainPeakMb = static_cast<double>(statusKb("VmHWM:")) / 1024;
    report(state, ms);
}

void BM_FirstFrameFromArchive(benchmark::State& state) {
    const auto kind = static_cast<ArchiveKind>(state.range(0));
    state.SetLabel(zarvo::test::archiveKindName(kind));
    const std::string archive = bigArchive(kind);
    if (archive.empty()) {
        state.SkipWithError("the archive could not be made");
        return;
    }
    state.counters["archive MB"] = static_cast<double>(fs::file_size(archive)) / (1 << 20);
    zarvo::platform::LocalFileSystem local;
    std::vector<double> ms;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        zarvo::platform::ArchiveError error;
        auto files = zarvo::platform::ArchiveFileSystem::open(local, archive, error);
        if (!files) {
            state.SkipWithError(error.detail.c_str());
            return;
        }
        if (playToFirstFrame(archive + "/demo.zp7", files.get()) == zarvo::kExitFatal) {
            state.SkipWithError("the demo did not start");
            return;
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    report(state, ms);
}

BENCHMARK(BM_FirstFramePlainFolder)->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrameFromArchive)
    ->Arg(static_cast<int>(ArchiveKind::Zip))
    ->Arg(static_cast<int>(ArchiveKind::Iso))
    ->Arg(static_cast<int>(ArchiveKind::SevenZip))
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);

}  // namespace
