// Messages and pictures on the main screen.
#include <string>

#include "platform/dialogs.hpp"
#include "player/player.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

// Effect names of the graphic command; -1 for none.
int effectNumber(std::string_view name) {
    static constexpr std::string_view kNames[] = {"Fadein", "LeftTo", "TopTo", "RndPanel",
                                                  "Blind",  "Square", "Wave",  "Mosaic"};
    for (int i = 0; i < 8; ++i)
        if (name == kNames[i]) return i;
    return -1;
}

}  // namespace

bool Player::runMessageDraw(const Command& command) {
    const std::string_view textLayer = texts::kTextLayer;
    std::string layer = command.getParamText("MessageDraw.Layer", textLayer);
    std::string effect = command.getParamText("MessageDraw.Effect", "Auto");
    bool move = command.getParamFlag("MessageDraw.Layer.Move", false);
    int32_t left = 0, top = 0, width = 0, height = 0;
    if (move) {
        left = command.getParamValue("MessageDraw.Area.Left", 0);
        top = command.getParamValue("MessageDraw.Area.Top", 0);
        width = command.getParamValue("MessageDraw.Area.Width", 0);
        height = command.getParamValue("MessageDraw.Area.Height", 0);
    }
    if (screen_->getLayerVisible(0, textLayer)) screen_->setLayerVisible(0, textLayer, false);
    bool error;
    std::string text =
        access_->variables().expandText(command.getParamText("MessageDraw.Text", ""), error);
    const WindowSettings* main = screen_->getWindow(0);
    if (width < 1) width = main->imageWidth;
    if (height < 1) height = main->imageHeight;
    if (move || layer == textLayer) {
        screen_->newLayerSurface(0, layer, width, height);
        screen_->setLayerPos(0, layer, left, top);
        screen_->setLayerSize(0, layer, width, height);
    }
    screen_->drawLayerText(0, layer, text);
    if (legacyMode_ && layer == texts::kBackgroundLayer) screen_->mergeBackground(0);
    if (effect == "None") {
        screen_->setLayerVisible(0, layer, true);
        composeAndPaint();
    } else {
        screen_->setLayerVisible(0, layer, false);
        composeAndPaint();
        screen_->setLayerVisible(0, layer, true);
        access_->process().beginMessageEffect(0, layer);
    }
    return true;
}

bool Player::runGraphicDraw(const Command& command) {
    std::string fileName = command.getParamText("GraphicDraw.FileName", "");
    bool refresh = command.getParamFlag("GraphicDraw.ScrnRefresh", true);
    int effect = effectNumber(command.getParamText("GraphicDraw.EffectType", "None"));
    std::string layer = command.getParamText("GraphicDraw.Layer", texts::kBackgroundLayer);
    bool move = command.getParamFlag("GraphicDraw.Layer.Move", false);
    int32_t left = command.getParamValue("GraphicDraw.Area.Left", 0);
    int32_t top = command.getParamValue("GraphicDraw.Area.Top", 0);
    int32_t width = command.getParamValue("GraphicDraw.Area.Width", 0);
    int32_t height = command.getParamValue("GraphicDraw.Area.Height", 0);
    bool autoSize = command.getParamFlag("GraphicDraw.AutoSize", true);
    bool transparent = command.getParamFlag("GraphicDraw.Transparent", false);
    bool translucent = command.getParamFlag("GraphicDraw.Translucent", false);
    bool limit = command.getParamFlag("GraphicDraw.EffectAreaLimit", false);

    if (!screen_->loadLayerImage(0, layer, fileName, transparent, translucent)) {
        std::string text(texts::kGraphicDrawFailedBefore);
        text.append(fileName).append(texts::kGraphicDrawFailedAfter);
        services_.dialogs->showMessage(platform::BoxKind::ErrorOk, text);
        return true;
    }
    if (move) {
        screen_->setLayerPos(0, layer, left, top);
        if (autoSize) width = height = 0;
        screen_->setLayerSize(0, layer, width, height);
    }
    if (legacyMode_) {
        if (layer == texts::kBackgroundLayer) screen_->mergeBackground(0);
    } else {
        screen_->setLayerVisible(0, layer, true);
    }
    int32_t ex = 0, ey = 0, ew = 0, eh = 0;
    if (limit) {
        if (move) {
            ex = left, ey = top, ew = width, eh = height;
        } else {
            screen_->getLayerRect(0, layer, ex, ey, ew, eh);
        }
    }
    if (effect >= 0) screen_->runEffect(0, effect, ex, ey, ew, eh);
    if (refresh) {
        screen_->setLayerVisible(0, texts::kTextLayer, false);
        composeAndPaint();
    }
    return true;
}

}  // namespace zarvo
