#include "player/run_trace.hpp"

#include "base/sjis.hpp"
#include "player/player.hpp"
#include "script/variables.hpp"

namespace zarvo {
namespace {

// Dialog texts on one line: every line break written as \n.
std::string oneLine(std::string_view sjis) {
    std::string utf8 = sjisToUtf8(sjis);
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' || utf8[i] == '\n') {
            out += "\\n";
            if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

}  // namespace

void RunTrace::follow(Player& main) {
    if (!out_) return;
    main.onCommand = [this](const std::string& book, const std::string& page, int32_t index,
                            const Command& command) {
        *out_ << now_() << ' ' << sjisToUtf8(book) << '/' << sjisToUtf8(page) << '#' << index << ' '
              << sjisToUtf8(command.keyword) << '\n';
    };
    main.onPlayerEvent = [this](const std::string& what) {
        *out_ << now_() << " player " << what << '\n';
    };
    main.onCursorChange = [this](platform::Cursor cursor) {
        *out_ << now_() << " cursor " << (cursor == platform::Cursor::Select ? "select" : "default")
              << '\n';
    };
}

std::string RunTrace::boxLine(const platform::ShownBox& box) const {
    return std::to_string(now_()) + " box " + std::string(platform::boxKindName(box.kind)) + ": " +
           oneLine(box.text);
}

void RunTrace::box(const platform::ShownBox& box) {
    if (out_) *out_ << boxLine(box) << '\n';
}

bool writeVariableDump(std::ostream& out, const Variables& variables) {
    for (const auto& [isText, line] : variables.linesInSetOrder()) {
        size_t eq = line.find('=');
        std::string name = sjisToUtf8(line.substr(0, eq));
        std::string value = sjisToUtf8(line.substr(eq + 1));
        char sign = isText ? '$' : '%';
        out << sign << name << sign << '=' << value << '\n';
    }
    return static_cast<bool>(out);
}

}  // namespace zarvo
