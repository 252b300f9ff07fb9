// A decoded picture, as image decoders hand it over: 32-bit pixels 0x00RRGGBB, top row first.
#pragma once
#include <cstdint>
#include <vector>

namespace zarvo {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // width * height
};

}  // namespace zarvo
