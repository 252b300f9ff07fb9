// The screen as the rest of the player sees it: six windows (0 is the main screen, the only one
// painted), each a layer stack with its settings from a Head block of the script, operations on
// layers addressed by name, and the message display that replays a laid-out message character
// by character.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/effects.hpp"
#include "graphics/layers.hpp"

namespace zarvo {

class SaveContainer;
class ScriptFile;
class RunState;
namespace platform {
class Canvas;
class Clock;
class FontEngine;
class NoticeSink;
}  // namespace platform

struct WindowSettings {
    std::unique_ptr<LayerStack> screen;
    int32_t imageWidth = 640, imageHeight = 480;
    int32_t relativeX = 0, relativeY = 0;
    std::string fontName;
    int32_t fontSize = 16, fontDpi = 96;
    bool fontBold = false, fontItalic = false, fontShadow = false;
    uint32_t shadowColor = 0xC0C0C0;
};

class Screen {
  public:
    static constexpr int kWindowCount = 6;
    enum class MessageMode { Effect = 0, Direct = 1 };

    struct Services {
        ScriptFile& script;
        RunState& process;
        const LayerDefinitions& layerDefinitions;
        const std::string& systemFont;  // fallback face for unknown FontName values
        platform::NoticeSink& notices;
        std::function<bool(std::string_view fileName, Surface& surface)> loadGraphic{};
        std::function<void()> endApplication{};  // after Abort in the picture-load box
        platform::FontEngine* fonts = nullptr;   // none: fixed widths that draw nothing
        EffectContext effects{};                 // canvas ignored: each screen paints on its own
    };

    explicit Screen(const Services& services);

    // The engine text is laid out with: the one given, else one of fixed widths that draws nothing.
    platform::FontEngine& fonts() {
        return services_.fonts ? *services_.fonts : static_cast<platform::FontEngine&>(fixedFonts_);
    }

    void setUpWindows();
    void setCanvas(platform::Canvas* canvas, int window);
    const WindowSettings* getWindow(int window) const;
    LayerStack* screen(int window);

    Layer* findLayer(int window, std::string_view name);
    void compose(int window);
    void paint(int window);
    void refreshAndPaint(int window);
    void runEffect(int window, EffectType type, int32_t x, int32_t y, int32_t width,
                   int32_t height);

    bool loadLayerImage(int window, std::string_view layer, std::string_view fileName,
                        bool transparent, bool translucent);
    bool loadImage(Surface& surface, std::string_view fileName, bool transparent, bool translucent);
    // loadImage without telling the reader of a failure: the picture as a layer would show it.
    bool readImage(Surface& surface, std::string_view fileName, bool transparent, bool translucent);
    bool blankLayer(int window, std::string_view layer);
    bool newLayerSurface(int window, std::string_view layer, int32_t width, int32_t height);
    int32_t drawLayerText(int window, std::string_view layer, std::string_view text);
    bool setLayerVisible(int window, std::string_view layer, bool visible);
    bool getLayerVisible(int window, std::string_view layer);
    bool setLayerPos(int window, std::string_view layer, int32_t left, int32_t top);
    bool setLayerSize(int window, std::string_view layer, int32_t width, int32_t height);
    bool setLayerView(int window, std::string_view layer, int32_t viewLeft, int32_t viewTop);
    bool getLayerRect(int window, std::string_view layer, int32_t& left, int32_t& top,
                      int32_t& width, int32_t& height);
    void mergeBackground(int window);
    // One run of the message display; false when the message is complete. In the Effect mode
    // each character that shows waits its speed before the next one (the story's text types
    // itself out); the Direct mode and an instant text speed show each run at once.
    bool revealMessage(int window, std::string_view layer);
    // A click or key while a run types itself out: the rest of the run, up to its next wait,
    // shows at once. False when no run is typing.
    bool hurryMessage();
    bool messageTyping() const { return typing_; }
    // Characters shown between the last key or page wait and the one before it (auto mode
    // times its wait by them).
    int32_t charsBeforeLastWait() const { return charsBeforeWait_; }

    // Where the message display stands between two runs, for the player's save states.
    struct RevealProgress {
        bool typing = false, hurry = false;
        int32_t charsSinceWait = 0, charsBeforeWait = 0;
    };
    RevealProgress revealProgress() const {
        return {typing_, hurry_, charsSinceWait_, charsBeforeWait_};
    }
    void setRevealProgress(const RevealProgress& p) {
        typing_ = p.typing;
        hurry_ = p.hurry;
        charsSinceWait_ = p.charsSinceWait;
        charsBeforeWait_ = p.charsBeforeWait;
    }

    // Dynamic layers of a window's screen.
    DynamicLayer* dynamicLayers(int window);
    void addDynamicLayer(int window, std::unique_ptr<DynamicLayerList> layer);
    bool removeDynamicLayers(int window, int32_t attrId);
    // The half-second steps of window 0; true when a layer changed, and then with `repaint`
    // window 0 is refreshed and painted.
    bool advanceAnimations(bool repaint);
    bool updateTimerGauges(bool repaint, int32_t remainingSeconds);
    // The dynamic layers of window 0 as the lines of their save section. An empty set gives an
    // empty list and still succeeds: having no dynamic layers is no failure.
    bool saveDynamicLayerInfo(StringList& lines);
    // Replaces the dynamic layers of window 0 with those of the lines (an empty list, as for a
    // save written without the section, leaves none), then refreshes and paints window 0. A
    // layer that cannot be built is reported and left out; the others are restored.
    bool loadDynamicLayerInfo(const StringList& lines);

    // The save sections of window 0 (screen_save.cpp): "layer.info" with every layer
    // from the bottom up, "dynamiclayer.info", and with `withBackground` the bottom layer's
    // picture as "_background.bmp". False when a section could not be written.
    bool saveInfo(SaveContainer& save, bool withBackground);
    // Restores them, matching saved layers to the stack by position; text layers are laid out
    // again and image layers reloaded. False when a part is missing; what is there is restored.
    bool loadInfo(SaveContainer& save, bool withBackground);
    // Looks the sections over before anything is restored: blocks closed by their border line,
    // numbers that parse, sizes a picture can take, a background that decodes. False names the
    // damaged section in `section`.
    static bool checkInfo(SaveContainer& save, bool withBackground, std::string& section);

    MessageMode messageMode = MessageMode::Effect;
    // The waits after each character of the speed tags NORMAL, FAST and SLOW, in ms: the story's
    // Head values MsgCharWaitNormal / Fast / Slow (read by setUpWindows), else 60 / 20 / 120.
    struct CharWaits {
        int32_t normal = 60, fast = 20, slow = 120;
    } charWaits;
    // The reader's text speed as a share of those waits, in percent; 0 shows each run at once.
    int32_t charWaitPercent = 100;
    // Transitions show their end picture at once (the reader skips).
    bool shortEffects = false;
    // Japanese line breaking for messages laid out from now on (TextLayout::lineBreakRules).
    bool lineBreakRules = true;

  private:
    bool validWindow(int window) const { return window >= 0 && window < kWindowCount; }
    void showMarker(int window, std::string_view fileName, int32_t x, int32_t lineBottom);
    void reportDynamicLayerFailure();

    Services services_;
    std::array<WindowSettings, kWindowCount> windows_;
    // The wait after a revealed character of lines `lineWidth` wide; 0 for none.
    int32_t charWait(const RevealStep& step, int32_t lineWidth) const;

    FixedWidthFontEngine fixedFonts_;
    bool typing_ = false;  // the reveal waits after a character
    bool hurry_ = false;   // the rest of the run shows at once
    int32_t charsSinceWait_ = 0;
    int32_t charsBeforeWait_ = 0;
};

}  // namespace zarvo
