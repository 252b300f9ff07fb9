// Code page 932 conversion of a long Japanese text, both ways: the engine's own converter
// against glibc's iconv (one converter opened once, its best case).
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>
#include <string_view>

#include "base/cp932.hpp"
#include "base/sjis.hpp"

namespace {

// A story's worth of message text: mostly kanji and kana, some ASCII markup, full-width and
// half-width forms, line breaks.
std::string longUtf8Text() {
    const std::string paragraph =
        "@message 春の終わり、私たちは海辺の小さな町に引っ越した。\r\n"
        "「ここが新しい家？」と妹が聞くと、父は黙ってうなずいた。\r\n"
        "窓の外には灰色の波が打ち寄せ、遠くで汽笛が鳴っている。"
        "ＡＢＣ１２３　ｶﾀｶﾅ　①②③　〜♪\r\n"
        "その夜、古い箪笥の奥から一通の手紙が見つかった。差出人の名前は、"
        "祖母の若い頃のものだった。\r\n";
    std::string text;
    while (text.size() < 256 * 1024) text += paragraph;
    return text;
}

// The whole input through one iconv converter (reset first); empty when it fails.
std::string viaIconv(iconv_t cd, std::string_view in, std::string& buffer) {
    buffer.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return {};
    return std::string(buffer.data(), buffer.size() - dstLeft);
}

struct Texts {
    std::string utf8 = longUtf8Text();
    std::string cp932;
    Texts() { zarvo::utf8ToSjis(utf8, cp932); }
};

const Texts& texts() {
    static const Texts t;
    return t;
}

void runIconv(benchmark::State& state, const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        state.SkipWithError("iconv has no CP932 here");
        return;
    }
    std::string buffer;
    for (auto _ : state) benchmark::DoNotOptimize(viaIconv(cd, in, buffer));
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void BM_Cp932ToUtf8(benchmark::State& state) {
    const std::string& in = texts().cp932;
    for (auto _ : state) benchmark::DoNotOptimize(zarvo::sjisToUtf8(in));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_Cp932ToUtf8);

void BM_Cp932ToUtf8Iconv(benchmark::State& state) {
    runIconv(state, "UTF-8", "CP932", texts().cp932);
}
BENCHMARK(BM_Cp932ToUtf8Iconv);

void BM_Cp932ToUtf32(benchmark::State& state) {
    const std::string& in = texts().cp932;
    std::u32string out;
    for (auto _ : state) {
        out.clear();
        for (size_t i = 0; i < in.size();) {
            size_t length = zarvo::charLength(in, i);
            auto b = static_cast<unsigned char>(in[i]);
            out += zarvo::cp932CodePoint(
                length == 2 ? b << 8 | static_cast<unsigned char>(in[i + 1]) : b);
            i += length;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_Cp932ToUtf32);

void BM_Cp932ToUtf32Iconv(benchmark::State& state) {
    runIconv(state, "UTF-32LE", "CP932", texts().cp932);
}
BENCHMARK(BM_Cp932ToUtf32Iconv);

void BM_Utf8ToCp932(benchmark::State& state) {
    const std::string& in = texts().utf8;
    std::string out;
    for (auto _ : state) {
        zarvo::utf8ToSjis(in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_Utf8ToCp932);

void BM_Utf8ToCp932Iconv(benchmark::State& state) {
    runIconv(state, "CP932", "UTF-8", texts().utf8);
}
BENCHMARK(BM_Utf8ToCp932Iconv);

}  // namespace
