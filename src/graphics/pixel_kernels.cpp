// Row kernels, built at -O3. The vector versions take 16-bit lanes per channel: every sum of the
// blend, at most 255 * 255, fits in one. Runs of coverage 0 are skipped whole: such pixels are
// never touched, so skipping is exact.
#include "graphics/pixel_kernels.hpp"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define ZARVO_X86 1
#define ZARVO_AVX2 __attribute__((target("avx2")))
#define ZARVO_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))
#endif

namespace zarvo::pixels {
namespace {

// --- portable ---

inline bool allZero16(const uint8_t* m) {
    uint64_t a, b;
    std::memcpy(&a, m, 8);
    std::memcpy(&b, m + 8, 8);
    return (a | b) == 0;
}

void copyMaskedPortable(uint32_t* __restrict d, const uint32_t* __restrict s,
                        const uint8_t* __restrict m, size_t n) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        if (allZero16(m + i)) continue;
        for (size_t j = i; j < i + 16; ++j) {
            const uint32_t keep = 0u - static_cast<uint32_t>(m[j] == 0);
            d[j] = (d[j] & keep) | (s[j] & ~keep);
        }
    }
    for (; i < n; ++i)
        if (m[i]) d[i] = s[i];
}

void blendAlphaPortable(uint32_t* __restrict d, const uint32_t* __restrict s,
                        const uint8_t* __restrict m, size_t n) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        if (allZero16(m + i)) continue;
        for (size_t j = i; j < i + 16; ++j) {
            const uint32_t keep = 0u - static_cast<uint32_t>(m[j] == 0);
            d[j] = (d[j] & keep) | (blendPixel(d[j], s[j], m[j]) & ~keep);
        }
    }
    for (; i < n; ++i)
        if (m[i]) d[i] = blendPixel(d[i], s[i], m[i]);
}

void blendConstantPortable(uint32_t* __restrict d, const uint32_t* __restrict s, uint32_t o,
                           size_t n) {
    for (size_t i = 0; i < n; ++i) d[i] = blendPixel(d[i], s[i], o);
}

void orMaskPortable(uint8_t* __restrict d, const uint8_t* __restrict s, size_t n) {
    for (size_t i = 0; i < n; ++i) d[i] |= s[i];
}

constexpr RowKernels kPortable{KernelLevel::Portable, "portable",
                               copyMaskedPortable,    blendAlphaPortable,
                               blendConstantPortable, orMaskPortable};

#if ZARVO_X86

// --- AVX2: 8 pixels per step ---

// 16-bit lane mix of one half of the unpacked pixels: ((ia * d) + (a * s)) >> 8.
ZARVO_AVX2 inline __m256i mix16Avx2(__m256i d, __m256i s, __m256i a, __m256i ia) {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(d, ia), _mm256_mullo_epi16(s, a)),
                             8);
}

// Blends 8 pixels; a32 holds each pixel's coverage in its 32-bit lane. The top channel gets a
// weight of 0 on both sides, so the top byte comes out 0.
ZARVO_AVX2 inline __m256i blend8Avx2(__m256i d, __m256i s, __m256i a32) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i spread =
        _mm256_setr_epi8(0, 0, 0, -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128, 0, 0, 0,
                         -128, 4, 4, 4, -128, 8, 8, 8, -128, 12, 12, 12, -128);
    const __m256i colourMax = _mm256_set1_epi64x(0x000000FF00FF00FFll);
    const __m256i ab = _mm256_shuffle_epi8(a32, spread);
    const __m256i alo = _mm256_unpacklo_epi8(ab, zero), ahi = _mm256_unpackhi_epi8(ab, zero);
    const __m256i ilo = _mm256_sub_epi16(colourMax, alo), ihi = _mm256_sub_epi16(colourMax, ahi);
    const __m256i lo =
        mix16Avx2(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero), alo, ilo);
    const __m256i hi =
        mix16Avx2(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero), ahi, ihi);
    return _mm256_packus_epi16(lo, hi);
}

ZARVO_AVX2 inline __m256i load8(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ZARVO_AVX2 inline void store8(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
ZARVO_AVX2 inline __m256i coverage8(const uint8_t* m) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)));
}

ZARVO_AVX2 inline void copyStep8(uint32_t* d, const uint32_t* s, const uint8_t* m) {
    const __m256i keep = _mm256_cmpeq_epi32(coverage8(m), _mm256_setzero_si256());
    store8(d, _mm256_blendv_epi8(load8(s), load8(d), keep));
}

ZARVO_AVX2 void copyMaskedAvx2(uint32_t* __restrict d, const uint32_t* __restrict s,
                               const uint8_t* __restrict m, size_t n) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i mv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m + i));
        const uint32_t zeroBits = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(mv, _mm256_setzero_si256())));
        if (zeroBits == 0xFFFFFFFFu) continue;
        if (zeroBits == 0) {  // fully covered: a plain copy is exact here
            for (size_t j = 0; j < 32; j += 8) store8(d + i + j, load8(s + i + j));
            continue;
        }
        for (size_t j = 0; j < 32; j += 8)
            if (((zeroBits >> j) & 0xFFu) != 0xFFu) copyStep8(d + i + j, s + i + j, m + i + j);
    }
    for (; i + 8 <= n; i += 8) copyStep8(d + i, s + i, m + i);
    for (; i < n; ++i)
        if (m[i]) d[i] = s[i];
}

ZARVO_AVX2 inline void blendStep8(uint32_t* d, const uint32_t* s, const uint8_t* m) {
    const __m256i a32 = coverage8(m);
    const __m256i dv = load8(d);
    const __m256i keep = _mm256_cmpeq_epi32(a32, _mm256_setzero_si256());
    store8(d, _mm256_blendv_epi8(blend8Avx2(dv, load8(s), a32), dv, keep));
}

ZARVO_AVX2 void blendAlphaAvx2(uint32_t* __restrict d, const uint32_t* __restrict s,
                               const uint8_t* __restrict m, size_t n) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i mv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m + i));
        const uint32_t zeroBits = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(mv, _mm256_setzero_si256())));
        if (zeroBits == 0xFFFFFFFFu) continue;
        for (size_t j = 0; j < 32; j += 8)
            if (((zeroBits >> j) & 0xFFu) != 0xFFu) blendStep8(d + i + j, s + i + j, m + i + j);
    }
    for (; i + 8 <= n; i += 8) blendStep8(d + i, s + i, m + i);
    for (; i < n; ++i)
        if (m[i]) d[i] = blendPixel(d[i], s[i], m[i]);
}

ZARVO_AVX2 void blendConstantAvx2(uint32_t* __restrict d, const uint32_t* __restrict s, uint32_t o,
                                  size_t n) {
    const __m256i zero = _mm256_setzero_si256();
    const uint64_t a4 = o | (uint64_t{o} << 16) | (uint64_t{o} << 32);
    const __m256i a = _mm256_set1_epi64x(static_cast<long long>(a4));
    const __m256i ia = _mm256_sub_epi16(_mm256_set1_epi64x(0x000000FF00FF00FFll), a);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i dv = load8(d + i), sv = load8(s + i);
        const __m256i lo =
            mix16Avx2(_mm256_unpacklo_epi8(dv, zero), _mm256_unpacklo_epi8(sv, zero), a, ia);
        const __m256i hi =
            mix16Avx2(_mm256_unpackhi_epi8(dv, zero), _mm256_unpackhi_epi8(sv, zero), a, ia);
        store8(d + i, _mm256_packus_epi16(lo, hi));
    }
    for (; i < n; ++i) d[i] = blendPixel(d[i], s[i], o);
}

ZARVO_AVX2 void orMaskAvx2(uint8_t* __restrict d, const uint8_t* __restrict s, size_t n) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        auto* dp = reinterpret_cast<__m256i*>(d + i);
        const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        _mm256_storeu_si256(dp, _mm256_or_si256(_mm256_loadu_si256(dp), sv));
    }
    for (; i < n; ++i) d[i] |= s[i];
}

constexpr RowKernels kAvx2{KernelLevel::Avx2, "avx2",    copyMaskedAvx2, blendAlphaAvx2,
                           blendConstantAvx2, orMaskAvx2};

// --- AVX-512: 16 pixels per step, masked loads and stores (also for the row's tail) ---

ZARVO_AVX512 inline __m512i mix16Avx512(__m512i d, __m512i s, __m512i a, __m512i ia) {
    return _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(d, ia), _mm512_mullo_epi16(s, a)),
                             8);
}

ZARVO_AVX512 inline __m512i blend16Avx512(__m512i d, __m512i s, __m512i a32) {
    const __m512i zero = _mm512_setzero_si512();
    // Bytes 0,0,0,-128, 4,4,4,-128, ... in every 128-bit lane (set4 avoids a broadcast that
    // GCC 12 warns about).
    const __m512i spread =
        _mm512_set4_epi32(static_cast<int>(0x800C0C0Cu), static_cast<int>(0x80080808u),
                          static_cast<int>(0x80040404u), static_cast<int>(0x80000000u));
    const __m512i colourMax = _mm512_set1_epi64(0x000000FF00FF00FFll);
    const __m512i ab = _mm512_shuffle_epi8(a32, spread);
    const __m512i alo = _mm512_unpacklo_epi8(ab, zero), ahi = _mm512_unpackhi_epi8(ab, zero);
    const __m512i ilo = _mm512_sub_epi16(colourMax, alo), ihi = _mm512_sub_epi16(colourMax, ahi);
    const __m512i lo =
        mix16Avx512(_mm512_unpacklo_epi8(d, zero), _mm512_unpacklo_epi8(s, zero), alo, ilo);
    const __m512i hi =
        mix16Avx512(_mm512_unpackhi_epi8(d, zero), _mm512_unpackhi_epi8(s, zero), ahi, ihi);
    return _mm512_packus_epi16(lo, hi);
}

inline uint64_t validBits64(size_t left) {
    return left >= 64 ? ~uint64_t{0} : (uint64_t{1} << left) - 1;
}
inline uint32_t validBits16(size_t left) {
    return left >= 16 ? 0xFFFFu : (1u << left) - 1;
}

ZARVO_AVX512 void copyMaskedAvx512(uint32_t* __restrict d, const uint32_t* __restrict s,
                                   const uint8_t* __restrict m, size_t n) {
    for (size_t i = 0; i < n; i += 64) {
        const __m512i mv = _mm512_maskz_loadu_epi8(validBits64(n - i), m + i);
        const uint64_t draw = _mm512_test_epi8_mask(mv, mv);
        if (draw == 0) continue;
        for (size_t j = 0; j < 4; ++j) {
            const auto k = static_cast<__mmask16>(draw >> (16 * j));
            if (k == 0) continue;
            const size_t at = i + 16 * j;
            _mm512_mask_storeu_epi32(d + at, k, _mm512_maskz_loadu_epi32(k, s + at));
        }
    }
}

ZARVO_AVX512 void blendAlphaAvx512(uint32_t* __restrict d, const uint32_t* __restrict s,
                                   const uint8_t* __restrict m, size_t n) {
    for (size_t i = 0; i < n; i += 64) {
        const __m512i mv = _mm512_maskz_loadu_epi8(validBits64(n - i), m + i);
        const uint64_t draw = _mm512_test_epi8_mask(mv, mv);
        if (draw == 0) continue;
        for (size_t j = 0; j < 4; ++j) {
            const auto k = static_cast<__mmask16>(draw >> (16 * j));
            if (k == 0) continue;
            const size_t at = i + 16 * j;
            const __m512i a32 = _mm512_maskz_cvtepu8_epi32(k, _mm_maskz_loadu_epi8(k, m + at));
            const __m512i r = blend16Avx512(_mm512_maskz_loadu_epi32(k, d + at),
                                            _mm512_maskz_loadu_epi32(k, s + at), a32);
            _mm512_mask_storeu_epi32(d + at, k, r);
        }
    }
}

ZARVO_AVX512 void blendConstantAvx512(uint32_t* __restrict d, const uint32_t* __restrict s,
                                      uint32_t o, size_t n) {
    const __m512i zero = _mm512_setzero_si512();
    const uint64_t a4 = o | (uint64_t{o} << 16) | (uint64_t{o} << 32);
    const __m512i a = _mm512_set1_epi64(static_cast<long long>(a4));
    const __m512i ia = _mm512_sub_epi16(_mm512_set1_epi64(0x000000FF00FF00FFll), a);
    for (size_t i = 0; i < n; i += 16) {
        const auto k = static_cast<__mmask16>(validBits16(n - i));
        const __m512i dv = _mm512_maskz_loadu_epi32(k, d + i);
        const __m512i sv = _mm512_maskz_loadu_epi32(k, s + i);
        const __m512i lo =
            mix16Avx512(_mm512_unpacklo_epi8(dv, zero), _mm512_unpacklo_epi8(sv, zero), a, ia);
        const __m512i hi =
            mix16Avx512(_mm512_unpackhi_epi8(dv, zero), _mm512_unpackhi_epi8(sv, zero), a, ia);
        _mm512_mask_storeu_epi32(d + i, k, _mm512_packus_epi16(lo, hi));
    }
}

ZARVO_AVX512 void orMaskAvx512(uint8_t* __restrict d, const uint8_t* __restrict s, size_t n) {
    for (size_t i = 0; i < n; i += 64) {
        const __mmask64 k = validBits64(n - i);
        const __m512i v =
            _mm512_or_si512(_mm512_maskz_loadu_epi8(k, d + i), _mm512_maskz_loadu_epi8(k, s + i));
        _mm512_mask_storeu_epi8(d + i, k, v);
    }
}

constexpr RowKernels kAvx512{KernelLevel::Avx512, "avx512",    copyMaskedAvx512, blendAlphaAvx512,
                             blendConstantAvx512, orMaskAvx512};

#endif  // ZARVO_X86

}  // namespace

bool kernelLevelSupported(KernelLevel level) {
    switch (level) {
        case KernelLevel::Portable:
            return true;
#if ZARVO_X86
        case KernelLevel::Avx2:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2");
        case KernelLevel::Avx512:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
#endif
        default:
            return false;
    }
}

const RowKernels& rowKernels(KernelLevel level) {
    if (!kernelLevelSupported(level)) return kPortable;
#if ZARVO_X86
    if (level == KernelLevel::Avx512) return kAvx512;
    if (level == KernelLevel::Avx2) return kAvx2;
#endif
    return kPortable;
}

const RowKernels& bestRowKernels() {
    static const RowKernels& best = kernelLevelSupported(KernelLevel::Avx512)
                                        ? rowKernels(KernelLevel::Avx512)
                                        : rowKernels(KernelLevel::Avx2);
    return best;
}

}  // namespace zarvo::pixels
