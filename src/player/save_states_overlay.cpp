#include "player/save_states_overlay.hpp"

#include <algorithm>
#include <utility>

#include "base/sjis.hpp"
#include "graphics/surface.hpp"
#include "platform/font_engine.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

namespace keys = platform::keys;
using platform::PadButton;

namespace {

// Pixel words (0x00RRGGBB), the settings menu's colours.
constexpr uint32_t kPanel = 0x1A2238, kBar = 0x3C5A9A, kBorder = 0xA0B4DC, kText = 0xFFFFFF,
                   kTitle = 0xFFE08A, kDimText = 0xC8D0E0, kEmpty = 0x2A3450, kAsk = 0x8A2A2A;
constexpr int kColumns = 3;

void fill(Surface& s, int x, int y, int w, int h, uint32_t pixel) {
    s.fillRect(x, y, w, h, pixelToColor(pixel));
}

// As much of `sjis` as fits `width` pixels.
std::string fitted(platform::FontEngine& fonts, const platform::FontSpec& font,
                   const std::string& sjis, int width) {
    if (fonts.measure(font, sjis).cx <= width) return sjis;
    std::string out;
    for (size_t i = 0; i < sjis.size();) {
        const size_t n = charLength(sjis, i);
        if (fonts.measure(font, out + sjis.substr(i, n) + "..").cx > width) break;
        out += sjis.substr(i, n);
        i += n;
    }
    return out + "..";
}

}  // namespace

SaveStatesOverlay::SaveStatesOverlay(Actions actions, platform::FontEngine* fonts, std::string face,
                                     MenuLanguage language)
    : actions_(std::move(actions)), fonts_(fonts), face_(std::move(face)), language_(language) {}

std::string SaveStatesOverlay::text(std::string_view japanese, std::string_view english) const {
    return std::string(language_ == MenuLanguage::English ? english : japanese);
}

void SaveStatesOverlay::open(Mode mode) {
    mode_ = mode;
    asking_ = false;
    reload();
    if (open_) return;
    open_ = true;
    if (actions_.openChange) actions_.openChange(true);
}

void SaveStatesOverlay::close() {
    if (!open_) return;
    open_ = false;
    asking_ = false;
    if (actions_.openChange) actions_.openChange(false);
}

void SaveStatesOverlay::reload() {
    for (int i = 0; i < kPerPage; ++i)
        slots_[static_cast<size_t>(i)] = actions_.slot(page_ * kPerPage + i + 1);
}

void SaveStatesOverlay::turn(int pages) {
    page_ = ((page_ + pages) % kPages + kPages) % kPages;
    asking_ = false;
    reload();
}

void SaveStatesOverlay::move(int dx, int dy) {
    if (asking_) return;
    int column = cell_ % kColumns + dx, row = cell_ / kColumns + dy;
    const int rows = kPerPage / kColumns;
    if (column < 0 || column >= kColumns) {
        turn(column < 0 ? -1 : 1);
        column = column < 0 ? kColumns - 1 : 0;
    }
    row = (row % rows + rows) % rows;
    cell_ = row * kColumns + column;
}

void SaveStatesOverlay::act() {
    const SaveStates::Slot& slot = slots_[static_cast<size_t>(cell_)];
    const bool asks = (mode_ == Mode::Save && slot.used) || (mode_ == Mode::Delete && slot.used);
    if (!asking_ && asks) {
        asking_ = true;
        return;
    }
    asking_ = false;
    const int number = selectedSlot();
    switch (mode_) {
        case Mode::Save:
            actions_.save(number);
            break;
        case Mode::Load:
            // A loaded state goes straight back to the story.
            if (slot.used && actions_.load(number)) {
                close();
                return;
            }
            break;
        case Mode::Delete:
            if (slot.used) actions_.remove(number);
            break;
    }
    reload();
}

void SaveStatesOverlay::answer(bool yes) {
    if (yes)
        act();
    else
        asking_ = false;
}

void SaveStatesOverlay::draw(Surface& frame) {
    const int w = frame.width(), h = frame.height();
    for (int y = 0; y < h; ++y) {
        uint32_t* p = frame.row(y);
        for (int x = 0; x < w; ++x) p[x] = (p[x] >> 1) & 0x7F7F7F;
    }
    const int panelWidth = std::min(w - 16, 620), panelHeight = std::min(h - 16, 460);
    const int left = (w - panelWidth) / 2, top = (h - panelHeight) / 2;
    fill(frame, left - 1, top - 1, panelWidth + 2, panelHeight + 2, kBorder);
    fill(frame, left, top, panelWidth, panelHeight, kPanel);
    const int line = std::clamp(panelHeight / 24, 8, 18);
    tabHeight_ = line + 8;
    tabsTop_ = top + 6;
    tabWidth_ = std::min(90, panelWidth / 6);
    tabsLeft_ = left + panelWidth - 3 * tabWidth_ - 8;
    for (int i = 0; i < 3; ++i)
        fill(frame, tabsLeft_ + i * tabWidth_ + 2, tabsTop_, tabWidth_ - 4, tabHeight_,
             i == static_cast<int>(mode_) ? kBar : kEmpty);
    gridLeft_ = left + 8;
    gridTop_ = tabsTop_ + tabHeight_ + 8;
    cellWidth_ = (panelWidth - 16) / kColumns;
    cellHeight_ = (top + panelHeight - line - 12 - gridTop_) / (kPerPage / kColumns);
    const int thumbW = std::min(SaveStates::kThumbnailWidth, cellWidth_ - 12);
    const int thumbH = std::min(SaveStates::kThumbnailHeight, cellHeight_ - 2 * line - 16);
    for (int i = 0; i < kPerPage; ++i) {
        const int x = gridLeft_ + (i % kColumns) * cellWidth_,
                  y = gridTop_ + (i / kColumns) * cellHeight_;
        fill(frame, x + 2, y + 2, cellWidth_ - 4, cellHeight_ - 4, i == cell_ ? kBar : kEmpty);
        const SaveStates::Slot& slot = slots_[static_cast<size_t>(i)];
        if (slot.readable && slot.thumbnail.width > 0 && thumbW > 0 && thumbH > 0) {
            Surface thumbnail;
            thumbnail.assignPicture(slot.thumbnail);
            thumbnail.copyTo(frame, x + (cellWidth_ - thumbW) / 2, y + 6, thumbW, thumbH, 0, 0);
        } else if (thumbW > 0 && thumbH > 0) {
            fill(frame, x + (cellWidth_ - thumbW) / 2, y + 6, thumbW, thumbH, kPanel);
        }
    }
    if (asking_) {
        const int x = gridLeft_ + (cell_ % kColumns) * cellWidth_;
        const int y = gridTop_ + (cell_ / kColumns) * cellHeight_ + thumbH + 8;
        fill(frame, x + 2, y, cellWidth_ - 4, cellHeight_ - thumbH - 12, kAsk);
    }
    if (!fonts_) return;
    platform::GlyphTarget target{frame.row(0), w, nullptr, 0, w, h};
    const platform::FontSpec big{face_, line, false, false};
    const platform::FontSpec small{face_, std::max(6, line * 3 / 4), false, false};
    const std::string title = text(texts::kStatesTitle, texts::kStatesTitleEn) + "  " +
                              text(texts::kStatesPage, texts::kStatesPageEn) + " " +
                              std::to_string(page_ + 1) + "/" + std::to_string(kPages);
    fonts_->draw(big, title, left + 12, tabsTop_ + 4, kTitle, target);
    const std::string tabs[3] = {text(texts::kStatesSave, texts::kStatesSaveEn),
                                 text(texts::kStatesLoad, texts::kStatesLoadEn),
                                 text(texts::kStatesDelete, texts::kStatesDeleteEn)};
    for (int i = 0; i < 3; ++i)
        fonts_->draw(big, tabs[i], tabsLeft_ + i * tabWidth_ + 10, tabsTop_ + 4,
                     i == static_cast<int>(mode_) ? kText : kDimText, target);
    for (int i = 0; i < kPerPage; ++i) {
        const int x = gridLeft_ + (i % kColumns) * cellWidth_ + 8;
        const int y = gridTop_ + (i / kColumns) * cellHeight_ + thumbH + 10;
        const SaveStates::Slot& slot = slots_[static_cast<size_t>(i)];
        const int number = page_ * kPerPage + i + 1;
        std::string head = std::to_string(number) + "  ";
        if (!slot.used)
            head += text(texts::kStatesSlotEmpty, texts::kStatesSlotEmptyEn);
        else if (!slot.readable)
            head += text(texts::kStatesSlotUnreadable, texts::kStatesSlotUnreadableEn);
        else
            head += slot.date;
        const int room = cellWidth_ - 16;
        if (!(asking_ && i == cell_))
            fonts_->draw(small, fitted(*fonts_, small, head, room), x, y, kText, target);
        if (asking_ && i == cell_) {
            const std::string ask =
                mode_ == Mode::Save ? text(texts::kStatesAskOverwrite, texts::kStatesAskOverwriteEn)
                                    : text(texts::kStatesAskDelete, texts::kStatesAskDeleteEn);
            fonts_->draw(small, fitted(*fonts_, small, ask, room), x, y, kTitle, target);
            // The answers a line each: side by side they do not fit a cell in Japanese.
            const std::string yes = "Enter/Y: " + text(texts::kStatesYes, texts::kStatesYesEn);
            const std::string no = "Esc/N: " + text(texts::kStatesNo, texts::kStatesNoEn);
            fonts_->draw(small, fitted(*fonts_, small, yes, room), x, y + line, kText, target);
            fonts_->draw(small, fitted(*fonts_, small, no, room), x, y + 2 * line, kText, target);
            continue;
        }
        if (slot.readable)
            fonts_->draw(small, fitted(*fonts_, small, slot.message, room), x, y + line, kDimText,
                         target);
    }
    footerLeft_ = left + 12;
    footerTop_ = top + panelHeight - line - 4;
    footerWidth_ = panelWidth - 24;
    line_ = line;
    fonts_->draw(
        small, fitted(*fonts_, small, text(texts::kStatesHelp, texts::kStatesHelpEn), footerWidth_),
        footerLeft_, footerTop_, kDimText, target);
}

bool SaveStatesOverlay::drawNotice(Surface& frame, const std::string& sjisText) {
    if (!fonts_ || footerWidth_ <= 0) return false;
    // A bar over the help line, which is back when the notice goes.
    fill(frame, footerLeft_ - 8, footerTop_ - 2, footerWidth_ + 16, line_ + 4, kBar);
    const platform::FontSpec font{face_, std::max(6, line_ * 3 / 4), false, false};
    platform::GlyphTarget target{frame.row(0),  frame.width(), nullptr, 0,
                                 frame.width(), frame.height()};
    fonts_->draw(font, fitted(*fonts_, font, sjisText, footerWidth_), footerLeft_, footerTop_,
                 kText, target);
    return true;
}

int SaveStatesOverlay::cellAt(int x, int y, int& tab) const {
    tab = -1;
    if (y >= tabsTop_ && y < tabsTop_ + tabHeight_ && x >= tabsLeft_ &&
        x < tabsLeft_ + 3 * tabWidth_) {
        tab = (x - tabsLeft_) / tabWidth_;
        return -2;
    }
    if (x < gridLeft_ || y < gridTop_) return -1;
    const int column = (x - gridLeft_) / cellWidth_, row = (y - gridTop_) / cellHeight_;
    if (column >= kColumns || row >= kPerPage / kColumns) return -1;
    return row * kColumns + column;
}

void SaveStatesOverlay::onKeyDown(int key) {
    if (asking_) {
        if (key == keys::kEnter || key == keys::kA + ('y' - 'a')) answer(true);
        if (key == keys::kEscape || key == keys::kA + ('n' - 'a')) answer(false);
        return;
    }
    switch (key) {
        case keys::kEscape:
        case keys::kF2:
            close();
            return;
        case keys::kLeft:
            move(-1, 0);
            return;
        case keys::kRight:
            move(1, 0);
            return;
        case keys::kUp:
            move(0, -1);
            return;
        case keys::kDown:
            move(0, 1);
            return;
        case keys::kPageUp:
            turn(-1);
            return;
        case keys::kPageDown:
            turn(1);
            return;
        case keys::kTab:
            mode_ = static_cast<Mode>((static_cast<int>(mode_) + 1) % 3);
            return;
        case keys::kEnter:
        case keys::kSpace:
            act();
            return;
        default:
            return;
    }
}

void SaveStatesOverlay::onMouseDown(platform::MouseButton button, int x, int y) {
    if (button == platform::MouseButton::Right) {
        if (asking_)
            answer(false);
        else
            close();
        return;
    }
    if (button != platform::MouseButton::Left) return;
    int tab;
    const int cell = cellAt(x, y, tab);
    if (cell == -2) {
        asking_ = false;
        mode_ = static_cast<Mode>(tab);
        return;
    }
    if (cell < 0) return;
    // A click on the asking slot answers yes; one elsewhere answers no and chooses that slot.
    if (asking_ && cell != cell_) asking_ = false;
    cell_ = cell;
    act();
}

void SaveStatesOverlay::onMouseMove(int x, int y) {
    int tab;
    const int cell = cellAt(x, y, tab);
    if (cell >= 0 && !asking_) cell_ = cell;
}

void SaveStatesOverlay::onWheel(int steps) {
    turn(-steps);
}

void SaveStatesOverlay::onPadButton(PadButton button, bool down) {
    if (!down) return;
    if (asking_) {
        if (button == PadButton::A) answer(true);
        if (button == PadButton::B || button == PadButton::Back) answer(false);
        return;
    }
    switch (button) {
        case PadButton::B:
        case PadButton::Back:
        case PadButton::Start:
            close();
            return;
        case PadButton::Up:
            move(0, -1);
            return;
        case PadButton::Down:
            move(0, 1);
            return;
        case PadButton::Left:
            move(-1, 0);
            return;
        case PadButton::Right:
            move(1, 0);
            return;
        case PadButton::LeftShoulder:
            turn(-1);
            return;
        case PadButton::RightShoulder:
            turn(1);
            return;
        case PadButton::X:
            mode_ = static_cast<Mode>((static_cast<int>(mode_) + 1) % 3);
            return;
        case PadButton::A:
            act();
            return;
        default:
            return;
    }
}

}  // namespace zarvo
