// Where finished frames go: the desktop host uploads them to its window, the headless host keeps
// the last one for screenshots.
#pragma once
#include <cstdint>

namespace zarvo::platform {

class Canvas {
  public:
    virtual ~Canvas() = default;
    // `pixels`: `height` rows of `stride` words, each 0x00RRGGBB (blue in the low byte).
    virtual void present(const uint32_t* pixels, int width, int height, int stride) = 0;
};

}  // namespace zarvo::platform
