// The picture side of the surface: size, mask, copying, blending, fills and the transparency
// treatments. Loops go row by row through the kernels; every rectangle is clipped in 64-bit
// arithmetic first, so no argument can make a loop leave either buffer.
#include "graphics/surface.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <utility>

#include "graphics/pixel_kernels.hpp"
#include "platform/canvas.hpp"

namespace zarvo {
namespace {

// Larger requests leave an empty surface rather than exhausting memory.
constexpr int64_t kMaxSide = 32767;
constexpr int64_t kMaxPixels = int64_t{1} << 28;
constexpr uint32_t kWhite = 0xFFFFFF;

// One axis of a copy: destination start, source start and length (0 when nothing is copied).
struct Span {
    int64_t dest = 0, src = 0, length = 0;
};

// The copy rule along one axis. A length of 1 or less means "as far as the source and the
// destination allow". A negative destination start cuts the rectangle and advances the source
// start by the same amount, so every source pixel lands where the rectangle puts it; a negative
// source start is cut the same way. Works on 64-bit values so no sum can overflow.
Span clipAxis(int64_t dest, int64_t length, int64_t src, int64_t destSize, int64_t srcSize) {
    Span r;
    int64_t left = std::max<int64_t>(dest, 0);
    int64_t from = src + (left - dest);
    int64_t right = length <= 1 ? destSize - 1 : std::min(dest + length - 1, destSize - 1);
    int64_t n = right - left + 1;
    if (from < 0) {
        left -= from;
        n += from;
        from = 0;
    }
    n = std::min(n, srcSize - from);
    if (n <= 0 || left >= destSize) return r;
    r.dest = left;
    r.src = from;
    r.length = n;
    return r;
}

struct CopyRect {
    Span x, y;
    bool empty() const { return x.length <= 0 || y.length <= 0; }
};

// Source rows of a copy. When source and destination are one surface the rectangle is taken
// out first, so overlapping rectangles copy what was there before.
struct SourceRows {
    const uint32_t* pixels = nullptr;
    const uint8_t* mask = nullptr;
    size_t stride = 0;
    std::vector<uint32_t> pixelCopy;
    std::vector<uint8_t> maskCopy;

    SourceRows(const Surface& src, const CopyRect& r, bool separate) {
        const size_t w = static_cast<size_t>(r.x.length), h = static_cast<size_t>(r.y.length);
        const auto sx = static_cast<size_t>(r.x.src);
        const auto sy = static_cast<int32_t>(r.y.src);
        if (!separate) {
            pixels = src.row(sy) + sx;
            if (src.hasMask()) mask = src.maskRow(sy) + sx;
            stride = static_cast<size_t>(src.width());
            return;
        }
        try {
            pixelCopy.resize(w * h);
            if (src.hasMask()) maskCopy.resize(w * h);
        } catch (const std::bad_alloc&) {
            return;  // pixels stays null: nothing is copied
        }
        for (size_t y = 0; y < h; ++y)
            std::memcpy(&pixelCopy[y * w], src.row(sy + static_cast<int32_t>(y)) + sx, w * 4);
        if (src.hasMask()) {
            for (size_t y = 0; y < h; ++y)
                std::memcpy(&maskCopy[y * w], src.maskRow(sy + static_cast<int32_t>(y)) + sx, w);
            mask = maskCopy.data();
        }
        pixels = pixelCopy.data();
        stride = w;
    }
};

}  // namespace

Surface::Surface() {
    setSize(10, 10);
}

Surface::Surface(Surface&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      picture_(std::move(other.picture_)),
      mask_(std::move(other.mask_)),
      alphaMode_(other.alphaMode_),
      stamp_(std::exchange(other.stamp_, 0)) {
    other.picture_.clear();
    other.mask_.clear();
}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (&other == this) return *this;
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    picture_ = std::move(other.picture_);
    mask_ = std::move(other.mask_);
    alphaMode_ = other.alphaMode_;
    stamp_ = std::exchange(other.stamp_, 0);
    other.picture_.clear();
    other.mask_.clear();
    return *this;
}

uint64_t Surface::stamp() const {
    static std::atomic<uint64_t> next{1};
    if (stamp_ == 0) stamp_ = next.fetch_add(1, std::memory_order_relaxed);
    return stamp_;
}

void Surface::setSize(int32_t width, int32_t height) {
    stamp_ = 0;
    int64_t w = std::max<int32_t>(width, 0), h = std::max<int32_t>(height, 0);
    if (w > kMaxSide || h > kMaxSide || w * h > kMaxPixels) w = h = 0;
    try {
        picture_.assign(static_cast<size_t>(w * h), kWhite);
        if (alphaMode_ != AlphaMode::None)
            mask_.assign(static_cast<size_t>(w * h), 0);
        else
            mask_.clear();
    } catch (const std::bad_alloc&) {
        w = h = 0;
        picture_.clear();
        mask_.clear();
    }
    width_ = static_cast<int32_t>(w);
    height_ = static_cast<int32_t>(h);
}

void Surface::setAlphaMode(AlphaMode mode) {
    if (mode != alphaMode_) stamp_ = 0;
    if (mode == AlphaMode::None) {
        mask_.clear();
        mask_.shrink_to_fit();
    } else if (alphaMode_ == AlphaMode::None) {
        try {
            mask_.assign(picture_.size(), 255);
        } catch (const std::bad_alloc&) {
            // Keep the invariant (a mask of the picture's size) by giving up the picture.
            picture_.clear();
            mask_.clear();
            width_ = height_ = 0;
        }
    }
    alphaMode_ = mode;
}

void Surface::assign(const Surface& other) {
    if (&other == this) return;
    try {
        picture_ = other.picture_;
        mask_ = other.mask_;
        width_ = other.width_;
        height_ = other.height_;
        stamp_ = other.stamp();  // the same picture
    } catch (const std::bad_alloc&) {
        picture_.clear();
        mask_.clear();
        width_ = height_ = 0;
        stamp_ = 0;
    }
    alphaMode_ = other.alphaMode_;
}

void Surface::assignPicture(const Picture& picture) {
    setAlphaMode(AlphaMode::None);
    setSize(picture.width, picture.height);
    const size_t n = std::min(picture_.size(), picture.pixels.size());
    for (size_t i = 0; i < n; ++i) picture_[i] = picture.pixels[i] & 0xFFFFFFu;
    if (picture.alphaMode == AlphaMode::None) return;
    setAlphaMode(picture.alphaMode);
    std::copy_n(picture.mask.begin(), std::min(mask_.size(), picture.mask.size()), mask_.begin());
}

void Surface::assignPicture(Picture&& picture) {
    const size_t n = static_cast<size_t>(std::max(picture.width, 0)) *
                     static_cast<size_t>(std::max(picture.height, 0));
    const bool whole =
        picture.pixels.size() == n &&
        (picture.alphaMode == AlphaMode::None ? picture.mask.empty() : picture.mask.size() == n);
    // A complete picture within the size limits is taken over without a copy.
    if (!whole || picture.width > kMaxSide || picture.height > kMaxSide ||
        static_cast<int64_t>(n) > kMaxPixels)
        return assignPicture(static_cast<const Picture&>(picture));
    stamp_ = 0;
    width_ = picture.width;
    height_ = picture.height;
    picture_ = std::move(picture.pixels);
    mask_ = std::move(picture.mask);
    alphaMode_ = picture.alphaMode;
    for (uint32_t& p : picture_) p &= 0xFFFFFFu;
}

void Surface::copyTo(Surface& dest, int32_t dx, int32_t dy, int32_t width, int32_t height,
                     int32_t sx, int32_t sy) const {
    const CopyRect r{clipAxis(dx, width, sx, dest.width_, width_),
                     clipAxis(dy, height, sy, dest.height_, height_)};
    if (r.empty()) return;
    const SourceRows src(*this, r, &dest == this);
    if (!src.pixels) return;
    const auto& k = pixels::bestRowKernels();
    const auto n = static_cast<size_t>(r.x.length);
    const auto left = static_cast<size_t>(r.x.dest);
    for (int64_t y = 0; y < r.y.length; ++y) {
        const auto dy0 = static_cast<int32_t>(r.y.dest + y);
        uint32_t* d = dest.row(dy0) + left;
        const uint32_t* s = src.pixels + static_cast<size_t>(y) * src.stride;
        const uint8_t* m = src.mask ? src.mask + static_cast<size_t>(y) * src.stride : nullptr;
        switch (alphaMode_) {
            case AlphaMode::None:
                std::memcpy(d, s, n * 4);
                break;
            case AlphaMode::Mask:
                k.copyMasked(d, s, m, n);
                break;
            default:
                k.blendAlpha(d, s, m, n);
                break;
        }
        if (dest.hasMask()) {
            uint8_t* dm = dest.maskRow(dy0) + left;
            if (m)
                k.orMask(dm, m, n);
            else
                std::memset(dm, 255, n);
        }
    }
}

void Surface::blendTo(Surface& dest, int32_t dx, int32_t dy, int32_t width, int32_t height,
                      int32_t sx, int32_t sy, int32_t opacity) const {
    if (alphaMode_ != AlphaMode::None) return;
    const CopyRect r{clipAxis(dx, width, sx, dest.width_, width_),
                     clipAxis(dy, height, sy, dest.height_, height_)};
    if (r.empty()) return;
    const auto o = static_cast<uint32_t>(std::clamp(opacity, 0, 255));
    const SourceRows src(*this, r, &dest == this);
    if (!src.pixels) return;
    const auto& k = pixels::bestRowKernels();
    const auto n = static_cast<size_t>(r.x.length);
    for (int64_t y = 0; y < r.y.length; ++y) {
        uint32_t* d = dest.row(static_cast<int32_t>(r.y.dest + y)) + r.x.dest;
        k.blendConstant(d, src.pixels + static_cast<size_t>(y) * src.stride, o, n);
    }
}

void Surface::fillRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t color) {
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + width, width_);
    const int64_t y1 = std::min<int64_t>(int64_t{y} + height, height_);
    if (x1 <= x0 || y1 <= y0) return;
    const auto n = static_cast<size_t>(x1 - x0);
    // Fill one row, then copy it down: much faster than filling every row.
    uint32_t* first = row(static_cast<int32_t>(y0)) + x0;
    std::fill(first, first + n, colorToPixel(color));
    for (int64_t yy = y0 + 1; yy < y1; ++yy)
        std::memcpy(row(static_cast<int32_t>(yy)) + x0, first, n * 4);
    if (hasMask())
        for (int64_t yy = y0; yy < y1; ++yy)
            std::memset(maskRow(static_cast<int32_t>(yy)) + x0, 255, n);
}

uint32_t Surface::getPixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return pixelToColor(row(y)[x]);
}

bool Surface::hitTest(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return !hasMask() || maskRow(y)[x] > 15;
}

void Surface::drawTo(platform::Canvas& canvas) const {
    if (width_ <= 0 || height_ <= 0) return;
    canvas.present(picture_.data(), width_, height_, width_);
}

void Surface::makeColorKeyTransparent() {
    stamp_ = 0;
    if (alphaMode_ == AlphaMode::None) setAlphaMode(AlphaMode::Mask);
    if (width_ <= 0 || height_ <= 0) return;
    const uint32_t key = row(height_ - 1)[0] & 0xFFFFFFu;
    for (size_t i = 0; i < picture_.size(); ++i)
        if ((picture_[i] & 0xFFFFFFu) == key) mask_[i] = 0;
}

void Surface::makeTranslucent() {
    stamp_ = 0;
    setAlphaMode(AlphaMode::Alpha);
    for (uint8_t& m : mask_) m = std::min<uint8_t>(m, 128);
}

void Surface::clearMask() {
    stamp_ = 0;
    if (alphaMode_ == AlphaMode::None) setAlphaMode(AlphaMode::Mask);
    std::fill(mask_.begin(), mask_.end(), uint8_t{0});
}

Picture shrinkPicture(const Surface& g, int32_t width, int32_t height) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFFFFFF);
    const int64_t sw = g.width(), sh = g.height();
    if (sw <= 0 || sh <= 0) return p;
    for (int32_t ty = 0; ty < height; ++ty) {
        int64_t y0 = ty * sh / height, y1 = std::max((ty + 1) * sh / height, y0 + 1);
        for (int32_t tx = 0; tx < width; ++tx) {
            int64_t x0 = tx * sw / width, x1 = std::max((tx + 1) * sw / width, x0 + 1);
            uint64_t r = 0, gr = 0, b = 0;
            for (int64_t y = y0; y < y1; ++y) {
                const uint32_t* row = g.row(static_cast<int32_t>(y));
                for (int64_t x = x0; x < x1; ++x) {
                    r += (row[x] >> 16) & 0xFF;
                    gr += (row[x] >> 8) & 0xFF;
                    b += row[x] & 0xFF;
                }
            }
            uint64_t n = static_cast<uint64_t>((y1 - y0) * (x1 - x0));
            p.pixels[static_cast<size_t>(ty) * static_cast<size_t>(width) +
                     static_cast<size_t>(tx)] =
                static_cast<uint32_t>(((r + n / 2) / n) << 16 | ((gr + n / 2) / n) << 8 |
                                      ((b + n / 2) / n));
        }
    }
    return p;
}

}  // namespace zarvo
