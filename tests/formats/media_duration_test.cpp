// Playing times read from files the tests make: WAV and MIDI written by hand, MP3 as frame
// sequences, Ogg Vorbis encoded with libvorbisenc.
#include "formats/media_duration.hpp"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <random>

#include "backends/headless/silent_media_player.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "support/temp_dir.hpp"
#include "support/test_media.hpp"

namespace zarvo::test {
namespace {

using platform::MediaFormat;

double probe(const std::string& bytes, MediaFormat expected) {
    MediaFormat format;
    double seconds = -1;
    EXPECT_TRUE(platform::probeMediaDuration(bytes, format, seconds));
    EXPECT_EQ(format, expected);
    return seconds;
}

bool refused(const std::string& bytes) {
    MediaFormat format;
    double seconds;
    return !platform::probeMediaDuration(bytes, format, seconds) && format == MediaFormat::Unknown;
}

void setLe16(std::string& s, size_t pos, uint32_t v) {
    s[pos] = static_cast<char>(v & 0xFF);
    s[pos + 1] = static_cast<char>(v >> 8);
}
void setLe32(std::string& s, size_t pos, uint32_t v) {
    setLe16(s, pos, v & 0xFFFF);
    setLe16(s, pos + 2, v >> 16);
}

TEST(MediaDuration, WaveLengthComesFromTheFormatAndDataChunks) {
    EXPECT_DOUBLE_EQ(probe(wavFile(8000, 1, 8, 12000), MediaFormat::Wave), 1.5);
    EXPECT_DOUBLE_EQ(probe(wavFile(44100, 2, 16, 22050), MediaFormat::Wave), 0.5);
    EXPECT_DOUBLE_EQ(probe(wavFile(11025, 1, 8, 11025 / 4 + 1), MediaFormat::Wave),
                     (11025 / 4 + 1) / 11025.0);  // odd data length, padded chunk

    // A chunk before the format chunk is skipped; a data length past the end counts what is
    // there (recorders that never patched the header), and the trailing half frame is no frame.
    std::string wav = wavFile(8000, 2, 16, 8000);
    std::string list = "LIST" + std::string("\x05\0\0\0", 4) + "abcde" + '\0';
    wav.insert(12, list);
    setLe32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
    EXPECT_DOUBLE_EQ(probe(wav, MediaFormat::Wave), 1.0);
    setLe32(wav, 40 + list.size(), 0xFFFFFFFF);
    wav += "xyz";
    setLe32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
    EXPECT_DOUBLE_EQ(probe(wav, MediaFormat::Wave), 1.0);

    // Compressed data: the fact chunk's sample count, else the average byte rate.
    std::string adpcm = wavFile(8000, 1, 8, 4000);
    setLe16(adpcm, 20, 2);     // format tag: not PCM
    setLe32(adpcm, 28, 1000);  // average bytes per second
    EXPECT_DOUBLE_EQ(probe(adpcm, MediaFormat::Wave), 4.0);
    std::string fact = std::string("fact\x04\0\0\0", 8) + std::string("\x40\x1F\0\0", 4);  // 8000
    adpcm.insert(36, fact);
    setLe32(adpcm, 4, static_cast<uint32_t>(adpcm.size() - 8));
    EXPECT_DOUBLE_EQ(probe(adpcm, MediaFormat::Wave), 1.0);

    std::string broken = wavFile(8000, 1, 8, 800);
    std::string noRate = broken;
    setLe32(noRate, 24, 0);
    std::string noBlock = broken;
    setLe16(noBlock, 32, 0);
    std::string noData = broken.substr(0, 36);
    for (const std::string& bad : {noRate, noBlock, noData, broken.substr(0, 20)})
        EXPECT_TRUE(refused(bad));
}

TEST(MediaDuration, OggVorbisLengthIsTheLastGranuleOfEachChainedStream) {
    std::string mono = oggVorbisFile(1.5, 22050, 1);
    std::string stereo = oggVorbisFile(0.25, 44100, 2, 777);
    EXPECT_NEAR(probe(mono, MediaFormat::OggVorbis), 1.5, 1e-4);
    EXPECT_NEAR(probe(stereo, MediaFormat::OggVorbis), 0.25, 1e-4);
    EXPECT_NEAR(probe(mono + stereo, MediaFormat::OggVorbis), 1.75, 1e-4);

    // The same answer as the reference decoder library gives.
    TempDir dir;
    std::string path = dir.file("tone.ogg");
    writeFile(path, mono + stereo);
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(path.c_str(), &vf), 0);
    EXPECT_NEAR(probe(mono + stereo, MediaFormat::OggVorbis), ov_time_total(&vf, -1), 1e-4);
    ov_clear(&vf);

    // A cut-off file plays what it holds; without its identification header it is no Vorbis.
    std::string longer = oggVorbisFile(12, 22050, 1);
    double cut = probe(longer.substr(0, longer.size() * 2 / 3), MediaFormat::OggVorbis);
    EXPECT_GT(cut, 2.0);
    EXPECT_LT(cut, 12.0);
    cut = probe(mono + stereo.substr(0, stereo.size() / 2), MediaFormat::OggVorbis);
    EXPECT_GE(cut, 1.5 - 1e-4);
    EXPECT_LT(cut, 1.75);
    std::string noId = mono;
    noId[30] = 'X';  // "\x01vorbis" becomes "\x01vXrbis"
    EXPECT_TRUE(refused(noId));
}

TEST(MediaDuration, Mp3LengthCountsFramesOrTrustsAVbrHeader) {
    const double frame = 1152.0 / 44100;
    EXPECT_NEAR(probe(mp3Frames(100), MediaFormat::Mp3), 100 * frame, 1e-9);

    // Tags at both ends and a damaged stretch between frames are stepped over.
    std::string id3 = std::string("ID3\x03\0\0\0\0\0\x0A", 10) + std::string(10, 'T');
    std::string body = mp3Frames(40) + std::string(100, '\x11') + mp3Frames(60);
    std::string tail = "TAG" + std::string(125, ' ');
    EXPECT_NEAR(probe(id3 + body + tail, MediaFormat::Mp3), 100 * frame, 1e-9);

    // A last frame cut short does not play.
    std::string cut = mp3Frames(10);
    cut.resize(cut.size() - 100);
    EXPECT_NEAR(probe(cut, MediaFormat::Mp3), 9 * frame, 1e-9);

    EXPECT_NEAR(probe(mp3Frames(3, false, 500), MediaFormat::Mp3), 500 * frame, 1e-9);
    EXPECT_NEAR(probe(mp3Frames(3, true, 250), MediaFormat::Mp3), 250 * frame, 1e-9);
    std::string vbri = mp3Frames(3);
    std::string header = "VBRI" + std::string("\0\x01\0\0\0\x50\0\0\0\0\0\0\x03\x20", 14);  // 800
    vbri.replace(36, header.size(), header);
    EXPECT_NEAR(probe(vbri, MediaFormat::Mp3), 800 * frame, 1e-9);

    // A lone sync word in other data is not MP3.
    std::string stray(2000, '\0');
    stray.replace(100, 4, "\xFF\xFB\x90\x00");
    EXPECT_TRUE(refused(stray));
    EXPECT_TRUE(refused(id3));
    EXPECT_TRUE(refused("plain text, not a sound"));
}

TEST(MediaDuration, MidiLengthFollowsTheTempoMapToTheLastEvent) {
    MidiEvent tempo60{0, {0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}};  // 1 000 000 us a quarter
    MidiEvent end{0, {0xFF, 0x2F, 0x00}};
    // 480 ticks a quarter: 480 ticks at the default 120 bpm (0.5 s), then 960 at 60 bpm (2 s).
    // The second note-off uses running status.
    std::string track0 = midiTrack({{0, {0x90, 60, 100}},
                                    {480, {0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}},
                                    {0, {0xC0, 5}},
                                    {480, {0x80, 60, 0}},
                                    {480, {60, 0}},
                                    end});
    EXPECT_DOUBLE_EQ(probe(midiFile(0, 480, {track0}), MediaFormat::Midi), 2.5);

    // Format 1: the tempo in the first track rules the later-ending second one.
    std::string tempoTrack = midiTrack({tempo60, {96, {0xF0, 0x02, 0x7E, 0xF7}}, end});
    std::string notes = midiTrack({{0, {0x90, 64, 90}}, {288, {0x80, 64, 0}}, end});
    EXPECT_DOUBLE_EQ(probe(midiFile(1, 96, {tempoTrack, notes}), MediaFormat::Midi), 3.0);
    // Format 2: independent sequences, one after another.
    EXPECT_DOUBLE_EQ(probe(midiFile(2, 96, {tempoTrack, notes}), MediaFormat::Midi), 1.0 + 1.5);
    // Time code division: 25 frames of 40 ticks, 1000 ticks a second, tempo ignored.
    EXPECT_DOUBLE_EQ(probe(midiFile(1, 0xE728, {tempoTrack, notes}), MediaFormat::Midi), 0.288);

    // RIFF MIDI wraps the same file.
    std::string smf = midiFile(0, 480, {track0});
    std::string rmid = "RIFF" + std::string(4, '\0') + "RMIDdata" + std::string(4, '\0') + smf;
    setLe32(rmid, 4, static_cast<uint32_t>(rmid.size() - 8));
    setLe32(rmid, 16, static_cast<uint32_t>(smf.size()));
    EXPECT_DOUBLE_EQ(probe(rmid, MediaFormat::Midi), 2.5);

    // A track cut short ends where the damage begins; unusable headers are refused.
    std::string truncated = smf.substr(0, smf.size() - 6);
    EXPECT_DOUBLE_EQ(probe(truncated, MediaFormat::Midi), 0.5 + 1.0);
    std::string noDivision = smf;
    noDivision[12] = noDivision[13] = '\0';
    EXPECT_TRUE(refused(noDivision));
    EXPECT_TRUE(refused(midiFile(0, 480, {})));
    EXPECT_TRUE(refused(smf.substr(0, 10)));
}

TEST(MediaDuration, DamagedFilesNeverReadOutsideTheirBytes) {
    std::vector<std::string> samples = {wavFile(8000, 1, 8, 100), oggVorbisFile(0.1, 8000, 1),
                                        mp3Frames(4, false, 9),
                                        midiFile(1, 96, {midiTrack({{5, {0x90, 1, 2}}})})};
    std::mt19937 random(7);
    for (const std::string& good : samples) {
        for (size_t cut = 0; cut < good.size(); cut += 1 + cut / 8) {
            MediaFormat f;
            double s;
            platform::probeMediaDuration(good.substr(0, cut), f, s);
        }
        for (int round = 0; round < 300; ++round) {
            std::string bad = good;
            for (int k = 0; k < 4; ++k)
                bad[random() % bad.size()] = static_cast<char>(random() & 0xFF);
            MediaFormat f;
            double s = -1;
            if (platform::probeMediaDuration(bad, f, s)) {
                EXPECT_GE(s, 0);
            }
        }
    }
}

TEST(SilentMediaPlayer, PlaysForTheFileLengthOnTheClock) {
    TempDir dir;
    platform::VirtualClock clock(1000);
    platform::SilentMediaPlayer player(clock);
    EXPECT_TRUE(player.isComplete());  // nothing open
    EXPECT_FALSE(player.setVolume(0));

    writeFile(dir.file("a.mid"), midiFile(0, 480, {midiTrack({{960, {0x90, 1, 2}}})}));
    ASSERT_TRUE(player.open(dir.file("a.mid")));
    EXPECT_EQ(player.durationMs(), 1000u);
    EXPECT_FALSE(player.isComplete());  // opened, not started
    player.play();
    clock.advance(999);
    EXPECT_FALSE(player.isComplete());
    clock.advance(1);
    EXPECT_TRUE(player.isComplete());
    player.play();  // already running: stays at its end
    EXPECT_TRUE(player.isComplete());
    player.seekToStart();
    EXPECT_FALSE(player.isComplete());
    player.stop();
    clock.advance(5000);
    EXPECT_FALSE(player.isComplete());  // stopped is not finished
    EXPECT_FALSE(player.setVolume(1));
    EXPECT_FALSE(player.setVolume(-10001));
    EXPECT_TRUE(player.setVolume(-10000));

    // Unknown, unreadable and missing files leave the player with nothing open.
    writeFile(dir.file("notes.txt"), "not a sound");
    for (const std::string& bad : {dir.file("notes.txt"), dir.path(), dir.file("gone.wav")}) {
        EXPECT_FALSE(player.open(bad));
        EXPECT_TRUE(player.path().empty());
        EXPECT_TRUE(player.isComplete());
    }
}

}  // namespace
}  // namespace zarvo::test
