// Layers, dynamic layers and choices on the main screen.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/dialogs.hpp"
#include "player/player.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxKind;

namespace {

constexpr int32_t kMaxChoices = 20;

DLActiveArea clickModeOf(std::string_view mode) {
    if (mode == "All") return DLActiveArea::All;
    if (mode == "Opaque") return DLActiveArea::Opaque;
    return DLActiveArea::None;
}

DLActiveMode activeModeOf(std::string_view mode, bool clickable) {
    if (mode == "Disable") return DLActiveMode::Disable;
    if (mode == "Waiting") return DLActiveMode::Waiting;
    if (mode == "Always") return DLActiveMode::Always;
    return clickable ? DLActiveMode::Waiting : DLActiveMode::Disable;
}

// Text layers take the main screen's font settings.
void useScreenFont(DynamicLayerList& layer, const WindowSettings& main) {
    layer.fontName = main.fontName;
    layer.fontSize = main.fontSize;
    layer.fontDpi = main.fontDpi;
    layer.textBold = main.fontBold;
    layer.textItalic = main.fontItalic;
}

}  // namespace

bool Player::runLayerCtrl(const Command& command) {
    Variables& vars = access_->variables();
    std::string name = command.getParamText("Layer.Name", "");
    bool visibleChange = command.getParamFlag("Layer.Visible.Change", false);
    bool imageChange = command.getParamFlag("Layer.Image.Change", false);
    bool posChange = command.getParamFlag("Layer.Pos.Change", false);
    bool sizeChange = command.getParamFlag("Layer.Size.Change", false);
    bool viewChange = command.getParamFlag("Layer.ViewPos.Change", false);

    // An unknown name is reported once, not once for every change asked of it.
    bool found = !(visibleChange || imageChange || posChange || sizeChange || viewChange) ||
                 screen_->findLayer(0, name) != nullptr;
    if (found && visibleChange)
        screen_->setLayerVisible(0, name, command.getParamFlag("Layer.Visible.Show", true));
    if (found && imageChange) {
        std::string file = command.getParamText("Layer.Image.FileName", "Clear");
        if (file == "Clear") {
            screen_->blankLayer(0, name);
        } else {
            screen_->loadLayerImage(0, name, file, false, false);
            screen_->setLayerSize(0, name, 0, 0);
        }
    }
    if (found && posChange)
        screen_->setLayerPos(0, name, vars.getValue(command.getParamText("Layer.Pos.Left", "0")),
                             vars.getValue(command.getParamText("Layer.Pos.Top", "0")));
    if (found && sizeChange)
        screen_->setLayerSize(0, name, vars.getValue(command.getParamText("Layer.Size.Width", "")),
                              vars.getValue(command.getParamText("Layer.Size.Height", "")));
    if (found && viewChange)
        screen_->setLayerView(0, name,
                              vars.getValue(command.getParamText("Layer.ViewPos.Left", "0")),
                              vars.getValue(command.getParamText("Layer.ViewPos.Top", "0")));
    if (command.getParamFlag("Layer.ScrnRefresh", true)) {
        screen_->setLayerVisible(0, texts::kTextLayer, false);
        composeAndPaint();
    }
    return true;
}

bool Player::runDynamicLayer(const Command& command) {
    Variables& vars = access_->variables();
    const WindowSettings& main = *screen_->getWindow(0);
    auto layer = std::make_unique<DynamicLayerList>();
    std::string type = command.getParamText("DynamicLayer.Type", "Transparent");
    std::unique_ptr<Surface> image;

    if (type == "Image") {
        std::string file = command.getParamText("DynamicLayer.Image.FileName", "");
        image = std::make_unique<Surface>();
        if (access_->loadGraphic(file, *image)) {
            layer->imageFile = file;
            layer->animeCount = command.getParamValue("DynamicLayer.Image.AnimeCount", 1);
            layer->divideCount = command.getParamValue("DynamicLayer.Image.DivideCount", 1);
            layer->indexDisable = command.getParamValue("DynamicLayer.ImageIndex.Disable", 0);
            layer->indexEnable = command.getParamValue("DynamicLayer.ImageIndex.Enable", 0);
            layer->indexActive = command.getParamValue("DynamicLayer.ImageIndex.Active", 0);
            std::string anime = command.getParamText("DynamicLayer.Image.AnimeType", "None");
            if (layer->animeCount > 1) {
                if (anime == "Repeat") {
                    layer->animeType = DLAnimeType::Repeat;
                } else if (anime == "Once") {
                    layer->animeType = DLAnimeType::Once;
                    layer->animeIndex = 1;
                } else if (anime == "Timer") {
                    layer->animeType = DLAnimeType::Timer;
                    layer->animeIndex = 1;
                }
            }
        } else {
            image.reset();
            layer->text = "Image load error - \"" + file + "\"";
        }
    } else if (type == "Text") {
        bool error;
        layer->text = vars.expandText(command.getParamText("DynamicLayer.Text.Text", ""), error);
        useScreenFont(*layer, main);
    }

    layer->activeArea = clickModeOf(command.getParamText("DynamicLayer.Clickable.Mode", "None"));
    bool clickable = layer->activeArea != DLActiveArea::None;
    if (clickable) {
        layer->clickBook = command.getParamText("DynamicLayer.Clickable.BookName", "");
        layer->clickPage = command.getParamText("DynamicLayer.Clickable.PageName", "");
        layer->autoClear = command.getParamFlag("DynamicLayer.Clickable.Clear", false);
        layer->cursor = command.getParamFlag("DynamicLayer.Clickable.Cursor", true);
        if (command.getParamText("DynamicLayer.Clickable.Move", "Move") == "Call")
            layer->pageChange = command.getParamFlag("DynamicLayer.Clickable.KeepExecuteMode", false)
                                    ? DLPageChange::KeepCall
                                    : DLPageChange::Call;
        if (command.getParamText("DynamicLayer.Clickable.Button", "Left") == "Right")
            layer->button = 1;
    }

    layer->left = vars.getValue(command.getParamText("DynamicLayer.Area.Left", "0"));
    layer->top = vars.getValue(command.getParamText("DynamicLayer.Area.Top", "0"));
    layer->width = vars.getValue(command.getParamText("DynamicLayer.Area.Width", "0"));
    layer->height = vars.getValue(command.getParamText("DynamicLayer.Area.Height", "0"));
    if (layer->width < 1) layer->width = main.imageWidth;
    if (layer->height < 1) layer->height = main.imageHeight;

    layer->attrId = command.getParamValue("DynamicLayer.AttrID", 0);
    layer->activeMode =
        activeModeOf(command.getParamText("DynamicLayer.ActiveMode", "Auto"), clickable);

    bool built = layer->build(image.get(), screen_->fonts());
    image.reset();
    if (!built) {
        services_.dialogs->showMessage(BoxKind::Plain, texts::kDynamicLayerCreateFailed);
        return false;
    }
    screen_->addDynamicLayer(0, std::move(layer));
    if (command.getParamFlag("DynamicLayer.ScrnRefresh", true)) screen_->refreshAndPaint(0);
    return true;
}

bool Player::runDynamicLayerClear(const Command& command) {
    screen_->removeDynamicLayers(0, command.getParamValue("DynamicLayerClear.AttrID", 0));
    if (command.getParamFlag("DynamicLayerClear.ScrnRefresh", true)) screen_->refreshAndPaint(0);
    return true;
}

bool Player::runSelect(const Command& command) {
    Variables& vars = access_->variables();
    const WindowSettings& main = *screen_->getWindow(0);
    int32_t left = command.getParamValue("Select.Area.Left", 0);
    int32_t top = command.getParamValue("Select.Area.Top", 0);
    int32_t width = command.getParamValue("Select.Area.Width", 0);
    if (command.getParamFlag("Select.Area.Import", false)) {
        int32_t height;
        screen_->getLayerRect(0, command.getParamText("Select.Area.ImportLayer", ""), left, top,
                              width, height);
    }
    if (width < 1) width = main.imageWidth;

    screen_->removeDynamicLayers(0, 0);
    const std::string book = access_->commands().bookName();
    int32_t time = 0;
    if (command.getParamFlag("Select.Timeout", false)) time = command.getParamValue("Select.Time", 0);

    for (int32_t n = 1; n <= kMaxChoices; ++n) {
        std::string page = command.getParamText("Select.Page" + std::to_string(n), "");
        if (page.empty()) break;
        bool error;
        std::string text =
            vars.expandText(command.getParamText("Select.Text" + std::to_string(n), ""), error);
        if (text.empty()) continue;  // skipped, but the list goes on
        auto choice = std::make_unique<DynamicLayerList>();
        choice->attrId = dynamic_ids::kChoice;
        choice->activeArea = DLActiveArea::All;
        choice->activeMode = DLActiveMode::Waiting;
        choice->pageChange = DLPageChange::Move;
        choice->autoClear = true;
        choice->cursor = true;
        choice->clickBook = book;
        choice->clickPage = page;
        choice->left = left;
        choice->top = top;
        choice->width = width;
        choice->text = text;
        useScreenFont(*choice, main);
        // With a time limit the items expire with the wait and go when it ends.
        if (time > 0) choice->animeType = DLAnimeType::Timer;
        if (!choice->build(nullptr, screen_->fonts())) continue;
        top = static_cast<int32_t>(std::min<int64_t>(int64_t{top} + choice->height, INT32_MAX));
        screen_->addDynamicLayer(0, std::move(choice));
    }
    composeAndPaint();

    RunState& process = access_->process();
    process.beginWait();
    process.enableActiveClick();
    if (time > 0) {
        process.startWaitTimer(time);
        if (command.getParamFlag("Select.TimerGauge", true))
            access_->callPageKeepState("_system", "_timer");
    }
    return true;
}

}  // namespace zarvo
