// The screen's part of a save file: the layers of window 0, its dynamic layers and, in legacy
// mode, the bottom layer's picture, where drawings were merged.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/name_value.hpp"
#include "base/save_container.hpp"
#include "base/text.hpp"
#include "formats/bmp.hpp"
#include "graphics/screen.hpp"

namespace zarvo {
namespace {

constexpr std::string_view kLayerSection = "layer.info";
constexpr std::string_view kDynamicSection = "dynamiclayer.info";
constexpr std::string_view kBackgroundSection = "_background.bmp";
constexpr std::string_view kBorder = "@LayerBorder";

// A larger background in a save comes from damage, not from a story: no screen is that big, and
// restoring one would allocate a picture of gigabytes. Layer sizes are any a story may set: the
// surfaces refuse sizes they cannot hold, as they do while the story runs.
constexpr int32_t kMaxSavedSide = 8192;

// How the numbers of a block are checked.
struct NumberRule {
    std::string_view key;
    int32_t min, max;
};

constexpr int32_t kAny = INT32_MIN, kAnyMax = INT32_MAX;

constexpr std::array kLayerRules{
    NumberRule{"Layer.Visible", kAny, kAnyMax},     NumberRule{"Layer.Pos.Left", kAny, kAnyMax},
    NumberRule{"Layer.Pos.Top", kAny, kAnyMax},     NumberRule{"Layer.Size.Width", kAny, kAnyMax},
    NumberRule{"Layer.Size.Height", kAny, kAnyMax}, NumberRule{"Layer.ViewPos.Left", kAny, kAnyMax},
    NumberRule{"Layer.ViewPos.Top", kAny, kAnyMax}, NumberRule{"Layer.Transparent", kAny, kAnyMax},
    NumberRule{"Layer.Translucent", kAny, kAnyMax},
};

// Every layer that was built has at least one frame and one row: a count below 1 is damage.
constexpr std::array kDynamicRules{
    NumberRule{"DynamicLayer.AttrID", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Area.Left", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Area.Top", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Area.Width", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Area.Height", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Clickable.AutoClear", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Clickable.Cursor", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Image.AnimeCount", 1, kAnyMax},
    NumberRule{"DynamicLayer.Image.DivideCount", 1, kAnyMax},
    NumberRule{"DynamicLayer.ImageIndex.Disable", kAny, kAnyMax},
    NumberRule{"DynamicLayer.ImageIndex.Enable", kAny, kAnyMax},
    NumberRule{"DynamicLayer.ImageIndex.Active", kAny, kAnyMax},
    NumberRule{"DynamicLayer.ImageIndex.Click", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Text.FontSize", kAny, kAnyMax},
    NumberRule{"DynamicLayer.Text.FontDPI", kAny, kAnyMax},
    NumberRule{"DynamicLayer.AnimeIndex", kAny, kAnyMax},
    NumberRule{"DynamicLayer.FocusIndex", kAny, kAnyMax},
};

// Blocks closed by the border line (a section cut short loses its last border), lines of the
// Name=Value form, and numbers that parse and lie in their range.
template <size_t N>
bool blocksAreSound(const StringList& lines, const std::array<NumberRule, N>& rules) {
    if (lines.empty()) return true;
    if (lines.back() != kBorder) return false;
    StringList block;
    for (const std::string& line : lines) {
        if (line != kBorder) {
            if (line.find('=') == std::string::npos) return false;
            block.push_back(line);
            continue;
        }
        for (const NumberRule& rule : rules) {
            std::string_view text;
            if (!findNameValue(block, rule.key, text)) continue;
            int32_t value;
            if (!tryParseInt(text, value) || value < rule.min || value > rule.max) return false;
        }
        block.clear();
    }
    return true;
}

// The next block of `lines` from `pos`, its border consumed; false when no border is left.
bool nextBlock(const StringList& lines, size_t& pos, StringList& block) {
    block.clear();
    for (size_t i = pos; i < lines.size(); ++i) {
        if (lines[i] == kBorder) {
            block.assign(lines.begin() + static_cast<std::ptrdiff_t>(pos),
                         lines.begin() + static_cast<std::ptrdiff_t>(i));
            pos = i + 1;
            return true;
        }
    }
    return false;
}

Picture pictureOf(const Surface& g) {
    Picture p;
    p.width = g.width();
    p.height = g.height();
    p.pixels.reserve(static_cast<size_t>(p.width) * static_cast<size_t>(p.height));
    for (int32_t y = 0; y < p.height; ++y)
        p.pixels.insert(p.pixels.end(), g.row(y), g.row(y) + p.width);
    return p;
}

}  // namespace

bool Screen::saveInfo(SaveContainer& save, bool withBackground) {
    LayerStack* s = screen(0);
    if (!s) return false;
    StringList lines;
    for (int32_t i = 0; i < s->layerCount(); ++i) {
        const Layer& l = *s->layerAt(i);
        appendListString(lines, "Layer.LayerName", l.name);
        appendListBool(lines, "Layer.Visible", l.visible);
        appendListString(lines, "Layer.FileName", l.fileName);
        appendListString(lines, "Layer.Text", l.text.layoutText);
        appendListInt(lines, "Layer.Pos.Left", l.left);
        appendListInt(lines, "Layer.Pos.Top", l.top);
        appendListInt(lines, "Layer.Size.Width", l.width);
        appendListInt(lines, "Layer.Size.Height", l.height);
        appendListInt(lines, "Layer.ViewPos.Left", l.viewLeft);
        appendListInt(lines, "Layer.ViewPos.Top", l.viewTop);
        // Keys of our own at the end of the block: readers of the older form pass over them.
        appendListBool(lines, "Layer.Transparent", l.transparent);
        appendListBool(lines, "Layer.Translucent", l.translucent);
        lines.emplace_back(kBorder);
    }
    bool ok = save.writeSection(kLayerSection, lines);
    // Written also when there are none, so that a load clears what the story shows then.
    StringList dynamic;
    ok = saveDynamicLayerInfo(dynamic) && save.writeSection(kDynamicSection, dynamic) && ok;
    if (withBackground) {
        std::string bmp = encodeBmp(pictureOf(s->layerAt(0)->surface));
        ok = !bmp.empty() && save.writeBytes(kBackgroundSection, bmp) && ok;
    }
    return ok;
}

bool Screen::checkInfo(SaveContainer& save, bool withBackground, std::string& section) {
    StringList lines;
    if (save.readSection(kLayerSection, lines) && !blocksAreSound(lines, kLayerRules)) {
        section = kLayerSection;
        return false;
    }
    lines.clear();
    if (save.readSection(kDynamicSection, lines) && !blocksAreSound(lines, kDynamicRules)) {
        section = kDynamicSection;
        return false;
    }
    std::string bytes;
    if (withBackground && save.readBytes(kBackgroundSection, bytes)) {
        BmpInfo info;
        Picture picture;
        if (!readBmpInfo(bytes, info) || info.width > kMaxSavedSide ||
            info.height > kMaxSavedSide || !decodeBmp(bytes, picture)) {
            section = kBackgroundSection;
            return false;
        }
    }
    return true;
}

bool Screen::loadInfo(SaveContainer& save, bool withBackground) {
    LayerStack* s = screen(0);
    if (!s) return false;
    bool ok = true;
    StringList lines;
    if (save.readSection(kLayerSection, lines)) {
        // Blocks go to the layers by position; a short section leaves the upper layers alone
        // and blocks beyond the stack are ignored.
        size_t pos = 0;
        StringList block;
        for (int32_t i = 0; i < s->layerCount() && nextBlock(lines, pos, block); ++i) {
            Layer& l = *s->layerAt(i);
            l.name = readListString(block, "Layer.LayerName", "");
            l.visible = readListBool(block, "Layer.Visible", false);
            l.fileName = readListString(block, "Layer.FileName", "");
            l.left = readListInt(block, "Layer.Pos.Left", 0);
            l.top = readListInt(block, "Layer.Pos.Top", 0);
            l.width = readListInt(block, "Layer.Size.Width", 10);
            l.height = readListInt(block, "Layer.Size.Height", 10);
            l.viewLeft = readListInt(block, "Layer.ViewPos.Left", 0);
            l.viewTop = readListInt(block, "Layer.ViewPos.Top", 0);
            l.transparent = readListBool(block, "Layer.Transparent", false);
            l.translucent = readListBool(block, "Layer.Translucent", false);
            if (l.name.empty()) continue;  // the bottom layer keeps its picture
            l.fileStamp = 0;
            if (l.fileName.empty())
                drawLayerText(0, l.name, readListString(block, "Layer.Text", ""));
            else if (loadImage(l.surface, l.fileName, l.transparent, l.translucent))
                l.fileStamp = l.surface.stamp();
        }
    } else {
        ok = false;
    }
    // A save without the section had no dynamic layers to keep.
    StringList dynamic;
    save.readSection(kDynamicSection, dynamic);
    ok = loadDynamicLayerInfo(dynamic) && ok;
    if (withBackground) {
        std::string bytes;
        Picture picture;
        if (save.readBytes(kBackgroundSection, bytes) && decodeBmp(bytes, picture))
            s->layerAt(0)->surface.assignPicture(picture);
        else
            ok = false;
    }
    if (ok) {
        compose(0);
        paint(0);
    }
    return ok;
}

}  // namespace zarvo
