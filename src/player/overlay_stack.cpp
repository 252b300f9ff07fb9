#include "player/overlay_stack.hpp"

#include <algorithm>

#include "platform/canvas.hpp"
#include "player/player_notice.hpp"

namespace zarvo {

// Passes every frame on to the host's canvas and keeps the last one: a screenshot is what the
// window shows, also halfway through an effect, when the composed picture is not shown yet. Open
// overlays are drawn over a copy, so the story's own frame stays as it was.
class OverlayStack::ShownCanvas final : public platform::Canvas {
  public:
    ShownCanvas(platform::Canvas& inner, const std::vector<std::unique_ptr<Overlay>>& overlays,
                PlayerNotice& notice)
        : inner_(inner), overlays_(overlays), notice_(notice) {}

    void present(const uint32_t* pixels, int width, int height, int stride) override {
        if (width != story_.width() || height != story_.height()) story_.setSize(width, height);
        if (story_.width() != width || story_.height() != height) {
            inner_.present(pixels, width, height, stride);
            return;
        }
        for (int y = 0; y < height; ++y)
            std::copy_n(pixels + static_cast<size_t>(y) * static_cast<size_t>(stride), width,
                        story_.row(y));
        shown_ = true;
        presentShown();
    }
    // Shows the story's last frame again with the overlays open now, the notice on top.
    void presentShown() {
        if (!shown_) return;
        const Surface* frame = &story_;
        if (anyOpen() || notice_.isOpen()) {
            decorated_ = story_;
            drawOverlays(decorated_, true);
            frame = &decorated_;
        }
        decoratedShown_ = frame == &decorated_;
        inner_.present(frame->row(0), frame->width(), frame->height(), frame->width());
    }
    // What the window shows; nothing until the first frame.
    const Surface* frame() const {
        return !shown_ ? nullptr : decoratedShown_ ? &decorated_ : &story_;
    }
    // What the window shows without the notice: a reader's screenshot, taken while the notice
    // of the one before is still up.
    bool frameWithoutNotice(Surface& out) const {
        if (!shown_) return false;
        out = story_;
        drawOverlays(out, false);
        return true;
    }

  private:
    bool anyOpen() const {
        for (const auto& overlay : overlays_)
            if (overlay->isOpen()) return true;
        return false;
    }
    void drawOverlays(Surface& frame, bool notice) const {
        Overlay* top = nullptr;
        for (const auto& overlay : overlays_)
            if (overlay->isOpen()) {
                overlay->draw(frame);
                top = overlay.get();
            }
        if (notice && notice_.isOpen() && !(top && top->drawNotice(frame, notice_.text())))
            notice_.draw(frame);
    }

    platform::Canvas& inner_;
    const std::vector<std::unique_ptr<Overlay>>& overlays_;
    PlayerNotice& notice_;
    Surface story_;
    Surface decorated_;
    bool shown_ = false;
    bool decoratedShown_ = false;
};

OverlayStack::OverlayStack() = default;
OverlayStack::~OverlayStack() = default;

platform::Canvas* OverlayStack::setUp(platform::FontEngine* fonts, const std::string& face,
                                      platform::Canvas* canvas) {
    if (!notice_) notice_ = std::make_unique<PlayerNotice>(fonts, face);
    if (canvas && !shown_) shown_ = std::make_unique<ShownCanvas>(*canvas, overlays_, *notice_);
    return shown_.get();
}

Overlay& OverlayStack::add(std::unique_ptr<Overlay> overlay) {
    overlays_.push_back(std::move(overlay));
    return *overlays_.back();
}

Overlay* OverlayStack::open() const {
    for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
        if ((*it)->isOpen()) return it->get();
    return nullptr;
}

void OverlayStack::present() {
    if (shown_) shown_->presentShown();
}

const Surface* OverlayStack::shownFrame() const {
    return shown_ ? shown_->frame() : nullptr;
}

bool OverlayStack::shownFrameWithoutNotice(Surface& out) const {
    return shown_ && shown_->frameWithoutNotice(out);
}

}  // namespace zarvo
