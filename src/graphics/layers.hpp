// Layers and their composition. A LayerStack owns a stack of Layer, bottom first; the visible
// layers compose bottom to top into `base`, the dynamic layers go over a copy of it (`output`),
// and `output` is what the window shows.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/string_list.hpp"
#include "graphics/dynamic_layer.hpp"
#include "graphics/surface.hpp"
#include "graphics/text_layout.hpp"
#include "script/layer_definitions.hpp"

namespace zarvo {

struct EffectContext;
enum class EffectType : int8_t;
namespace platform {
class Canvas;
}

class Layer {
  public:
    Surface surface;
    TextLayout text;  // the message laid out on the surface, for text layers
    int32_t left = 0, top = 0;
    int32_t width = 0, height = 0;  // visible size; 0 (or 1) means as far as the picture reaches
    int32_t viewLeft = 0, viewTop = 0;
    bool visible = false;
    std::string name;      // code page 932; empty for the bottom layer
    std::string fileName;  // the picture shown; empty for text or blank layers
    // How that picture was loaded: its key colour see-through, the whole of it half so.
    bool transparent = false, translucent = false;
    // Text only: pixels past `width` where punctuation hangs (Japanese line breaking). They are
    // drawn but are no part of the layer's size as the story sees it.
    int32_t textOverhang = 0;
    // The surface's stamp when `fileName` was loaded into it: while the surface keeps it, it
    // holds just that file's picture, which can be read again instead of kept.
    uint64_t fileStamp = 0;

    // Copies this layer onto `target` as composition does.
    void drawOnto(Surface& target) const;
};

class LayerStack {
  public:
    LayerStack(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // A new layer directly above `below`; the screen owns it.
    Layer* insertLayerAfter(Layer* below);
    Layer* layerAt(int32_t index);  // 0 = bottom; nullptr past the top
    const Layer* layerAt(int32_t index) const;
    int32_t layerCount() const { return static_cast<int32_t>(layers_.size()); }
    // Copies every visible layer from the bottom up to and including `layer` onto `target`.
    void drawWithLower(const Layer* layer, Surface& target) const;

    void compose();  // base := the visible layers, then RefreshOutput
    // base := the visible layers, those of `hidden` (indices) left out.
    void composeBase(const std::vector<int32_t>& hidden = {});
    // Whether base holds just what composeBase draws from the layers as they are now (nothing
    // drawn on it since, every layer as it was) but for the layers shown since, which go into
    // `hidden`: then base can be composed again instead of kept. A message that types itself
    // out is shown over a base composed before its layer was shown.
    bool baseIsComposed(std::vector<int32_t>& hidden) const;
    void refreshOutput();  // output := base, with the dynamic layers over it
    void paint();          // output to the canvas, unless an effect runs
    void drawCell(const Surface& surface, int32_t dx, int32_t dy, int32_t width, int32_t height,
                  int32_t sx, int32_t sy);
    // Transition from what is shown to the newly composed picture.
    void runEffect(EffectType type, int32_t x, int32_t y, int32_t width, int32_t height,
                   const EffectContext& context);
    void setCanvas(platform::Canvas* canvas) { canvas_ = canvas; }
    platform::Canvas* canvas() const { return canvas_; }

    Surface& base() { return base_; }
    Surface& output() { return output_; }
    const Surface& output() const { return output_; }

    // The clickable, animated and marker layers drawn over every composite.
    DynamicLayer& dynamicLayers() { return dynamicLayers_; }

    // Extra drawing over `output` after the dynamic layers, for whoever needs an overlay.
    std::function<void(Surface& output)> drawDynamicLayers;

  private:
    int32_t width_, height_;
    platform::Canvas* canvas_ = nullptr;
    Surface output_;
    Surface base_;
    std::vector<std::unique_ptr<Layer>> layers_;  // bottom first
    DynamicLayer dynamicLayers_;
    bool paintingSuspended_ = false;

    // What each layer was when base was last composed: whatever drawOnto reads.
    struct Drawn {
        uint64_t stamp = 0;
        int32_t left = 0, top = 0, width = 0, height = 0, viewLeft = 0, viewTop = 0;
        int32_t textOverhang = 0;
        bool visible = false, picture = false;
        bool operator==(const Drawn&) const = default;
    };
    std::vector<Drawn> drawn() const;
    std::vector<Drawn> composedFrom_;
    uint64_t composedStamp_ = 0;  // base's stamp right after; 0: base depends on what was before
};

}  // namespace zarvo
