#include "backends/sdl/input_box_view.hpp"

#include <algorithm>

#include "backends/sdl/box_kinds.hpp"
#include "base/string_list.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::platform {
namespace {

constexpr uint32_t kFace = 0xF0F0F0;
constexpr uint32_t kOuter = 0x404040;
constexpr uint32_t kTitle = 0x2B579A;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kFieldBorder = 0x7A7A7A;
constexpr uint32_t kButtonFace = 0xE1E1E1;
constexpr uint32_t kButtonBorder = 0xADADAD;
constexpr uint32_t kDefaultBorder = 0x0078D7;

constexpr int kTitleH = 18, kMargin = 8, kLineH = 16, kFieldH = 20, kButtonW = 72, kButtonH = 22;

BoxRect intersect(const BoxRect& a, const BoxRect& b) {
    int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

}  // namespace

InputBoxLayout inputBoxLayout(int pictureW, int pictureH, int promptLines) {
    InputBoxLayout l;
    promptLines = std::clamp(promptLines, 1, 8);
    int wantH = kTitleH + kMargin + promptLines * kLineH + 4 + kFieldH + 10 + kButtonH + kMargin;
    l.panel.w = std::clamp(pictureW, 0, 320);
    l.panel.h = std::clamp(pictureH, 0, wantH);
    l.panel.x = (pictureW - l.panel.w) / 2;
    l.panel.y = (pictureH - l.panel.h) / 2;
    // Everything below is relative to the panel.
    l.titleBar = {1, 1, std::max(0, l.panel.w - 2), kTitleH - 1};
    int y = kTitleH + kMargin;
    l.prompt = {kMargin, y, std::max(0, l.panel.w - 2 * kMargin), promptLines * kLineH};
    y += l.prompt.h + 4;
    l.field = {kMargin, y, std::max(0, l.panel.w - 2 * kMargin), kFieldH};
    y += kFieldH + 10;
    l.cancelButton = {l.panel.w - kMargin - kButtonW, y, kButtonW, kButtonH};
    l.okButton = {l.cancelButton.x - 6 - kButtonW, y, kButtonW, kButtonH};
    return l;
}

InputBoxView::InputBoxView(FontEngine& fonts, int pictureW, int pictureH,
                           std::string_view captionSjis, std::string_view promptSjis)
    : fonts_(fonts), caption_(captionSjis) {
    font_.face = std::string(texts::kInputBoxFace);
    font_.pixelHeight = kFontHeight;
    for (auto& line : splitLines(promptSjis)) promptLines_.push_back(line);
    if (promptLines_.empty()) promptLines_.emplace_back();
    layout_ = inputBoxLayout(pictureW, pictureH, static_cast<int>(promptLines_.size()));
    pixels_.assign(static_cast<size_t>(layout_.panel.w) * layout_.panel.h, kFace);
}

void InputBoxView::fill(const BoxRect& r, uint32_t colour) {
    BoxRect c = intersect(r, {0, 0, layout_.panel.w, layout_.panel.h});
    for (int y = c.y; y < c.y + c.h; ++y)
        std::fill_n(&pixels_[static_cast<size_t>(y) * layout_.panel.w + c.x], c.w, colour);
}

void InputBoxView::frame(const BoxRect& r, uint32_t colour) {
    fill({r.x, r.y, r.w, 1}, colour);
    fill({r.x, r.y + r.h - 1, r.w, 1}, colour);
    fill({r.x, r.y, 1, r.h}, colour);
    fill({r.x + r.w - 1, r.y, 1, r.h}, colour);
}

void InputBoxView::text(const BoxRect& clip, int x, int y, std::string_view sjis, uint32_t colour) {
    BoxRect c = intersect(clip, {0, 0, layout_.panel.w, layout_.panel.h});
    if (c.w <= 0 || c.h <= 0 || sjis.empty()) return;
    // The glyph target is the clip rectangle itself, so the engine's own clipping keeps the text
    // inside it.
    GlyphTarget t;
    t.pixels = &pixels_[static_cast<size_t>(c.y) * layout_.panel.w + c.x];
    t.stride = layout_.panel.w;
    t.width = c.w;
    t.height = c.h;
    fonts_.draw(font_, sjis, x - c.x, y - c.y, colour, t);
}

void InputBoxView::button(const BoxRect& r, std::string_view label, bool isDefault) {
    fill(r, kButtonFace);
    frame(r, isDefault ? kDefaultBorder : kButtonBorder);
    int w = fonts_.measure(font_, label).cx;
    text(r, r.x + (r.w - w) / 2, r.y + (r.h - kFontHeight) / 2, label, kBlack);
}

void InputBoxView::draw(const LineEdit& edit, std::string_view composition) {
    const auto& l = layout_;
    if (pixels_.empty()) return;
    fill({0, 0, l.panel.w, l.panel.h}, kFace);
    frame({0, 0, l.panel.w, l.panel.h}, kOuter);
    fill(l.titleBar, kTitle);
    text(l.titleBar, l.titleBar.x + 5, l.titleBar.y + (l.titleBar.h - kFontHeight) / 2, caption_,
         kWhite);
    for (size_t i = 0; i < promptLines_.size(); ++i)
        text(l.prompt, l.prompt.x, l.prompt.y + static_cast<int>(i) * kLineH + 2, promptLines_[i],
             kBlack);

    fill(l.field, kWhite);
    frame(l.field, kFieldBorder);
    BoxRect inner{l.field.x + 2, l.field.y + 2, std::max(0, l.field.w - 4), l.field.h - 4};
    std::string_view all = edit.text();
    std::string before = displaySjis(all.substr(0, edit.caret()));
    std::string comp = displaySjis(composition);
    std::string after = displaySjis(all.substr(edit.caret()));
    int beforeW = fonts_.measure(font_, before).cx;
    int compW = fonts_.measure(font_, comp).cx;
    // Scroll so the caret (after the composition) stays visible.
    int caretX = beforeW + compW;
    int scroll = std::max(0, caretX - (inner.w - 2));
    int textY = inner.y + (inner.h - kFontHeight) / 2;
    int x0 = inner.x + 1 - scroll;
    text(inner, x0, textY, before + comp + after, kBlack);
    if (!comp.empty())
        fill(intersect({x0 + beforeW, textY + kFontHeight, compW, 1}, inner), kBlack);
    caret_ = intersect({x0 + caretX, inner.y + 1, 1, inner.h - 2}, inner);
    fill(caret_, kBlack);
    caret_.x += l.panel.x;
    caret_.y += l.panel.y;

    button(l.okButton, buttonLabel(BoxAnswer::Ok), true);
    button(l.cancelButton, buttonLabel(BoxAnswer::Cancel), false);
}

}  // namespace zarvo::platform
