// The headless canvas: keeps the last presented frame and counts presents.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/canvas.hpp"

namespace zarvo::platform {

class FrameCanvas final : public Canvas {
  public:
    void present(const uint32_t* pixels, int width, int height, int stride) override {
        width_ = width;
        height_ = height;
        frame_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            std::copy(pixels + static_cast<size_t>(y) * stride,
                      pixels + static_cast<size_t>(y) * stride + width,
                      frame_.begin() + static_cast<ptrdiff_t>(y) * width);
        ++presents_;
    }
    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint32_t>& frame() const { return frame_; }
    uint64_t presents() const { return presents_; }

  private:
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> frame_;
    uint64_t presents_ = 0;
};

}  // namespace zarvo::platform
