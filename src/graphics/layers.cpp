#include "graphics/layers.hpp"

#include <algorithm>

#include "graphics/effects.hpp"

namespace zarvo {

void Layer::drawOnto(Surface& target) const {
    // A width of 0 or 1 reaches as far as the picture anyway.
    const int32_t shown = width > 1 && fileName.empty() ? width + textOverhang : width;
    surface.copyTo(target, left, top, shown, height, viewLeft, viewTop);
}

LayerStack::LayerStack(int32_t width, int32_t height) : width_(width), height_(height) {
    auto bottom = std::make_unique<Layer>();
    bottom->width = width;
    bottom->height = height;
    bottom->visible = true;
    bottom->surface.setSize(width, height);
    layers_.push_back(std::move(bottom));
    output_.setSize(width, height);
    base_.setSize(width, height);
}

Layer* LayerStack::insertLayerAfter(Layer* below) {
    auto it = std::find_if(layers_.begin(), layers_.end(),
                           [below](const auto& l) { return l.get() == below; });
    if (it == layers_.end()) return nullptr;
    return layers_.insert(it + 1, std::make_unique<Layer>())->get();
}

Layer* LayerStack::layerAt(int32_t index) {
    if (index < 0 || index >= layerCount()) return nullptr;
    return layers_[static_cast<size_t>(index)].get();
}

const Layer* LayerStack::layerAt(int32_t index) const {
    if (index < 0 || index >= layerCount()) return nullptr;
    return layers_[static_cast<size_t>(index)].get();
}

void LayerStack::drawWithLower(const Layer* layer, Surface& target) const {
    for (const auto& l : layers_) {
        if (l->visible) l->drawOnto(target);
        if (l.get() == layer) break;
    }
}

void LayerStack::compose() {
    composeBase();
    refreshOutput();
}

void LayerStack::composeBase(const std::vector<int32_t>& hidden) {
    std::vector<int32_t> shown;
    for (int32_t i : hidden)
        if (Layer* l = layerAt(i); l && l->visible) {
            l->visible = false;
            shown.push_back(i);
        }
    // The bottom layer is opaque and covers the screen, so base is not cleared first.
    drawWithLower(layers_.back().get(), base_);
    // Where it does not (hidden, see-through, smaller), base keeps something of what it was
    // and is no function of the layers alone.
    const Layer& bottom = *layers_.front();
    const Surface& g = bottom.surface;
    const bool covers = bottom.visible && !g.hasMask() && bottom.left <= 0 && bottom.top <= 0 &&
                        bottom.viewLeft == 0 && bottom.viewTop == 0 &&
                        g.width() >= width_ - bottom.left && g.height() >= height_ - bottom.top &&
                        (bottom.width <= 1 || bottom.width >= width_ - bottom.left) &&
                        (bottom.height <= 1 || bottom.height >= height_ - bottom.top);
    composedFrom_ = drawn();
    composedStamp_ = covers ? base_.stamp() : 0;
    for (int32_t i : shown) layerAt(i)->visible = true;
}

bool LayerStack::baseIsComposed(std::vector<int32_t>& hidden) const {
    hidden.clear();
    if (composedStamp_ == 0 || base_.stamp() != composedStamp_) return false;
    const std::vector<Drawn> now = drawn();
    if (now.size() != composedFrom_.size()) return false;
    for (size_t i = 0; i < now.size(); ++i) {
        if (now[i] == composedFrom_[i]) continue;
        if (composedFrom_[i].visible || !now[i].visible) return false;
        hidden.push_back(static_cast<int32_t>(i));
    }
    return true;
}

std::vector<LayerStack::Drawn> LayerStack::drawn() const {
    std::vector<Drawn> all;
    all.reserve(layers_.size());
    for (const auto& l : layers_)
        if (l->visible)
            all.push_back({l->surface.stamp(), l->left, l->top, l->width, l->height, l->viewLeft,
                           l->viewTop, l->textOverhang, true, !l->fileName.empty()});
        else  // a hidden layer adds nothing, whatever it holds
            all.push_back({});
    return all;
}

void LayerStack::refreshOutput() {
    output_.assign(base_);
    dynamicLayers_.draw(output_);
    if (drawDynamicLayers) drawDynamicLayers(output_);
}

void LayerStack::paint() {
    if (canvas_ && !paintingSuspended_) output_.drawTo(*canvas_);
}

void LayerStack::drawCell(const Surface& surface, int32_t dx, int32_t dy, int32_t width,
                          int32_t height, int32_t sx, int32_t sy) {
    surface.copyTo(base_, dx, dy, width, height, sx, sy);
}

void LayerStack::runEffect(EffectType type, int32_t x, int32_t y, int32_t width, int32_t height,
                           const EffectContext& context) {
    if (!canvas_) return;
    if (width <= 0) width = output_.width();
    if (height <= 0) height = output_.height();
    Surface old;
    old.assign(output_);
    compose();
    if (context.pumpMessages) context.pumpMessages();
    paintingSuspended_ = true;
    EffectContext paced = context;
    paced.canvas = canvas_;
    runTransition(type, paced, old, output_, x, y, width, height);
    paintingSuspended_ = false;
}

}  // namespace zarvo
