#include "debug/debug_model.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "archive/package.hpp"
#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/sjis.hpp"
#include "player/player.hpp"
#include "support/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::test {
namespace {

using ::testing::ElementsAre;

// A host whose message pump lets the test act, as a user at the debug window would.
class ProbeHost final : public platform::Host {
  public:
    ProbeHost(platform::Host& inner, platform::VirtualClock& clock)
        : inner_(inner), clock_(clock) {}
    void processMessages() override {
        ++pumps;
        if (onPump) onPump(clock_.ticks());
        inner_.processMessages();
    }
    void terminate() override { inner_.terminate(); }
    bool isTerminating() const override { return inner_.isTerminating(); }
    void setTimerEnabled(bool on) override { inner_.setTimerEnabled(on); }
    void setCursor(platform::Cursor c) override { inner_.setCursor(c); }
    void setCaption(std::string_view t) override { inner_.setCaption(t); }
    void setClientSize(int w, int h) override { inner_.setClientSize(w, h); }

    int pumps = 0;
    std::function<void(uint32_t now)> onPump;

  private:
    platform::Host& inner_;
    platform::VirtualClock& clock_;
};

// The main window on the headless host with a debug window of the test's own: it records every
// command and can play a packaged story.
class DebugRun {
  public:
    DebugRun()
        : inner(clock, dialogs, {}),
          host(inner, clock),
          fonts(false),
          players(clock),
          main({host, clock, dialogs, files, &fonts, &canvas, &players}, story.programDir) {
        inner.setClient(&main);
        main.onCommand = [this](const std::string&, const std::string&, int32_t,
                                const Command& command) {
            commands.push_back(sjisToUtf8(command.keyword));
        };
        main.createDebugWindow = [this](const DebugWindowRequest& request) {
            requests.push_back(request);
            auto window = std::make_unique<DebugModel>(DebugModel::Services{&host, &clock});
            window->setControls(request.story, request.execution, request.screen);
            if (startPaused) window->tbPauseClick();
            debug = window.get();
            return window;
        };
    }

    // A packaged project holding the script (UTF-8 body after the Zarvo head) and pictures.
    std::string package(const std::string& body, const std::string& head,
                        const std::vector<std::string>& pictures = {}) {
        std::string path = story.dir.file("game.zp7");
        PackageWriter w;
        initWriter(w);
        setMagic(w, "QZ7PKG");
        if (!createPackage(test::localFiles(), w, path)) return path;
        std::string script;
        for (char c : storyScript(body, head)) {
            if (c == '\n') script += '\r';
            script += c;
        }
        writeStreamEntry(w, sjis(script), "zarvo.zf7");
        for (const std::string& name : pictures) {
            Surface g;
            g.setSize(8, 8);
            g.fillRect(0, 0, 8, 8, 0x0000FF);
            writePngFile(story.dir.file("pic.png"), g);
            writeStreamEntry(w, readFile(story.dir.file("pic.png")), name);
        }
        finishPackage(w);
        return path;
    }

    platform::HeadlessHost::RunEnd play(const std::string& project) {
        main.open(project, story.programDir);
        main.show();
        main.activate();
        return inner.run(60000);
    }

    StoryBuilder story;
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    platform::LocalFileSystem files;
    platform::HeadlessHost inner;
    ProbeHost host;
    platform::FreeTypeFontEngine fonts;
    platform::FrameCanvas canvas;
    platform::SilentMediaPlayerFactory players;
    Player main;

    bool startPaused = false;
    DebugModel* debug = nullptr;
    std::vector<DebugWindowRequest> requests;
    std::vector<std::string> commands;
};

std::string page(const std::string& lines) {
    return "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + lines +
           "<Page End>\n<Book End>\n";
}

std::string setValue(const std::string& var, const std::string& value) {
    return "ValueCtrl.ValueVar=%" + var + "%\nValueCtrl.LeftValue=" + value + "\n@ValueCtrl\n";
}

std::string setText(const std::string& var, const std::string& text) {
    return "StringCtrl.StringVar=$" + var + "$\nStringCtrl.Text=" + text + "\n@StringCtrl\n";
}

const std::string kDebugHead = "FileType=QZ7\nDebugMode=1\n";

// --- The gate on its own -------------------------------------------------------------------

class CountingHost final : public platform::Host {
  public:
    void processMessages() override {
        ++pumps;
        if (onPump) onPump(pumps);
    }
    void terminate() override { terminating = true; }
    bool isTerminating() const override { return terminating; }
    void setTimerEnabled(bool) override {}
    void setCursor(platform::Cursor) override {}
    void setCaption(std::string_view) override {}
    void setClientSize(int, int) override {}
    int pumps = 0;
    bool terminating = false;
    std::function<void(int pump)> onPump;
};

TEST(DebugGate, RunsFreelyPausesUntilAButtonAndLetsOneStepThrough) {
    CountingHost host;
    platform::VirtualClock clock;
    DebugModel debug({&host, &clock});

    // Running: messages are processed once and nobody sleeps.
    debug.debugGate();
    EXPECT_EQ(host.pumps, 1);
    EXPECT_EQ(clock.ticks(), 0u);
    EXPECT_EQ(debug.downButton(), DebugIcon::Run);

    // Paused: pumping and sleeping 100 ms a round until step is pressed on the 6th pump.
    debug.tbPauseClick();
    host.pumps = 0;
    host.onPump = [&](int pump) {
        if (pump == 6) debug.tbStepClick();
    };
    debug.debugGate();
    EXPECT_EQ(host.pumps, 6);
    EXPECT_EQ(clock.ticks(), 500u);
    EXPECT_EQ(debug.stepState(), DebugStepState::Paused);  // the step is used up
    EXPECT_EQ(debug.downButton(), DebugIcon::Pause);

    // Step pressed before the gate: one round of messages, then the step goes through.
    debug.tbStepClick();
    host.pumps = 0;
    host.onPump = nullptr;
    debug.debugGate();
    EXPECT_EQ(host.pumps, 2);
    EXPECT_EQ(debug.stepState(), DebugStepState::Paused);

    // Play while paused ends the wait for good.
    host.pumps = 0;
    host.onPump = [&](int pump) {
        if (pump == 3) debug.tbPlayClick();
    };
    debug.debugGate();
    EXPECT_EQ(host.pumps, 3);
    EXPECT_EQ(debug.stepState(), DebugStepState::Running);

    // Closing the program while paused ends the wait; the state is left alone.
    debug.tbPauseClick();
    host.pumps = 0;
    host.onPump = [&](int pump) {
        if (pump == 4) host.terminate();
    };
    debug.debugGate();
    EXPECT_EQ(host.pumps, 4);
    EXPECT_EQ(debug.stepState(), DebugStepState::Paused);

    // Closing the debug window while paused lets the story run on instead of hanging.
    host.terminating = false;
    host.pumps = 0;
    host.onPump = [&](int pump) {
        if (pump == 2) debug.formClose();
    };
    debug.debugGate();
    EXPECT_EQ(host.pumps, 2);
    EXPECT_EQ(debug.stepState(), DebugStepState::Running);
}

// --- The gate in the main loop -------------------------------------------------------------

TEST(DebugGate, PausedStoryRunsNoCommandWhileMessagesFlowAndStepsOneCommandAtATime) {
    DebugRun run;
    run.startPaused = true;
    std::string project = run.package(
        page(setValue("a", "1") + setValue("b", "2") + setValue("c", "3") + setValue("d", "4")),
        kDebugHead);
    std::vector<size_t> seen;
    std::vector<int> pumpsAt;
    int phase = 0;
    run.host.onPump = [&](uint32_t now) {
        if (phase >= 3 || now < 1000u * static_cast<uint32_t>(phase + 1)) return;
        seen.push_back(run.commands.size());
        pumpsAt.push_back(run.host.pumps);
        EXPECT_EQ(run.debug->stepState(), DebugStepState::Paused);
        if (phase++ < 2)
            run.debug->tbStepClick();
        else
            run.debug->tbPlayClick();
    };
    EXPECT_EQ(run.play(project), platform::HeadlessHost::RunEnd::Terminated);

    // Nothing ran in the first second although messages were processed all along; each step
    // let exactly one command through ("_init"'s Return, then the first ValueCtrl).
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_THAT(seen, ElementsAre(0u, 1u, 2u));
    EXPECT_GT(pumpsAt[0], 5);
    EXPECT_GT(pumpsAt[1] - pumpsAt[0], 5);
    // Play: the rest ran and the story ended at the end of its page.
    EXPECT_EQ(run.commands.size(), 5u);
    EXPECT_EQ(run.main.story().variables().getValueVar("d"), 4);
    // The lists were refreshed after the last command.
    EXPECT_THAT(run.debug->numberLines(), ElementsAre("a=1", "b=2", "c=3", "d=4"));
}

TEST(DebugGate, ClosingWhilePausedEndsTheWaitWithoutRunningACommand) {
    DebugRun run;
    run.startPaused = true;
    std::string project = run.package(page(setValue("a", "1")), kDebugHead);
    run.host.onPump = [&](uint32_t now) {
        if (now >= 1500) run.host.terminate();
    };
    EXPECT_EQ(run.play(project), platform::HeadlessHost::RunEnd::Terminated);
    EXPECT_TRUE(run.commands.empty());
    EXPECT_LT(run.clock.ticks(), 2000u);
    EXPECT_FALSE(run.main.endedByFatalError());
}

TEST(DebugWindow, OpensOnlyForAPackagedStoryInDebugModeRightOfTheMainWindow) {
    {
        DebugRun run;
        run.play(run.package(page(setValue("a", "1")), kDebugHead + "ImageWidth=800\n"));
        ASSERT_EQ(run.requests.size(), 1u);
        EXPECT_EQ(run.requests[0].left, 800 + 0 + 32);
        EXPECT_EQ(run.requests[0].top, 0);
        EXPECT_EQ(run.requests[0].story, &run.main.story());
        EXPECT_EQ(run.requests[0].execution, &run.main.execution());
        EXPECT_EQ(run.requests[0].screen, &run.main.screen());
        EXPECT_EQ(run.main.debugWindow(), run.debug);
        EXPECT_EQ(run.commands.size(), 2u);  // a running debug window holds nothing back
    }
    {
        DebugRun run;  // debug mode off
        run.play(run.package(page(setValue("a", "1")), "FileType=QZ7\n"));
        EXPECT_TRUE(run.requests.empty());
    }
    {
        DebugRun run;  // a plain script file never opens it
        run.play(run.story.writeScript(storyScript(page(setValue("a", "1")), kDebugHead)));
        EXPECT_TRUE(run.requests.empty());
        EXPECT_EQ(run.commands.size(), 2u);
    }
}

// --- The lists of the three tabs -----------------------------------------------------------

class DebugLists : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string heads =
            "<Head=\"LayerList\">\nLayerCount=3\nLayer.1.LayerName=人物\nLayer.2.LayerName=窓\n"
            "<Head End>\n";
        std::string body =
            "@rem\n@rem\nGraphicDraw.FileName=bg.png\n@GraphicDraw\n" + setValue("Zeta", "26") +
            setValue("Alpha", "1") + setValue("beta", "2") +
            // 40 bytes of text: 20 two-byte characters with one ASCII letter in front, so the
            // 32-byte cut falls in the middle of a character.
            setText("long", "xあいうえおかきくけこさしすせそたちつてと") + setText("Name", "ok") +
            "DynamicLayer.Type=Image\nDynamicLayer.Image.FileName=btn.png\n@DynamicLayer\n"
            "DynamicLayer.Type=Text\nDynamicLayer.Text.Text=$long$\n@DynamicLayer\n"
            "DynamicLayer.Type=Transparent\nDynamicLayer.Area.Width=10\n"
            "DynamicLayer.Area.Height=10\n@DynamicLayer\n"
            "@Wait\n";
        project = run.package(heads + page(body), kDebugHead, {"bg.png", "btn.png"});
        ASSERT_EQ(run.play(project), platform::HeadlessHost::RunEnd::Idle);
        ASSERT_NE(run.debug, nullptr);
    }
    DebugRun run;
    std::string project;
};

TEST_F(DebugLists, ProcessTabShowsThePositionWithItsLabelsAndTheCallStack) {
    DebugModel& d = *run.debug;
    ASSERT_EQ(d.tab(), DebugTab::Process);
    ASSERT_GE(d.items().size(), 4u);
    DebugRow book = d.row(0), pageRow = d.row(1), index = d.row(2), border = d.row(3);
    EXPECT_EQ(book.icon, DebugIcon::Book);
    EXPECT_EQ(book.label, texts::kDebugLabelBookName);
    EXPECT_EQ(book.value, sjis("スタートブック"));
    EXPECT_EQ(pageRow.icon, DebugIcon::Page);
    EXPECT_EQ(pageRow.label, texts::kDebugLabelPageName);
    // The Wait was the 12th command (index 11), so the next one is 12.
    EXPECT_EQ(d.items()[2], "Stack.CommandIndex=12");
    EXPECT_EQ(index.icon, DebugIcon::CommandIndex);
    EXPECT_EQ(index.label, sjis("行番号"));
    EXPECT_EQ(index.value, "12");
    EXPECT_EQ(border.icon, DebugIcon::None);  // "@StackBorder" draws as an empty row
    EXPECT_TRUE(border.label.empty() && border.value.empty());
}

TEST_F(DebugLists, ScreenTabListsDynamicLayersThenEveryLayerFromTheTopIncludingHiddenOnes) {
    DebugModel& d = *run.debug;
    d.tabControlChange(DebugTab::Screen);
    // Newest dynamic layer first: the area-only one, the text one (cut to 32 bytes without
    // splitting a character: "x" and 15 characters), the image one.
    EXPECT_THAT(d.dynamicLines(),
                ElementsAre("Unknown", sjis("xあいうえおかきくけこさしすせそ"), "btn.png"));
    std::string hidden = sjis("非表示");
    const StringList& layers = d.layerLines();
    ASSERT_GE(layers.size(), 5u);
    // Top down: whatever the screen adds above the story's layers, then 窓, 人物, the
    // background and the screen's own unnamed bottom layer.
    EXPECT_EQ(layers[layers.size() - 4], sjis("窓=") + hidden);
    EXPECT_EQ(layers[layers.size() - 3], sjis("人物=") + hidden);
    EXPECT_EQ(layers[layers.size() - 2], std::string(texts::kBackgroundLayer) + "=bg.png");
    EXPECT_EQ(layers.back(), "=");

    ASSERT_EQ(d.items().size(), 3 + layers.size());
    EXPECT_EQ(d.row(0).icon, DebugIcon::DynamicLayer);
    EXPECT_EQ(d.row(0).value, "Unknown");
    EXPECT_EQ(d.row(2).icon, DebugIcon::DynamicLayer);
    DebugRow background = d.row(static_cast<int>(d.items().size()) - 2);
    EXPECT_EQ(background.icon, DebugIcon::Layer);
    EXPECT_EQ(background.label, texts::kBackgroundLayer);
    EXPECT_EQ(background.value, "bg.png");
}

TEST_F(DebugLists, VariablesTabSortsEachKindWithoutRegardToCaseAndCutsLongValues) {
    DebugModel& d = *run.debug;
    d.tabControlChange(DebugTab::Variables);
    EXPECT_THAT(d.numberLines(), ElementsAre("Alpha=1", "beta=2", "Zeta=26"));
    std::string longText = sjis("xあいうえおかきくけこさしすせそたちつてと");
    EXPECT_THAT(d.textLines(), ElementsAre("long=" + longText, "Name=ok"));
    ASSERT_EQ(d.items().size(), 5u);
    EXPECT_EQ(d.row(2).icon, DebugIcon::NumberVariable);
    EXPECT_EQ(d.row(2).label, "Zeta");
    DebugRow text = d.row(3);
    EXPECT_EQ(text.icon, DebugIcon::TextVariable);
    EXPECT_EQ(text.label, "long");
    EXPECT_EQ(text.value, sjis("xあいうえおかきくけこさしすせそ"));  // 31 bytes: no half character
    EXPECT_EQ(d.row(4).value, "ok");
}

TEST_F(DebugLists, SelectionSurvivesRefreshesAndTabChangesWhileTheListIsLongEnough) {
    DebugModel& d = *run.debug;
    d.tabControlChange(DebugTab::Screen);
    int count = static_cast<int>(d.items().size());
    ASSERT_GT(count, 5);
    EXPECT_EQ(d.itemIndex(), 0);
    d.select(count - 1);
    d.setTopIndex(count - 2);
    d.refreshDebugInfo();
    EXPECT_EQ(d.itemIndex(), count - 1);
    EXPECT_EQ(d.topIndex(), count - 2);

    d.select(4);
    d.tabControlChange(DebugTab::Variables);  // 5 items: row 4 still exists
    EXPECT_EQ(d.itemIndex(), 4);
    d.tabControlChange(DebugTab::Screen);
    d.select(count - 1);
    d.tabControlChange(DebugTab::Variables);  // too short: back to the first row
    EXPECT_EQ(d.itemIndex(), 0);
    EXPECT_EQ(d.topIndex(), 0);

    int changes = 0;
    d.onChange = [&] { ++changes; };
    d.select(99);  // out of range: ignored
    d.select(1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(d.itemIndex(), 1);
}

TEST(DebugText, CutNeverSplitsATwoByteCharacter) {
    EXPECT_EQ(cutText("abc", 32), "abc");
    EXPECT_EQ(cutText(std::string(40, 'a'), 32), std::string(32, 'a'));
    std::string kanji = sjis("漢字");  // 4 bytes
    EXPECT_EQ(cutText("a" + kanji, 4), "a" + kanji.substr(0, 2));
    EXPECT_EQ(cutText("a" + kanji, 5), "a" + kanji);
    // A lead byte at the very end has no partner and counts as one byte.
    EXPECT_EQ(cutText(std::string("ab\x82"), 3), std::string("ab\x82"));
}

}  // namespace
}  // namespace zarvo::test
