#include "backends/sdl/sharp_scale.hpp"

#include <algorithm>
#include <utility>

namespace zarvo::platform {

SharpAxis sharpAxis(int inSize, int factor, int outSize) {
    SharpAxis a;
    a.first.resize(outSize);
    a.second.resize(outSize);
    a.weight.resize(outSize);
    const long long big = static_cast<long long>(inSize) * factor;
    for (int i = 0; i < outSize; ++i) {
        // Centre of output pixel i in the enlarged picture, in 1/256 of its pixels, less half a
        // pixel: the linear filter's sample point between two enlarged pixels.
        long long pos = ((2LL * i + 1) * big * 256) / (2LL * outSize) - 128;
        pos = std::max(0LL, pos);
        long long i0 = std::min(pos >> 8, big - 1);
        long long i1 = std::min(i0 + 1, big - 1);
        const int s0 = static_cast<int>(i0 / factor), s1 = static_cast<int>(i1 / factor);
        a.first[i] = s0;
        a.second[i] = s1;
        // Both enlarged pixels from one picture pixel: nothing to blend.
        a.weight[i] = s0 == s1 ? 0 : static_cast<uint32_t>(pos & 255);
    }
    return a;
}

namespace {

// d = (a * (256 - w) + b * w) >> 8 per channel; red and blue share a word, each in 16 bits.
[[gnu::always_inline]] inline uint32_t blend(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t v = 256 - w;
    const uint32_t rb = (((a & 0xFF00FF) * v + (b & 0xFF00FF) * w) >> 8) & 0xFF00FF;
    const uint32_t g = (((a & 0xFF00) * v + (b & 0xFF00) * w) >> 8) & 0xFF00;
    return rb | g;
}

[[gnu::target_clones("avx2", "default")]] void scaleRow(const uint32_t* __restrict src,
                                                        const int* __restrict first,
                                                        const int* __restrict second,
                                                        const uint32_t* __restrict weight,
                                                        uint32_t* __restrict out, int n) {
    for (int x = 0; x < n; ++x) out[x] = blend(src[first[x]], src[second[x]], weight[x]);
}

[[gnu::target_clones("avx2", "default")]] void blendRows(const uint32_t* __restrict a,
                                                         const uint32_t* __restrict b, uint32_t w,
                                                         uint32_t* __restrict out, int n) {
    for (int x = 0; x < n; ++x) out[x] = blend(a[x], b[x], w);
}

}  // namespace

void sharpScale(const uint32_t* src, int inW, int inH, int srcStride, int factor, uint32_t* dst,
                int outW, int outH, int dstStride, std::vector<uint32_t>& rows) {
    if (!src || !dst || inW <= 0 || inH <= 0 || outW <= 0 || outH <= 0 || factor <= 0) return;
    const SharpAxis ax = sharpAxis(inW, factor, outW);
    const SharpAxis ay = sharpAxis(inH, factor, outH);
    // Two picture rows scaled across, kept while the output rows still need them.
    rows.resize(2 * static_cast<size_t>(outW));
    uint32_t* slot[2] = {rows.data(), rows.data() + outW};
    int held[2] = {-1, -1};
    auto scaled = [&](int sy, int keep) -> const uint32_t* {
        for (int s = 0; s < 2; ++s)
            if (held[s] == sy) return slot[s];
        const int s = held[0] == keep ? 1 : 0;
        scaleRow(src + static_cast<size_t>(sy) * srcStride, ax.first.data(), ax.second.data(),
                 ax.weight.data(), slot[s], outW);
        held[s] = sy;
        return slot[s];
    };
    for (int y = 0; y < outH; ++y) {
        const uint32_t* a = scaled(ay.first[y], ay.second[y]);
        uint32_t* out = dst + static_cast<size_t>(y) * dstStride;
        if (ay.weight[y] == 0) {
            std::copy(a, a + outW, out);
        } else {
            const uint32_t* b = scaled(ay.second[y], ay.first[y]);
            blendRows(a, b, ay.weight[y], out, outW);
        }
    }
}

}  // namespace zarvo::platform
