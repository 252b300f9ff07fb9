// Interpreter stepping: a page of commands that never wait, looping through "@Move".
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "backends/headless/headless_host.hpp"
#include "backends/posix/local_file_system.hpp"
#include "player/player.hpp"

namespace {

std::string loopScript() {
    std::string s =
        "///\r\n<Head=\"Zarvo\">\r\nFileType=QZ7\r\nStartBook=b\r\nStartPage=p\r\n<Head End>\r\n"
        "<Book=\"b\">\r\n<Page=\"p\">\r\n";
    for (int i = 0; i < 8; ++i)
        s += "ValueCtrl.ValueVar=%n%\r\nValueCtrl.LeftValue=%n%\r\nValueCtrl.RightValue=1\r\n"
             "ValueCtrl.Calc=Add\r\n@ValueCtrl\r\n@rem\r\n";
    s += "Move.BookName=b\r\nMove.PageName=p\r\n@Move\r\n<Page End>\r\n<Book End>\r\n";
    return s;
}

void BM_InterpreterSteps(benchmark::State& state) {
    std::string dir = std::filesystem::temp_directory_path() / "zarvo-bench-interp";
    std::filesystem::create_directories(dir);
    std::string project = dir + "/loop.zp7";
    std::ofstream(project, std::ios::binary) << loopScript();

    zarvo::platform::VirtualClock clock;
    zarvo::platform::RecordingDialogs dialogs;
    zarvo::platform::LocalFileSystem files;
    zarvo::platform::HeadlessHost host(clock, dialogs, {});
    zarvo::Player main({host, clock, dialogs, files}, dir);
    main.open(project, dir);  // no library there: one box, then the story
    int64_t commands = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(main.step());
        commands += 1000;
    }
    state.counters["commands/s"] =
        benchmark::Counter(static_cast<double>(commands), benchmark::Counter::kIsRate);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_InterpreterSteps);

}  // namespace
