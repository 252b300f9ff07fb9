// A decoded picture, as image decoders hand it over: 32-bit pixels 0x00RRGGBB, top row first,
// and for pictures that bring their own transparency an 8-bit coverage mask of the same size.
#pragma once
#include <cstdint>
#include <vector>

namespace zarvo {

// How a picture's mask is applied: not at all, as on/off coverage, or as alpha.
enum class AlphaMode : uint8_t { None = 0, Mask = 1, Alpha = 3 };

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels{};  // width * height
    AlphaMode alphaMode = AlphaMode::None;
    std::vector<uint8_t> mask{};  // width * height while alphaMode is not None, else empty
};

// Rows of a picture owned elsewhere, for encoders: `mask` is null for a picture without one.
struct PictureView {
    const uint32_t* pixels = nullptr;
    const uint8_t* mask = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

}  // namespace zarvo
