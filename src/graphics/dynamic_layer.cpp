#include "graphics/dynamic_layer.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/name_value.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

constexpr std::string_view kBorder = "@LayerBorder";
constexpr uint32_t kBarColor = 0xFF0000;  // blue, as a platform colour

// Words of the save section, indexed by the enumeration's value. The save has always spelt the
// repeating animation "Repert"; files written so must keep reading back.
constexpr std::array<std::string_view, 3> kAreaWords{"None", "Opaque", "All"};
constexpr std::array<std::string_view, 3> kModeWords{"Disable", "Waiting", "Always"};
constexpr std::array<std::string_view, 3> kPageChangeWords{"Move", "Call", "KeepCall"};
constexpr std::array<std::string_view, 4> kAnimeWords{"None", "Repert", "Once", "Timer"};
constexpr std::array<std::string_view, 3> kStatusWords{"Disable", "Idle", "Active"};

template <size_t N>
std::string_view wordOf(const std::array<std::string_view, N>& words, uint8_t value) {
    return value < N ? words[value] : words[0];
}

// An exact match gives its index; any other word gives 0.
template <typename E, size_t N>
E readWord(const StringList& block, std::string_view key, std::string_view fallback,
           const std::array<std::string_view, N>& words) {
    std::string value = readListString(block, key, fallback);
    for (size_t i = 0; i < N; ++i)
        if (value == words[i]) return static_cast<E>(i);
    return static_cast<E>(0);
}

}  // namespace

DynamicLayerList::DynamicLayerList() : fontName(texts::kDefaultSystemFont) {}

bool DynamicLayerList::build(const Surface* image, platform::FontEngine& fonts) {
    surface_.reset();
    if (!imageFile.empty()) {
        if (!image) return false;
        surface_ = std::make_unique<Surface>();
        surface_->assign(*image);
        animeCount = std::max(animeCount, 1);
        divideCount = std::max(divideCount, 1);
        width = surface_->width() / animeCount;
        height = surface_->height() / divideCount;
        return true;
    }
    if (!text.empty()) {
        Surface plain;
        TextLayout layout;
        layout.font = FontStatus{fontName, fontSize, fontDpi, fontColor, false, false};
        layout.text = text;
        const int32_t th = layout.drawSized(plain, fonts, width, 0);
        auto strip = std::make_unique<Surface>();
        strip->setSize(width, 2 * std::min(th, int32_t{1} << 24));
        strip->clearMask();
        strip->fillRect(0, th, width, th, kBarColor);
        strip->makeTranslucent();
        plain.copyTo(*strip, 0, 0, width, th, 0, 0);
        plain.copyTo(*strip, 0, th, width, th, 0, 0);
        surface_ = std::move(strip);
        height = th;
        animeCount = 1;
        divideCount = 2;
        indexDisable = 0;
        indexEnable = 0;
        indexActive = 1;
        indexClick = 1;
        return true;
    }
    animeCount = 1;
    divideCount = 1;
    return true;
}

bool DynamicLayerList::hitAt(int32_t x, int32_t y) const {
    if (x < left || y < top || int64_t{x} >= int64_t{left} + width ||
        int64_t{y} >= int64_t{top} + height)
        return false;
    if (activeArea == DLActiveArea::All) return true;
    return activeArea == DLActiveArea::Opaque && surface_ && surface_->hitTest(x - left, y - top);
}

void DynamicLayerList::drawOnto(Surface& target) {
    dirty = false;
    if (!surface_) return;
    if (animeIndex < 0 || animeIndex >= animeCount) animeIndex = 0;
    switch (status) {
        case DLStatus::Disable:
            rowIndex = indexDisable;
            break;
        case DLStatus::Idle:
            rowIndex = indexEnable;
            break;
        case DLStatus::Active:
            rowIndex = indexActive;
            break;
    }
    // Counts and indexes come from scripts and saves: a cell that does not exist in the strip
    // shows nothing rather than a neighbour or a slice of the whole strip.
    const int32_t columns = std::max(animeCount, 1), rows = std::max(divideCount, 1);
    const int32_t cw = surface_->width() / columns, ch = surface_->height() / rows;
    if (rowIndex < 0 || rowIndex >= rows || cw < 1 || ch < 1 || width < 1 || height < 1) return;
    surface_->copyTo(target, left, top, std::min(width, cw), std::min(height, ch), cw * animeIndex,
                     ch * rowIndex);
}

void DynamicLayer::add(std::unique_ptr<DynamicLayerList> layer) {
    if (layer) layers_.push_back(std::move(layer));
}

void DynamicLayer::clear() {
    layers_.clear();
}

bool DynamicLayer::removeById(int32_t attrId) {
    return std::erase_if(layers_, [attrId](const auto& l) { return l->attrId == attrId; }) > 0;
}

DynamicLayerList* DynamicLayer::At(int32_t index) {
    if (index < 0 || index >= count()) return nullptr;
    return layers_[layers_.size() - 1 - static_cast<size_t>(index)].get();
}

void DynamicLayer::draw(Surface& target) {
    for (auto& l : layers_) l->drawOnto(target);
}

bool DynamicLayer::animate() {
    bool changed = false;
    for (auto& l : layers_) {
        if (l->animeType != DLAnimeType::Repeat &&
            !(l->animeType == DLAnimeType::Once && l->animeIndex > 0))
            continue;
        const int64_t after = int64_t{l->animeIndex} + 1;
        const int32_t next =
            l->animeIndex < 0 || after >= l->animeCount ? 0 : static_cast<int32_t>(after);
        if (next != l->animeIndex) {
            l->dirty = true;
            changed = true;
        }
        l->animeIndex = next;
    }
    return changed;
}

bool DynamicLayer::updateTimers(int32_t remainingSeconds) {
    bool changed = false;
    for (auto& l : layers_) {
        if (l->animeType != DLAnimeType::Timer) continue;
        int32_t frame = 0;
        if (remainingSeconds <= 0) {
            l->animeType = DLAnimeType::None;
            l->attrId = dynamic_ids::kExpiredGauge;
        } else {
            frame = static_cast<int32_t>(
                std::max<int64_t>(int64_t{l->animeCount} - remainingSeconds, 0));
        }
        if (frame != l->animeIndex) {
            l->animeIndex = frame;
            l->dirty = true;
            changed = true;
        }
    }
    return changed;
}

bool DynamicLayer::hitTest(int32_t x, int32_t y, bool waitingForClick) {
    bool changed = false;
    bool hitFound = false;
    // Newest first: the topmost layer under the pointer takes it, even when it cannot become
    // active itself, and every other layer lets go.
    for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) {
        DynamicLayerList& l = **it;
        if (!hitFound && l.hitAt(x, y)) {
            hitFound = true;
            // A layer whose mode is Disable never activates, as its name says.
            bool mayActivate = l.activeMode == DLActiveMode::Always ||
                               (waitingForClick && l.activeMode == DLActiveMode::Waiting);
            if (l.status == DLStatus::Idle && mayActivate) {
                l.status = DLStatus::Active;
                if (l.animeType == DLAnimeType::Once && l.animeCount > 1) l.animeIndex = 1;
                l.dirty = true;
                changed = true;
            }
            continue;
        }
        if (l.status == DLStatus::Active) {
            l.status = DLStatus::Idle;
            l.dirty = true;
            changed = true;
        }
    }
    return changed;
}

bool DynamicLayer::activeCursor() const {
    for (auto it = layers_.rbegin(); it != layers_.rend(); ++it)
        if ((*it)->status == DLStatus::Active) return (*it)->cursor;
    return false;
}

bool DynamicLayer::hasActive() const {
    return std::any_of(layers_.begin(), layers_.end(),
                       [](const auto& l) { return l->status == DLStatus::Active; });
}

bool DynamicLayer::focusNext(bool forward, bool waitingForClick) {
    std::vector<DynamicLayerList*> order;
    for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) {
        DynamicLayerList& l = **it;
        bool mayActivate = l.activeMode == DLActiveMode::Always ||
                           (waitingForClick && l.activeMode == DLActiveMode::Waiting);
        // The same layers the pointer could make active: enabled, with an area that responds.
        if (mayActivate && l.status != DLStatus::Disable && l.activeArea != DLActiveArea::None &&
            l.width > 0 && l.height > 0)
            order.push_back(&l);
    }
    if (order.empty()) return false;
    // Stable: layers at the same place keep the newest first, as the pointer finds them.
    std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
        return a->top != b->top ? a->top < b->top : a->left < b->left;
    });
    const auto n = static_cast<int64_t>(order.size());
    int64_t at = -1;
    for (int64_t i = 0; i < n; ++i)
        if (order[i]->status == DLStatus::Active) at = i;
    int64_t next = at < 0 ? (forward ? 0 : n - 1) : (at + (forward ? 1 : n - 1)) % n;
    DynamicLayerList* target = order[static_cast<size_t>(next)];
    bool changed = false;
    for (auto& l : layers_) {
        if (l.get() == target || l->status != DLStatus::Active) continue;
        l->status = DLStatus::Idle;
        l->dirty = true;
        changed = true;
    }
    if (target->status != DLStatus::Active) {
        target->status = DLStatus::Active;
        if (target->animeType == DLAnimeType::Once && target->animeCount > 1)
            target->animeIndex = 1;
        target->dirty = true;
        changed = true;
    }
    return changed;
}

bool DynamicLayer::takeClick(DynamicLayerClick& click) {
    auto it = std::find_if(layers_.rbegin(), layers_.rend(),
                           [](const auto& l) { return l->status == DLStatus::Active; });
    if (it == layers_.rend()) return false;
    const DynamicLayerList& l = **it;
    click.book = l.clickBook;
    click.page = l.clickPage;
    click.pageChange = l.pageChange;
    if (l.autoClear) removeById(l.attrId);  // removes the clicked layer too
    deactivate();
    return true;
}

bool DynamicLayer::deactivate() {
    bool changed = false;
    for (auto& l : layers_) {
        if (l->status != DLStatus::Active) continue;
        l->status = DLStatus::Idle;
        l->dirty = true;
        changed = true;
    }
    return changed;
}

void DynamicLayer::writeInfo(StringList& lines) const {
    for (auto it = layers_.rbegin(); it != layers_.rend(); ++it) {
        const DynamicLayerList& l = **it;
        appendListInt(lines, "DynamicLayer.AttrID", l.attrId);
        appendListInt(lines, "DynamicLayer.Area.Left", l.left);
        appendListInt(lines, "DynamicLayer.Area.Top", l.top);
        appendListInt(lines, "DynamicLayer.Area.Width", l.width);
        appendListInt(lines, "DynamicLayer.Area.Height", l.height);
        appendListString(lines, "DynamicLayer.ActiveArea",
                         wordOf(kAreaWords, static_cast<uint8_t>(l.activeArea)));
        appendListString(lines, "DynamicLayer.ActiveMode",
                         wordOf(kModeWords, static_cast<uint8_t>(l.activeMode)));
        appendListString(lines, "DynamicLayer.Focus.BookName", l.focusBook);
        appendListString(lines, "DynamicLayer.Focus.PageName", l.focusPage);
        appendListString(lines, "DynamicLayer.Clickable.BookName", l.clickBook);
        appendListString(lines, "DynamicLayer.Clickable.PageName", l.clickPage);
        appendListBool(lines, "DynamicLayer.Clickable.AutoClear", l.autoClear);
        appendListBool(lines, "DynamicLayer.Clickable.Cursor", l.cursor);
        appendListString(lines, "DynamicLayer.Clickable.PageChange",
                         wordOf(kPageChangeWords, static_cast<uint8_t>(l.pageChange)));
        appendListString(lines, "DynamicLayer.Image.FileName", l.imageFile);
        appendListInt(lines, "DynamicLayer.Image.AnimeCount", l.animeCount);
        appendListInt(lines, "DynamicLayer.Image.DivideCount", l.divideCount);
        appendListInt(lines, "DynamicLayer.ImageIndex.Disable", l.indexDisable);
        appendListInt(lines, "DynamicLayer.ImageIndex.Enable", l.indexEnable);
        appendListInt(lines, "DynamicLayer.ImageIndex.Active", l.indexActive);
        appendListInt(lines, "DynamicLayer.ImageIndex.Click", l.indexClick);
        appendListString(lines, "DynamicLayer.Image.AnimeType",
                         wordOf(kAnimeWords, static_cast<uint8_t>(l.animeType)));
        appendListString(lines, "DynamicLayer.Text.Text", l.text);
        appendListString(lines, "DynamicLayer.Text.FontName", l.fontName);
        appendListInt(lines, "DynamicLayer.Text.FontSize", l.fontSize);
        appendListInt(lines, "DynamicLayer.Text.FontDPI", l.fontDpi);
        appendListString(lines, "DynamicLayer.Text.FontColor", colorToText(l.fontColor));
        appendListString(lines, "DynamicLayer.Status",
                         wordOf(kStatusWords, static_cast<uint8_t>(l.status)));
        appendListInt(lines, "DynamicLayer.AnimeIndex", l.animeIndex);
        appendListInt(lines, "DynamicLayer.FocusIndex", l.rowIndex);
        lines.emplace_back(kBorder);
    }
}

std::vector<std::unique_ptr<DynamicLayerList>> readDynamicLayerInfo(
    const StringList& lines, platform::FontEngine& fonts,
    const std::function<bool(const std::string&, Surface&)>& loadImage, int32_t* failed) {
    std::vector<std::unique_ptr<DynamicLayerList>> result;
    if (failed) *failed = 0;
    StringList block;
    for (const std::string& line : lines) {
        if (line != kBorder) {
            block.push_back(line);
            continue;
        }
        auto l = std::make_unique<DynamicLayerList>();
        l->attrId = readListInt(block, "DynamicLayer.AttrID", 0);
        if (l->attrId >= dynamic_ids::kTransientFirst && l->attrId <= dynamic_ids::kTransientLast) {
            block.clear();
            continue;
        }
        l->left = readListInt(block, "DynamicLayer.Area.Left", 0);
        l->top = readListInt(block, "DynamicLayer.Area.Top", 0);
        l->width = readListInt(block, "DynamicLayer.Area.Width", 0);
        l->height = readListInt(block, "DynamicLayer.Area.Height", 0);
        l->activeArea =
            readWord<DLActiveArea>(block, "DynamicLayer.ActiveArea", "None", kAreaWords);
        l->activeMode =
            readWord<DLActiveMode>(block, "DynamicLayer.ActiveMode", "Disable", kModeWords);
        l->focusBook = readListString(block, "DynamicLayer.Focus.BookName", "");
        l->focusPage = readListString(block, "DynamicLayer.Focus.PageName", "");
        l->clickBook = readListString(block, "DynamicLayer.Clickable.BookName", "");
        l->clickPage = readListString(block, "DynamicLayer.Clickable.PageName", "");
        l->autoClear = readListBool(block, "DynamicLayer.Clickable.AutoClear", false);
        l->cursor = readListBool(block, "DynamicLayer.Clickable.Cursor", true);
        l->pageChange = readWord<DLPageChange>(block, "DynamicLayer.Clickable.PageChange", "Move",
                                               kPageChangeWords);
        l->imageFile = readListString(block, "DynamicLayer.Image.FileName", "");
        l->animeCount = readListInt(block, "DynamicLayer.Image.AnimeCount", 1);
        l->divideCount = readListInt(block, "DynamicLayer.Image.DivideCount", 1);
        l->indexDisable = readListInt(block, "DynamicLayer.ImageIndex.Disable", 0);
        l->indexEnable = readListInt(block, "DynamicLayer.ImageIndex.Enable", 0);
        l->indexActive = readListInt(block, "DynamicLayer.ImageIndex.Active", 0);
        l->indexClick = readListInt(block, "DynamicLayer.ImageIndex.Click", 0);
        l->animeType =
            readWord<DLAnimeType>(block, "DynamicLayer.Image.AnimeType", "None", kAnimeWords);
        l->text = readListString(block, "DynamicLayer.Text.Text", "");
        l->fontName =
            readListString(block, "DynamicLayer.Text.FontName", texts::kDefaultSystemFont);
        l->fontSize = readListInt(block, "DynamicLayer.Text.FontSize", 16);
        l->fontDpi = readListInt(block, "DynamicLayer.Text.FontDPI", 96);
        uint32_t color = 0;
        if (!colorFromText(readListString(block, "DynamicLayer.Text.FontColor", "clBlack"), color))
            color = 0;
        l->fontColor = color;
        l->status = readWord<DLStatus>(block, "DynamicLayer.Status", "Idle", kStatusWords);
        l->animeIndex = readListInt(block, "DynamicLayer.AnimeIndex", 0);
        l->rowIndex = readListInt(block, "DynamicLayer.FocusIndex", 0);
        block.clear();

        Surface image;
        bool haveImage = !l->imageFile.empty() && loadImage && loadImage(l->imageFile, image);
        if (l->build(haveImage ? &image : nullptr, fonts)) {
            result.push_back(std::move(l));
        } else if (failed) {
            ++*failed;
        }
    }
    return result;
}

}  // namespace zarvo
