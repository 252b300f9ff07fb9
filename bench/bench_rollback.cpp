// Rollback's cost: a snapshot is taken at every message and the reader may go back to any of
// the last 200. Two stories run on the headless host with the real fonts: the demo, clicked
// through, and a story whose full-screen picture changes at every message (rollback_story.hpp).
// At every message the state is captured the way the player does (pictures raw) and kept in a
// history; reported: the snapshots kept and their memory ("KB/snapshot", "MB held"), the time to
// take one ("take ms", capture and keep; goal <= 2 ms), the idle time to deflate one ("deflate
// ms"), and the time to go back one message through the player ("rollback ms": decode, restore,
// repaint and the first run of the message; goal <= 16 ms, a frame).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"
#include "formats/bmp.hpp"
#include "player/player.hpp"
#include "player/player_state.hpp"
#include "player/rollback_history.hpp"
#include "rollback_story.hpp"
#include "save/save_files.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double mean(const std::vector<double>& v) {
    return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

double worst(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

void play(benchmark::State& state, const std::string& project, const std::string& eventsText) {
    for (auto _ : state) {
        std::vector<zarvo::platform::HeadlessEvent> events;
        std::string error;
        if (!zarvo::platform::parseEvents(eventsText, events, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        zarvo::platform::VirtualClock clock;
        zarvo::platform::RecordingDialogs dialogs;
        zarvo::platform::LocalFileSystem files;
        zarvo::platform::HeadlessHost host(clock, dialogs, std::move(events));
        zarvo::platform::FrameCanvas canvas;
        zarvo::platform::FreeTypeFontEngine fonts;
        zarvo::platform::SilentMediaPlayerFactory players(clock);
        zarvo::Player main({host, clock, dialogs, files, &fonts, &canvas, &players},
                           ZARVO_PROGRAM_DIR);
        host.setClient(&main);

        // The bench's own history, fed as the player feeds its own, but timed.
        zarvo::RollbackHistory history;
        zarvo::SnapshotPictures pictures;
        std::vector<double> takeMs;
        size_t rawBytes = 0, taken = 0;
        std::string storyId;
        main.onCommand = [&](const std::string&, const std::string&, int32_t,
                             const zarvo::Command& command) {
            if (command.type != zarvo::CommandType::MessageDraw) return;
            zarvo::ReaderState reader;
            const auto start = Clock::now();
            zarvo::PlayerState snapshot =
                zarvo::captureState({main.story(), main.execution(), main.screen(), main.music(),
                                     main.saveSystem().messageHistory(), reader, storyId},
                                    &pictures);
            const size_t bytes = snapshot.byteSize();
            history.push(snapshot.entries(), taken);
            takeMs.push_back(msSince(start));
            rawBytes += bytes;
            ++taken;
        };
        main.open(project, ZARVO_PROGRAM_DIR);
        storyId = zarvo::storyIdentity(main.story());
        main.show();
        main.activate();
        host.run(3600 * 1000);

        // What idle ticks do between messages, all at once.
        const auto deflateStart = Clock::now();
        while (history.compressSome(64)) {
        }
        const double deflateMs = msSince(deflateStart);

        // Back one message at a time through the player, as Backspace does.
        std::vector<double> rollbackMs;
        for (int i = 0; i < 20 && main.rollbackHistory().size() > 1; ++i) {
            const auto start = Clock::now();
            if (!main.rollBack(1)) break;
            rollbackMs.push_back(msSince(start));
        }
        host.setClient(nullptr);

        const double kept = static_cast<double>(history.size());
        const double held = static_cast<double>(history.bytes());
        state.counters["messages"] = static_cast<double>(taken);
        state.counters["snapshots kept"] = kept;
        state.counters["KB/snapshot"] = kept > 0 ? held / kept / 1024 : 0;
        state.counters["raw KB/snapshot"] =
            taken > 0 ? static_cast<double>(rawBytes) / static_cast<double>(taken) / 1024 : 0;
        state.counters["MB held"] = held / (1024 * 1024);
        state.counters["take ms"] = mean(takeMs);
        state.counters["take ms max"] = worst(takeMs);
        state.counters["deflate ms"] = taken > 0 ? deflateMs / static_cast<double>(taken) : 0;
        state.counters["rollback ms"] = mean(rollbackMs);
        state.counters["rollback ms max"] = worst(rollbackMs);
        if (!dialogs.shown().empty()) {
            const std::string box =
                "the story showed a box: " + zarvo::sjisToUtf8(dialogs.shown().front().text);
            state.SkipWithError(box.c_str());
        }
        if (rollbackMs.empty()) state.SkipWithError("no rollback was possible");
    }
}

// The demo clicked through, a click every 2.5 s, as far as it goes with the story still
// waiting for a click at the end (rollback goes back from there; an ended story cannot).
void BM_RollbackDemo(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / "zarvo-bench-rollback-demo";
    fs::remove_all(dir);
    fs::copy(ZARVO_DEMO_DIR, dir);
    std::string events;
    for (int i = 1; i <= 30; ++i) events += std::to_string(i * 2500) + " click 320 180\n";
    play(state, (dir / "demo.zp7").string(), events);
}
BENCHMARK(BM_RollbackDemo)->Unit(benchmark::kSecond)->Iterations(1);

// 230 messages, each over a new full-screen scene, then a wait for a click that never comes.
void BM_RollbackPictures(benchmark::State& state) {
    constexpr int kMessages = 230;
    const fs::path dir = fs::temp_directory_path() / "zarvo-bench-rollback-pictures";
    fs::create_directories(dir / "story");  // its data folder, so that nothing asks
    for (int i = 0; i < kMessages; ++i) {
        const fs::path file = dir / ("scene_" + std::to_string(i) + ".bmp");
        if (!fs::exists(file))
            std::ofstream(file, std::ios::binary)
                << zarvo::encodeBmp(zarvo::bench::scenePicture(i));
    }
    std::ofstream(dir / "chara.bmp", std::ios::binary)
        << zarvo::encodeBmp(zarvo::bench::scenePicture(100000, 200, 280));
    std::ofstream(dir / "window.bmp", std::ios::binary)
        << zarvo::encodeBmp(zarvo::bench::scenePicture(100001, 600, 120));
    std::string sjis;
    zarvo::utf8ToSjis(zarvo::bench::pictureStoryScript(kMessages), sjis);
    std::string script;
    for (char c : sjis) script += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::ofstream((dir / "story.zp7").string(), std::ios::binary) << script;
    play(state, (dir / "story.zp7").string(), "");
}
BENCHMARK(BM_RollbackPictures)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
