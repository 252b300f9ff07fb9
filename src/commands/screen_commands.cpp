// Messages and pictures on the main screen.
#include <string>

#include "commands/interpreter.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "platform/notice_sink.hpp"
#include "story/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
bool Interpreter::runMessageDraw(const Command& command) {
    namespace p = params::message_draw;
    const std::string_view textLayer = texts::kTextLayer;
    std::string layer = command.text(p::kLayer);
    MessageEffect effect = command.choice(p::kEffect, MessageEffect::Other);
    bool move = command.flag(p::kLayerMove);
    int32_t left = 0, top = 0, width = 0, height = 0;
    if (move) {
        left = command.number(p::kLeft);
        top = command.number(p::kTop);
        width = command.number(p::kWidth);
        height = command.number(p::kHeight);
    }
    if (screen_.getLayerVisible(0, textLayer)) screen_.setLayerVisible(0, textLayer, false);
    bool error;
    std::string text = story_.variables().expandText(command.text(p::kText), error);
    const WindowSettings* main = screen_.getWindow(0);
    if (width < 1) width = main->imageWidth;
    if (height < 1) height = main->imageHeight;
    if (move || layer == textLayer) {
        screen_.newLayerSurface(0, layer, width, height);
        screen_.setLayerPos(0, layer, left, top);
        screen_.setLayerSize(0, layer, width, height);
    }
    screen_.drawLayerText(0, layer, text);
    if (legacyMode_ && layer == texts::kBackgroundLayer) screen_.mergeBackground(0);
    if (effect == MessageEffect::None) {
        screen_.setLayerVisible(0, layer, true);
        composeAndPaint();
    } else {
        screen_.setLayerVisible(0, layer, false);
        composeAndPaint();
        screen_.setLayerVisible(0, layer, true);
        execution_.state().beginMessageEffect(0, layer);
    }
    return true;
}

bool Interpreter::runGraphicDraw(const Command& command) {
    namespace p = params::graphic_draw;
    std::string fileName = command.text(p::kFileName);
    bool refresh = command.flag(p::kScrnRefresh);
    EffectType effect = effectTypeFromName(command.text(p::kEffectType));
    std::string layer = command.text(p::kLayer);
    bool move = command.flag(p::kLayerMove);
    int32_t left = command.number(p::kLeft);
    int32_t top = command.number(p::kTop);
    int32_t width = command.number(p::kWidth);
    int32_t height = command.number(p::kHeight);
    bool autoSize = command.flag(p::kAutoSize);
    bool transparent = command.flag(p::kTransparent);
    bool translucent = command.flag(p::kTranslucent);
    bool limit = command.flag(p::kEffectAreaLimit);

    if (!screen_.loadLayerImage(0, layer, fileName, transparent, translucent)) {
        notices_.tell(platform::Notice::GraphicDrawFailed, {fileName});
        return true;
    }
    if (move) {
        screen_.setLayerPos(0, layer, left, top);
        if (autoSize) width = height = 0;
        screen_.setLayerSize(0, layer, width, height);
    }
    if (legacyMode_) {
        if (layer == texts::kBackgroundLayer) screen_.mergeBackground(0);
    } else {
        screen_.setLayerVisible(0, layer, true);
    }
    int32_t ex = 0, ey = 0, ew = 0, eh = 0;
    if (limit) {
        if (move) {
            ex = left, ey = top, ew = width, eh = height;
        } else {
            screen_.getLayerRect(0, layer, ex, ey, ew, eh);
        }
    }
    if (effect != EffectType::None) screen_.runEffect(0, effect, ex, ey, ew, eh);
    if (refresh) {
        screen_.setLayerVisible(0, texts::kTextLayer, false);
        composeAndPaint();
    }
    return true;
}

}  // namespace zarvo
