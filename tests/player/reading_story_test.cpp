// Reading pace: text typing itself out, input answered at once, Japanese line breaking.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"
#include "graphics/layers.hpp"
#include "player/read_messages.hpp"
#include "support/player.hpp"
#include "support/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::test {
namespace {

using ::testing::ElementsAre;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr long kFrame = 17;  // a frame at 60 per second

std::string book(const std::string& lines, const std::string& head = "FileType=QZ7\n") {
    return storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + lines +
                           "<Page End>\n<Book End>\n",
                       head);
}

const std::string kDone = "ValueCtrl.ValueVar=%done%\nValueCtrl.LeftValue=1\n@ValueCtrl\n";

std::string message(const std::string& text, const std::string& area = "") {
    return area + "MessageDraw.Text=" + text + "\n@MessageDraw\n";
}

// The rightmost column holding text in the first line, -1 when none.
int textRight(const Surface& g) {
    for (int x = g.width() - 1; x >= 0; --x)
        for (int y = 0; y < 21; ++y)
            if (g.getPixel(x, y) != kWhite) return x;
    return -1;
}

Surface load(const std::string& path) {
    Surface g;
    readPngFile(path, g);
    return g;
}

const std::string kForty = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN";  // 40 characters

TEST(ReadingStory, TextTypesItselfOutAtItsSpeedAndAClickShowsTheRestOfTheRun) {
    StoryBuilder s;
    std::string project = s.writeScript(book(message(kForty) + kDone));
    StoryRun r = s.run(project);
    ASSERT_EQ(r.status, kExitEnded);
    long start = r.timeOf("@MessageDraw"), end = r.timeOf("@ValueCtrl");
    // 40 characters at NORMAL speed, 60 ms each.
    EXPECT_NEAR(end - start, 2400, kFrame);

    // Half a second in, a click shows the rest of the run at once, not the end of the key wait
    // that follows; the next click ends that.
    project = s.writeScript(book(message(kForty + "<KEY>") + kDone));
    std::string typing = s.dir.file("typing.png"), whole = s.dir.file("whole.png");
    auto at = [&](long ms) { return std::to_string(start + ms); };
    r = s.run(project, at(500) + " shot " + typing + "\n" + at(500) + " click 1 1\n" + at(505) +
                           " shot " + whole + "\n" + at(1000) + " click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    int part = textRight(load(typing)), all = textRight(load(whole));
    EXPECT_GT(part, 20);
    EXPECT_LT(part, all / 2);
    EXPECT_EQ(all, textRight(r.shot));
    EXPECT_GE(r.timeOf("@ValueCtrl"), start + 1000);
    EXPECT_LE(r.timeOf("@ValueCtrl"), start + 1020);

    // The story's own delays and speed tags change the pace; Direct mode stays instant.
    project = s.writeScript(
        book(message(kForty) + kDone, "FileType=QZ7\nMsgCharWaitNormal=30\nMsgCharWaitFast=5\n"));
    r = s.run(project);
    EXPECT_NEAR(r.timeOf("@ValueCtrl") - r.timeOf("@MessageDraw"), 1200, kFrame);
    project = s.writeScript(
        book(message("<FAST>" + kForty) + kDone, "FileType=QZ7\nMsgCharWaitFast=5\n"));
    r = s.run(project);
    EXPECT_NEAR(r.timeOf("@ValueCtrl") - r.timeOf("@MessageDraw"), 200, kFrame);
    project = s.writeScript(book(message("<SLOW>" + kForty) + kDone));
    r = s.run(project);
    EXPECT_NEAR(r.timeOf("@ValueCtrl") - r.timeOf("@MessageDraw"), 4800, kFrame);
    project =
        s.writeScript(book("System.Command=MessageDirect\n@System\n" + message(kForty) + kDone));
    r = s.run(project);
    EXPECT_LE(r.timeOf("@ValueCtrl") - r.timeOf("@MessageDraw"), kFrame);
}

TEST(ReadingStory, TheReadersTextSpeedScalesTheStorysDelays) {
    StoryBuilder s;
    std::string project = s.writeScript(book(message(kForty) + kDone));
    auto typingTime = [&](std::optional<TextSpeed> speed) {
        s.settings.textSpeed = speed;
        StoryRun r = s.run(project);
        return r.timeOf("@ValueCtrl") - r.timeOf("@MessageDraw");
    };
    EXPECT_LE(typingTime(TextSpeed::Instant), kFrame);
    EXPECT_NEAR(typingTime(TextSpeed::Fast), 1200, kFrame);
    EXPECT_NEAR(typingTime(TextSpeed::Slow), 4800, kFrame);

    // The settings file says it for every run; a bad line costs only itself.
    s.settings.path = s.dir.file("config/settings.ini");
    std::filesystem::create_directories(s.dir.file("config"));
    writeFile(s.settings.path, "text-speed=fast\nauto-delay=soon\n");
    EXPECT_NEAR(typingTime(std::nullopt), 1200, kFrame);
    // The command line wins for its run.
    EXPECT_LE(typingTime(TextSpeed::Instant), kFrame);
}

TEST(ReadingStory, InputThatEndsAWaitRunsTheStoryAtOnce) {
    StoryBuilder s;
    std::string clickWait = "Wait.InputBreak=1\n@Wait\n";
    std::string project = s.writeScript(book(clickWait + "@rem\n" + clickWait + kDone));
    // Neither on a tick: each is answered within a frame rather than at the next 200 ms tick.
    StoryRun r = s.run(project, "1030 click 5 5\n1350 key space\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_GE(r.timeOf("@rem"), 1030);
    EXPECT_LE(r.timeOf("@rem"), 1030 + 20);
    EXPECT_GE(r.timeOf("@ValueCtrl"), 1350);
    EXPECT_LE(r.timeOf("@ValueCtrl"), 1350 + 20);
}

TEST(ReadingStory, HeldCtrlSkipsTwentyFiveMessagesASecondShowingEachForAFrame) {
    StoryBuilder s;
    std::string lines;
    for (int i = 0; i < 200; ++i) lines += message("台詞" + std::to_string(i) + "<KEY>");
    std::string project = s.writeScript(book(lines + kDone));
    StoryRun r = s.run(project, "100 key ctrl\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_LE(r.timeOf("@ValueCtrl"), 100 + 8000);
    // Each message was on the screen for a frame before the next.
    long last = -1;
    int steps = 0;
    for (const auto& line : r.trace)
        if (line.find("@MessageDraw") != std::string::npos) {
            long t = std::stol(line.substr(0, line.find(' ')));
            if (last >= 0) {
                EXPECT_GE(t - last, 10) << line;
            }
            last = t;
            ++steps;
        }
    EXPECT_EQ(steps, 200);
}

TEST(ReadingStory, SkipToggleStopsAtTheFirstUnreadMessageOfASecondRun) {
    StoryBuilder s;
    s.settings.readFolder = s.dir.file("data/zarvoplay");
    std::string lines;
    for (int i = 0; i < 5; ++i) lines += message("台詞" + std::to_string(i) + "<KEY>");
    std::string project = s.writeScript(book(lines + kDone));
    // The first run shows four messages and waits in the fourth.
    StoryRun r = s.run(project, "1000 click 1 1\n1500 click 1 1\n2000 click 1 1\n");
    ASSERT_EQ(r.commands.back(), "スタートブック/スタートページ#3 @MessageDraw");
    // The toggle passes what was read, and stops, turning itself off, at the first unread one.
    r = s.run(project, "300 key s\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#4 @MessageDraw");
    ASSERT_EQ(r.player.size(), 2u);
    EXPECT_EQ(r.player[0], "300 player skip on");
    EXPECT_THAT(r.player[1], ::testing::EndsWith(" player skip off"));
    EXPECT_LE(r.timeOf("#4 @MessageDraw"), 300 + 4 * 40);
    // The marks belong to the story's content, not its place: a copy elsewhere skips all five.
    const std::string copy = s.dir.file("elsewhere/story.zp7");
    std::filesystem::create_directories(s.dir.file("elsewhere"));
    std::filesystem::copy_file(project, copy);
    r = s.run(copy, "300 key s\n");
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#5 @ValueCtrl");
    // Marks an earlier version kept under the story's path are still found.
    s.settings.readFolder = s.dir.file("old/zarvoplay");
    std::filesystem::create_directories(s.settings.readFolder + "/read");
    platform::LocalFileSystem files;
    std::string marks;
    for (int i = 0; i < 3; ++i)
        marks += "スタートブック/スタートページ#" + std::to_string(i) + "\n";
    writeFile(ReadMessages::pathNamedFileFor(files, s.settings.readFolder, project), marks);
    r = s.run(project, "300 key s\n");
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#3 @MessageDraw");
    s.settings.readFolder = s.dir.file("data/zarvoplay");
    // Held Ctrl skips everything; a key ends the toggle.
    r = s.run(project, "300 key ctrl\n");
    EXPECT_EQ(r.status, kExitEnded);
    r = s.run(project, "300 key s\n301 key space\n");
    EXPECT_THAT(r.player, ElementsAre("300 player skip on", "301 player skip off"));
    // With every message skippable, the toggle still stops at an input box: the messages after
    // it wait for the reader.
    s.settings.path = s.dir.file("settings.ini");
    writeFile(s.settings.path, "skip-read-only=off\n");
    project = s.writeScript(book(message("前<KEY>") + "StringInput.StringVar=$s$\n@StringInput\n" +
                                 message("後<KEY>") + message("次<KEY>") + kDone));
    r = s.run(project, "300 key s\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#2 @MessageDraw");
    ASSERT_EQ(r.player.size(), 2u);
    EXPECT_THAT(r.player[1], ::testing::EndsWith(" player skip off"));
    // Read messages that cannot be kept are said, not lost in silence.
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "GoogleTest cannot capture stderr under WebAssembly";
#endif
    s.settings.readFolder = s.dir.file("settings.ini/zarvoplay");
    ::testing::internal::CaptureStderr();
    s.run(project, "300 click 1 1\n");
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                ::testing::HasSubstr("cannot write the read messages"));
}

TEST(ReadingStory, AutoModeEndsKeyWaitsAfterTheDelayForWhatWasShown) {
    StoryBuilder s;
    // Ten characters typed out in 600 ms, then the key wait ends 800 + 10 x 40 ms later.
    std::string project =
        s.writeScript(book(message("abcdefghij<KEY>") + message("klmnopqrst<KEY>") + kDone));
    StoryRun r = s.run(project, "100 key a\n");
    ASSERT_EQ(r.status, kExitEnded);
    long first = r.timeOf("#0 @MessageDraw"), second = r.timeOf("#1 @MessageDraw");
    EXPECT_NEAR(second - first, 600 + 1200, kFrame);
    EXPECT_NEAR(r.timeOf("@ValueCtrl") - second, 600 + 1200, kFrame);
    // Read to its end in auto mode, the story's last frame waits for the reader.
    const auto heldEnd = ::testing::HasSubstr("player notice");
    EXPECT_THAT(r.player, ElementsAre("100 player auto on", heldEnd));
    // A game controller's Y does the same.
    r = s.run(project, "100 pad y\n");
    EXPECT_NEAR(r.timeOf("#1 @MessageDraw") - r.timeOf("#0 @MessageDraw"), 600 + 1200, kFrame);
    EXPECT_THAT(r.player, ElementsAre("100 player auto on", heldEnd));
    // The reader's settings set the delays; a click stops auto mode (and ends the wait).
    s.settings.path = s.dir.file("settings.ini");
    writeFile(s.settings.path, "auto-delay=100\nauto-per-char=0\n");
    r = s.run(project, "100 key a\n" + std::to_string(first + 750) + " click 1 1\n");
    EXPECT_NEAR(r.timeOf("#1 @MessageDraw") - first, 700, kFrame);
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_EQ(r.player.back(), std::to_string(first + 750) + " player auto off");
}

TEST(ReadingStory, CtrlCCopiesTheMessageShownSoFarWithoutTagsAndDoesNotSkip) {
    StoryBuilder s;
    std::string project =
        s.writeScript(book(message("あい<B>う#え<KEY>おか<KEY>") + message("かき<KEY>") + kDone));
    // At the first key wait the rest of the message is not shown yet, so it is not copied.
    StoryRun r = s.run(project,
                       "1000 key ctrl\n1000 key c\n1300 keyup ctrl\n1500 click 1 1\n"
                       "2000 key ctrl\n2000 key c\n2300 keyup ctrl\n");
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_THAT(r.player, ElementsAre("1000 player clipboard あいう\\nえ",
                                      "2000 player clipboard あいう\\nえおか"));
    EXPECT_EQ(r.commands.back(), "スタートブック/スタートページ#0 @MessageDraw");
    // Every message as it completes, for dictionary tools.
    s.settings.path = s.dir.file("settings.ini");
    writeFile(s.settings.path, "copy-each-message=on\n");
    r = s.run(project, "1000 click 1 1\n2000 click 1 1\n3000 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.player,
                ElementsAre("2000 player clipboard あいう\\nえおか", "3000 player clipboard かき"));
}

TEST(ReadingStory, HideShowsTheSceneWithoutTheTextAndItsWindowUntilTheNextKey) {
    StoryBuilder s;
    // A scene filling the screen in a layer of its own, and the message's window picture above.
    s.writePicture("bg.png", 640, 480, 0x00FF00);
    s.writePicture("window.png", 600, 130, 0xFF0000);
    const std::string layers =
        "<Head=\"LayerList\">\nLayerCount=3\nLayer.1.LayerName=scene\n"
        "Layer.2.LayerName=window\n<Head End>\n";
    const std::string draw =
        "GraphicDraw.FileName=bg.png\nGraphicDraw.Layer=scene\n@GraphicDraw\n"
        "GraphicDraw.FileName=window.png\nGraphicDraw.Layer=window\n"
        "GraphicDraw.Layer.Move=1\nGraphicDraw.Area.Left=20\n"
        "GraphicDraw.Area.Top=340\n@GraphicDraw\n";
    std::string project = s.writeScript(
        storyScript(layers + "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + draw +
                    message("あいうえお<KEY>",
                            "MessageDraw.Layer.Move=1\nMessageDraw.Area.Left=40\n"
                            "MessageDraw.Area.Top=352\nMessageDraw.Area.Width=560\n"
                            "MessageDraw.Area.Height=110\n") +
                    kDone + "<Page End>\n<Book End>\n"));
    std::string before = s.dir.file("before.png"), hidden = s.dir.file("hidden.png"),
                after = s.dir.file("after.png");
    StoryRun r = s.run(project, "1000 shot " + before + "\n1100 key h\n1100 shot " + hidden +
                                    "\n1200 key space\n1200 shot " + after + "\n1300 mclick 1 1\n" +
                                    "1400 click 1 1\n1500 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    auto green = [](const Surface& g) {
        int n = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) n += g.getPixel(x, y) == 0x00FF00;
        return n;
    };
    auto blue = [](const Surface& g) {
        int n = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) n += g.getPixel(x, y) == 0xFF0000;
        return n;
    };
    Surface shown = load(before), bare = load(hidden), back = load(after);
    // The text shows on the window, which hides the scene under it.
    EXPECT_LE(green(shown), 640 * 480 - 600 * 130);
    EXPECT_GT(blue(shown), 600 * 130 / 2);
    EXPECT_LT(blue(shown), 600 * 130);
    EXPECT_EQ(green(bare), 640 * 480);
    // The key that ends hiding does nothing else: the story is where it was, shown as before.
    EXPECT_EQ(green(back), green(shown));
    EXPECT_EQ(blue(back), blue(shown));
    EXPECT_THAT(r.player, ElementsAre("1100 player hide on", "1200 player hide off",
                                      "1300 player hide on", "1400 player hide off"));
    EXPECT_GE(r.timeOf("@ValueCtrl"), 1500);
    // A game controller's X hides the text too.
    r = s.run(project, "1000 pad x\n1100 pad a\n");
    EXPECT_THAT(r.player, ElementsAre("1000 player hide on", "1100 player hide off"));
}

TEST(ReadingStory, EffectsRunAtTheirShortestWhileSkipping) {
    StoryBuilder s;
    s.writePicture("bg.png", 640, 480, 0x00FF00);
    std::string project = s.writeScript(
        book(message("あ<KEY>") + "GraphicDraw.FileName=bg.png\nGraphicDraw.EffectType=Fadein\n" +
             "@GraphicDraw\n" + message("い<KEY>") + kDone));
    auto effectTime = [&](const std::string& events) {
        StoryRun r = s.run(project, events);
        return r.timeOf("#2 @MessageDraw") - r.timeOf("@GraphicDraw");
    };
    EXPECT_GT(effectTime("1000 click 1 1\n5000 click 1 1\n"), 200);
    EXPECT_LE(effectTime("100 key ctrl\n"), 5);
}

// The lines of the text layer's last layout, UTF-8.
std::vector<std::string> shownLines(TestPlayer& p) {
    const TextLayout& text = p.main().screen().findLayer(0, texts::kTextLayer)->text;
    std::vector<std::string> lines;
    const std::vector<size_t>& starts = text.lineStarts();
    for (size_t i = 0; i < starts.size(); ++i) {
        size_t end = i + 1 < starts.size() ? starts[i + 1] : text.layoutText.size();
        lines.push_back(sjisToUtf8(text.layoutText.substr(starts[i], end - starts[i])));
    }
    return lines;
}

bool startsWithAny(const std::string& line, const std::vector<std::string>& marks) {
    for (const auto& m : marks)
        if (line.rfind(m, 0) == 0) return true;
    return false;
}

bool endsWithAny(const std::string& line, const std::vector<std::string>& marks) {
    for (const auto& m : marks)
        if (line.size() >= m.size() && line.compare(line.size() - m.size(), m.size(), m) == 0)
            return true;
    return false;
}

TEST(ReadingStory, JapaneseLinesNeverBeginWithClosingPunctuationNorEndWithAnOpeningBracket) {
    const std::vector<std::string> closing = {"、", "。", "」", "』", "）",
                                              "ー", "っ", "ゃ", "！", "？"};
    const std::vector<std::string> opening = {"「", "『", "（"};
    // Prose with only closing punctuation to offend, and prose with brackets too.
    const std::string plain =
        "ある日の暮方の事である。一人の下人が、羅生門の下で雨やみを待っていた。広い門の下には、"
        "この男のほかに誰もいない。ただ、所々丹塗の剥げた、大きな円柱に、蟋蟀が一匹とまっている。"
        "羅生門が、朱雀大路にある以上は、この男のほかにも、雨やみをする市女笠や揉烏帽子が、"
        "もう二三人はありそうなものである。それが、この男のほかには誰もいない。";
    const std::string quoted =
        "下人は、「どうにもならない事を、どうにかするためには、手段を選んでいる遑はない。」と"
        "考えた。『選んでいれば、築土の下か、道ばたの土の上で、饑死をするばかりである。』そうして"
        "（この門の上へ持って来て、犬のように棄てられてしまうばかりである。）と思った。";
    StoryBuilder s;
    int offendedWithout = 0;
    for (int width = 150; width <= 330; width += 15) {
        for (const std::string* text : {&plain, &quoted}) {
            std::string project = s.writeScript(
                book(message(*text, "MessageDraw.Area.Width=" + std::to_string(width) + "\n") +
                     "Wait.InputBreak=1\n@Wait\n"));
            auto layOut = [&](bool rules) {
                TestPlayer p(project, s.programDir);
                PlayerSettings settings;
                settings.lineBreakRules = rules;
                p.main().usePlayerSettings(settings);
                p.run(1000);
                return shownLines(p);
            };
            std::vector<std::string> with = layOut(true), without = layOut(false);
            ASSERT_GT(with.size(), 2u);
            for (size_t i = 0; i < with.size(); ++i) {
                EXPECT_FALSE(i > 0 && startsWithAny(with[i], closing)) << width << ": " << with[i];
                EXPECT_FALSE(i + 1 < with.size() && endsWithAny(with[i], opening))
                    << width << ": " << with[i];
            }
            for (size_t i = 1; i < without.size(); ++i)
                offendedWithout += startsWithAny(without[i], closing);
            if (text == &plain) {
                EXPECT_EQ(with.size(), without.size()) << width;
            }
        }
    }
    // The widths tried do put punctuation at line starts when the rules are off.
    EXPECT_GT(offendedWithout, 5);
}

int luminance(uint32_t color) {
    return ((color & 0xFF) * 299 + ((color >> 8) & 0xFF) * 587 + ((color >> 16) & 0xFF) * 114) /
           1000;
}

// Text bands in a backlog picture: runs of rows holding light pixels (light text, or the outline
// of dark text) on the dark panel, left of the scroll bar.
int textBands(const Surface& g) {
    int bands = 0;
    bool inText = false;
    for (int y = 0; y < g.height(); ++y) {
        bool text = false;
        for (int x = 0; x < g.width() * 9 / 10 && !text; ++x)
            text = luminance(g.getPixel(x, y)) > 150;
        bands += text && !inText;
        inText = text;
    }
    return bands;
}

TEST(ReadingStory, TheBacklogShowsThePreviousMessagesOverTheStoryAndComesBackWithASave) {
    StoryBuilder s;
    std::filesystem::create_directories(s.dir.file("story"));
    const std::string direct = "System.Command=MessageDirect\n@System\n";
    const std::string clickWait = "Wait.InputBreak=1\n@Wait\n";
    const std::string save = "SaveCtrl.Command=AutoSave\nSaveCtrl.FileName=b.sav\n@SaveCtrl\n";
    const std::string start = direct + message("first message<KEY>") + message("second<KEY>") +
                              message("third<KEY>") + save + clickWait + kDone;
    std::string project = s.writeScript(book(start));

    std::string story = s.dir.file("story.png"), open = s.dir.file("open.png"),
                closed = s.dir.file("closed.png"), older = s.dir.file("older.png");
    StoryRun r =
        s.run(project, "1000 click 1 1\n1200 click 1 1\n1500 shot " + story +
                           "\n1510 wheel up\n1520 shot " + open + "\n1530 key up\n1540 shot " +
                           older + "\n1550 key escape\n1560 shot " + closed +
                           "\n1600 click 1 1\n2000 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.player, ElementsAre(::testing::EndsWith("backlog open"),
                                      ::testing::EndsWith("backlog close")));
    // The story held still while it was open: the second click ended the message's wait.
    EXPECT_GE(r.timeOf("@SaveCtrl"), 1600);
    Surface shown = load(story), backlog = load(open);
    auto same = [](const Surface& a, const Surface& b) {
        if (a.width() != b.width() || a.height() != b.height()) return false;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.getPixel(x, y) != b.getPixel(x, y)) return false;
        return true;
    };
    EXPECT_FALSE(same(shown, backlog));
    EXPECT_TRUE(same(shown, load(closed)));
    // The messages before the one shown now, the older above; scrolled up, the newer is gone.
    EXPECT_EQ(textBands(backlog), 2);
    EXPECT_EQ(textBands(load(older)), 1);

    // A later run loads the save at its start, before any message: the history comes back with
    // it.
    project = s.writeScript(
        storyScript("<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + start +
                        "<Page End>\n<Page=\"load\">\n"
                        "SaveCtrl.Command=AutoLoad\nSaveCtrl.FileName=b.sav\n@SaveCtrl\n"
                        "<Page End>\n<Book End>\n",
                    "FileType=QZ7\nStartPage=load\n"));
    r = s.run(project, "1000 wheel up\n1010 shot " + open + "\n1020 wheel down\n1100 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    EXPECT_THAT(r.commands, ::testing::Not(::testing::Contains(::testing::HasSubstr("@Message"))));
    EXPECT_THAT(r.player, ElementsAre(::testing::EndsWith("backlog open"),
                                      ::testing::EndsWith("backlog close")));
    EXPECT_EQ(textBands(load(open)), 3);
}

TEST(ReadingStory, TheBacklogKeepsEveryPageOfALongMessage) {
    StoryBuilder s;
    // Three lines of text in an area one line high: three pages.
    const std::string text = "<clRed>" + kForty + "#" + kForty + "#" + kForty;
    std::string project = s.writeScript(
        book(message(text + "<KEY>",
                     "MessageDraw.Layer.Move=1\nMessageDraw.Area.Left=10\nMessageDraw.Area.Top=10\n"
                     "MessageDraw.Area.Width=600\nMessageDraw.Area.Height=30\n") +
             "Wait.InputBreak=1\n@Wait\n"));
    std::vector<platform::HeadlessEvent> events;
    std::string error;
    ASSERT_TRUE(platform::parseEvents(
        "3000 click 1 1\n6000 click 1 1\n9000 click 1 1\n12000 click 1 1\n", events, error));
    TestPlayer p(project, s.programDir, events);
    p.run(15000);
    EXPECT_THAT(p.save().messageHistory(), ElementsAre(text + "<KEY>"));
}

TEST(ReadingStory, TheBacklogShowsWhiteTextOfADarkWindowLegibly) {
    StoryBuilder s;
    s.writePicture("window.png", 600, 130, 0x401010);
    const std::string area = "MessageDraw.Area.Left=40\nMessageDraw.Area.Top=352\n";
    std::string project = s.writeScript(
        book("GraphicDraw.FileName=window.png\nGraphicDraw.Area.Left=20\nGraphicDraw.Area.Top=340\n"
             "@GraphicDraw\n" +
             message("<clWhite>白い文字の一つめ<KEY>", area) +
             message("<clWhite>白い文字の二つめ<KEY>", area) + kDone));
    std::string open = s.dir.file("open.png");
    StoryRun r = s.run(project, "1000 click 1 1\n1500 key pageup\n1510 shot " + open +
                                    "\n1520 key escape\n1600 click 1 1\n");
    ASSERT_EQ(r.status, kExitEnded);
    // The first message's characters show white on a dark ground: no white is lost as
    // background, and the ground is no white either.
    Surface g = load(open);
    int nearWhite = 0;
    for (int y = 0; y < g.height(); ++y)
        for (int x = 0; x < g.width(); ++x) nearWhite += luminance(g.getPixel(x, y)) > 224;
    EXPECT_GT(nearWhite, 150);
    EXPECT_LT(nearWhite, g.width() * g.height() / 20);
}

}  // namespace
}  // namespace zarvo::test
