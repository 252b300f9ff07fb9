#include "graphics/layers.hpp"

#include <algorithm>

#include "graphics/effects.hpp"
#include "script/script_file.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

void Layer::drawOnto(Surface& target) const {
    surface.CopyTo(target, left, top, width, height, viewLeft, viewTop);
}

LayerStack::LayerStack(int32_t width, int32_t height) : width_(width), height_(height) {
    auto bottom = std::make_unique<Layer>();
    bottom->width = width;
    bottom->height = height;
    bottom->visible = true;
    bottom->surface.SetSize(width, height);
    layers_.push_back(std::move(bottom));
    output_.SetSize(width, height);
    base_.SetSize(width, height);
}

Layer* LayerStack::InsertLayerAfter(Layer* below) {
    auto it = std::find_if(layers_.begin(), layers_.end(),
                           [below](const auto& l) { return l.get() == below; });
    if (it == layers_.end()) return nullptr;
    return layers_.insert(it + 1, std::make_unique<Layer>())->get();
}

Layer* LayerStack::LayerAt(int32_t index) {
    if (index < 0 || index >= LayerCount()) return nullptr;
    return layers_[static_cast<size_t>(index)].get();
}

const Layer* LayerStack::LayerAt(int32_t index) const {
    if (index < 0 || index >= LayerCount()) return nullptr;
    return layers_[static_cast<size_t>(index)].get();
}

void LayerStack::DrawWithLower(const Layer* layer, Surface& target) const {
    for (const auto& l : layers_) {
        if (l->visible) l->drawOnto(target);
        if (l.get() == layer) break;
    }
}

void LayerStack::Compose() {
    // The bottom layer is opaque and covers the screen, so base is not cleared first.
    DrawWithLower(layers_.back().get(), base_);
    RefreshOutput();
}

void LayerStack::RefreshOutput() {
    output_.Assign(base_);
    dynamicLayers_.Draw(output_);
    if (drawDynamicLayers) drawDynamicLayers(output_);
}

void LayerStack::Paint() {
    if (canvas_ && !paintingSuspended_) output_.DrawTo(*canvas_);
}

void LayerStack::DrawCell(const Surface& surface, int32_t dx, int32_t dy, int32_t width,
                          int32_t height, int32_t sx, int32_t sy) {
    surface.CopyTo(base_, dx, dy, width, height, sx, sy);
}

void LayerStack::RunEffect(int type, int32_t x, int32_t y, int32_t width, int32_t height,
                           const EffectContext& context) {
    if (!canvas_) return;
    if (width <= 0) width = output_.Width();
    if (height <= 0) height = output_.Height();
    Surface old;
    old.Assign(output_);
    Compose();
    if (context.pumpMessages) context.pumpMessages();
    paintingSuspended_ = true;
    EffectContext paced = context;
    paced.canvas = canvas_;
    RunTransition(type, paced, old, output_, x, y, width, height);
    paintingSuspended_ = false;
}

std::string LayerDefinitions::GetSectionName(int32_t number, int kind) {
    static const char* const kSuffix[] = {".LayerName", ".FileName", ".Attr", ".Left", ".Top"};
    if (kind < 0 || kind > 4) return {};
    return "Layer." + std::to_string(number) + kSuffix[kind];
}

void LayerDefinitions::Load(ScriptFile& script) {
    constexpr std::string_view kHead = "LayerList";
    count_ = std::clamp(script.ReadHeadInt(kHead, "LayerCount", 1), 1, kMaxDefinitions);
    for (int32_t i = 1; i < count_; ++i) {
        LayerDefinition& d = definitions_[static_cast<size_t>(i)];
        d.name = script.ReadHeadString(kHead, GetSectionName(i, 0), "noname");
        d.fileName = script.ReadHeadString(kHead, GetSectionName(i, 1), "");
        d.attr = script.ReadHeadBool(kHead, GetSectionName(i, 2), false);
        d.left = script.ReadHeadInt(kHead, GetSectionName(i, 3), 0);
        d.top = script.ReadHeadInt(kHead, GetSectionName(i, 4), 0);
    }
    definitions_[0] = LayerDefinition{std::string(texts::kBackgroundLayer), "", true, 0, 0};
    names_.clear();
    for (int32_t i = count_ - 1; i >= 0; --i) names_.push_back(definitions_[static_cast<size_t>(i)].name);
}

}  // namespace zarvo
