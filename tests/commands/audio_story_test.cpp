// Music and sound commands in whole stories on the headless host, where every file plays for its
// real length on the virtual clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "audio/music_control.hpp"
#include "backends/freetype/freetype_font_engine.hpp"
#include "backends/headless/frame_canvas.hpp"
#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "backends/posix/local_file_system.hpp"
#include "player/player.hpp"
#include "support/story.hpp"
#include "support/test_media.hpp"

namespace zarvo::test {
namespace {

using platform::MediaChannel;

std::string startPage(const std::string& lines) {
    return "<Book=\"スタートブック\">\n<Page=\"スタートページ\">\n" + lines +
           "<Page End>\n<Book End>\n";
}
std::string music(const std::string& file, int loops) {
    return "Music.FileName=" + file + "\nMusic.Loop=" + std::to_string(loops) + "\n@Music\n";
}
std::string sound(const std::string& file, const std::string& extra = "") {
    return "Sound.FileName=" + file + "\n" + extra + "@Sound\n";
}
std::string waitMs(int ms) {
    return "Wait.TimeBreak=1\nWait.Time=" + std::to_string(ms) + "\n@Wait\n";
}
std::string mark(const std::string& name) {
    return "ValueCtrl.ValueVar=%" + name + "%\nValueCtrl.LeftValue=1\n@ValueCtrl\n";
}

// Runs a story as zarvoplay --headless does, but keeps the players to look at afterwards.
class AudioStory : public ::testing::Test {
  protected:
    void SetUp() override {
        writeFile(story.dir.file("loop.wav"), wavOfMs(1000));
        writeFile(story.dir.file("long.wav"), wavOfMs(1500));
    }

    template <class Check>
    void play(const std::string& body, uint32_t maxTime, Check check,
              std::vector<platform::HeadlessEvent> events = {}) {
        std::string project = story.writeScript(storyScript(startPage(body)));
        platform::HeadlessHost host(clock, dialogs, std::move(events));
        Player main({host, clock, dialogs, files, &fonts, &canvas, &players}, story.programDir);
        host.setClient(&main);
        main.open(project, story.programDir);
        main.show();
        main.activate();
        host.run(maxTime);
        check(main);
        host.setClient(nullptr);
    }
    platform::SilentMediaPlayer& musicPlayer() { return *players.player(MediaChannel::Music); }

    StoryBuilder story;
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    platform::LocalFileSystem files;
    platform::FrameCanvas canvas;
    platform::FreeTypeFontEngine fonts;
    platform::SilentMediaPlayerFactory players{clock};
};

TEST_F(AudioStory, TheMainLoopRepeatsMusicByItsLoopCount) {
    play(music("loop.wav", 2) + waitMs(5000), 0, [&](Player& main) {
        EXPECT_EQ(musicPlayer().starts(), 2);  // restarted once, then stopped
        EXPECT_FALSE(musicPlayer().running());
        EXPECT_FALSE(main.music().musicPlaying());
    });
    play(music("loop.wav", 0) + waitMs(4500), 0, [&](Player& main) {
        EXPECT_EQ(musicPlayer().starts(), 5);  // restarts each second while the wait runs
        EXPECT_TRUE(main.music().musicPlaying());
    });
    play(music("loop.wav", 0) + waitMs(1500) + "@MusicStop\n" + waitMs(3000), 0, [&](Player& main) {
        EXPECT_EQ(musicPlayer().starts(), 2);
        EXPECT_FALSE(musicPlayer().running());
        EXPECT_FALSE(main.music().musicPlaying());
    });
    // Stopped while music is switched off: switching it on brings nothing back.
    std::string system = "System.Command=";
    play(music("loop.wav", 0) + waitMs(500) + system + "MusicDisable\n@System\n@MusicStop\n" +
             system + "MusicEnable\n@System\n" + waitMs(2000),
         0, [&](Player& main) {
             EXPECT_EQ(musicPlayer().starts(), 1);
             EXPECT_FALSE(musicPlayer().running());
             EXPECT_FALSE(main.music().musicPlaying());
         });
}

TEST_F(AudioStory, AWaitedSoundKeepsHandlingEventsAndEndsWithTheProgram) {
    // A quit due 0.8 s into a 1.5 s waiting sound is seen during the wait and ends it there.
    platform::HeadlessEvent quit;
    quit.at = 800;
    uint32_t begin = clock.ticks();
    play(sound("long.wav", "Sound.Wait=1\n") + mark("a"), 0,
         [&](Player& main) {
             EXPECT_LT(clock.ticks() - begin, 1000u);
             EXPECT_FALSE(main.music().soundPlaying());
             EXPECT_TRUE(main.story().variables().linesInSetOrder().empty());
         },
         {quit});
}

TEST(AudioStoryRun, SoundsWaitOnTheVirtualClockOfAHeadlessRun) {
    StoryBuilder s;
    writeFile(s.dir.file("long.wav"), wavOfMs(1500));
    writeFile(s.dir.file("short.wav"), wavOfMs(300));

    // Waiting: the next command runs only after the sound's 1.5 s.
    std::string waiting = sound("long.wav", "Sound.Wait=1\n") + mark("a");
    StoryRun r = s.run(s.writeScript(storyScript(startPage(waiting))));
    EXPECT_EQ(r.status, kExitEnded);
    long start = r.timeOf("#0 @Sound");
    ASSERT_GE(start, 0);
    EXPECT_GE(r.timeOf("#1 @ValueCtrl") - start, 1500);
    EXPECT_LE(r.timeOf("#1 @ValueCtrl") - start, 1700);

    // Protected (the default): the first returns at once, the second waits for the first's end.
    std::string protect = sound("long.wav") + mark("a") + sound("short.wav") + mark("b");
    r = s.run(s.writeScript(storyScript(startPage(protect))));
    start = r.timeOf("#0 @Sound");
    EXPECT_LE(r.timeOf("#1 @ValueCtrl") - start, 5);  // message pumping between commands only
    EXPECT_GE(r.timeOf("#3 @ValueCtrl") - start, 1500);

    // Free: the next sound cuts it off, so nothing waits; nor for a missing file.
    std::string free = sound("long.wav", "Sound.Protect=0\n") + sound("short.wav") +
                       sound("absent.wav", "Sound.Wait=1\n") + mark("a");
    r = s.run(s.writeScript(storyScript(startPage(free))));
    EXPECT_LE(r.timeOf("#3 @ValueCtrl") - r.timeOf("#0 @Sound"), 5);
    EXPECT_TRUE(r.boxes.empty());
}

}  // namespace
}  // namespace zarvo::test
