#include "graphics/screen.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "interp/run_state.hpp"
#include "platform/font_engine.hpp"
#include "platform/notice_sink.hpp"
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

// Room for two full-width characters of a 16-point message to hang past a line's end.
constexpr int32_t kHangRoom = 48;

bool hasPngExtension(std::string_view name) {
    return name.size() >= 4 && sameText(name.substr(name.size() - 4), ".png");
}

}  // namespace

Screen::Screen(const Services& services) : services_(services) {}

void Screen::setUpWindows() {
    ScriptFile& script = services_.script;
    for (int i = 0; i < kWindowCount; ++i) {
        const WindowDefaults& d = kWindowDefaults[static_cast<size_t>(i)];
        WindowSettings& w = windows_[static_cast<size_t>(i)];
        // A screen needs at least one pixel; nonsense sizes fall back to the defaults.
        w.imageWidth = script.readHeadInt(d.head, "ImageWidth", d.width);
        w.imageHeight = script.readHeadInt(d.head, "ImageHeight", d.height);
        if (w.imageWidth < 1 || w.imageWidth > 8192) w.imageWidth = d.width;
        if (w.imageHeight < 1 || w.imageHeight > 8192) w.imageHeight = d.height;
        w.screen = std::make_unique<LayerStack>(w.imageWidth, w.imageHeight);
        w.relativeX = script.readHeadInt(d.head, "RelativeToMainX", d.relativeX);
        w.relativeY = script.readHeadInt(d.head, "RelativeToMainY", d.relativeY);
        w.fontName = script.readHeadString(d.head, "FontName", texts::kDefaultSystemFont);
        if (services_.fonts && !services_.fonts->hasFace(w.fontName))
            w.fontName = services_.systemFont;
        w.fontSize = script.readHeadInt(d.head, "FontSize", 16);
        w.fontDpi = script.readHeadInt(d.head, "FontDPI", 96);
        w.fontBold = script.readHeadBool(d.head, "FontTypeBold", false);
        w.fontItalic = script.readHeadBool(d.head, "FontTypeItalic", false);
        w.fontShadow = script.readHeadBool(d.head, "FontTypeShadow", false);
        uint32_t shadow = 0xC0C0C0;
        colorFromText(script.readHeadString(d.head, "FontTypeShadowColor", "clSilver"), shadow);
        w.shadowColor = shadow;

        LayerStack& screen = *w.screen;
        if (i == 0) {
            // Nonsense values fall back to the defaults; a story's waits stay under a second.
            auto wait = [&script, &d](std::string_view key, int32_t fallback) {
                int32_t v = script.readHeadInt(d.head, key, fallback);
                return v >= 0 && v <= 1000 ? v : fallback;
            };
            charWaits.normal = wait("MsgCharWaitNormal", 60);
            charWaits.fast = wait("MsgCharWaitFast", 20);
            charWaits.slow = wait("MsgCharWaitSlow", 120);
            Layer* text = screen.insertLayerAfter(screen.layerAt(0));
            text->name = texts::kTextLayer;
            // Each definition goes directly above the bottom layer, so they end up in order.
            for (const auto& name : services_.layerDefinitions.names())
                screen.insertLayerAfter(screen.layerAt(0))->name = name;
        } else {
            screen.insertLayerAfter(screen.layerAt(0))->name = texts::kBackgroundLayer;
        }
    }
}

void Screen::setCanvas(platform::Canvas* canvas, int window) {
    if (LayerStack* s = screen(window)) s->setCanvas(canvas);
}

const WindowSettings* Screen::getWindow(int window) const {
    return validWindow(window) ? &windows_[static_cast<size_t>(window)] : nullptr;
}

LayerStack* Screen::screen(int window) {
    return validWindow(window) ? windows_[static_cast<size_t>(window)].screen.get() : nullptr;
}

Layer* Screen::findLayer(int window, std::string_view name) {
    LayerStack* s = screen(window);
    if (!s) return nullptr;
    for (int32_t i = 1; i < s->layerCount(); ++i)
        if (s->layerAt(i)->name == name) return s->layerAt(i);
    services_.notices.tell(platform::Notice::LayerNotFound, {name});
    return nullptr;
}

void Screen::compose(int window) {
    if (LayerStack* s = screen(window)) s->compose();
}

void Screen::paint(int window) {
    if (LayerStack* s = screen(window)) s->paint();
}

void Screen::refreshAndPaint(int window) {
    if (LayerStack* s = screen(window)) {
        s->refreshOutput();
        s->paint();
    }
}

void Screen::runEffect(int window, EffectType type, int32_t x, int32_t y, int32_t width,
                       int32_t height) {
    // While the reader skips, a transition is over at once.
    if (shortEffects) {
        compose(window);
        paint(window);
        return;
    }
    if (LayerStack* s = screen(window)) s->runEffect(type, x, y, width, height, services_.effects);
}

bool Screen::loadLayerImage(int window, std::string_view layer, std::string_view fileName,
                            bool transparent, bool translucent) {
    Layer* l = findLayer(window, layer);
    if (!l) return false;
    l->fileName = fileName;
    l->textOverhang = 0;
    l->transparent = transparent;
    l->translucent = translucent;
    l->fileStamp = 0;
    if (!loadImage(l->surface, fileName, transparent, translucent)) return false;
    l->fileStamp = l->surface.stamp();
    return true;
}

bool Screen::readImage(Surface& surface, std::string_view fileName, bool transparent,
                       bool translucent) {
    if (!services_.loadGraphic || !services_.loadGraphic(fileName, surface)) return false;
    // A PNG brings its own transparency.
    if (!hasPngExtension(fileName)) {
        if (transparent) surface.makeColorKeyTransparent();
        if (translucent) surface.makeTranslucent();
    }
    return true;
}

bool Screen::loadImage(Surface& surface, std::string_view fileName, bool transparent,
                       bool translucent) {
    if (readImage(surface, fileName, transparent, translucent)) return true;
    if (services_.notices.tell(platform::Notice::ImageLoadFailed, {fileName}) ==
            platform::BoxAnswer::Abort &&
        services_.endApplication)
        services_.endApplication();
    return false;
}

bool Screen::blankLayer(int window, std::string_view layer) {
    Layer* l = findLayer(window, layer);
    if (!l) return false;
    l->fileName.clear();
    l->textOverhang = 0;
    l->surface.setSize(10, 10);
    return true;
}

bool Screen::newLayerSurface(int window, std::string_view layer, int32_t width, int32_t height) {
    Layer* l = findLayer(window, layer);
    if (!l) return false;
    l->fileName.clear();
    l->textOverhang = 0;
    l->surface.setSize(width, height);
    return true;
}

int32_t Screen::drawLayerText(int window, std::string_view layer, std::string_view text) {
    Layer* l = findLayer(window, layer);
    if (!l) return 0;
    l->fileName.clear();
    const WindowSettings& main = windows_[0];
    int32_t width = l->width <= 0 ? main.imageWidth : l->width;
    int32_t height = l->height <= 0 ? main.imageHeight : l->height;
    // Lines break at the layer's width; hanging punctuation takes room beyond it.
    l->textOverhang = lineBreakRules ? kHangRoom : 0;
    if (l->surface.width() != width + l->textOverhang || l->surface.height() != height)
        l->surface.setSize(width + l->textOverhang, height);
    l->text.wrapWidth = width;
    FontStatus& font = l->text.font;
    font.name = main.fontName;
    font.size = 16;  // messages always start at 16 points; the size tag changes it
    font.dpi = main.fontDpi;
    font.color = 0;
    font.bold = main.fontBold;
    font.italic = main.fontItalic;
    l->text.text = text;
    l->text.lineBreakRules = lineBreakRules;
    return l->text.draw(l->surface, fonts());
}

bool Screen::setLayerVisible(int window, std::string_view layer, bool visible) {
    Layer* l = findLayer(window, layer);
    if (l) l->visible = visible;
    return l != nullptr;
}

bool Screen::getLayerVisible(int window, std::string_view layer) {
    Layer* l = findLayer(window, layer);
    return l && l->visible;
}

bool Screen::setLayerPos(int window, std::string_view layer, int32_t left, int32_t top) {
    Layer* l = findLayer(window, layer);
    if (!l) return false;
    l->left = left;
    l->top = top;
    return true;
}

bool Screen::setLayerSize(int window, std::string_view layer, int32_t width, int32_t height) {
    Layer* l = findLayer(window, layer);
    if (!l) return false;
    l->width = width;
    l->height = height;
    return true;
}

bool Screen::setLayerView(int window, std::string_view layer, int32_t viewLeft, int32_t viewTop) {
    Layer* l = findLayer(window, layer);
    if (!l) return false;
    l->viewLeft = std::max(viewLeft, 0);
    l->viewTop = std::max(viewTop, 0);
    return true;
}

bool Screen::getLayerRect(int window, std::string_view layer, int32_t& left, int32_t& top,
                          int32_t& width, int32_t& height) {
    Layer* l = findLayer(window, layer);
    if (!l) return false;
    left = l->left;
    top = l->top;
    width = l->width;
    height = l->height;
    return true;
}

void Screen::mergeBackground(int window) {
    LayerStack* s = screen(window);
    if (!s || s->layerCount() < 2) return;
    Layer& bottom = *s->layerAt(0);
    s->layerAt(1)->drawOnto(bottom.surface);
}

int32_t Screen::charWait(const RevealStep& step, int32_t lineWidth) const {
    if (messageMode != MessageMode::Effect || hurry_ || charWaitPercent <= 0 ||
        services_.process.messageSkip())
        return 0;
    // The layout records a cell also for a line's end and for the character that moves to the
    // next line; they show nothing and take no time.
    if (step.stepWidth <= 0 || step.stepX + step.stepWidth > lineWidth) return 0;
    int32_t wait = step.stepSpeed;
    if (step.stepSpeed == 60) wait = charWaits.normal;
    if (step.stepSpeed == 20) wait = charWaits.fast;
    if (step.stepSpeed == 120) wait = charWaits.slow;
    return static_cast<int32_t>(static_cast<int64_t>(wait) * charWaitPercent / 100);
}

bool Screen::hurryMessage() {
    if (!typing_) return false;
    hurry_ = true;
    return true;
}

bool Screen::revealMessage(int window, std::string_view layer) {
    typing_ = false;
    Layer* l = findLayer(window, layer);
    LayerStack* s = screen(window);
    if (!l || !s) {
        hurry_ = false;
        return false;
    }
    RunState& process = services_.process;
    l->visible = false;  // shown whole only when complete; until then cells go into base
    bool drawn = false;  // cells drawn and not shown yet
    // A wait of the text shows what was drawn before it.
    auto stop = [&] {
        hurry_ = false;
        if (drawn && messageMode == MessageMode::Effect) refreshAndPaint(window);
        return true;
    };
    for (;;) {
        RevealStep step = l->text.nextRevealStep();
        switch (step.op) {
            case RevealOp::Char: {
                s->drawCell(l->surface, l->left + step.stepX, l->top + step.stepY, step.stepWidth,
                            step.stepHeight, step.stepX, step.stepY);
                drawn = true;
                if (step.stepWidth > 0) ++charsSinceWait_;
                int32_t wait =
                    charWait(step, l->text.wrapWidth > 0 ? l->text.wrapWidth : l->surface.width());
                if (wait > 0) {
                    refreshAndPaint(window);
                    process.beginMessageWait();
                    process.startWaitTimer(wait);
                    typing_ = true;
                    return true;
                }
                break;
            }
            case RevealOp::ShowKeyMarker:
            case RevealOp::ShowPageMarker:
                if (drawn && messageMode == MessageMode::Effect) refreshAndPaint(window);
                drawn = false;
                showMarker(
                    window, step.op == RevealOp::ShowKeyMarker ? kKeyMarkerFile : kPageMarkerFile,
                    l->left + step.stepX + step.stepWidth, l->top + step.stepY + step.stepHeight);
                break;
            case RevealOp::HideKeyMarker:
            case RevealOp::HidePageMarker:
                removeDynamicLayers(window, dynamic_ids::kMarker);
                break;
            case RevealOp::KeyWait:
            case RevealOp::PageWait:
                charsBeforeWait_ = charsSinceWait_;
                charsSinceWait_ = 0;
                process.beginMessageWait();
                process.enableAnykeyClick();
                return stop();
            case RevealOp::TimedWait:
                if (step.value > 0) {
                    process.beginMessageWait();
                    process.startWaitTimer(step.value);
                }
                return stop();
            case RevealOp::NextPage:
                hurry_ = false;
                l->text.draw(l->surface, fonts());
                s->compose();
                s->paint();
                return true;
            case RevealOp::End:
                hurry_ = false;
                l->visible = true;
                s->compose();
                s->paint();
                return false;
            default:
                hurry_ = false;
                return false;
        }
    }
}

void Screen::showMarker(int window, std::string_view fileName, int32_t x, int32_t lineBottom) {
    Surface image;
    // A marker is a hint, not content: without its picture the message goes on unmarked.
    if (!services_.loadGraphic || !services_.loadGraphic(fileName, image)) return;
    auto marker = std::make_unique<DynamicLayerList>();
    marker->attrId = dynamic_ids::kMarker;
    marker->left = x;
    marker->top = lineBottom - image.height();
    marker->activeArea = DLActiveArea::None;
    marker->activeMode = DLActiveMode::Disable;
    marker->imageFile = fileName;
    marker->animeCount = 2;  // the two halves alternate on the half-second tick
    marker->divideCount = 1;
    marker->animeType = DLAnimeType::Repeat;
    marker->animeIndex = 0;
    if (!marker->build(&image, fonts())) return;
    addDynamicLayer(window, std::move(marker));
    refreshAndPaint(window);
}

DynamicLayer* Screen::dynamicLayers(int window) {
    LayerStack* s = screen(window);
    return s ? &s->dynamicLayers() : nullptr;
}

void Screen::addDynamicLayer(int window, std::unique_ptr<DynamicLayerList> layer) {
    if (DynamicLayer* d = dynamicLayers(window)) d->add(std::move(layer));
}

bool Screen::removeDynamicLayers(int window, int32_t attrId) {
    DynamicLayer* d = dynamicLayers(window);
    return d && d->removeById(attrId);
}

bool Screen::advanceAnimations(bool repaint) {
    DynamicLayer* d = dynamicLayers(0);
    bool changed = d && d->animate();
    if (changed && repaint) refreshAndPaint(0);
    return changed;
}

bool Screen::updateTimerGauges(bool repaint, int32_t remainingSeconds) {
    DynamicLayer* d = dynamicLayers(0);
    bool changed = d && d->updateTimers(remainingSeconds);
    if (changed && repaint) refreshAndPaint(0);
    return changed;
}

bool Screen::saveDynamicLayerInfo(StringList& lines) {
    DynamicLayer* d = dynamicLayers(0);
    if (!d) return false;
    d->writeInfo(lines);
    return true;
}

void Screen::reportDynamicLayerFailure() {
    services_.notices.tell(platform::Notice::DynamicLayerCreateFailed);
}

bool Screen::loadDynamicLayerInfo(const StringList& lines) {
    DynamicLayer* d = dynamicLayers(0);
    if (!d) return false;
    d->clear();
    int32_t failed = 0;
    auto layers = readDynamicLayerInfo(
        lines, fonts(),
        [this](const std::string& name, Surface& image) {
            return services_.loadGraphic && services_.loadGraphic(name, image);
        },
        &failed);
    for (int32_t i = 0; i < failed; ++i) reportDynamicLayerFailure();
    // The lines run newest first; adding from the end puts the first block on top again.
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) d->add(std::move(*it));
    refreshAndPaint(0);
    return true;
}

}  // namespace zarvo
