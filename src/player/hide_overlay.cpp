#include "player/hide_overlay.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "graphics/layers.hpp"
#include "graphics/screen.hpp"

namespace zarvo {
namespace {

bool isText(const Layer& layer) {
    return layer.fileName.empty() && !layer.text.layoutText.empty();
}

// Where a layer's picture shows on the screen.
struct Rect {
    int64_t left, top, right, bottom;
    bool contains(const Rect& r) const {
        return left <= r.left && top <= r.top && right >= r.right && bottom >= r.bottom;
    }
};

Rect shownRect(const Layer& layer) {
    int64_t w = layer.surface.width() - int64_t{layer.viewLeft};
    int64_t h = layer.surface.height() - int64_t{layer.viewTop};
    if (layer.width > 1) w = std::min<int64_t>(w, layer.width);
    if (layer.height > 1) h = std::min<int64_t>(h, layer.height);
    return {layer.left, layer.top, layer.left + w, layer.top + h};
}

}  // namespace

void HideOverlay::open() {
    if (open_) return;
    open_ = true;
    onChange_(true);
}

void HideOverlay::draw(Surface& frame) {
    LayerStack* stack = screen_.screen(0);
    if (!stack || stack->layerCount() == 0) return;
    // Layers lose their visibility only for this picture; the story never sees it.
    std::vector<Layer*> hidden;
    for (int32_t i = 1; i < stack->layerCount(); ++i) {
        Layer* layer = stack->layerAt(i);
        if (layer->visible && isText(*layer)) hidden.push_back(layer);
    }
    if (Layer* window = messageWindow(*stack)) hidden.push_back(window);
    for (Layer* layer : hidden) layer->visible = false;
    Surface picture;
    picture.setSize(frame.width(), frame.height());
    stack->drawWithLower(stack->layerAt(stack->layerCount() - 1), picture);
    for (Layer* layer : hidden) layer->visible = true;
    frame = picture;
}

// The picture the message sits on: the nearest visible layer under the message layer that holds
// the message's whole area. One covering the whole screen is the scene itself and stays, as does
// the bottom layer.
Layer* HideOverlay::messageWindow(LayerStack& stack) const {
    // Looked up quietly: a story that deleted the layer has nothing more to hide.
    int32_t at = stack.layerCount() - 1;
    while (at > 0 && (messageLayer_.empty() || stack.layerAt(at)->name != messageLayer_)) --at;
    if (at <= 0) return nullptr;
    const Layer* message = stack.layerAt(at);
    const Rect area{message->left, message->top,
                    message->left + int64_t{std::max(message->width, 1)},
                    message->top + int64_t{std::max(message->height, 1)}};
    const Rect screen{0, 0, stack.width(), stack.height()};
    for (int32_t i = at - 1; i > 0; --i) {
        Layer* layer = stack.layerAt(i);
        if (!layer->visible || isText(*layer)) continue;
        const Rect shown = shownRect(*layer);
        if (!shown.contains(area)) continue;
        return shown.contains(screen) ? nullptr : layer;
    }
    return nullptr;
}

void HideOverlay::close() {
    open_ = false;
    onChange_(false);
}

}  // namespace zarvo
