// Message text layout with its inline tags (size, style, colour, speed, waits, line and page
// breaks) on arbitrary bytes: the first bytes choose the surface and the limits, the rest is
// the text. The layout keeps the surface it was given, its reveal steps stay within their
// capacity and end, and what did not fit is kept for the next page.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "graphics/surface.hpp"
#include "graphics/text_layout.hpp"
#include "support/box_font_engine.hpp"

using namespace zarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static test::BoxFontEngine fonts;
    fonts.calls.clear();
    const int32_t width = 1 + data[0] * 3, height = 1 + data[1] * 2;
    const bool sized = data[2] & 1;
    std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

    TextLayout layout;
    layout.font.name = "Box";
    layout.text = text;
    Surface target;
    target.setSize(width, height);
    const int32_t laid = sized ? layout.drawSized(target, fonts, width, (data[2] >> 1) * 4)
                               : layout.draw(target, fonts);
    if (laid < 0 || layout.revealCount() > TextLayout::kRevealCapacity + 64) std::abort();
    if (!sized && (target.width() != width || target.height() != height)) std::abort();
    int steps = 0;
    for (RevealStep step = layout.nextRevealStep(); step.op != RevealOp::End;
         step = layout.nextRevealStep()) {
        if (++steps > layout.revealCount()) std::abort();  // the steps must end
    }
    return 0;
}
