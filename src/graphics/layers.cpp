#include "graphics/layers.hpp"

#include <algorithm>

#include "graphics/effects.hpp"
#include "script/script_file.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

void TLasLayer::drawOnto(TLasGraphic& target) const {
    surface.CopyTo(target, left, top, width, height, viewLeft, viewTop);
}

TLasScreen::TLasScreen(int32_t width, int32_t height) : width_(width), height_(height) {
    auto bottom = std::make_unique<TLasLayer>();
    bottom->width = width;
    bottom->height = height;
    bottom->visible = true;
    bottom->surface.SetSize(width, height);
    layers_.push_back(std::move(bottom));
    output_.SetSize(width, height);
    base_.SetSize(width, height);
}

TLasLayer* TLasScreen::InsertLayerAfter(TLasLayer* below) {
    auto it = std::find_if(layers_.begin(), layers_.end(),
                           [below](const auto& l) { return l.get() == below; });
    if (it == layers_.end()) return nullptr;
    return layers_.insert(it + 1, std::make_unique<TLasLayer>())->get();
}

TLasLayer* TLasScreen::LayerAt(int32_t index) {
    if (index < 0 || index >= LayerCount()) return nullptr;
    return layers_[static_cast<size_t>(index)].get();
}

const TLasLayer* TLasScreen::LayerAt(int32_t index) const {
    if (index < 0 || index >= LayerCount()) return nullptr;
    return layers_[static_cast<size_t>(index)].get();
}

void TLasScreen::DrawWithLower(const TLasLayer* layer, TLasGraphic& target) const {
    for (const auto& l : layers_) {
        if (l->visible) l->drawOnto(target);
        if (l.get() == layer) break;
    }
}

void TLasScreen::Compose() {
    // The bottom layer is opaque and covers the screen, so base is not cleared first.
    DrawWithLower(layers_.back().get(), base_);
    RefreshOutput();
}

void TLasScreen::RefreshOutput() {
    output_.Assign(base_);
    dynamicLayers_.Draw(output_);
    if (drawDynamicLayers) drawDynamicLayers(output_);
}

void TLasScreen::Paint() {
    if (canvas_ && !paintingSuspended_) output_.DrawTo(*canvas_);
}

void TLasScreen::DrawCell(const TLasGraphic& surface, int32_t dx, int32_t dy, int32_t width,
                          int32_t height, int32_t sx, int32_t sy) {
    surface.CopyTo(base_, dx, dy, width, height, sx, sy);
}

void TLasScreen::RunEffect(int type, int32_t x, int32_t y, int32_t width, int32_t height,
                           const EffectContext& context) {
    if (!canvas_) return;
    if (width <= 0) width = output_.Width();
    if (height <= 0) height = output_.Height();
    TLasGraphic old;
    old.Assign(output_);
    Compose();
    if (context.pumpMessages) context.pumpMessages();
    paintingSuspended_ = true;
    EffectContext paced = context;
    paced.canvas = canvas_;
    RunTransition(type, paced, old, output_, x, y, width, height);
    paintingSuspended_ = false;
}

std::string TLayerCtrl::GetSectionName(int32_t number, int kind) {
    static const char* const kSuffix[] = {".LayerName", ".FileName", ".Attr", ".Left", ".Top"};
    if (kind < 0 || kind > 4) return {};
    return "Layer." + std::to_string(number) + kSuffix[kind];
}

void TLayerCtrl::Load(TZarvoFile& script) {
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
