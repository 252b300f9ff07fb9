#include "formats/media_duration.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zarvo::platform {
namespace {

// Byte access that never leaves the span: reads past the end fail instead.
class Bytes {
  public:
    explicit Bytes(std::string_view data) : d_(data) {}
    size_t size() const { return d_.size(); }
    bool has(size_t pos, size_t n) const { return pos <= d_.size() && n <= d_.size() - pos; }
    uint8_t u8(size_t pos) const { return static_cast<uint8_t>(d_[pos]); }
    bool tag(size_t pos, std::string_view t) const {
        return has(pos, t.size()) && d_.substr(pos, t.size()) == t;
    }
    uint32_t le16(size_t p) const { return u8(p) | u8(p + 1) << 8; }
    uint32_t le32(size_t p) const { return le16(p) | le16(p + 2) << 16; }
    uint64_t le64(size_t p) const { return le32(p) | uint64_t{le32(p + 4)} << 32; }
    uint32_t be16(size_t p) const { return u8(p) << 8 | u8(p + 1); }
    uint32_t be32(size_t p) const { return be16(p) << 16 | be16(p + 2); }
    std::string_view sub(size_t pos, size_t n) const { return d_.substr(pos, n); }

  private:
    std::string_view d_;
};

bool probeMidi(std::string_view data, double& seconds);

// ---- RIFF: WAVE, and RMID around a MIDI file ----------------------------------------------

bool probeRiff(const Bytes& b, MediaFormat& format, double& seconds) {
    if (!b.has(0, 12) || !b.tag(0, "RIFF")) return false;
    bool wave = b.tag(8, "WAVE");
    if (!wave && !b.tag(8, "RMID")) return false;
    // A header length beyond the file (or the 0xFFFFFFFF of a stream) counts what is there.
    size_t end = static_cast<size_t>(std::min<uint64_t>(b.size(), uint64_t{b.le32(4)} + 8));

    bool haveFormat = false, haveData = false, haveFact = false;
    uint32_t formatTag = 0, rate = 0, byteRate = 0, blockAlign = 0, factSamples = 0;
    uint64_t dataBytes = 0;
    size_t pos = 12;
    while (pos + 8 <= end) {
        uint32_t length = b.le32(pos + 4);
        size_t body = pos + 8;
        size_t avail = std::min<size_t>(length, end - body);
        if (!wave) {
            if (b.tag(pos, "data")) {
                format = MediaFormat::Midi;
                return probeMidi(b.sub(body, avail), seconds);
            }
        } else if (b.tag(pos, "fmt ") && avail >= 16) {
            haveFormat = true;
            formatTag = b.le16(body);
            rate = b.le32(body + 4);
            byteRate = b.le32(body + 8);
            blockAlign = b.le16(body + 12);
            // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format GUID.
            if (formatTag == 0xFFFE && avail >= 26) formatTag = b.le16(body + 24);
        } else if (b.tag(pos, "fact") && avail >= 4) {
            haveFact = true;
            factSamples = b.le32(body);
        } else if (b.tag(pos, "data") && !haveData) {
            haveData = true;
            dataBytes = avail;
        }
        uint64_t next = uint64_t{body} + length + (length & 1);  // chunks are padded to words
        if (next > end) break;
        pos = static_cast<size_t>(next);
    }
    if (!wave || !haveFormat || !haveData || rate == 0) return false;
    format = MediaFormat::Wave;
    if (formatTag == 1 || formatTag == 3) {  // PCM and float: whole sample frames
        if (blockAlign == 0) return false;
        seconds = static_cast<double>(dataBytes / blockAlign) / rate;
    } else if (haveFact) {  // compressed: the sample count when the file gives it
        seconds = static_cast<double>(factSamples) / rate;
    } else {
        if (byteRate == 0) return false;
        seconds = static_cast<double>(dataBytes) / byteRate;
    }
    return true;
}

// ---- Ogg: Vorbis and Opus ------------------------------------------------------------------

struct OggStream {
    bool known = false;
    uint32_t serial = 0;
    double rate = 0;
    uint64_t skip = 0;  // Opus pre-skip, in 48 kHz samples
    uint64_t lastGranule = 0;
    bool haveGranule = false;
};

double streamSeconds(const OggStream& s) {
    if (!s.known || !s.haveGranule || s.lastGranule <= s.skip) return 0;
    return static_cast<double>(s.lastGranule - s.skip) / s.rate;
}

bool probeOgg(const Bytes& b, MediaFormat& format, double& seconds) {
    if (!b.tag(0, "OggS")) return false;
    bool any = false;
    OggStream current;
    double total = 0;
    size_t pos = 0;
    while (b.has(pos, 27)) {
        if (!b.tag(pos, "OggS")) {
            // Lost sync: look for the next page.
            ++pos;
            while (b.has(pos, 4) && !b.tag(pos, "OggS")) ++pos;
            continue;
        }
        uint8_t type = b.u8(pos + 5);
        uint64_t granule = b.le64(pos + 6);
        uint32_t serial = b.le32(pos + 14);
        size_t segments = b.u8(pos + 26);
        if (!b.has(pos + 27, segments)) break;
        size_t bodyLength = 0;
        for (size_t i = 0; i < segments; ++i) bodyLength += b.u8(pos + 27 + i);
        size_t body = pos + 27 + segments;
        if (!b.has(body, bodyLength)) break;  // a cut-off last page adds nothing

        if (type & 0x02) {  // first page of a stream: chained streams play one after another
            total += streamSeconds(current);
            current = OggStream{};
            current.serial = serial;
            if (bodyLength >= 16 && b.tag(body, "\x01vorbis")) {
                uint32_t rate = b.le32(body + 12);
                if (rate != 0) {
                    current.known = true;
                    current.rate = rate;
                    format = MediaFormat::OggVorbis;
                }
            } else if (bodyLength >= 19 && b.tag(body, "OpusHead")) {
                current.known = true;
                current.rate = 48000;  // Opus granules always count 48 kHz samples
                current.skip = b.le16(body + 10);
                format = MediaFormat::OggOpus;
            }
            any = any || current.known;
        } else if (current.known && serial == current.serial && granule != ~uint64_t{0}) {
            current.lastGranule = granule;
            current.haveGranule = true;
        }
        pos = body + bodyLength;
    }
    if (!any) return false;
    seconds = total + streamSeconds(current);
    return true;
}

// ---- MP3 -----------------------------------------------------------------------------------

struct MpegFrame {
    int version = 0;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;    // 1, 2 or 3
    uint32_t rate = 0;
    uint32_t length = 0;   // bytes, header included
    uint32_t samples = 0;  // per channel
    bool mono = false;
};

bool parseMpegHeader(const Bytes& b, size_t pos, MpegFrame& f) {
    if (!b.has(pos, 4) || b.u8(pos) != 0xFF || (b.u8(pos + 1) & 0xE0) != 0xE0) return false;
    static const uint16_t kBitrates[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // 1, layer I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // 1, layer II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // 1, layer III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // 2/2.5, layer I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},  // 2/2.5, II and III
    };
    static const uint32_t kRates[3] = {44100, 48000, 32000};
    uint8_t b1 = b.u8(pos + 1), b2 = b.u8(pos + 2), b3 = b.u8(pos + 3);
    int version = (b1 >> 3) & 3;
    int layerBits = (b1 >> 1) & 3;
    int bitrateIndex = b2 >> 4;
    int rateIndex = (b2 >> 2) & 3;
    // Free-format bit rates carry no frame length to walk by.
    if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    f.version = version;
    f.layer = 4 - layerBits;
    int table = version == 3 ? f.layer - 1 : (f.layer == 1 ? 3 : 4);
    uint32_t bitrate = kBitrates[table][bitrateIndex] * 1000u;
    f.rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    uint32_t padding = (b2 >> 1) & 1;
    f.mono = (b3 >> 6) == 3;
    if (f.layer == 1) {
        f.samples = 384;
        f.length = (12 * bitrate / f.rate + padding) * 4;
    } else if (f.layer == 2 || version == 3) {
        f.samples = 1152;
        f.length = 144 * bitrate / f.rate + padding;
    } else {
        f.samples = 576;
        f.length = 72 * bitrate / f.rate + padding;
    }
    return f.length > 4;
}

bool sameStream(const MpegFrame& a, const MpegFrame& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

// Frames found in a Xing/Info or VBRI header of the first frame, or 0.
uint32_t headerFrameCount(const Bytes& b, size_t pos, const MpegFrame& f) {
    size_t side = f.version == 3 ? (f.mono ? 17 : 32) : (f.mono ? 9 : 17);
    size_t xing = pos + 4 + side;
    if ((b.tag(xing, "Xing") || b.tag(xing, "Info")) && b.has(xing, 12) && (b.be32(xing + 4) & 1))
        return b.be32(xing + 8);
    size_t vbri = pos + 36;
    if (b.tag(vbri, "VBRI") && b.has(vbri, 18)) return b.be32(vbri + 14);
    return 0;
}

bool probeMp3(const Bytes& b, MediaFormat& format, double& seconds) {
    size_t pos = 0;
    while (b.tag(pos, "ID3") && b.has(pos, 10)) {
        uint32_t size = 0;
        for (int i = 0; i < 4; ++i) size = size << 7 | (b.u8(pos + 6 + i) & 0x7F);
        pos += 10 + size + ((b.u8(pos + 5) & 0x10) ? 10 : 0);
    }
    size_t end = b.size();
    if (end >= 128 && b.tag(end - 128, "TAG") && pos <= end - 128) end -= 128;
    if (pos >= end) return false;
    Bytes audio(b.sub(0, end));

    // The first frame: a header whose successor is one too (or the file's end), found near the
    // start, so that stray sync bytes in other data do not pass for MP3.
    constexpr size_t kSearch = 4096;
    MpegFrame first;
    size_t start = pos;
    bool found = false;
    for (; start < end && start - pos <= kSearch; ++start) {
        if (!parseMpegHeader(audio, start, first)) continue;
        size_t next = start + first.length;
        MpegFrame second;
        if (next == end || (parseMpegHeader(audio, next, second) && sameStream(first, second))) {
            found = true;
            break;
        }
    }
    if (!found) return false;
    format = MediaFormat::Mp3;
    if (uint32_t frames = headerFrameCount(audio, start, first)) {
        seconds = static_cast<double>(frames) * first.samples / first.rate;
        return true;
    }
    double total = 0;
    size_t p = start;
    while (p < end) {
        MpegFrame f;
        if (parseMpegHeader(audio, p, f) && sameStream(first, f)) {
            if (!audio.has(p, f.length)) break;  // a cut-off last frame does not play
            total += static_cast<double>(f.samples) / f.rate;
            p += f.length;
        } else {
            ++p;  // damaged stretch: resynchronise on the next header
        }
    }
    seconds = total;
    return true;
}

// ---- Standard MIDI File --------------------------------------------------------------------

struct TempoChange {
    uint64_t tick;
    uint32_t microsPerQuarter;
};

bool readVarLength(const Bytes& b, size_t& p, size_t end, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (p >= end) return false;
        uint8_t c = b.u8(p++);
        value = value << 7 | (c & 0x7F);
        if (!(c & 0x80)) return true;
    }
    return false;
}

// Walks one track; returns the tick of its end and collects its tempo changes. A damaged
// stretch ends the track where it begins.
uint64_t walkTrack(const Bytes& b, size_t p, size_t end, std::vector<TempoChange>& tempos) {
    uint64_t tick = 0;
    uint8_t status = 0;
    while (p < end) {
        uint32_t delta;
        if (!readVarLength(b, p, end, delta) || p >= end) break;
        uint64_t at = tick + delta;
        uint8_t c = b.u8(p);
        if (c == 0xFF) {
            if (p + 2 > end) break;
            uint8_t type = b.u8(p + 1);
            p += 2;
            uint32_t length;
            if (!readVarLength(b, p, end, length) || length > end - p) break;
            tick = at;
            if (type == 0x2F) break;  // end of track
            if (type == 0x51 && length >= 3) {
                uint32_t tempo = b.u8(p) << 16 | b.u8(p + 1) << 8 | b.u8(p + 2);
                if (tempo != 0) tempos.push_back({tick, tempo});
            }
            p += length;
            status = 0;
        } else if (c == 0xF0 || c == 0xF7) {
            ++p;
            uint32_t length;
            if (!readVarLength(b, p, end, length) || length > end - p) break;
            tick = at;
            p += length;
            status = 0;
        } else {
            if (c & 0x80) {
                if (c >= 0xF0) break;  // system messages do not belong in a file
                status = c;
                ++p;
            } else if (status == 0) {
                break;  // running status with nothing to run on
            }
            size_t dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
            if (dataBytes > end - p) break;
            tick = at;
            p += dataBytes;
        }
    }
    return tick;
}

double ticksToSeconds(uint64_t endTick, std::vector<TempoChange> tempos, uint32_t perQuarter) {
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    double seconds = 0;
    uint64_t tick = 0;
    uint32_t tempo = 500000;  // 120 beats a minute until the file says otherwise
    for (const TempoChange& t : tempos) {
        if (t.tick >= endTick) break;
        seconds += static_cast<double>(t.tick - tick) * tempo / (1e6 * perQuarter);
        tick = t.tick;
        tempo = t.microsPerQuarter;
    }
    return seconds + static_cast<double>(endTick - tick) * tempo / (1e6 * perQuarter);
}

bool probeMidi(std::string_view data, double& seconds) {
    Bytes b(data);
    if (!b.tag(0, "MThd") || !b.has(0, 14)) return false;
    uint32_t headerLength = b.be32(4);
    if (headerLength < 6) return false;
    uint32_t fileFormat = b.be16(8);
    uint32_t trackCount = b.be16(10);
    uint32_t division = b.be16(12);
    if (division == 0 || fileFormat > 2) return false;

    double smpteTicksPerSecond = 0;
    if (division & 0x8000) {
        int fps = -static_cast<int8_t>(division >> 8);
        uint32_t perFrame = division & 0xFF;
        if (perFrame == 0 || (fps != 24 && fps != 25 && fps != 29 && fps != 30)) return false;
        smpteTicksPerSecond = (fps == 29 ? 29.97 : fps) * perFrame;
    }
    auto toSeconds = [&](uint64_t endTick, const std::vector<TempoChange>& tempos) {
        if (smpteTicksPerSecond > 0) return endTick / smpteTicksPerSecond;
        return ticksToSeconds(endTick, tempos, division);
    };

    std::vector<TempoChange> tempos;  // formats 0 and 1: one tempo map for all tracks
    uint64_t endTick = 0;
    double sequential = 0;  // format 2: independent tracks, one after another
    uint32_t tracks = 0;
    uint64_t pos = 8 + uint64_t{headerLength};
    while (tracks < trackCount && pos + 8 <= b.size()) {
        size_t chunk = static_cast<size_t>(pos);
        uint32_t length = b.be32(chunk + 4);
        size_t body = chunk + 8;
        size_t end = body + std::min<size_t>(length, b.size() - body);
        if (b.tag(chunk, "MTrk")) {
            ++tracks;
            if (fileFormat == 2) {
                std::vector<TempoChange> own;
                uint64_t t = walkTrack(b, body, end, own);
                sequential += toSeconds(t, own);
            } else {
                endTick = std::max(endTick, walkTrack(b, body, end, tempos));
            }
        }
        pos = uint64_t{body} + length;
    }
    if (tracks == 0) return false;
    seconds = fileFormat == 2 ? sequential : toSeconds(endTick, tempos);
    return true;
}

}  // namespace

bool probeMediaDuration(std::string_view bytes, MediaFormat& format, double& seconds) {
    format = MediaFormat::Unknown;
    seconds = 0;
    Bytes b(bytes);
    bool ok = false;
    if (b.tag(0, "RIFF")) {
        ok = probeRiff(b, format, seconds);
    } else if (b.tag(0, "OggS")) {
        ok = probeOgg(b, format, seconds);
    } else if (b.tag(0, "MThd")) {
        format = MediaFormat::Midi;
        ok = probeMidi(bytes, seconds);
    } else {
        ok = probeMp3(b, format, seconds);
    }
    if (!ok) format = MediaFormat::Unknown;
    return ok;
}

}  // namespace zarvo::platform
