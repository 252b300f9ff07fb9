// The monkey plays the demo and a generated story (messages with tags, an input box, branches,
// nested calls, a clickable button, saves and loads, music and sounds, a loop back to the start)
// with seeded random input for a bounded time: ZARVO_MONKEY_SECONDS of real time (45 by
// default; scripts/soak sets hours), seeds from ZARVO_MONKEY_SEED (1) up. Every run must end as
// the story ends or waits (exit 0 or 3): a crash, a sanitizer report or a hang (the virtual
// clock standing still for 10 s of real time) stops the test right after the line naming its
// seed and events file, and any other status names them in the failure.
#include "monkey.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "script/command_table.hpp"
#include "support/story.hpp"
#include "support/test_media.hpp"

namespace zarvo::test {
namespace {

// Every command kind at least once a loop, calls three deep, a choice that times out or jumps,
// save files written, read and appended to, and an unknown command's box.
std::string loopingStory(StoryBuilder& s) {
    s.writePicture("back.png", 640, 480, 0x204060);
    s.writePicture("front.png", 200, 120, 0x40C080);
    s.writePicture("button.png", 80, 40, 0xFF0000);
    writeFile(s.dir.file("tune.wav"), wavOfMs(800));
    writeFile(s.dir.file("ping.wav"), wavOfMs(100));
    auto page = [](const std::string& name, const std::string& body) {
        return "<Page=\"" + name + "\">\n" + body + "<Page End>\n";
    };
    auto to = [](const std::string& command, const std::string& pageName) {
        return command + ".BookName=スタートブック\n" + command + ".PageName=" + pageName + "\n@" +
               command + "\n";
    };
    auto saveCtrl = [](const std::string& command, const std::string& extra) {
        return "SaveCtrl.Command=" + command + "\n" + extra + "@SaveCtrl\n";
    };
    auto system = [](const std::string& command) {
        return "System.Command=" + command + "\nSystem.Volume=60\n@System\n";
    };
    const std::string start =
        "GraphicDraw.FileName=back.png\n@GraphicDraw\n"
        "Music.FileName=tune.wav\nMusic.Loop=0\n@Music\n"
        "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=button.png\n"
        "DynamicLayer.Area.Left=500\nDynamicLayer.Area.Top=400\nDynamicLayer.Clickable.Mode=All\n"
        "DynamicLayer.Clickable.BookName=スタートブック\nDynamicLayer.Clickable.PageName=押した\n"
        "DynamicLayer.AttrID=5\n@DynamicLayer\n"
        "MessageDraw.Text=<B>始まり</B><*20>大きく<clRed>赤<FAST>速く<W200>待って<KEY>#次の行"
        "\n@MessageDraw\n"
        "ValueCtrl.ValueVar=%n%\nValueCtrl.LeftValue=%n%\nValueCtrl.RightValue=1\n"
        "ValueCtrl.Calc=Add\n@ValueCtrl\n"
        "StringInput.StringVar=$名$\nStringInput.Caption=名前\nStringInput.Text=入力\n"
        "@StringInput\n" +
        to("Call", "外") + "if.Variable1=%n%\nif.Variable2=3\n@if\n" +
        saveCtrl("AutoLoad", "SaveCtrl.FileName=m.sav\n") + "@else\n" +
        saveCtrl("AutoSave", "SaveCtrl.FileName=m.sav\n") + "@endif\n" +
        "Sound.FileName=ping.wav\n@Sound\n@Effect\nWait.InputBreak=1\n@Wait\n" +
        to("Move", "スタートページ");
    const std::string outer =
        to("Call", "内") + "MessageDraw.Text=$名$さん<PAGE>\n@MessageDraw\n@Return\n";
    const std::string inner =
        "Wait.InputBreak=1\n@Wait\n@MusicStop\n" + to("Call", "色々") + "@Return\n";
    const std::string various =
        "@rem\nStringCtrl.StringVar=$s$\nStringCtrl.Text=回%n%\n@StringCtrl\n"
        "GraphicDraw.FileName=front.png\nGraphicDraw.Layer=前\nGraphicDraw.Layer.Move=1\n"
        "GraphicDraw.Area.Left=100\nGraphicDraw.Area.Top=60\nGraphicDraw.EffectType=Wave\n"
        "@GraphicDraw\n"
        "Layer.Name=前\nLayer.Visible.Change=1\nLayer.Visible.Show=0\n@LayerCtrl\n"
        "@GraphicCtrl\n@WindowShow\n"
        "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=front.png\nDynamicLayer.AttrID=6\n"
        "@DynamicLayer\n@Unknown\n" +
        system("Unknown") + saveCtrl("Create", "SaveCtrl.FileName=v.sav\n") +
        saveCtrl("SaveValue", "SaveCtrl.Key=k\nSaveCtrl.Value=%n%\n") + saveCtrl("Close", "") +
        saveCtrl("Open", "SaveCtrl.FileName=v.sav\n") +
        saveCtrl("LoadValue", "SaveCtrl.Key=k\nSaveCtrl.Variable=%k%\n") + saveCtrl("Close", "") +
        saveCtrl("Append", "SaveCtrl.FileName=v.sav\n") +
        saveCtrl("SaveValue", "SaveCtrl.Key=j\nSaveCtrl.Value=$s$\n") + saveCtrl("Close", "") +
        "if.Compare=Unequal\nif.Variable1=%k%\nif.Variable2=0\n@if\n" + system("MessageDirect") +
        "@else\n" + system("MessageSkip") + "@endif\n" + system("MusicVolume") +
        system("SoundDisable") + system("SoundEnable") + system("MessageEffect") +
        "Select.Area.Left=100\nSelect.Area.Top=100\nSelect.Area.Width=200\n"
        "Select.Text1=右\nSelect.Page1=右\nSelect.Text2=左\nSelect.Page2=左\n"
        "Select.Timeout=1\nSelect.Time=3000\n@Select\n"
        "DynamicLayerClear.AttrID=6\n@DynamicLayerClear\n@Return\n";
    const std::string right =
        "DynamicLayerClear.AttrID=6\n@DynamicLayerClear\n"
        "GraphicDraw.FileName=back.png\nGraphicDraw.EffectType=Mosaic\n@GraphicDraw\n"
        "Wait.TimeBreak=1\nWait.Time=500\n@Wait\n@Return\n";
    const std::string left = "MessageDraw.Text=左<KEY>\n@MessageDraw\n@Return\n";
    const std::string pressed =
        "MessageDraw.Text=押した<KEY>\n@MessageDraw\n" + to("Move", "スタートページ");
    return s.writeScript(
        storyScript("<Head=\"LayerList\">\nLayerCount=2\nLayer.1.LayerName=前\n<Head End>\n"
                    "<Book=\"スタートブック\">\n" +
                    page("スタートページ", start) + page("外", outer) + page("内", inner) +
                    page("色々", various) + page("右", right) + page("左", left) +
                    page("押した", pressed) + "<Book End>\n"));
}

// Ends the whole test when the virtual clock of the run being played stands still for `limit`
// of real time: a hung player never returns, so nothing else would ever report it.
class HangWatchdog {
  public:
    explicit HangWatchdog(std::chrono::milliseconds limit)
        : limit_(limit), thread_([this] { watch(); }) {}
    ~HangWatchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    // A new run begins; `what` names it (seed, story, events file) in the report.
    void begin(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        what_ = what;
        ++run_;
    }
    std::atomic<uint32_t> progress{0};  // the run's virtual clock, kept by the headless host

  private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        uint64_t run = run_;
        uint32_t seen = progress.load();
        auto since = std::chrono::steady_clock::now();
        while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stopping_; })) {
            const uint32_t now = progress.load();
            if (run != run_ || now != seen) {
                run = run_;
                seen = now;
                since = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - since >= limit_) {
                std::fprintf(stderr,
                             "monkey: hang: the virtual clock stood still at %u ms for %lld ms of "
                             "real time with %s\n",
                             seen, static_cast<long long>(limit_.count()), what_.c_str());
                std::fflush(stderr);
                std::_Exit(1);
            }
        }
    }

    const std::chrono::milliseconds limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    uint64_t run_ = 0;
    std::string what_;
    std::thread thread_;  // last: it starts watching once everything else is made
};

TEST(MonkeyDeathTest, TheWatchdogEndsARunWhoseClockStandsStill) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            HangWatchdog watchdog(std::chrono::milliseconds(200));
            watchdog.begin("seed 7 on the demo");
            watchdog.progress = 5;
            std::this_thread::sleep_for(std::chrono::seconds(5));
        },
        testing::ExitedWithCode(1), "stood still at 5 ms .* with seed 7 on the demo");
}

uint32_t fromEnvironment(const char* name, uint32_t otherwise) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<uint32_t>(std::strtoul(value, nullptr, 10)) : otherwise;
}

TEST(Monkey, RandomInputNeverCrashesOrStopsTheDemoOrAGeneratedStory) {
    const uint32_t seconds = fromEnvironment("ZARVO_MONKEY_SECONDS", 45);
    const uint32_t first = fromEnvironment("ZARVO_MONKEY_SEED", 1);
    const auto began = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                                began)
            .count();
    };
    const int kEvents = 300;
    uint64_t runs = 0, events = 0;
    // Random input must still get through the stories, or the run proves little.
    bool demoEffects = false, saved = false, looped = false;
    uint64_t presses = 0;          // of the generated story's button
    std::set<std::string> played;  // command keywords the generated story ran
    HangWatchdog watchdog(std::chrono::seconds(10));
    uint32_t seed = first;
    for (; seed < first + 2 || elapsed() < seconds; ++seed) {
        for (bool demo : {true, false}) {
            StoryBuilder s;
            HeadlessOptions options;
            if (demo) {
                std::filesystem::copy(ZARVO_DEMO_DIR, s.dir.file("demo"));
                options.projectPath = s.dir.file("demo/demo.zp7");
                options.programDir = ZARVO_PROGRAM_DIR;
            } else {
                options.projectPath = loopingStory(s);
                options.programDir = s.programDir;
            }
            std::filesystem::create_directories(s.dir.file("story"));
            const std::string text =
                monkeyEvents(seed, kEvents, 640, 480, clickTargets(readFile(options.projectPath)));
            // Kept outside the story's folder until the run is through, to replay a finding.
            const std::string kept =
                (std::filesystem::temp_directory_path() /
                 ("zarvo-monkey-" + std::to_string(seed) + (demo ? "-demo" : "-story") + ".events"))
                    .string();
            writeFile(kept, text);
            const std::string what = "seed " + std::to_string(seed) + " on the " +
                                     (demo ? "demo" : "generated story") + ", events in " + kept;
            std::fprintf(stderr, "monkey: %s\n", what.c_str());
            watchdog.begin(what);
            options.progress = &watchdog.progress;
            std::string error;
            ASSERT_TRUE(platform::parseEvents(text, options.events, error)) << error;
            // A minute of virtual time past the last event for the story to end or wait.
            const size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
            options.maxTime = static_cast<uint32_t>(std::stoul(text.substr(lastLine))) + 60000;
            options.quiet = true;
            options.tracePath = s.dir.file("trace.txt");
            const int status = runHeadless(options);
            const std::string trace = readFile(options.tracePath);
            if (demo) {
                demoEffects =
                    demoEffects || trace.find("スタートブック/効果#") != std::string::npos;
            } else {
                saved = saved || trace.find("@SaveCtrl") != std::string::npos;
                looped = looped || trace.find("@Move") != std::string::npos;
                std::istringstream lines(trace);
                for (std::string line; std::getline(lines, line);)
                    if (size_t at = line.find(" @"); at != std::string::npos)
                        played.insert(line.substr(at + 1));
                for (size_t at = trace.find("スタートブック/押した#0"); at != std::string::npos;
                     at = trace.find("スタートブック/押した#0", at + 1))
                    ++presses;
            }
            ASSERT_TRUE(status == kExitEnded || status == kExitTimeout)
                << "exit " << status << " with " << what;
            std::filesystem::remove(kept);
            ++runs;
            events += kEvents;
        }
    }
    EXPECT_TRUE(demoEffects);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(looped);
    // Every keyword of the command table, and one it does not know.
    std::set<std::string> everyKind = {"@Unknown"};
    for (int32_t type = 1; type < kCommandTypeCount; ++type)
        everyKind.insert(std::string(commandKeyword(static_cast<CommandType>(type))));
    std::vector<std::string> missing;
    std::set_difference(everyKind.begin(), everyKind.end(), played.begin(), played.end(),
                        std::back_inserter(missing));
    EXPECT_THAT(missing, testing::IsEmpty()) << "commands the generated story never ran";
    // Aimed clicks press it a few times a run; clicks anywhere, once in twenty runs.
    EXPECT_GE(presses, runs / 2) << "the monkey's clicks miss the clickable layers";
    std::cout << "monkey: seeds " << first << " to " << seed - 1 << ", " << runs << " runs, "
              << events << " events in " << elapsed() << " s\n";
}

}  // namespace
}  // namespace zarvo::test
