// Message text layout: a measuring pass fixes the lines that fit, a drawing pass draws them onto
// a surface with the font engine it is given and records the reveal steps the message display
// replays. Inline tags change the size, style, colour, reveal speed and waits.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/font_engine.hpp"

namespace zarvo {

class Surface;

// Reveal step op codes recorded by the text layout.
enum class RevealOp : int32_t {
    End = 0,
    SetTop = 1,
    SetLeft = 2,
    SetWidth = 3,
    SetHeight = 4,
    Char = 5,
    SpeedNormal = 7,
    SpeedFast = 8,
    SpeedSlow = 9,
    ShowKeyMarker = 10,
    HideKeyMarker = 11,
    ShowPageMarker = 12,
    HidePageMarker = 13,
    KeyWait = 14,
    PageWait = 15,
    TimedWait = 16,
    NextPage = 17,
};

struct FontStatus {
    std::string name;   // face, code page 932
    int32_t size = 10;  // points
    int32_t dpi = 96;
    uint32_t color = 0;  // platform colour 0x00BBGGRR
    bool bold = false;
    bool italic = false;
};

struct RevealStep {
    RevealOp op = RevealOp::End;
    int32_t value = 0;
    int32_t stepX = 0, stepY = 0, stepHeight = 0, stepWidth = 0, stepSpeed = 60;
};

class TextLayout {
  public:
    // A message records at most this many steps; the rest of a very long page shows at once, and
    // the page break always fits, so the timing of long messages stays as stories know it.
    static constexpr int kRevealCapacity = 4096;
    static constexpr int kMaxLines = 300;

    TextLayout();  // font: the system face, 10 pt, 96 dpi, black

    // Lays the text out on the whole of `target`, white where no text is. Returns the laid-out
    // height; the text keeps what did not fit, behind tags that restore the font.
    int32_t draw(Surface& target, platform::FontEngine& fonts);
    // Lays the text out `width` wide, at most `limit` high (0: no limit), and sizes `target` to it.
    int32_t drawSized(Surface& target, platform::FontEngine& fonts, int32_t width, int32_t limit);

    RevealStep nextRevealStep();
    void resetReveal();
    int32_t revealCount() const { return static_cast<int32_t>(reveal_.size()); }
    std::pair<RevealOp, int32_t> revealEntry(int i) const {
        return {reveal_[static_cast<size_t>(i)].op, reveal_[static_cast<size_t>(i)].value};
    }

    // How much of layoutText the reveal has shown (bytes, tags included): up to the step it is
    // at; the page's whole text once the reveal ended, or when it has not begun.
    size_t shownBytes() const;

    // Where each line of the last layout begins in layoutText (byte offsets).
    const std::vector<size_t>& lineStarts() const { return lineStarts_; }

    // What the layout keeps beyond its public fields (the reveal and where it stands), for the
    // player's save states: a message restored mid-reveal types on from the same character.
    struct State {
        FontStatus font;
        std::vector<std::array<int32_t, 3>> reveal;  // op, value, end in layoutText
        std::vector<size_t> lineStarts;
        size_t revealPos = 0;
        uint32_t recordEnd = 0;
        size_t pageEnd = 0;
        RevealStep step;
        bool lineStuck = false, colorNumeric = false;
    };
    State state() const;
    // True when `state` fits this layout's text: steps of known kinds, positions inside it.
    bool fits(const State& state) const;
    void setState(const State& state);

    std::string text;        // to lay out; after a page overflow, the rest
    std::string layoutText;  // the text as the last layout began
    FontStatus font;
    // Japanese line breaking: closing punctuation, closing brackets and small kana never begin
    // a line (the one that does not fit hangs past the right edge instead), and opening
    // brackets never end one.
    bool lineBreakRules = true;
    // Where lines break in draw(); 0: at the target's width. Room past it takes hanging
    // punctuation.
    int32_t wrapWidth = 0;

  private:
    struct RevealEntry {
        RevealOp op = RevealOp::End;
        int32_t value = 0;
        uint32_t textEnd = 0;  // layoutText up to here is shown once this step is
    };
    void record(RevealOp op, int32_t value);
    int32_t layOutLine(Surface& target, platform::FontEngine& fonts, std::string& s, int32_t width,
                       int32_t bottom, bool drawing);
    void applyTag(std::string_view tag, bool drawing);
    void resetTextState();
    // Both passes of draw / drawSized (sized: the target takes the laid-out height).
    int32_t layOut(Surface& target, platform::FontEngine& fonts, int32_t width, int32_t limit,
                   bool sized);

    FontStatus cur_;
    std::vector<RevealEntry> reveal_;
    std::vector<size_t> lineStarts_;
    size_t revealPos_ = 0;
    uint32_t recordEnd_ = 0;  // textEnd of the steps recorded next
    size_t pageEnd_ = 0;      // the bytes of layoutText the last layout placed
    RevealStep step_;
    bool lineStuck_ = false;        // the last line ended before even one character fitted
    bool curColorNumeric_ = false;  // the current colour was set by a "0x" tag
};

// What lays text out when no font engine is there: fixed widths (full-width characters as wide
// as high, others half), so layout and reveal timing go on, and nothing is drawn.
class FixedWidthFontEngine final : public platform::FontEngine {
  public:
    StringList faces() override { return {}; }
    bool hasFace(std::string_view) override { return false; }
    platform::TextExtent measure(const platform::FontSpec& font, std::string_view text) override;
    void draw(const platform::FontSpec&, std::string_view, int, int, uint32_t,
              const platform::GlyphTarget&) override {}
};

// The colour table of text tags and settings: "clBlack" ... and "0x" hexadecimal. False when the
// text is neither a known name nor a valid number.
bool colorFromText(std::string_view text, uint32_t& color);
// The name of a colour in the table, or "0x" and eight lower-case hex digits.
std::string colorToText(uint32_t color);

}  // namespace zarvo
