#include "player/player_notice.hpp"

#include <algorithm>

#include "base/sjis.hpp"
#include "graphics/surface.hpp"
#include "platform/clock.hpp"
#include "platform/font_engine.hpp"

namespace zarvo {

namespace {
constexpr uint32_t kText = 0xFFFFFF, kBorder = 0xA0B4DC;
constexpr int kMargin = 8, kPad = 6;
}  // namespace

PlayerNotice::PlayerNotice(platform::FontEngine* fonts, std::string face)
    : fonts_(fonts), face_(std::move(face)) {}

void PlayerNotice::show(std::string sjisText, uint32_t now, uint32_t lengthMs) {
    text_ = std::move(sjisText);
    start_ = now;
    length_ = lengthMs;
}

bool PlayerNotice::expire(uint32_t now) {
    if (text_.empty() || length_ == 0 || !platform::tickReached(now, start_, length_)) return false;
    text_.clear();
    return true;
}

std::vector<std::string> PlayerNotice::lines(int fontHeight, int width) const {
    std::vector<std::string> out;
    if (!fonts_) {
        out.push_back(text_);
        return out;
    }
    const platform::FontSpec font{face_, fontHeight, false, false};
    std::string line;
    for (size_t i = 0; i < text_.size();) {
        const size_t n = charLength(text_, i);
        const std::string next = line + text_.substr(i, n);
        if (!line.empty() && fonts_->measure(font, next).cx > width) {
            out.push_back(line);
            line = text_.substr(i, n);
        } else {
            line = next;
        }
        i += n;
    }
    if (!line.empty()) out.push_back(line);
    return out;
}

void PlayerNotice::draw(Surface& frame) {
    const int w = frame.width(), h = frame.height();
    if (text_.empty() || w <= 2 * (kMargin + kPad) || h <= 2 * (kMargin + kPad)) return;
    // Readable at the story's own size: 16 pixels on a 640 x 480 story, never below 10.
    const int fontHeight = std::clamp(h / 30, 10, 24);
    const int lineHeight = fontHeight + 2;
    const int maxText = w - 2 * (kMargin + kPad);
    const std::vector<std::string> shown = lines(fontHeight, maxText);
    int textWidth = 0;
    const platform::FontSpec font{face_, fontHeight, false, false};
    for (const std::string& line : shown)
        textWidth = std::max(textWidth, fonts_ ? fonts_->measure(font, line).cx : maxText);
    const int panelW = std::min(textWidth, maxText) + 2 * kPad;
    const int panelH =
        std::min(static_cast<int>(shown.size()) * lineHeight + 2 * kPad - 2, h - 2 * kMargin);
    // Top left, over a darkened strip of the story so it reads on any picture.
    const int x0 = kMargin, y0 = kMargin;
    for (int y = y0; y < y0 + panelH; ++y) {
        uint32_t* p = frame.row(y);
        for (int x = x0; x < x0 + panelW; ++x) {
            const bool edge = y == y0 || y == y0 + panelH - 1 || x == x0 || x == x0 + panelW - 1;
            p[x] = edge ? kBorder : (p[x] >> 2) & 0x3F3F3F;
        }
    }
    if (!fonts_) return;
    platform::GlyphTarget target{frame.row(0), w, nullptr, 0, w, y0 + panelH - 1};
    int y = y0 + kPad;
    for (const std::string& line : shown) {
        if (y + fontHeight > y0 + panelH) break;
        fonts_->draw(font, line, x0 + kPad, y, kText, target);
        y += lineHeight;
    }
}

}  // namespace zarvo
