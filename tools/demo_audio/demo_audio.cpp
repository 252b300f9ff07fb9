// Synthesises the demo story's music and sound effect, so the demo ships no recorded audio:
//   demo_audio OUTPUT_DIR   writes bgm.wav (an 8 s loop) and chime.wav (a short bell)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 22050;

double noteHz(int midi) {
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// Adds a tone to `out` starting at `at` seconds. Tails running past the end wrap to the start,
// so a loop rendered this way joins without a click.
void addTone(std::vector<double>& out, double at, double length, int midi, double level,
             double attack, double decay, const std::vector<double>& harmonics) {
    double hz = noteHz(midi);
    size_t start = static_cast<size_t>(at * kRate);
    size_t count = static_cast<size_t>((length + decay * 5) * kRate);
    for (size_t i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / kRate;
        double env = std::min(1.0, t / attack) * std::exp(-t / decay);
        if (t > length) env *= std::exp(-(t - length) / 0.05);  // released
        double v = 0;
        for (size_t h = 0; h < harmonics.size(); ++h)
            v += harmonics[h] * std::sin(2 * kPi * hz * static_cast<double>(h + 1) * t);
        out[(start + i) % out.size()] += level * env * v;
    }
}

bool writeWav(const std::string& path, const std::vector<double>& samples) {
    double peak = 1e-9;
    for (double s : samples) peak = std::max(peak, std::abs(s));
    double gain = 0.8 / peak;
    std::vector<uint8_t> bytes;
    auto put = [&bytes](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(kRate, 4);
    put(kRate * 2, 4);
    put(2, 2);
    put(16, 2);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (double s : samples)
        put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * gain * 32767))), 2);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<double> music() {
    // Four bars of 2 s: C, A minor, F, G; bass on the strong beats, a bell melody in eighths.
    std::vector<double> out(8 * kRate, 0.0);
    const int roots[4] = {48, 45, 41, 43};
    const int chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}};
    const int melody[32] = {72, 76, 79, 76, 74, 72, 74, 76, 72, 69, 72, 76, 74, 72, 69, 67,
                            69, 72, 77, 76, 72, 69, 72, 74, 74, 71, 67, 71, 74, 79, 76, 74};
    const std::vector<double> pad = {1.0, 0.3, 0.1};
    const std::vector<double> bass = {1.0, 0.5, 0.25, 0.1};
    const std::vector<double> bell = {1.0, 0.0, 0.35, 0.0, 0.12};
    for (int bar = 0; bar < 4; ++bar) {
        double t0 = bar * 2.0;
        for (int note : chords[bar]) addTone(out, t0, 1.9, note, 0.10, 0.25, 1.5, pad);
        addTone(out, t0, 0.9, roots[bar], 0.30, 0.01, 0.6, bass);
        addTone(out, t0 + 1.0, 0.9, roots[bar], 0.25, 0.01, 0.6, bass);
        for (int i = 0; i < 8; ++i)
            addTone(out, t0 + i * 0.25, 0.2, melody[bar * 8 + i], 0.16, 0.005, 0.25, bell);
    }
    return out;
}

std::vector<double> chime() {
    std::vector<double> out(static_cast<size_t>(0.9 * kRate), 0.0);
    const std::vector<double> bell = {1.0, 0.0, 0.4, 0.0, 0.2, 0.0, 0.1};
    addTone(out, 0.0, 0.05, 88, 0.5, 0.002, 0.18, bell);
    addTone(out, 0.09, 0.05, 95, 0.5, 0.002, 0.12, bell);
    // The wrapped tails are tiny here; cut them instead of looping the effect.
    for (size_t i = 0; i < 200 && i < out.size(); ++i) out[i] *= static_cast<double>(i) / 200;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_audio OUTPUT_DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = writeWav(dir + "/bgm.wav", music()) && writeWav(dir + "/chime.wav", chime());
    if (!ok) std::fprintf(stderr, "demo_audio: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
