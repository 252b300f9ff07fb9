// Layers, dynamic layers and choices on the main screen.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "commands/interpreter.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "platform/notice_sink.hpp"
#include "story/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::Notice;

namespace {

DLActiveArea clickAreaOf(ClickArea area) {
    switch (area) {
        case ClickArea::All:
            return DLActiveArea::All;
        case ClickArea::Opaque:
            return DLActiveArea::Opaque;
        case ClickArea::None:
            break;
    }
    return DLActiveArea::None;
}

DLActiveMode activeModeOf(ActiveName mode, bool clickable) {
    switch (mode) {
        case ActiveName::Disable:
            return DLActiveMode::Disable;
        case ActiveName::Waiting:
            return DLActiveMode::Waiting;
        case ActiveName::Always:
            return DLActiveMode::Always;
        case ActiveName::Auto:
            break;
    }
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

bool Interpreter::runLayerCtrl(const Command& command) {
    namespace p = params::layer_ctrl;
    Variables& vars = story_.variables();
    std::string name = command.text(p::kName);
    bool visibleChange = command.flag(p::kVisibleChange);
    bool imageChange = command.flag(p::kImageChange);
    bool posChange = command.flag(p::kPosChange);
    bool sizeChange = command.flag(p::kSizeChange);
    bool viewChange = command.flag(p::kViewChange);

    // An unknown name is reported once, not once for every change asked of it.
    bool found = !(visibleChange || imageChange || posChange || sizeChange || viewChange) ||
                 screen_.findLayer(0, name) != nullptr;
    if (found && visibleChange) screen_.setLayerVisible(0, name, command.flag(p::kVisibleShow));
    if (found && imageChange) {
        std::string file = command.text(p::kImageFileName);
        if (file == kClearImage) {
            screen_.blankLayer(0, name);
        } else {
            screen_.loadLayerImage(0, name, file, false, false);
            screen_.setLayerSize(0, name, 0, 0);
        }
    }
    if (found && posChange)
        screen_.setLayerPos(0, name, vars.getValue(command.text(p::kPosLeft)),
                            vars.getValue(command.text(p::kPosTop)));
    if (found && sizeChange)
        screen_.setLayerSize(0, name, vars.getValue(command.text(p::kSizeWidth)),
                             vars.getValue(command.text(p::kSizeHeight)));
    if (found && viewChange)
        screen_.setLayerView(0, name, vars.getValue(command.text(p::kViewLeft)),
                             vars.getValue(command.text(p::kViewTop)));
    if (command.flag(p::kScrnRefresh)) {
        screen_.setLayerVisible(0, texts::kTextLayer, false);
        composeAndPaint();
    }
    return true;
}

bool Interpreter::runDynamicLayer(const Command& command) {
    namespace p = params::dynamic_layer;
    Variables& vars = story_.variables();
    const WindowSettings& main = *screen_.getWindow(0);
    auto layer = std::make_unique<DynamicLayerList>();
    DynamicType type = command.choice(p::kType, DynamicType::Transparent);
    std::unique_ptr<Surface> image;

    if (type == DynamicType::Image) {
        std::string file = command.text(p::kImageFileName);
        image = std::make_unique<Surface>();
        Picture picture;
        if (story_.loadPicture(file, picture)) {
            image->assignPicture(std::move(picture));
            layer->imageFile = file;
            layer->animeCount = command.number(p::kAnimeCount);
            layer->divideCount = command.number(p::kDivideCount);
            layer->indexDisable = command.number(p::kIndexDisable);
            layer->indexEnable = command.number(p::kIndexEnable);
            layer->indexActive = command.number(p::kIndexActive);
            AnimeName anime = command.choice(p::kAnimeType, AnimeName::None);
            if (layer->animeCount > 1) {
                if (anime == AnimeName::Repeat) {
                    layer->animeType = DLAnimeType::Repeat;
                } else if (anime == AnimeName::Once) {
                    layer->animeType = DLAnimeType::Once;
                    layer->animeIndex = 1;
                } else if (anime == AnimeName::Timer) {
                    layer->animeType = DLAnimeType::Timer;
                    layer->animeIndex = 1;
                }
            }
        } else {
            image.reset();
            layer->text = "Image load error - \"" + file + "\"";
        }
    } else if (type == DynamicType::Text) {
        bool error;
        layer->text = vars.expandText(command.text(p::kText), error);
        useScreenFont(*layer, main);
    }

    layer->activeArea = clickAreaOf(command.choice(p::kClickMode, ClickArea::None));
    bool clickable = layer->activeArea != DLActiveArea::None;
    if (clickable) {
        layer->clickBook = command.text(p::kClickBook);
        layer->clickPage = command.text(p::kClickPage);
        layer->autoClear = command.flag(p::kClickClear);
        layer->cursor = command.flag(p::kClickCursor);
        if (command.choice(p::kClickMove, ClickMove::Move) == ClickMove::Call)
            layer->pageChange =
                command.flag(p::kKeepExecuteMode) ? DLPageChange::KeepCall : DLPageChange::Call;
        if (command.choice(p::kClickButton, ClickButton::Left) == ClickButton::Right)
            layer->button = 1;
    }

    layer->left = vars.getValue(command.text(p::kLeft));
    layer->top = vars.getValue(command.text(p::kTop));
    layer->width = vars.getValue(command.text(p::kWidth));
    layer->height = vars.getValue(command.text(p::kHeight));
    if (layer->width < 1) layer->width = main.imageWidth;
    if (layer->height < 1) layer->height = main.imageHeight;

    layer->attrId = command.number(p::kAttrId);
    layer->activeMode = activeModeOf(command.choice(p::kActiveMode, ActiveName::Auto), clickable);

    bool built = layer->build(image.get(), screen_.fonts());
    image.reset();
    if (!built) {
        notices_.tell(Notice::DynamicLayerCreateFailed);
        return false;
    }
    screen_.addDynamicLayer(0, std::move(layer));
    if (command.flag(p::kScrnRefresh)) screen_.refreshAndPaint(0);
    return true;
}

bool Interpreter::runDynamicLayerClear(const Command& command) {
    screen_.removeDynamicLayers(0, command.number(params::dynamic_layer_clear::kAttrId));
    if (command.flag(params::dynamic_layer_clear::kScrnRefresh)) screen_.refreshAndPaint(0);
    return true;
}

bool Interpreter::runSelect(const Command& command) {
    namespace p = params::select;
    Variables& vars = story_.variables();
    const WindowSettings& main = *screen_.getWindow(0);
    int32_t left = command.number(p::kLeft);
    int32_t top = command.number(p::kTop);
    int32_t width = command.number(p::kWidth);
    if (command.flag(p::kImport)) {
        int32_t height;
        screen_.getLayerRect(0, command.text(p::kImportLayer), left, top, width, height);
    }
    if (width < 1) width = main.imageWidth;

    screen_.removeDynamicLayers(0, 0);
    const std::string book = execution_.bookName();
    int32_t time = 0;
    if (command.flag(p::kTimeout)) time = command.number(p::kTime);

    for (int32_t n = 1; n <= p::kPage.numbered; ++n) {
        std::string page = command.text(p::kPage, n);
        if (page.empty()) break;
        bool error;
        std::string text = vars.expandText(command.text(p::kText, n), error);
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
        if (!choice->build(nullptr, screen_.fonts())) continue;
        top = static_cast<int32_t>(std::min<int64_t>(int64_t{top} + choice->height, INT32_MAX));
        screen_.addDynamicLayer(0, std::move(choice));
    }
    composeAndPaint();

    RunState& process = execution_.state();
    process.beginWait();
    process.enableActiveClick();
    if (time > 0) {
        process.startWaitTimer(time);
        if (command.flag(p::kTimerGauge)) execution_.callPageKeepState("_system", "_timer");
    }
    return true;
}

}  // namespace zarvo
