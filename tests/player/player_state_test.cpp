// Save states: a run taken at one moment and given back, in another run that has gone on
// elsewhere, goes on exactly as the first one did: the same commands at the same times, the same
// screens, the same music position and the same variables (random draws included).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/sjis.hpp"
#include "support/player.hpp"
#include "support/story.hpp"
#include "support/test_media.hpp"

namespace zarvo::test {
namespace {

// Music, an animated layer, random draws and the play time around a typed message, a timed
// wait, a timed choice and a wait with only the animation moving.
std::string writeStory(StoryBuilder& s) {
    s.writePicture("bg.png", 640, 480, 0x406080);
    Surface strip;
    strip.setSize(32, 16);
    strip.fillRect(0, 0, 16, 16, 0x0000FF);
    strip.fillRect(16, 0, 16, 16, 0x00FF00);
    writePngFile(s.dir.file("anim.png"), strip);
    writeFile(s.dir.file("loop.wav"), wavOfMs(1700));
    const std::string random = "ValueCtrl.LeftValue=%@乱数%\n@ValueCtrl\n";
    return s.writeScript(storyScript(
        "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n"
        "Music.FileName=loop.wav\n@Music\n"
        "GraphicDraw.FileName=bg.png\n@GraphicDraw\n"
        "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=anim.png\n"
        "DynamicLayer.Image.AnimeCount=2\nDynamicLayer.Image.AnimeType=Repeat\n"
        "DynamicLayer.Area.Left=300\nDynamicLayer.Area.Top=10\n"
        "DynamicLayer.Area.Width=16\nDynamicLayer.Area.Height=16\n@DynamicLayer\n"
        "ValueCtrl.ValueVar=%r1%\n" +
        random +
        "MessageDraw.Text=abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN<KEY>\n@MessageDraw\n"
        "ValueCtrl.ValueVar=%r2%\n" +
        random +
        "Wait.TimeBreak=1\nWait.Time=2500\n@Wait\n"
        "MessageDraw.Text=choose<KEY>\n@MessageDraw\n"
        "Select.Timeout=1\nSelect.Time=3000\nSelect.TimerGauge=0\nSelect.Area.Top=200\n"
        "Select.Page1=left\nSelect.Text1=left\nSelect.Page2=right\nSelect.Text2=right\n"
        "@Select\n"
        "ValueCtrl.ValueVar=%r3%\n" +
        random +
        "Wait.InputBreak=1\n@Wait\n"
        "ValueCtrl.ValueVar=%played%\nValueCtrl.LeftValue=%@経過時間%\n@ValueCtrl\n"
        "ValueCtrl.ValueVar=%r4%\n" +
        random +
        "MessageDraw.Text=end<KEY>\n@MessageDraw\n<Page End>\n"
        "<Page=\"left\">\nValueCtrl.ValueVar=%chose%\nValueCtrl.LeftValue=1\n@ValueCtrl\n"
        "<Page End>\n<Book End>\n"));
}

// Input after the moment, as offsets from it.
struct Input {
    uint32_t at;
    std::string what;  // "click X Y"
};

// What a run shows from the moment on: commands and music with times from the moment, the
// screen at each offset looked at, and the variables at the end.
struct Seen {
    std::vector<std::string> commands;
    std::vector<std::vector<uint32_t>> frames;
    std::vector<uint32_t> music;
    std::vector<std::string> variables;
};

std::vector<platform::HeadlessEvent> eventsFrom(uint32_t origin, const std::vector<Input>& input,
                                                const std::vector<Input>& before = {}) {
    std::string text;
    for (const Input& i : before) text += std::to_string(i.at) + " " + i.what + "\n";
    for (const Input& i : input) text += std::to_string(origin + i.at) + " " + i.what + "\n";
    std::vector<platform::HeadlessEvent> events;
    std::string error;
    EXPECT_TRUE(platform::parseEvents(text, events, error)) << error;
    return events;
}

Seen watch(TestPlayer& p, uint32_t origin, const std::vector<uint32_t>& looks) {
    Seen seen;
    p.main().onCommand = [&](const std::string& book, const std::string& page, int32_t index,
                             const Command&) {
        seen.commands.push_back(std::to_string(p.host.elapsed() - origin) + " " + sjisToUtf8(book) +
                                "/" + sjisToUtf8(page) + "#" + std::to_string(index));
    };
    for (uint32_t look : looks) {
        p.run(origin + look);
        seen.frames.push_back(p.canvas.frame());
        platform::SilentMediaPlayer* music = p.players.player(platform::MediaChannel::Music);
        seen.music.push_back(music ? music->positionMs() : 0);
    }
    p.run(origin + 30000);
    for (const auto& [isText, line] : p.vars().linesInSetOrder())
        seen.variables.push_back(sjisToUtf8(std::string(line)));
    p.main().onCommand = nullptr;
    return seen;
}

TEST(PlayerState, ARestoredRunGoesOnExactlyAsTheRunItWasTakenFrom) {
    StoryBuilder s;
    const std::string project = writeStory(s);
    // The reader's clicks: the first message's key wait, the second's, the wait that only the
    // animation fills, the last message.
    const std::vector<uint32_t> clicks{3000, 6400, 11500, 12500};
    struct Point {
        const char* name;
        uint32_t at;
        std::vector<Input> extra;  // more input after the moment
    };
    const std::vector<Point> points{
        {"while the message types", 1000, {}},
        {"in the timed wait", 4000, {}},
        {"at the timed choice, left to run out", 7400, {}},
        {"at the timed choice, taken", 7400, {{600, "move 10 205"}, {800, "click 10 205"}}},
        {"while only the animation moves", 11000, {}},
    };
    const std::vector<uint32_t> looks{0, 130, 700, 1500, 2900, 4100};
    for (const Point& point : points) {
        SCOPED_TRACE(point.name);
        std::vector<Input> before, after = point.extra;
        for (uint32_t c : clicks)
            (c < point.at ? before : after)
                .push_back({c < point.at ? c : c - point.at, "click 5 5"});
        TestPlayer a(project, s.programDir, eventsFrom(point.at, after, before));
        a.run(point.at);
        const PlayerState taken = a.main().captureState();
        ASSERT_FALSE(taken.empty());
        // Through the bytes of a package, as a state file holds it.
        PlayerState state;
        ASSERT_TRUE(decodeState(encodeState(taken), state));
        const Seen original = watch(a, point.at, looks);

        // The other run began with another random seed and has gone on 1.2 s past the moment.
        const uint32_t later = point.at + 1200;
        TestPlayer b(project, s.programDir, eventsFrom(later, after, before));
        b.vars().seed(4711);
        b.run(later);
        ASSERT_EQ(b.main().restoreState(state), StateRefusal::None);
        const Seen restored = watch(b, later, looks);

        EXPECT_EQ(restored.commands, original.commands);
        EXPECT_EQ(restored.music, original.music);
        EXPECT_EQ(restored.variables, original.variables);
        ASSERT_EQ(restored.frames.size(), original.frames.size());
        for (size_t i = 0; i < looks.size(); ++i)
            EXPECT_TRUE(restored.frames[i] == original.frames[i]) << "screen at +" << looks[i];
        EXPECT_FALSE(original.commands.empty());
    }
}

}  // namespace
}  // namespace zarvo::test
