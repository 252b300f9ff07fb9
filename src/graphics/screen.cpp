#include "graphics/screen.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "interp/run_state.hpp"
#include "platform/dialogs.hpp"
#include "platform/font_engine.hpp"
#include "script/script_file.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

struct WindowDefaults {
    std::string_view head;
    int32_t width, height, relativeX, relativeY;
};

constexpr std::array<WindowDefaults, Screen::kWindowCount> kWindowDefaults{{
    {"Zarvo", 640, 480, 0, 0},
    {"MessageWindow", 520, 110, 60, 350},
    {"SelectWindow", 400, 110, 80, 220},
    {"UserWindow1", 100, 100, 0, 0},
    {"UserWindow2", 100, 100, 0, 0},
    {"UserWindow3", 100, 100, 0, 0},
}};

constexpr std::string_view kKeyMarkerFile = "_keywait_char.png";
constexpr std::string_view kPageMarkerFile = "_pagewait_char.png";

bool hasPngExtension(std::string_view name) {
    return name.size() >= 4 && sameText(name.substr(name.size() - 4), ".png");
}

}  // namespace

Screen::Screen(const Services& services) : services_(services) {}

void Screen::SetUpWindows() {
    ScriptFile& script = *services_.script;
    for (int i = 0; i < kWindowCount; ++i) {
        const WindowDefaults& d = kWindowDefaults[static_cast<size_t>(i)];
        WindowSettings& w = windows_[static_cast<size_t>(i)];
        // A screen needs at least one pixel; nonsense sizes fall back to the defaults.
        w.imageWidth = script.ReadHeadInt(d.head, "ImageWidth", d.width);
        w.imageHeight = script.ReadHeadInt(d.head, "ImageHeight", d.height);
        if (w.imageWidth < 1 || w.imageWidth > 8192) w.imageWidth = d.width;
        if (w.imageHeight < 1 || w.imageHeight > 8192) w.imageHeight = d.height;
        w.screen = std::make_unique<LayerStack>(w.imageWidth, w.imageHeight);
        w.relativeX = script.ReadHeadInt(d.head, "RelativeToMainX", d.relativeX);
        w.relativeY = script.ReadHeadInt(d.head, "RelativeToMainY", d.relativeY);
        w.fontName = script.ReadHeadString(d.head, "FontName", texts::kDefaultSystemFont);
        if (services_.fonts && !services_.fonts->hasFace(w.fontName) && services_.systemFont)
            w.fontName = *services_.systemFont;
        w.fontSize = script.ReadHeadInt(d.head, "FontSize", 16);
        w.fontDpi = script.ReadHeadInt(d.head, "FontDPI", 96);
        w.fontBold = script.ReadHeadBool(d.head, "FontTypeBold", false);
        w.fontItalic = script.ReadHeadBool(d.head, "FontTypeItalic", false);
        w.fontShadow = script.ReadHeadBool(d.head, "FontTypeShadow", false);
        uint32_t shadow = 0xC0C0C0;
        colorFromText(script.ReadHeadString(d.head, "FontTypeShadowColor", "clSilver"), shadow);
        w.shadowColor = shadow;

        LayerStack& screen = *w.screen;
        if (i == 0) {
            Layer* text = screen.InsertLayerAfter(screen.LayerAt(0));
            text->name = texts::kTextLayer;
            // Each definition goes directly above the bottom layer, so they end up in order.
            if (services_.layerDefinitions)
                for (const auto& name : services_.layerDefinitions->names())
                    screen.InsertLayerAfter(screen.LayerAt(0))->name = name;
        } else {
            screen.InsertLayerAfter(screen.LayerAt(0))->name = texts::kBackgroundLayer;
        }
    }
}

void Screen::SetCanvas(platform::Canvas* canvas, int window) {
    if (LayerStack* s = screen(window)) s->SetCanvas(canvas);
}

const WindowSettings* Screen::GetWindow(int window) const {
    return validWindow(window) ? &windows_[static_cast<size_t>(window)] : nullptr;
}

LayerStack* Screen::screen(int window) {
    return validWindow(window) ? windows_[static_cast<size_t>(window)].screen.get() : nullptr;
}

Layer* Screen::FindLayer(int window, std::string_view name) {
    LayerStack* s = screen(window);
    if (!s) return nullptr;
    for (int32_t i = 1; i < s->LayerCount(); ++i)
        if (s->LayerAt(i)->name == name) return s->LayerAt(i);
    if (services_.dialogs) {
        std::string text = "debug - error:\n layername not found:";
        text += name;
        services_.dialogs->showMessage(platform::BoxKind::Plain, text);
    }
    return nullptr;
}

void Screen::Compose(int window) {
    if (LayerStack* s = screen(window)) s->Compose();
}

void Screen::Paint(int window) {
    if (LayerStack* s = screen(window)) s->Paint();
}

void Screen::RefreshAndPaint(int window) {
    if (LayerStack* s = screen(window)) {
        s->RefreshOutput();
        s->Paint();
    }
}

void Screen::RunEffect(int window, int type, int32_t x, int32_t y, int32_t width,
                               int32_t height) {
    if (LayerStack* s = screen(window)) s->RunEffect(type, x, y, width, height, services_.effects);
}

bool Screen::LoadLayerImage(int window, std::string_view layer, std::string_view fileName,
                                    bool transparent, bool translucent) {
    Layer* l = FindLayer(window, layer);
    if (!l) return false;
    l->fileName = fileName;
    l->transparent = transparent;
    l->translucent = translucent;
    return LoadImage(l->surface, fileName, transparent, translucent);
}

bool Screen::LoadImage(Surface& surface, std::string_view fileName, bool transparent,
                               bool translucent) {
    if (services_.loadGraphic && services_.loadGraphic(fileName, surface)) {
        // A PNG brings its own transparency.
        if (!hasPngExtension(fileName)) {
            if (transparent) surface.MakeColorKeyTransparent();
            if (translucent) surface.MakeTranslucent();
        }
        return true;
    }
    if (services_.dialogs) {
        std::string text(texts::kImageLoadFailedBefore);
        text.append(fileName).append(texts::kImageLoadFailedAfter);
        if (services_.dialogs->showMessage(platform::BoxKind::ErrorAbortIgnore, text) ==
                platform::BoxAnswer::Abort &&
            services_.endApplication)
            services_.endApplication();
    }
    return false;
}

bool Screen::BlankLayer(int window, std::string_view layer) {
    Layer* l = FindLayer(window, layer);
    if (!l) return false;
    l->fileName.clear();
    l->surface.SetSize(10, 10);
    return true;
}

bool Screen::NewLayerSurface(int window, std::string_view layer, int32_t width,
                                     int32_t height) {
    Layer* l = FindLayer(window, layer);
    if (!l) return false;
    l->fileName.clear();
    l->surface.SetSize(width, height);
    return true;
}

int32_t Screen::DrawLayerText(int window, std::string_view layer, std::string_view text) {
    Layer* l = FindLayer(window, layer);
    if (!l) return 0;
    l->fileName.clear();
    const WindowSettings& main = windows_[0];
    int32_t width = l->width <= 0 ? main.imageWidth : l->width;
    int32_t height = l->height <= 0 ? main.imageHeight : l->height;
    if (l->surface.Width() != width || l->surface.Height() != height)
        l->surface.SetSize(width, height);
    FontStatus& font = l->surface.font;
    font.name = main.fontName;
    font.size = 16;  // messages always start at 16 points; the size tag changes it
    font.dpi = main.fontDpi;
    font.color = 0;
    font.bold = main.fontBold;
    font.italic = main.fontItalic;
    l->surface.text = text;
    return l->surface.DrawText();
}

bool Screen::SetLayerVisible(int window, std::string_view layer, bool visible) {
    Layer* l = FindLayer(window, layer);
    if (l) l->visible = visible;
    return l != nullptr;
}

bool Screen::GetLayerVisible(int window, std::string_view layer) {
    Layer* l = FindLayer(window, layer);
    return l && l->visible;
}

bool Screen::SetLayerPos(int window, std::string_view layer, int32_t left, int32_t top) {
    Layer* l = FindLayer(window, layer);
    if (!l) return false;
    l->left = left;
    l->top = top;
    return true;
}

bool Screen::SetLayerSize(int window, std::string_view layer, int32_t width,
                                  int32_t height) {
    Layer* l = FindLayer(window, layer);
    if (!l) return false;
    l->width = width;
    l->height = height;
    return true;
}

bool Screen::SetLayerView(int window, std::string_view layer, int32_t viewLeft,
                                  int32_t viewTop) {
    Layer* l = FindLayer(window, layer);
    if (!l) return false;
    l->viewLeft = std::max(viewLeft, 0);
    l->viewTop = std::max(viewTop, 0);
    return true;
}

bool Screen::GetLayerRect(int window, std::string_view layer, int32_t& left,
                                  int32_t& top, int32_t& width, int32_t& height) {
    Layer* l = FindLayer(window, layer);
    if (!l) return false;
    left = l->left;
    top = l->top;
    width = l->width;
    height = l->height;
    return true;
}

void Screen::MergeBackground(int window) {
    LayerStack* s = screen(window);
    if (!s || s->LayerCount() < 2) return;
    Layer& bottom = *s->LayerAt(0);
    s->LayerAt(1)->drawOnto(bottom.surface);
}

bool Screen::RevealMessage(int window, std::string_view layer) {
    Layer* l = FindLayer(window, layer);
    LayerStack* s = screen(window);
    if (!l || !s) return false;
    RunState& process = *services_.process;
    l->visible = false;  // shown whole only when complete; until then cells go into base
    for (;;) {
        RevealStep step = l->surface.NextRevealStep();
        switch (step.op) {
            case RevealOp::Char:
                s->DrawCell(l->surface, l->left + step.stepX, l->top + step.stepY, step.stepWidth,
                            step.stepHeight, step.stepX, step.stepY);
                if (messageMode == MessageMode::Effect) RefreshAndPaint(window);
                process.BeginMessageWait();
                process.StartWaitTimer(step.stepSpeed);
                break;
            case RevealOp::ShowKeyMarker:
            case RevealOp::ShowPageMarker:
                showMarker(window,
                           step.op == RevealOp::ShowKeyMarker ? kKeyMarkerFile : kPageMarkerFile,
                           l->left + step.stepX + step.stepWidth,
                           l->top + step.stepY + step.stepHeight);
                break;
            case RevealOp::HideKeyMarker:
            case RevealOp::HidePageMarker:
                RemoveDynamicLayers(window, dynamic_ids::kMarker);
                break;
            case RevealOp::KeyWait:
            case RevealOp::PageWait:
                process.BeginMessageWait();
                process.EnableAnykeyClick();
                return true;
            case RevealOp::TimedWait:
                if (step.value > 0) {
                    process.BeginMessageWait();
                    process.StartWaitTimer(step.value);
                }
                return true;
            case RevealOp::NextPage:
                l->surface.DrawText();
                s->Compose();
                s->Paint();
                return true;
            case RevealOp::End:
                l->visible = true;
                s->Compose();
                s->Paint();
                return false;
            default: return false;
        }
    }
}

void Screen::showMarker(int window, std::string_view fileName, int32_t x,
                                int32_t lineBottom) {
    Surface image;
    // A marker is a hint, not content: without its picture the message goes on unmarked.
    if (!services_.loadGraphic || !services_.loadGraphic(fileName, image)) return;
    auto marker = std::make_unique<DynamicLayerList>();
    marker->attrId = dynamic_ids::kMarker;
    marker->left = x;
    marker->top = lineBottom - image.Height();
    marker->activeArea = DLActiveArea::None;
    marker->activeMode = DLActiveMode::Disable;
    marker->imageFile = fileName;
    marker->animeCount = 2;  // the two halves alternate on the half-second tick
    marker->divideCount = 1;
    marker->animeType = DLAnimeType::Repeat;
    marker->animeIndex = 0;
    if (!marker->Build(&image)) return;
    AddDynamicLayer(window, std::move(marker));
    RefreshAndPaint(window);
}

DynamicLayer* Screen::DynamicLayers(int window) {
    LayerStack* s = screen(window);
    return s ? &s->dynamicLayers() : nullptr;
}

void Screen::AddDynamicLayer(int window, std::unique_ptr<DynamicLayerList> layer) {
    if (DynamicLayer* d = DynamicLayers(window)) d->Add(std::move(layer));
}

bool Screen::RemoveDynamicLayers(int window, int32_t attrId) {
    DynamicLayer* d = DynamicLayers(window);
    return d && d->RemoveById(attrId);
}

bool Screen::AdvanceAnimations(bool repaint) {
    DynamicLayer* d = DynamicLayers(0);
    bool changed = d && d->Animate();
    if (changed && repaint) RefreshAndPaint(0);
    return changed;
}

bool Screen::UpdateTimerGauges(bool repaint, int32_t remainingSeconds) {
    DynamicLayer* d = DynamicLayers(0);
    bool changed = d && d->UpdateTimers(remainingSeconds);
    if (changed && repaint) RefreshAndPaint(0);
    return changed;
}

bool Screen::SaveDynamicLayerInfo(StringList& lines) {
    DynamicLayer* d = DynamicLayers(0);
    if (!d) return false;
    d->WriteInfo(lines);
    return true;
}

void Screen::reportDynamicLayerFailure() {
    if (services_.dialogs)
        services_.dialogs->showMessage(platform::BoxKind::Plain, texts::kDynamicLayerCreateFailed);
}

bool Screen::LoadDynamicLayerInfo(const StringList& lines) {
    DynamicLayer* d = DynamicLayers(0);
    if (!d) return false;
    d->Clear();
    int32_t failed = 0;
    auto layers = ReadDynamicLayerInfo(
        lines,
        [this](const std::string& name, Surface& image) {
            return services_.loadGraphic && services_.loadGraphic(name, image);
        },
        &failed);
    for (int32_t i = 0; i < failed; ++i) reportDynamicLayerFailure();
    // The lines run newest first; adding from the end puts the first block on top again.
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) d->Add(std::move(*it));
    RefreshAndPaint(0);
    return true;
}

}  // namespace zarvo
