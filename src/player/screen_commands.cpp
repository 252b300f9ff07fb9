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
    std::string layer = command.GetParamText("MessageDraw.Layer", textLayer);
    std::string effect = command.GetParamText("MessageDraw.Effect", "Auto");
    bool move = command.GetParamFlag("MessageDraw.Layer.Move", false);
    int32_t left = 0, top = 0, width = 0, height = 0;
    if (move) {
        left = command.GetParamValue("MessageDraw.Area.Left", 0);
        top = command.GetParamValue("MessageDraw.Area.Top", 0);
        width = command.GetParamValue("MessageDraw.Area.Width", 0);
        height = command.GetParamValue("MessageDraw.Area.Height", 0);
    }
    if (screen_->GetLayerVisible(0, textLayer)) screen_->SetLayerVisible(0, textLayer, false);
    bool error;
    std::string text =
        access_->variables().Expand_Text(command.GetParamText("MessageDraw.Text", ""), error);
    const WindowSettings* main = screen_->GetWindow(0);
    if (width < 1) width = main->imageWidth;
    if (height < 1) height = main->imageHeight;
    if (move || layer == textLayer) {
        screen_->NewLayerSurface(0, layer, width, height);
        screen_->SetLayerPos(0, layer, left, top);
        screen_->SetLayerSize(0, layer, width, height);
    }
    screen_->DrawLayerText(0, layer, text);
    if (legacyMode_ && layer == texts::kBackgroundLayer) screen_->MergeBackground(0);
    if (effect == "None") {
        screen_->SetLayerVisible(0, layer, true);
        composeAndPaint();
    } else {
        screen_->SetLayerVisible(0, layer, false);
        composeAndPaint();
        screen_->SetLayerVisible(0, layer, true);
        access_->process().BeginMessageEffect(0, layer);
    }
    return true;
}

bool Player::runGraphicDraw(const Command& command) {
    std::string fileName = command.GetParamText("GraphicDraw.FileName", "");
    bool refresh = command.GetParamFlag("GraphicDraw.ScrnRefresh", true);
    int effect = effectNumber(command.GetParamText("GraphicDraw.EffectType", "None"));
    std::string layer = command.GetParamText("GraphicDraw.Layer", texts::kBackgroundLayer);
    bool move = command.GetParamFlag("GraphicDraw.Layer.Move", false);
    int32_t left = command.GetParamValue("GraphicDraw.Area.Left", 0);
    int32_t top = command.GetParamValue("GraphicDraw.Area.Top", 0);
    int32_t width = command.GetParamValue("GraphicDraw.Area.Width", 0);
    int32_t height = command.GetParamValue("GraphicDraw.Area.Height", 0);
    bool autoSize = command.GetParamFlag("GraphicDraw.AutoSize", true);
    bool transparent = command.GetParamFlag("GraphicDraw.Transparent", false);
    bool translucent = command.GetParamFlag("GraphicDraw.Translucent", false);
    bool limit = command.GetParamFlag("GraphicDraw.EffectAreaLimit", false);

    if (!screen_->LoadLayerImage(0, layer, fileName, transparent, translucent)) {
        std::string text(texts::kGraphicDrawFailedBefore);
        text.append(fileName).append(texts::kGraphicDrawFailedAfter);
        services_.dialogs->showMessage(platform::BoxKind::ErrorOk, text);
        return true;
    }
    if (move) {
        screen_->SetLayerPos(0, layer, left, top);
        if (autoSize) width = height = 0;
        screen_->SetLayerSize(0, layer, width, height);
    }
    if (legacyMode_) {
        if (layer == texts::kBackgroundLayer) screen_->MergeBackground(0);
    } else {
        screen_->SetLayerVisible(0, layer, true);
    }
    int32_t ex = 0, ey = 0, ew = 0, eh = 0;
    if (limit) {
        if (move) {
            ex = left, ey = top, ew = width, eh = height;
        } else {
            screen_->GetLayerRect(0, layer, ex, ey, ew, eh);
        }
    }
    if (effect >= 0) screen_->RunEffect(0, effect, ex, ey, ew, eh);
    if (refresh) {
        screen_->SetLayerVisible(0, texts::kTextLayer, false);
        composeAndPaint();
    }
    return true;
}

}  // namespace zarvo
