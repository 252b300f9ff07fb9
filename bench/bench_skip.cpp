// Skipping with Ctrl held: 1,000 messages of a story on the headless host, each shown for its
// frame, timed in real time (what the player's own work costs, not the virtual frames).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/posix/local_file_system.hpp"
#include "player/player.hpp"

namespace {

constexpr int kMessages = 1000;

// Pages of 50 messages each (a page holds only so many commands), moving on to the next.
std::string skipScript() {
    std::string s =
        "///\r\n<Head=\"Zarvo\">\r\nFileType=QZ7\r\nStartBook=b\r\nStartPage=p0\r\n"
        "<Head End>\r\n<Book=\"b\">\r\n";
    constexpr int kPerPage = 50;
    for (int page = 0; page < kMessages / kPerPage; ++page) {
        s += "<Page=\"p" + std::to_string(page) + "\">\r\n";
        for (int i = 0; i < kPerPage; ++i)
            s += "MessageDraw.Text=message " + std::to_string(page * kPerPage + i) +
                 " of the skip benchmark, long enough to be laid out<KEY>\r\n@MessageDraw\r\n";
        if (page + 1 < kMessages / kPerPage)
            s += "Move.BookName=b\r\nMove.PageName=p" + std::to_string(page + 1) + "\r\n@Move\r\n";
        s += "<Page End>\r\n";
    }
    return s + "<Book End>\r\n";
}

void BM_SkipMessages(benchmark::State& state) {
    std::string dir = std::filesystem::temp_directory_path() / "zarvo-bench-skip";
    std::filesystem::create_directories(dir);
    std::string project = dir + "/skip.zp7";
    std::ofstream(project, std::ios::binary) << skipScript();
    std::vector<zarvo::platform::HeadlessEvent> events;
    std::string error;
    zarvo::platform::parseEvents("100 key ctrl\n", events, error);

    for (auto _ : state) {
        zarvo::platform::VirtualClock clock;
        zarvo::platform::RecordingDialogs dialogs;
        zarvo::platform::LocalFileSystem files;
        zarvo::platform::HeadlessHost host(clock, dialogs, events);
        zarvo::platform::FrameCanvas canvas;
        zarvo::Player main({host, clock, dialogs, files, nullptr, &canvas}, dir);
        host.setClient(&main);
        int shown = 0;
        main.onCommand = [&shown](const std::string&, const std::string&, int32_t,
                                  const zarvo::Command& command) {
            shown += command.keyword == "@MessageDraw";
        };
        main.open(project, dir);  // no library there: one box, then the story
        main.show();
        main.activate();
        host.run(0);
        host.setClient(nullptr);
        if (shown < kMessages) {
            state.SkipWithError("the skip stopped early");
        }
        state.counters["virtual s"] = clock.ticks() / 1000.0;
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(kMessages) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SkipMessages)->Unit(benchmark::kMillisecond);

}  // namespace
