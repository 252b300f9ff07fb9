#include "player/settings_menu.hpp"

#include <algorithm>

#include "graphics/surface.hpp"
#include "platform/font_engine.hpp"

namespace zarvo {

namespace keys = platform::keys;
using platform::PadButton;

namespace {

// Pixel words (0x00RRGGBB).
constexpr uint32_t kPanel = 0x1A2238, kBar = 0x3C5A9A, kBorder = 0xA0B4DC, kText = 0xFFFFFF,
                   kTitle = 0xFFE08A, kDimText = 0xC8D0E0;

void fillPixels(Surface& s, int x, int y, int w, int h, uint32_t pixel) {
    s.fillRect(x, y, w, h, pixelToColor(pixel));
}

}  // namespace

SettingsMenu::SettingsMenu(std::string title, std::vector<Row> rows, platform::FontEngine* fonts,
                           std::string face)
    : title_(std::move(title)), rows_(std::move(rows)), fonts_(fonts), face_(std::move(face)) {}

void SettingsMenu::open() {
    if (open_) return;
    open_ = true;
    selected_ = 0;
    if (onOpenChange) onOpenChange(true);
}

void SettingsMenu::close() {
    if (!open_) return;
    open_ = false;
    if (onOpenChange) onOpenChange(false);
}

void SettingsMenu::select(int row) {
    const int n = static_cast<int>(rows_.size());
    if (n > 0) selected_ = ((row % n) + n) % n;
}

void SettingsMenu::change(int step) {
    if (selected_ < 0 || selected_ >= static_cast<int>(rows_.size())) return;
    const Row& row = rows_[static_cast<size_t>(selected_)];
    // An action row acts on a press, not on a step to the left.
    if (!row.value && step < 0) return;
    if (row.change) row.change(step);
}

void SettingsMenu::draw(Surface& frame) {
    const int w = frame.width(), h = frame.height();
    // The story stays visible, dimmed, so the reader sees where the menu will return to.
    for (int y = 0; y < h; ++y) {
        uint32_t* p = frame.row(y);
        for (int x = 0; x < w; ++x) p[x] = (p[x] >> 1) & 0x7F7F7F;
    }
    const int n = static_cast<int>(rows_.size());
    // Sized by the story's resolution: rows of up to 26 pixels, fewer on small screens.
    rowHeight_ = std::clamp((h - 16) / (n + 2), 8, 26);
    const int fontHeight = std::max(6, rowHeight_ * 2 / 3);
    const int panelWidth = std::min(w - 16, 560);
    const int panelHeight = rowHeight_ * (n + 2);
    left_ = (w - panelWidth) / 2;
    right_ = left_ + panelWidth;
    const int top = std::max(0, (h - panelHeight) / 2);
    rowsTop_ = top + rowHeight_ * 3 / 2;
    valueLeft_ = left_ + panelWidth * 3 / 5;
    fillPixels(frame, left_ - 1, top - 1, panelWidth + 2, panelHeight + 2, kBorder);
    fillPixels(frame, left_, top, panelWidth, panelHeight, kPanel);
    fillPixels(frame, left_, rowsTop_ + selected_ * rowHeight_, panelWidth, rowHeight_, kBar);
    if (!fonts_) return;
    platform::GlyphTarget target{frame.row(0), w, nullptr, 0, w, h};
    const platform::FontSpec font{face_, fontHeight, false, false};
    const int pad = (rowHeight_ - fontHeight) / 2;
    fonts_->draw(font, title_, left_ + 12, top + pad, kTitle, target);
    for (int i = 0; i < n; ++i) {
        const Row& row = rows_[static_cast<size_t>(i)];
        const int y = rowsTop_ + i * rowHeight_ + pad;
        fonts_->draw(font, row.label, left_ + 16, y, kText, target);
        if (!row.value) continue;
        // "< value >": the sides say that left and right change it.
        const std::string value = "< " + row.value() + " >";
        fonts_->draw(font, value, valueLeft_, y, i == selected_ ? kText : kDimText, target);
    }
}

int SettingsMenu::rowAt(int x, int y) const {
    if (x < left_ || x >= right_ || y < rowsTop_) return -1;
    const int row = (y - rowsTop_) / rowHeight_;
    return row < static_cast<int>(rows_.size()) ? row : -1;
}

void SettingsMenu::onKeyDown(int key) {
    switch (key) {
        case keys::kEscape:
        case keys::kF1:
            close();
            return;
        case keys::kUp:
            select(selected_ - 1);
            return;
        case keys::kDown:
        case keys::kTab:
            select(selected_ + 1);
            return;
        case keys::kHome:
            select(0);
            return;
        case keys::kEnd:
            select(static_cast<int>(rows_.size()) - 1);
            return;
        case keys::kLeft:
            change(-1);
            return;
        case keys::kRight:
        case keys::kEnter:
        case keys::kSpace:
            change(1);
            return;
        default:
            return;
    }
}

void SettingsMenu::onMouseDown(platform::MouseButton button, int x, int y) {
    if (button == platform::MouseButton::Right) {
        close();
        return;
    }
    if (button != platform::MouseButton::Left) return;
    const int row = rowAt(x, y);
    if (row < 0) return;
    select(row);
    // The left part of the value ("<") steps back, anywhere else on the row steps on.
    const bool back = rows_[static_cast<size_t>(row)].value && x >= valueLeft_ &&
                      x < valueLeft_ + (right_ - valueLeft_) / 3;
    change(back ? -1 : 1);
}

void SettingsMenu::onMouseMove(int x, int y) {
    const int row = rowAt(x, y);
    if (row >= 0) select(row);
}

void SettingsMenu::onWheel(int steps) {
    select(selected_ - steps);
}

void SettingsMenu::onPadButton(PadButton button, bool down) {
    if (!down) return;
    switch (button) {
        case PadButton::B:
        case PadButton::Start:
        case PadButton::Back:
            close();
            return;
        case PadButton::Up:
            select(selected_ - 1);
            return;
        case PadButton::Down:
            select(selected_ + 1);
            return;
        case PadButton::Left:
            change(-1);
            return;
        case PadButton::Right:
        case PadButton::A:
            change(1);
            return;
        default:
            return;
    }
}

}  // namespace zarvo
