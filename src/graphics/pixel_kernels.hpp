// Row kernels of the picture surface: the inner loops of copying and blending one row, in a
// portable version and, on x86-64, AVX2 and AVX-512 versions picked at run time. Every version
// gives exactly the pixels of the plain formulas written beside each kernel.
//
// Pixels are 0x00RRGGBB words; a coverage byte m decides per pixel. The blends divide by 256
// with a shift, so an opacity of 255 is not a plain copy (255 becomes 254). Blended pixels come
// out with a top byte of 0.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zarvo::pixels {

enum class KernelLevel : int { Portable = 0, Avx2 = 1, Avx512 = 2 };

struct RowKernels {
    KernelLevel level;
    const char* name;
    // d := s where m != 0.
    void (*copyMasked)(uint32_t* __restrict d, const uint32_t* __restrict s,
                       const uint8_t* __restrict m, size_t n);
    // Where m != 0, per colour channel: d := ((255 - m) * d + m * s) >> 8.
    void (*blendAlpha)(uint32_t* __restrict d, const uint32_t* __restrict s,
                       const uint8_t* __restrict m, size_t n);
    // Every pixel, per colour channel: d := ((255 - o) * d + o * s) >> 8, o in 0..255.
    void (*blendConstant)(uint32_t* __restrict d, const uint32_t* __restrict s, uint32_t o,
                          size_t n);
    // d := d | s.
    void (*orMask)(uint8_t* __restrict d, const uint8_t* __restrict s, size_t n);
};

// One pixel of the blends, the formula every version must match.
inline uint32_t blendPixel(uint32_t d, uint32_t s, uint32_t a) {
    const uint32_t ia = 255 - a;
    // Red and blue share one multiply: each product fits in 16 bits, so they cannot meet.
    const uint32_t rb = (((d & 0xFF00FFu) * ia + (s & 0xFF00FFu) * a) >> 8) & 0xFF00FFu;
    const uint32_t g = (((d & 0xFF00u) * ia + (s & 0xFF00u) * a) >> 8) & 0xFF00u;
    return rb | g;
}

// True when this machine can run the version.
bool kernelLevelSupported(KernelLevel level);
// The kernels of one version (the portable ones when the version cannot run here).
const RowKernels& rowKernels(KernelLevel level);
// The fastest version this machine runs, chosen once.
const RowKernels& bestRowKernels();

}  // namespace zarvo::pixels
