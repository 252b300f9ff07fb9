// The monkey plays the demo and a generated story (messages with tags, an input box, branches,
// nested calls, saves and loads, music and sounds, a loop back to the start) with seeded random
// input for a bounded time: ZARVO_MONKEY_SECONDS of real time (45 by default; scripts/soak
// sets hours), seeds from ZARVO_MONKEY_SEED (1) up. Every run must end as the story ends or
// waits (exit 0 or 3): a crash or a sanitizer report stops the test right after the line naming
// its seed and events file, and any other status names them in the failure.
#include "monkey.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "support/story.hpp"
#include "support/test_media.hpp"

namespace zarvo::test {
namespace {

std::string loopingStory(StoryBuilder& s) {
    s.writePicture("back.png", 640, 480, 0x204060);
    s.writePicture("button.png", 80, 40, 0xFF0000);
    writeFile(s.dir.file("tune.wav"), wavOfMs(800));
    writeFile(s.dir.file("ping.wav"), wavOfMs(100));
    auto saveCtrl = [](const std::string& command, const std::string& extra) {
        return "SaveCtrl.Command=" + command + "\n" + extra + "@SaveCtrl\n";
    };
    std::string start =
        "GraphicDraw.FileName=back.png\n@GraphicDraw\n"
        "Music.FileName=tune.wav\nMusic.Loop=0\n@Music\n"
        "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=button.png\n"
        "DynamicLayer.Area.Left=500\nDynamicLayer.Area.Top=400\n@DynamicLayer\n"
        "MessageDraw.Text=<B>始まり</B><*20>大きく<clRed>赤<FAST>速く<W200>待って<KEY>#次の行"
        "\n@MessageDraw\n"
        "ValueCtrl.ValueVar=%n%\nValueCtrl.LeftValue=%n%\nValueCtrl.RightValue=1\n"
        "ValueCtrl.Calc=Add\n@ValueCtrl\n"
        "StringInput.StringVar=$名$\nStringInput.Caption=名前\nStringInput.Text=入力\n"
        "@StringInput\n"
        "Call.BookName=スタートブック\nCall.PageName=外\n@Call\n"
        "if.Variable1=%n%\nif.Variable2=3\n@if\n" +
        saveCtrl("AutoLoad", "SaveCtrl.FileName=m.sav\n") + "@else\n" +
        saveCtrl("AutoSave", "SaveCtrl.FileName=m.sav\n") + "@endif\n" +
        "Sound.FileName=ping.wav\n@Sound\n@Effect\nWait.InputBreak=1\n@Wait\n"
        "Move.BookName=スタートブック\nMove.PageName=スタートページ\n@Move\n";
    std::string outer =
        "Call.BookName=スタートブック\nCall.PageName=内\n@Call\n"
        "MessageDraw.Text=$名$さん<PAGE>\n@MessageDraw\n@Return\n";
    std::string inner = "Wait.InputBreak=1\n@Wait\n@MusicStop\n@Return\n";
    return s.writeScript(storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" +
                                     start + "<Page End>\n" + "<Page=\"外\">\n" + outer +
                                     "<Page End>\n<Page=\"内\">\n" + inner +
                                     "<Page End>\n<Book End>\n"));
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
            const std::string text = monkeyEvents(seed, kEvents, 640, 480);
            // Kept outside the story's folder until the run is through, to replay a finding.
            const std::string kept =
                (std::filesystem::temp_directory_path() /
                 ("zarvo-monkey-" + std::to_string(seed) + (demo ? "-demo" : "-story") + ".events"))
                    .string();
            writeFile(kept, text);
            std::fprintf(stderr, "monkey: seed %u on the %s, events in %s\n", seed,
                         demo ? "demo" : "generated story", kept.c_str());
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
            }
            ASSERT_TRUE(status == kExitEnded || status == kExitTimeout)
                << "exit " << status << " with seed " << seed << ", events in " << kept;
            std::filesystem::remove(kept);
            ++runs;
            events += kEvents;
        }
    }
    EXPECT_TRUE(demoEffects);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(looped);
    std::cout << "monkey: seeds " << first << " to " << seed - 1 << ", " << runs << " runs, "
              << events << " events in " << elapsed() << " s\n";
}

}  // namespace
}  // namespace zarvo::test
