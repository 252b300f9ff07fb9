// The music control on the headless host's silent players: every file plays for its real length
// on the virtual clock, and the main loop's polling is played by stepping that clock.
#include "audio/music_control.hpp"

#include <gtest/gtest.h>

#include <climits>

#include "backends/headless/headless_host.hpp"
#include "backends/headless/silent_media_player.hpp"
#include "base/name_value.hpp"
#include "support/temp_dir.hpp"
#include "support/test_media.hpp"

namespace zarvo::test {
namespace {

using platform::MediaChannel;
using platform::SilentMediaPlayer;

class ClickRecorder final : public platform::HostClient {
  public:
    explicit ClickRecorder(platform::VirtualClock& clock) : clock_(clock) {}
    void onTimer() override {}
    void onMouseDown(platform::MouseButton, int, int) override { clicks.push_back(clock_.ticks()); }
    void onMouseMove(int, int) override {}
    void onKeyDown(int) override {}
    void onPaint() override {}
    std::vector<uint32_t> clicks;

  private:
    platform::VirtualClock& clock_;
};

class MusicCtrlTest : public ::testing::Test {
  protected:
    explicit MusicCtrlTest(std::vector<platform::HeadlessEvent> events = {})
        : host(clock, dialogs, std::move(events)),
          factory(clock),
          ctrl({&factory, host, clock}),
          music(dir.file("music.wav")),
          sound(dir.file("sound.wav")),
          chime(dir.file("chime.wav")) {
        writeFile(music, wavOfMs(1000));
        writeFile(sound, wavOfMs(1500));
        writeFile(chime, wavOfMs(300));
        host.setClient(&recorder);
    }

    SilentMediaPlayer& musicPlayer() { return *factory.player(MediaChannel::Music); }
    SilentMediaPlayer& soundPlayer() { return *factory.player(MediaChannel::Sound); }

    // The main loop: one step every 10 ms, each polling the music once.
    void runSteps(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 10) {
            clock.advance(10);
            ctrl.pollMusic();
        }
    }

    TempDir dir;
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    platform::HeadlessHost host;
    ClickRecorder recorder{clock};
    platform::SilentMediaPlayerFactory factory;
    MusicControl ctrl;
    std::string music, sound, chime;
};

TEST(MusicVolume, PercentMapsToHundredthsOfDecibelInsideTheDeviceRange) {
    struct Case {
        int32_t percent;
        bool valid;
        int32_t level;
    };
    for (Case c :
         {Case{100, true, 0}, Case{50, true, -5000}, Case{0, true, -10000}, Case{1, true, -9900},
          Case{101, false, 0}, Case{-1, false, 0},
          // 42949673 * 100 wraps in 32 bits to 4, which would pass as -9996.
          Case{42949673, false, 0}, Case{INT32_MIN, false, 0}, Case{INT32_MAX, false, 0}}) {
        int32_t level = 12345;
        EXPECT_EQ(percentToHundredthsOfDecibel(c.percent, level), c.valid) << c.percent;
        if (c.valid) {
            EXPECT_EQ(level, c.level) << c.percent;
        }
    }
}

TEST_F(MusicCtrlTest, LoopCountsPlayTheTrackThatManyTimesOrWithoutEnd) {
    ASSERT_TRUE(ctrl.playMusic(music, 2));
    EXPECT_EQ(musicPlayer().durationMs(), 1000u);
    runSteps(990);
    EXPECT_EQ(musicPlayer().starts(), 1);
    runSteps(20);  // the first play ends: one restart from the beginning
    EXPECT_EQ(musicPlayer().starts(), 2);
    EXPECT_LT(musicPlayer().positionMs(), 20u);
    EXPECT_EQ(ctrl.musicLoopsLeft(), 1);
    runSteps(1000);  // the second ends: stopped for good
    EXPECT_EQ(musicPlayer().starts(), 2);
    EXPECT_FALSE(musicPlayer().running());
    EXPECT_FALSE(ctrl.musicPlaying());
    EXPECT_EQ(ctrl.musicLoopsLeft(), 0);

    for (int32_t endless : {0, -3}) {
        ctrl.playMusic(music, endless);
        runSteps(5500);
        EXPECT_EQ(musicPlayer().starts(), 6) << endless;
        EXPECT_TRUE(ctrl.musicPlaying());
        EXPECT_TRUE(musicPlayer().running());
    }
    ctrl.stopMusic();
    EXPECT_FALSE(musicPlayer().running());

    ctrl.playMusic(music, 1);
    runSteps(3000);
    EXPECT_EQ(musicPlayer().starts(), 1);
    EXPECT_FALSE(ctrl.musicPlaying());
}

TEST_F(MusicCtrlTest, MusicStartedWhileSwitchedOffStartsFromItsBeginningWhenSwitchedOn) {
    ctrl.setMusicEnabled(false);
    ctrl.setMusicVolume(40);
    EXPECT_TRUE(ctrl.playMusic(music, 2));
    EXPECT_TRUE(musicPlayer().path().empty());  // nothing opened
    EXPECT_TRUE(ctrl.musicPlaying());
    runSteps(3000);  // silence does not use up the plays
    EXPECT_EQ(ctrl.musicLoopsLeft(), 2);

    uint32_t on = clock.ticks();
    ctrl.setMusicEnabled(true);
    EXPECT_EQ(musicPlayer().path(), music);
    EXPECT_TRUE(musicPlayer().running());
    EXPECT_EQ(musicPlayer().lastStartTick(), on);
    EXPECT_EQ(musicPlayer().volume(), -6000);
    runSteps(2500);
    EXPECT_EQ(musicPlayer().starts(), 2);
    EXPECT_FALSE(ctrl.musicPlaying());
}

TEST_F(MusicCtrlTest, SwitchingMusicOffKeepsTheTrackUntilTheStoryStopsIt) {
    ctrl.playMusic(music, 0);
    runSteps(500);
    ctrl.setMusicEnabled(false);
    EXPECT_FALSE(musicPlayer().running());
    runSteps(3000);  // a stopped player is not finished: no restarts meanwhile
    EXPECT_FALSE(musicPlayer().running());

    uint32_t on = clock.ticks();
    ctrl.setMusicEnabled(true);
    EXPECT_TRUE(musicPlayer().running());
    EXPECT_EQ(musicPlayer().lastStartTick(), on);
    EXPECT_EQ(musicPlayer().positionMs(), 0u);

    // Stopped while off: nothing comes back on, and a save says so.
    ctrl.setMusicEnabled(false);
    ctrl.stopMusic();
    EXPECT_FALSE(ctrl.musicPlaying());
    StringList saved;
    ctrl.writeMusicInfo(saved);
    EXPECT_EQ(readListString(saved, "Music.Playing", ""), "0");
    int starts = musicPlayer().starts();
    ctrl.setMusicEnabled(true);
    runSteps(1500);
    EXPECT_EQ(musicPlayer().starts(), starts);
    EXPECT_FALSE(musicPlayer().running());

    ctrl.playMusic(music, 0);
    ctrl.stopMusic();
    EXPECT_FALSE(ctrl.musicPlaying());
    EXPECT_FALSE(musicPlayer().running());
    EXPECT_FALSE(ctrl.playMusic(dir.file("missing.wav"), 1));  // recorded all the same
    EXPECT_TRUE(ctrl.musicPlaying());
}

TEST_F(MusicCtrlTest, AProtectedSoundMakesTheNextSoundWaitForItsEnd) {
    ctrl.playSound(sound, SoundMode::Protect);
    EXPECT_EQ(clock.ticks(), 0u);  // protecting does not wait itself
    EXPECT_TRUE(soundPlayer().running());
    clock.advance(200);

    ctrl.playSound(chime, SoundMode::Free);
    EXPECT_GE(clock.ticks(), 1500u);
    EXPECT_LE(clock.ticks(), 1500u + MusicControl::kWaitSleep + 1);
    EXPECT_EQ(soundPlayer().path(), chime);
    EXPECT_EQ(ctrl.soundMode(), SoundMode::Free);

    uint32_t before = clock.ticks();
    ctrl.playSound(sound, SoundMode::Free);  // a free sound is cut off at once
    EXPECT_EQ(clock.ticks(), before);
    EXPECT_EQ(soundPlayer().path(), sound);
    EXPECT_EQ(soundPlayer().lastStartTick(), before);
}

class SoundWaitTest : public MusicCtrlTest {
  protected:
    static std::vector<platform::HeadlessEvent> clickAt700() {
        platform::HeadlessEvent click;
        click.kind = platform::HeadlessEvent::Kind::Click;
        click.at = 700;
        return {click};
    }
    SoundWaitTest() : MusicCtrlTest(clickAt700()) {}
};

TEST_F(SoundWaitTest, AWaitingSoundReturnsAfterItsEndWhileInputGoesOn) {
    ctrl.setSoundVolume(50);
    ctrl.playSound(sound, SoundMode::Wait);
    EXPECT_GE(clock.ticks(), 1500u);
    EXPECT_LE(clock.ticks(), 1500u + MusicControl::kWaitSleep + 1);
    ASSERT_EQ(recorder.clicks.size(), 1u);  // the click was handled during the wait
    EXPECT_GE(recorder.clicks[0], 700u);
    EXPECT_LT(recorder.clicks[0], 900u);
    EXPECT_EQ(soundPlayer().volume(), -5000);
    EXPECT_FALSE(soundPlayer().running());
    EXPECT_FALSE(ctrl.soundPlaying());
    EXPECT_EQ(ctrl.soundMode(), SoundMode::Free);

    uint32_t before = clock.ticks();
    ctrl.playSound(dir.file("missing.wav"), SoundMode::Wait);  // nothing to wait for
    ctrl.setSoundEnabled(false);
    ctrl.playSound(sound, SoundMode::Wait);  // sound off: nothing at all
    EXPECT_EQ(clock.ticks(), before);
    EXPECT_FALSE(soundPlayer().running());
}

TEST_F(MusicCtrlTest, OutOfRangeVolumesAreStoredSavedAndReloadedButNeverApplied) {
    ctrl.playMusic(music, 0);
    EXPECT_TRUE(ctrl.setMusicVolume(30));
    EXPECT_EQ(musicPlayer().volume(), -7000);
    EXPECT_FALSE(ctrl.setMusicVolume(101));
    EXPECT_EQ(ctrl.getMusicVolume(), 101);
    EXPECT_EQ(musicPlayer().volume(), -7000);
    EXPECT_FALSE(ctrl.setSoundVolume(-5));
    EXPECT_EQ(ctrl.getSoundVolume(), -5);

    StringList saved{"Other=1", "Music.Volume=7"};
    ctrl.writeMusicInfo(saved);
    EXPECT_EQ(saved, (StringList{"Other=1", "Music.Volume=101", "Music.FileName=" + music,
                                 "Music.Playing=1", "Music.Loop=0", "Sound.Volume=-5"}));

    ctrl.setMusicVolume(100);
    ctrl.readMusicInfo(saved);
    EXPECT_EQ(ctrl.getMusicVolume(), 101);
    EXPECT_EQ(ctrl.getSoundVolume(), -5);
    EXPECT_EQ(musicPlayer().volume(), platform::kVolumeFull);  // the reopened track: untouched
    EXPECT_TRUE(musicPlayer().running());
}

TEST_F(MusicCtrlTest, ReadingMusicInfoRestoresTheSavedMusicAndEndsTheSound) {
    ctrl.playSound(sound, SoundMode::Protect);
    ctrl.readMusicInfo({"Music.FileName=" + music, "Music.Playing=1", "Music.Loop=3"});
    EXPECT_FALSE(soundPlayer().running());
    EXPECT_FALSE(ctrl.soundPlaying());
    EXPECT_EQ(ctrl.getMusicVolume(), 100);
    runSteps(5000);
    EXPECT_EQ(musicPlayer().starts(), 3);

    // A save without music, loaded while music is off, must not leave the old track waiting to
    // come back when music is switched on again.
    ctrl.playMusic(music, 0);
    ctrl.setMusicEnabled(false);
    ctrl.readMusicInfo({"Music.FileName=" + music, "Music.Playing=0"});
    EXPECT_FALSE(ctrl.musicPlaying());
    ctrl.setMusicEnabled(true);
    EXPECT_FALSE(musicPlayer().running());

    // And a save with music, loaded while music is off, plays it once music is on.
    ctrl.setMusicEnabled(false);
    ctrl.readMusicInfo({"Music.FileName=" + chime, "Music.Playing=1", "Music.Loop=1"});
    ctrl.setMusicEnabled(true);
    EXPECT_EQ(musicPlayer().path(), chime);
    EXPECT_TRUE(musicPlayer().running());
}

}  // namespace
}  // namespace zarvo::test
