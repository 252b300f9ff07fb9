// Dynamic layers: pictures that float over a screen's composed layers. Clickable buttons and hot
// spots, animated sprites, choice items, countdown gauges and the message markers are all one
// DynamicLayerList: an area, an image strip cut into frames (columns) and state rows or a
// rendered text, and where a click leads. Each screen owns one DynamicLayer, the set that draws
// them over the composite, animates them on the half-second tick, follows the pointer and hands
// out the click.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/string_list.hpp"
#include "graphics/surface.hpp"
#include "graphics/text_layout.hpp"

namespace zarvo {

enum class DLActiveArea : uint8_t { None = 0, Opaque = 1, All = 2 };
enum class DLActiveMode : uint8_t { Disable = 0, Waiting = 1, Always = 2 };
enum class DLPageChange : uint8_t { Move = 0, Call = 1, KeepCall = 2 };
enum class DLAnimeType : uint8_t { None = 0, Repeat = 1, Once = 2, Timer = 3 };
enum class DLStatus : uint8_t { Disable = 0, Idle = 1, Active = 2 };

// Attribute ids with a fixed use.
namespace dynamic_ids {
inline constexpr int32_t kExpiredGauge = 2000;  // gauges whose wait has ended; removed by the loop
inline constexpr int32_t kChoice = 2001;        // items of a choice
inline constexpr int32_t kMarker = 2002;        // key and page markers of the message display
// Ids in this range belong to the moment and are not brought back from a save.
inline constexpr int32_t kTransientFirst = 1000;
inline constexpr int32_t kTransientLast = 1999;
}  // namespace dynamic_ids

class DynamicLayerList {
  public:
    DynamicLayerList();

    // Makes the layer's picture from its properties: an image strip (a copy of `image`), a
    // two-row text strip (plain over transparent, plain over a half-transparent blue bar), or
    // nothing for an area-only layer. False only for an image layer without an image.
    bool build(const Surface* image, platform::FontEngine& fonts);
    const Surface* surface() const { return surface_.get(); }
    // The picture as another layer had it built (a save state brings it back as it was).
    void setSurface(std::unique_ptr<Surface> surface) { surface_ = std::move(surface); }

    // The pointer at (x, y) lies on the layer as its active area defines.
    bool hitAt(int32_t x, int32_t y) const;
    // Draws the current frame of the row the status selects.
    void drawOnto(Surface& target);

    int32_t attrId = 0;
    int32_t left = 0, top = 0, width = 0, height = 0;  // width x height is one cell
    DLActiveArea activeArea = DLActiveArea::None;
    DLActiveMode activeMode = DLActiveMode::Disable;
    std::string focusBook, focusPage;  // carried and saved only
    std::string clickBook, clickPage;
    DLPageChange pageChange = DLPageChange::Move;
    uint8_t button = 0;  // 0 left, 1 right; recorded from the command, not saved
    bool autoClear = false;
    bool cursor = true;
    std::string imageFile;
    int32_t animeCount = 1;   // columns of the strip
    int32_t divideCount = 1;  // rows of the strip
    DLAnimeType animeType = DLAnimeType::None;
    int32_t indexDisable = 0, indexEnable = 0, indexActive = 0, indexClick = 0;
    std::string text;
    std::string fontName;
    int32_t fontSize = 16, fontDpi = 96;
    uint32_t fontColor = 0;                     // platform colour
    bool textBold = false, textItalic = false;  // recorded only; the text is laid out plain
    DLStatus status = DLStatus::Idle;
    int32_t animeIndex = 0;
    int32_t rowIndex = 0;
    bool dirty = true;

  private:
    std::unique_ptr<Surface> surface_;
};

// What a click on the active layer asks for.
struct DynamicLayerClick {
    std::string book, page;
    DLPageChange pageChange = DLPageChange::Move;
};

class DynamicLayer {
  public:
    // The set owns the layer; a new one goes on top.
    void add(std::unique_ptr<DynamicLayerList> layer);
    void clear();
    bool removeById(int32_t attrId);
    // Oldest first, so the newest ends on top.
    void draw(Surface& target);
    // The half-second animation step; true when a frame changed.
    bool animate();
    // Countdown gauges from the seconds left of the wait; true when one changed.
    bool updateTimers(int32_t remainingSeconds);
    // Follows the pointer; `waitingForClick` lets every enabled layer respond, otherwise only
    // those whose active mode is Always. True when a status changed.
    bool hitTest(int32_t x, int32_t y, bool waitingForClick);
    bool activeCursor() const;
    // Moves the pointed-at state, as the keyboard does, to the next (`forward`) or previous layer
    // that would respond to the pointer now, in reading order: top to bottom, then left to right.
    // From no pointed-at layer it goes to the first or the last. True when a status changed.
    bool focusNext(bool forward, bool waitingForClick);
    // A layer is pointed at now (by the pointer or the keyboard).
    bool hasActive() const;
    // The click on the active layer: its target, its group removed when it clears, every other
    // layer back to idle. False when no layer is active.
    bool takeClick(DynamicLayerClick& click);
    bool deactivate();

    // The newest layer, or none.
    DynamicLayerList* first() { return layers_.empty() ? nullptr : layers_.back().get(); }
    int32_t count() const { return static_cast<int32_t>(layers_.size()); }
    // Newest first (index 0 is on top), as the chain runs.
    DynamicLayerList* At(int32_t index);

    // The save section: one block per layer from the newest to the oldest, each closed by the
    // border line. An empty set gives an empty list.
    void writeInfo(StringList& lines) const;

  private:
    std::vector<std::unique_ptr<DynamicLayerList>> layers_;  // oldest first
};

// Reads the save section into layers, newest first as written. Blocks without their closing
// border line and blocks whose id lies in the transient range are left out. `loadImage` fetches
// a layer's image (false: the layer is built without it); a layer that cannot be built goes to
// `failed` and is not returned.
std::vector<std::unique_ptr<DynamicLayerList>> readDynamicLayerInfo(
    const StringList& lines, platform::FontEngine& fonts,
    const std::function<bool(const std::string&, Surface&)>& loadImage, int32_t* failed = nullptr);

}  // namespace zarvo
