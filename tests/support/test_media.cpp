#include "support/test_media.hpp"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zarvo::test {
namespace {

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void putBe16(std::string& s, uint32_t v) {
    s += static_cast<char>((v >> 8) & 0xFF);
    s += static_cast<char>(v & 0xFF);
}
void putBe32(std::string& s, uint32_t v) {
    putBe16(s, v >> 16);
    putBe16(s, v & 0xFFFF);
}

}  // namespace

std::string wavFile(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t frames) {
    uint32_t block = channels * (bits / 8);
    uint32_t dataBytes = frames * block;
    std::string s = "RIFF";
    put32(s, 36 + dataBytes + (dataBytes & 1));
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, channels);
    put32(s, rate);
    put32(s, rate * block);
    put16(s, block);
    put16(s, bits);
    s += "data";
    put32(s, dataBytes);
    for (uint32_t i = 0; i < frames; ++i) {
        double v = 0.2 * std::sin(2 * M_PI * 440 * i / rate);
        for (uint16_t c = 0; c < channels; ++c) {
            if (bits == 8)
                s += static_cast<char>(128 + std::lround(v * 127));
            else
                put16(s, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767))));
        }
    }
    if (dataBytes & 1) s += '\0';
    return s;
}

std::string wavOfMs(uint32_t ms) {
    return wavFile(8000, 1, 8, ms * 8);
}

std::vector<uint8_t> varLength(uint32_t value) {
    std::vector<uint8_t> out{static_cast<uint8_t>(value & 0x7F)};
    while (value >>= 7) out.insert(out.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

std::string midiTrack(const std::vector<MidiEvent>& events) {
    std::string body;
    for (const auto& e : events) {
        for (uint8_t c : varLength(e.delta)) body += static_cast<char>(c);
        for (uint8_t c : e.bytes) body += static_cast<char>(c);
    }
    std::string s = "MTrk";
    putBe32(s, static_cast<uint32_t>(body.size()));
    return s + body;
}

std::string midiFile(uint16_t format, uint16_t division, const std::vector<std::string>& tracks) {
    std::string s = "MThd";
    putBe32(s, 6);
    putBe16(s, format);
    putBe16(s, static_cast<uint16_t>(tracks.size()));
    putBe16(s, division);
    for (const auto& t : tracks) s += t;
    return s;
}

std::string mp3Frames(uint32_t count, bool mono, uint32_t xingFrames) {
    // 144 * 128000 / 44100 = 417 bytes, no padding.
    constexpr size_t kFrame = 417;
    std::string frame(kFrame, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';  // MPEG-1, layer III, no CRC
    frame[2] = '\x90';  // 128 kbit/s, 44.1 kHz, no padding
    frame[3] = mono ? '\xC0' : '\x00';
    std::string s;
    for (uint32_t i = 0; i < count; ++i) {
        std::string f = frame;
        if (i == 0 && xingFrames) {
            std::string xing = "Xing";
            putBe32(xing, 1);  // the frame count field is present
            putBe32(xing, xingFrames);
            f.replace(4 + (mono ? 17 : 32), xing.size(), xing);
        }
        s += f;
    }
    return s;
}

std::string oggVorbisFile(double seconds, uint32_t rate, int channels, int serial) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.1f) != 0) std::abort();
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);

    std::string out;
    auto takePage = [&out](const ogg_page& og) {
        out.append(reinterpret_cast<const char*>(og.header), og.header_len);
        out.append(reinterpret_cast<const char*>(og.body), og.body_len);
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page og;
    while (ogg_stream_flush(&os, &og)) takePage(og);

    long total = std::lround(seconds * rate);
    long done = 0;
    for (;;) {
        long n = std::min<long>(1024, total - done);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (long i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = 0.3f * std::sin(2 * M_PI * 330 * (done + i) / rate);
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) takePage(og);
            }
        }
        if (n <= 0) break;
    }
    while (ogg_stream_flush(&os, &og)) takePage(og);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

}  // namespace zarvo::test
