// The SDL_mixer players on SDL's dummy audio driver, which consumes sound in real time without a
// device: files open by their content, play for about their length, and stop on demand.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "backends/posix/local_file_system.hpp"
#include "backends/sdl/sdl_media_player.hpp"
#include "support/temp_dir.hpp"
#include "support/test_media.hpp"

// SDL keeps a few bytes of its audio set-up until the process ends; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libSDL2-2.0.so\nleak:libSDL2_mixer\nleak:libfluidsynth\n";
}

namespace zarvo::test {
namespace {

using platform::MediaChannel;
using platform::MediaPlayer;

TEST(SdlAudio, DecibelLevelsMapOntoTheMixerScaleAndStayAudibleAboveSilence) {
    EXPECT_EQ(platform::mixerVolumeOf(0), 128);
    EXPECT_EQ(platform::mixerVolumeOf(-10000), 0);
    EXPECT_EQ(platform::mixerVolumeOf(-600), 64);  // -6 dB: half the amplitude
    EXPECT_EQ(platform::mixerVolumeOf(-2000), 13);
    EXPECT_EQ(platform::mixerVolumeOf(-9999), 1);
    int previous = 0;
    for (int32_t level = -10000; level <= 0; level += 50) {
        int v = platform::mixerVolumeOf(level);
        EXPECT_GE(v, previous) << level;
        previous = v;
    }
}

// Milliseconds until each player reports its end, or -1 after `limit` ms.
std::vector<long> msUntilComplete(std::vector<MediaPlayer*> players, long limit) {
    std::vector<long> done(players.size(), -1);
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
        bool all = true;
        for (size_t i = 0; i < players.size(); ++i) {
            if (done[i] < 0 && players[i]->isComplete()) done[i] = ms;
            all = all && done[i] >= 0;
        }
        if (all || ms > limit) return done;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

class SdlPlayers : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    TempDir dir;
    platform::LocalFileSystem files;
};

TEST_F(SdlPlayers, BothChannelsPlayTheirFilesForAboutTheirLength) {
    platform::SdlMediaPlayerFactory factory(files);
    ASSERT_TRUE(factory.audioOpen());
    auto music = factory.createPlayer(MediaChannel::Music);
    auto sound = factory.createPlayer(MediaChannel::Sound);
    writeFile(dir.file("a.wav"), wavFile(22050, 1, 16, 22050 * 3 / 10));  // 300 ms
    writeFile(dir.file("b.ogg"), oggVorbisFile(0.3, 22050, 1));
    writeFile(dir.file("notes.txt"), "not a sound");

    for (MediaPlayer* player : {music.get(), sound.get()}) {
        EXPECT_TRUE(player->isComplete());  // nothing open
        EXPECT_FALSE(player->open(dir.file("notes.txt")));
        EXPECT_FALSE(player->open(dir.file("gone.wav")));
        EXPECT_TRUE(player->isComplete());
        EXPECT_FALSE(player->setVolume(0));
    }
    ASSERT_TRUE(music->open(dir.file("b.ogg")));
    ASSERT_TRUE(sound->open(dir.file("a.wav")));
    EXPECT_FALSE(music->isComplete());  // opened but not started
    EXPECT_TRUE(music->setVolume(-1000));
    EXPECT_FALSE(music->setVolume(1));
    music->play();
    sound->play();  // at the same time
    std::vector<long> ms = msUntilComplete({music.get(), sound.get()}, 3000);
    for (long t : ms) {
        EXPECT_GE(t, 150);
        EXPECT_LE(t, 2000);
    }

    // A rewind of a finished player plays it again; stopping is no end.
    music->seekToStart();
    EXPECT_FALSE(music->isComplete());
    music->stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_FALSE(music->isComplete());

    // A sound started from a position (a save state taken while it played) plays the rest only,
    // and says where it is; past its end it plays nothing.
    writeFile(dir.file("long.wav"), wavFile(22050, 1, 16, 22050 * 15 / 10));  // 1500 ms
    ASSERT_TRUE(sound->open(dir.file("long.wav")));
    EXPECT_TRUE(sound->seekTo(1200));
    sound->play();
    EXPECT_GE(sound->positionMs(), 1200u);
    ms = msUntilComplete({sound.get()}, 3000);
    EXPECT_GE(ms[0], 100);
    EXPECT_LE(ms[0], 1000);
    EXPECT_TRUE(sound->seekTo(5000));
    sound->play();
    EXPECT_TRUE(msUntilComplete({sound.get()}, 3000)[0] < 100);
}

TEST_F(SdlPlayers, MidiPlaysThroughTheGeneralMidiSoundFont) {
    if (!std::filesystem::exists("/usr/share/sounds/sf2/default-GM.sf2") &&
        !std::filesystem::exists("/usr/share/sounds/sf2/TimGM6mb.sf2"))
        GTEST_SKIP() << "no General MIDI sound font installed (scripts/setup installs one)";
    platform::SdlMediaPlayerFactory factory(files);
    ASSERT_TRUE(factory.audioOpen());
    auto music = factory.createPlayer(MediaChannel::Music);
    auto sound = factory.createPlayer(MediaChannel::Sound);
    // One quarter note at 120 bpm: 0.5 s. It ends there, not seconds of synthesiser silence
    // later, on both channels.
    writeFile(
        dir.file("a.mid"),
        midiFile(
            0, 96,
            {midiTrack({{0, {0x90, 60, 100}}, {96, {0x80, 60, 0}}, {0, {0xFF, 0x2F, 0x00}}})}));
    ASSERT_TRUE(music->open(dir.file("a.mid")));
    ASSERT_TRUE(sound->open(dir.file("a.mid")));
    music->play();
    sound->play();
    for (long ms : msUntilComplete({music.get(), sound.get()}, 8000)) {
        EXPECT_GE(ms, 400);
        EXPECT_LE(ms, 1500);
    }
}

}  // namespace
}  // namespace zarvo::test
