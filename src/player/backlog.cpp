#include "player/backlog.hpp"

#include <algorithm>

#include "graphics/surface.hpp"
#include "platform/font_engine.hpp"

namespace zarvo {

namespace keys = platform::keys;

namespace {

constexpr int kMargin = 12, kGap = 10, kPageEntries = 3;
constexpr uint32_t kWhite = 0xFFFFFF;

// Light text reads on a dark panel and dark text on a light one.
uint32_t panelFor(uint32_t textColor) {
    const uint32_t r = textColor & 0xFF, g = (textColor >> 8) & 0xFF, b = (textColor >> 16) & 0xFF;
    return r * 3 + g * 6 + b > 1280 ? 0x202020 : 0xF4F4F4;
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
    const uint32_t panel = panelFor(font_.color);
    frame.fillRect(0, 0, frame.width(), frame.height(), panel);
    const int32_t width = frame.width() - 2 * kMargin;
    if (width <= 0) return;
    int32_t bottom = frame.height() - kMargin;
    const int count = static_cast<int>(history_.size());
    for (int i = count - 1 - scrolled_; i >= 0 && bottom > kMargin; --i) {
        TextLayout layout;
        layout.font = font_;
        layout.text = withoutWaits(history_[static_cast<size_t>(i)]);
        Surface text;
        layout.drawSized(text, fonts_, width, 0);
        const int32_t top = bottom - text.height();
        // Only the text's own pixels: the layout's white ground gives way to the panel.
        for (int32_t y = std::max(0, -top); y < text.height(); ++y) {
            const int32_t fy = top + y;
            if (fy < 0 || fy >= frame.height()) continue;
            const uint32_t* from = text.row(y);
            uint32_t* to = frame.row(fy);
            for (int32_t x = 0; x < text.width() && kMargin + x < frame.width(); ++x)
                if ((from[x] & 0xFFFFFF) != kWhite) to[kMargin + x] = from[x];
        }
        bottom = top - kGap;
    }
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
        case keys::kEnter:
            close();
            return;
        default:
            return;
    }
}

void Backlog::onMouseDown(platform::MouseButton button, int, int) {
    if (button == platform::MouseButton::Right) close();
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
        default:
            return;
    }
}

}  // namespace zarvo
