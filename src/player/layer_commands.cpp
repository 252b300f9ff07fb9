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
    std::string name = command.GetParamText("Layer.Name", "");
    bool visibleChange = command.GetParamFlag("Layer.Visible.Change", false);
    bool imageChange = command.GetParamFlag("Layer.Image.Change", false);
    bool posChange = command.GetParamFlag("Layer.Pos.Change", false);
    bool sizeChange = command.GetParamFlag("Layer.Size.Change", false);
    bool viewChange = command.GetParamFlag("Layer.ViewPos.Change", false);

    // An unknown name is reported once, not once for every change asked of it.
    bool found = !(visibleChange || imageChange || posChange || sizeChange || viewChange) ||
                 screen_->FindLayer(0, name) != nullptr;
    if (found && visibleChange)
        screen_->SetLayerVisible(0, name, command.GetParamFlag("Layer.Visible.Show", true));
    if (found && imageChange) {
        std::string file = command.GetParamText("Layer.Image.FileName", "Clear");
        if (file == "Clear") {
            screen_->BlankLayer(0, name);
        } else {
            screen_->LoadLayerImage(0, name, file, false, false);
            screen_->SetLayerSize(0, name, 0, 0);
        }
    }
    if (found && posChange)
        screen_->SetLayerPos(0, name, vars.Get_Value(command.GetParamText("Layer.Pos.Left", "0")),
                             vars.Get_Value(command.GetParamText("Layer.Pos.Top", "0")));
    if (found && sizeChange)
        screen_->SetLayerSize(0, name, vars.Get_Value(command.GetParamText("Layer.Size.Width", "")),
                              vars.Get_Value(command.GetParamText("Layer.Size.Height", "")));
    if (found && viewChange)
        screen_->SetLayerView(0, name,
                              vars.Get_Value(command.GetParamText("Layer.ViewPos.Left", "0")),
                              vars.Get_Value(command.GetParamText("Layer.ViewPos.Top", "0")));
    if (command.GetParamFlag("Layer.ScrnRefresh", true)) {
        screen_->SetLayerVisible(0, texts::kTextLayer, false);
        composeAndPaint();
    }
    return true;
}

bool Player::runDynamicLayer(const Command& command) {
    Variables& vars = access_->variables();
    const WindowSettings& main = *screen_->GetWindow(0);
    auto layer = std::make_unique<DynamicLayerList>();
    std::string type = command.GetParamText("DynamicLayer.Type", "Transparent");
    std::unique_ptr<Surface> image;

    if (type == "Image") {
        std::string file = command.GetParamText("DynamicLayer.Image.FileName", "");
        image = std::make_unique<Surface>();
        if (access_->LoadGraphic(file, *image)) {
            layer->imageFile = file;
            layer->animeCount = command.GetParamValue("DynamicLayer.Image.AnimeCount", 1);
            layer->divideCount = command.GetParamValue("DynamicLayer.Image.DivideCount", 1);
            layer->indexDisable = command.GetParamValue("DynamicLayer.ImageIndex.Disable", 0);
            layer->indexEnable = command.GetParamValue("DynamicLayer.ImageIndex.Enable", 0);
            layer->indexActive = command.GetParamValue("DynamicLayer.ImageIndex.Active", 0);
            std::string anime = command.GetParamText("DynamicLayer.Image.AnimeType", "None");
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
        layer->text = vars.Expand_Text(command.GetParamText("DynamicLayer.Text.Text", ""), error);
        useScreenFont(*layer, main);
    }

    layer->activeArea = clickModeOf(command.GetParamText("DynamicLayer.Clickable.Mode", "None"));
    bool clickable = layer->activeArea != DLActiveArea::None;
    if (clickable) {
        layer->clickBook = command.GetParamText("DynamicLayer.Clickable.BookName", "");
        layer->clickPage = command.GetParamText("DynamicLayer.Clickable.PageName", "");
        layer->autoClear = command.GetParamFlag("DynamicLayer.Clickable.Clear", false);
        layer->cursor = command.GetParamFlag("DynamicLayer.Clickable.Cursor", true);
        if (command.GetParamText("DynamicLayer.Clickable.Move", "Move") == "Call")
            layer->pageChange = command.GetParamFlag("DynamicLayer.Clickable.KeepExecuteMode", false)
                                    ? DLPageChange::KeepCall
                                    : DLPageChange::Call;
        if (command.GetParamText("DynamicLayer.Clickable.Button", "Left") == "Right")
            layer->button = 1;
    }

    layer->left = vars.Get_Value(command.GetParamText("DynamicLayer.Area.Left", "0"));
    layer->top = vars.Get_Value(command.GetParamText("DynamicLayer.Area.Top", "0"));
    layer->width = vars.Get_Value(command.GetParamText("DynamicLayer.Area.Width", "0"));
    layer->height = vars.Get_Value(command.GetParamText("DynamicLayer.Area.Height", "0"));
    if (layer->width < 1) layer->width = main.imageWidth;
    if (layer->height < 1) layer->height = main.imageHeight;

    layer->attrId = command.GetParamValue("DynamicLayer.AttrID", 0);
    layer->activeMode =
        activeModeOf(command.GetParamText("DynamicLayer.ActiveMode", "Auto"), clickable);

    bool built = layer->Build(image.get());
    image.reset();
    if (!built) {
        services_.dialogs->showMessage(BoxKind::Plain, texts::kDynamicLayerCreateFailed);
        return false;
    }
    screen_->AddDynamicLayer(0, std::move(layer));
    if (command.GetParamFlag("DynamicLayer.ScrnRefresh", true)) screen_->RefreshAndPaint(0);
    return true;
}

bool Player::runDynamicLayerClear(const Command& command) {
    screen_->RemoveDynamicLayers(0, command.GetParamValue("DynamicLayerClear.AttrID", 0));
    if (command.GetParamFlag("DynamicLayerClear.ScrnRefresh", true)) screen_->RefreshAndPaint(0);
    return true;
}

bool Player::runSelect(const Command& command) {
    Variables& vars = access_->variables();
    const WindowSettings& main = *screen_->GetWindow(0);
    int32_t left = command.GetParamValue("Select.Area.Left", 0);
    int32_t top = command.GetParamValue("Select.Area.Top", 0);
    int32_t width = command.GetParamValue("Select.Area.Width", 0);
    if (command.GetParamFlag("Select.Area.Import", false)) {
        int32_t height;
        screen_->GetLayerRect(0, command.GetParamText("Select.Area.ImportLayer", ""), left, top,
                              width, height);
    }
    if (width < 1) width = main.imageWidth;

    screen_->RemoveDynamicLayers(0, 0);
    const std::string book = access_->commands().bookName();
    int32_t time = 0;
    if (command.GetParamFlag("Select.Timeout", false)) time = command.GetParamValue("Select.Time", 0);

    for (int32_t n = 1; n <= kMaxChoices; ++n) {
        std::string page = command.GetParamText("Select.Page" + std::to_string(n), "");
        if (page.empty()) break;
        bool error;
        std::string text =
            vars.Expand_Text(command.GetParamText("Select.Text" + std::to_string(n), ""), error);
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
        if (!choice->Build(nullptr)) continue;
        top = static_cast<int32_t>(std::min<int64_t>(int64_t{top} + choice->height, INT32_MAX));
        screen_->AddDynamicLayer(0, std::move(choice));
    }
    composeAndPaint();

    RunState& process = access_->process();
    process.BeginWait();
    process.EnableActiveClick();
    if (time > 0) {
        process.StartWaitTimer(time);
        if (command.GetParamFlag("Select.TimerGauge", true))
            access_->CallPageKeepState("_system", "_timer");
    }
    return true;
}

}  // namespace zarvo
