#include "player/backlog.hpp"

#include <algorithm>

#include "graphics/surface.hpp"
#include "platform/font_engine.hpp"

namespace zarvo {

namespace keys = platform::keys;

namespace {

// The panel sits this far inside the frame; the text this far inside the panel, with the scroll
// bar in the right-hand padding.
constexpr int kInset = 16, kPadding = 16, kGap = 14, kPageEntries = 3;
constexpr int kBarWidth = 4;
// Pixel words 0x00RRGGBB.
constexpr uint32_t kPanel = 0x101828, kPanelEdge = 0x5A6478, kBarTrack = 0x384054,
                   kBarThumb = 0xC8D0E0, kLightHalo = 0xE8E8E8, kDarkShadow = 0x000000,
                   kMarked = 0x2C3C5C, kMarkedEdge = 0x6478A0;
constexpr int kPanelAlpha = 238;  // of 255: the dimmed scene shows faintly through

int channel(uint32_t p, int shift) {
    return static_cast<int>((p >> shift) & 0xFF);
}

int luminance(uint32_t p) {
    return (channel(p, 16) * 299 + channel(p, 8) * 587 + channel(p, 0) * 114) / 1000;
}

uint32_t blend(uint32_t under, uint32_t over, int alpha) {
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const int v = (channel(over, shift) * alpha + channel(under, shift) * (255 - alpha)) / 255;
        out |= static_cast<uint32_t>(v) << shift;
    }
    return out;
}

// The story's frame, darkened, under a dark translucent panel with a thin edge.
void drawPanel(Surface& frame, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    for (int32_t y = 0; y < frame.height(); ++y) {
        uint32_t* row = frame.row(y);
        for (int32_t x = 0; x < frame.width(); ++x) {
            uint32_t p = blend(row[x], 0, 150);
            if (x >= left && x < right && y >= top && y < bottom) {
                const bool edge = x == left || y == top || x == right - 1 || y == bottom - 1;
                p = edge ? kPanelEdge : blend(p, kPanel, kPanelAlpha);
            }
            row[x] = p;
        }
    }
}

// Copies the text's own pixels (its mask, so that no colour is lost as background) onto the
// panel, clipped to [clipTop, clipBottom). A colour too dark for the panel gets a light outline,
// a light one a dark shadow, so every colour a story uses stays legible.
void drawText(const Surface& text, Surface& frame, int32_t left, int32_t top, int32_t clipTop,
              int32_t clipBottom) {
    if (!text.hasMask()) return;
    auto isText = [&](int32_t x, int32_t y) {
        return x >= 0 && y >= 0 && x < text.width() && y < text.height() && text.maskRow(y)[x];
    };
    auto put = [&](int32_t x, int32_t y, uint32_t p) {
        const int32_t fx = left + x, fy = top + y;
        if (fy >= clipTop && fy < clipBottom && fx >= 0 && fx < frame.width())
            frame.row(fy)[fx] = p;
    };
    for (int32_t y = 0; y < text.height(); ++y)
        for (int32_t x = 0; x < text.width(); ++x) {
            if (!isText(x, y)) continue;
            if (luminance(text.row(y)[x]) < 64) {
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (!isText(x + dx, y + dy)) put(x + dx, y + dy, kLightHalo);
            } else if (!isText(x + 1, y + 1)) {
                put(x + 1, y + 1, kDarkShadow);
            }
        }
    for (int32_t y = 0; y < text.height(); ++y)
        for (int32_t x = 0; x < text.width(); ++x)
            if (isText(x, y)) put(x, y, text.row(y)[x] & 0xFFFFFF);
}

// The message without its waits: the whole text shows at once, as it ended.
std::string withoutWaits(const std::string& sjis) {
    std::string out;
    for (size_t i = 0; i < sjis.size();) {
        if (sjis[i] == '<') {
            size_t close = sjis.find('>', i);
            if (close != std::string::npos) {
                std::string tag = sjis.substr(i + 1, close - i - 1);
                const bool wait = tag == "KEY" || tag == "PAGE" || (!tag.empty() && tag[0] == 'W');
                if (!wait) out += sjis.substr(i, close - i + 1);
                i = close + 1;
                continue;
            }
        }
        out += sjis[i++];
    }
    return out;
}

}  // namespace

void Backlog::record(StringList& history, const std::string& sjisText) {
    // One message a line in the save: a line break inside it becomes the message's own "#".
    std::string line = sjisText;
    std::replace(line.begin(), line.end(), '\r', '#');
    std::replace(line.begin(), line.end(), '\n', '#');
    history.push_back(std::move(line));
    if (history.size() > kLimit)
        history.erase(history.begin(),
                      history.begin() + static_cast<std::ptrdiff_t>(history.size() - kLimit));
}

void Backlog::open(const FontStatus& font) {
    if (open_ || history_.empty()) return;
    font_ = font;
    scrolled_ = 0;
    open_ = true;
    if (onOpenChange) onOpenChange(true);
}

void Backlog::close() {
    if (!open_) return;
    open_ = false;
    if (onOpenChange) onOpenChange(false);
}

void Backlog::draw(Surface& frame) {
    const int32_t left = kInset, top = kInset;
    const int32_t right = frame.width() - kInset, bottom = frame.height() - kInset;
    if (right - left <= 2 * kPadding || bottom - top <= 2 * kPadding) {
        drawPanel(frame, 0, 0, 0, 0);
        return;
    }
    drawPanel(frame, left, top, right, bottom);
    const int32_t textTop = top + kPadding / 2, textBottom = bottom - kPadding / 2;
    const int32_t width = right - left - 2 * kPadding;

    // Newest at the bottom, older ones above, each in its own colours, sizes and styles. The
    // lowest one is marked: Enter goes back to it.
    const int count = static_cast<int>(history_.size());
    int32_t y = bottom - kPadding;
    int shown = 0;
    shown_.clear();
    for (int i = count - 1 - scrolled_; i >= 0 && y > textTop; --i) {
        TextLayout layout;
        layout.font = font_;
        layout.text = withoutWaits(history_[static_cast<size_t>(i)]);
        Surface text;
        layout.drawSized(text, fonts_, width, 0);
        y -= text.height();
        if (i == count - 1 - scrolled_) {
            const int32_t markTop = std::max(y - kGap / 2, textTop);
            const int32_t markBottom = std::min(y + text.height() + kGap / 2, textBottom);
            if (markBottom > markTop) {
                frame.fillRect(left + kPadding / 2, markTop, width + kPadding, markBottom - markTop,
                               pixelToColor(kMarked));
                frame.fillRect(left + kPadding / 2, markTop, 3, markBottom - markTop,
                               pixelToColor(kMarkedEdge));
            }
        }
        drawText(text, frame, left + kPadding, y, textTop, textBottom);
        shown_.push_back(
            {std::max(y - kGap / 2, textTop), y + text.height() + kGap / 2, count - 1 - i});
        y -= kGap;
        ++shown;
    }

    // Where the reader is: the thumb covers the messages on the panel, out of the whole history.
    const int32_t trackTop = top + kPadding, trackHeight = bottom - top - 2 * kPadding;
    const int32_t barLeft = right - kPadding / 2 - kBarWidth / 2;
    frame.fillRect(barLeft, trackTop, kBarWidth, trackHeight, pixelToColor(kBarTrack));
    if (count > 0 && trackHeight > 0) {
        const int64_t below = scrolled_, above = count - scrolled_ - shown;
        const auto thumbTop = static_cast<int32_t>(trackHeight * above / count);
        const auto thumbBottom = static_cast<int32_t>(trackHeight - trackHeight * below / count);
        frame.fillRect(barLeft, trackTop + thumbTop, kBarWidth, std::max(thumbBottom - thumbTop, 6),
                       pixelToColor(kBarThumb));
    }
}

void Backlog::choose(int back) {
    if (onChoose && back >= 0 && back < static_cast<int>(history_.size())) onChoose(back);
}

void Backlog::scroll(int entries) {
    const int most = std::max(0, static_cast<int>(history_.size()) - 1);
    scrolled_ = std::clamp(scrolled_ + entries, 0, most);
}

void Backlog::onKeyDown(int key) {
    switch (key) {
        case keys::kUp:
            scroll(1);
            return;
        case keys::kDown:
            scroll(-1);
            return;
        case keys::kPageUp:
            scroll(kPageEntries);
            return;
        case keys::kPageDown:
            scroll(-kPageEntries);
            return;
        case keys::kEscape:
            close();
            return;
        case keys::kEnter:
            choose(scrolled_);
            return;
        default:
            return;
    }
}

void Backlog::onMouseDown(platform::MouseButton button, int, int y) {
    if (button == platform::MouseButton::Right) close();
    if (button != platform::MouseButton::Left) return;
    for (const Shown& entry : shown_)
        if (y >= entry.top && y < entry.bottom) {
            choose(entry.back);
            return;
        }
}

void Backlog::onWheel(int steps) {
    // Down past the newest message goes back to the story.
    if (steps < 0 && scrolled_ == 0) {
        close();
        return;
    }
    scroll(steps);
}

void Backlog::onPadButton(platform::PadButton button, bool down) {
    if (!down) return;
    switch (button) {
        case platform::PadButton::Up:
            scroll(1);
            return;
        case platform::PadButton::Down:
            scroll(-1);
            return;
        case platform::PadButton::B:
            close();
            return;
        case platform::PadButton::A:
            choose(scrolled_);
            return;
        default:
            return;
    }
}

}  // namespace zarvo
