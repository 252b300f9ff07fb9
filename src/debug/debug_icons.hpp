// The debug window's icons, drawn in code: small pictures of rows and tool buttons, the same on
// every desktop.
#pragma once
#include <array>
#include <cstdint>

#include "debug/debug_model.hpp"

namespace zarvo {

inline constexpr int kDebugIconSize = 16;

// 16 x 16 pixels, rows top down, each 0xAABBGGRR (red in the lowest byte); alpha 0 is clear.
using DebugIconPixels = std::array<uint32_t, kDebugIconSize * kDebugIconSize>;

// The picture of an icon; DebugIcon::None is fully clear.
DebugIconPixels debugIconPixels(DebugIcon icon);

}  // namespace zarvo
