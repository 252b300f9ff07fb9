#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/music_control.hpp"
#include "base/sjis.hpp"
#include "support/player.hpp"
#include "support/story.hpp"

namespace zarvo::test {
namespace {

std::string systemCommand(const std::string& command, const std::string& extra = "") {
    return "System.Command=" + command + "\n" + extra + "@System\n";
}

TEST(SystemCommand, FullScreenSwitchesOnceEachWayAndTheVariableFollows) {
    StoryBuilder s;
    std::string project = s.writeScript(storyScript(
        "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + systemCommand("FullScreen") +
        systemCommand("FullScreen") +
        "ValueCtrl.ValueVar=%in%\nValueCtrl.LeftValue=%_fullscreen%\n@ValueCtrl\n" +
        systemCommand("WindowMode") + systemCommand("WindowMode") + systemCommand("MusicVolume") +
        systemCommand("SoundVolume", "System.Volume=30\n") + systemCommand("MusicDisable") +
        systemCommand("MessageDirect") + "SaveCtrl.Command=Nope\n@SaveCtrl\n" +
        systemCommand("Nope") +
        "ValueCtrl.ValueVar=%done%\nValueCtrl.LeftValue=1\n@ValueCtrl\n<Page End>\n<Book End>\n"));
    TestPlayer p(project, s.programDir);
    p.main().music().setMusicVolume(50);
    EXPECT_EQ(p.run(), platform::HeadlessHost::RunEnd::Terminated);
    EXPECT_EQ(p.vars().getValueVar("in"), 1);
    EXPECT_EQ(p.vars().getValueVar("_fullscreen"), 0);
    EXPECT_EQ(p.host.fullScreenChanges(), 2);
    EXPECT_FALSE(p.main().fullScreen());
    // A volume without its parameter is 100.
    EXPECT_EQ(p.main().music().getMusicVolume(), 100);
    EXPECT_EQ(p.vars().getValueVar("_musicvolume"), 100);
    EXPECT_EQ(p.main().music().getSoundVolume(), 30);
    EXPECT_EQ(p.vars().getValueVar("_soundvolume"), 30);
    EXPECT_FALSE(p.main().music().musicEnabled());
    EXPECT_EQ(p.main().screen().messageMode, Screen::MessageMode::Direct);
    // The unknown save command passes silently; the unknown system command is reported, and
    // the story goes on at the next tick.
    ASSERT_EQ(p.dialogs.shown().size(), 1u);
    EXPECT_EQ(p.dialogs.shown()[0].kind, platform::BoxKind::Plain);
    EXPECT_EQ(sjisToUtf8(p.dialogs.shown()[0].text),
              "debug: error report:\r\n不明なシステムコマンド「Nope」が発行されました");
    EXPECT_EQ(p.vars().getValueVar("done"), 1);
}

}  // namespace
}  // namespace zarvo::test
