#include "check/block_probe.hpp"

#include <string_view>

#include "base/text.hpp"
#include "platform/recording_dialogs.hpp"
#include "player/notices.hpp"
#include "script/script_file.hpp"

namespace zarvo {
namespace {

// A script reader whose complaints come out as the boxes the player would show.
struct Probe {
    platform::RecordingDialogs dialogs;
    Notices notices{dialogs};
    ScriptFile file{notices};
};

// Indexes `text` with the probe's script reader; true with the first message when it complains.
bool indexComplains(std::string_view text, Probe& probe, std::string* message) {
    platform::RecordingDialogs& dialogs = probe.dialogs;
    dialogs.clear();
    probe.file.loadFromStream(text);
    if (dialogs.shown().empty()) return false;
    if (message) *message = dialogs.shown().front().text;
    return true;
}

}  // namespace

BlockFault findBlockFault(const StringList& lines) {
    BlockFault fault;
    std::string text;
    std::vector<size_t> ends;  // ends[k]: size of the text of the first k + 1 lines
    ends.reserve(lines.size());
    for (const std::string& line : lines) {
        text.append(line).append("\r\n");
        ends.push_back(text.size());
    }
    Probe probe;
    if (!indexComplains(text, probe, &fault.text)) return fault;
    // The build stops at the faulty line whatever follows it, so the shortest run of leading
    // lines that still makes it complain ends with that line.
    size_t ok = 0, bad = lines.size();  // counts of leading lines: clean, complaining
    while (bad - ok > 1) {
        size_t mid = ok + (bad - ok) / 2;
        if (indexComplains(std::string_view(text).substr(0, ends[mid - 1]), probe, nullptr))
            bad = mid;
        else
            ok = mid;
    }
    fault.line = static_cast<int32_t>(bad - 1);
    return fault;
}

std::vector<OpenBlock> findOpenBlocks(const StringList& lines) {
    std::vector<OpenBlock> open;
    std::string text = joinLines(lines);
    Probe probe;
    const ScriptFile& file = probe.file;
    for (std::string_view kind : {"Head", "Book", "Page"}) {
        // An end marker after the last line closes a block of that kind only when one is open;
        // its index entry, appended last, tells where the block starts.
        std::string closed = text;
        closed.append("<").append(kind).append(" End>\r\n");
        if (indexComplains(closed, probe, nullptr) || file.index().empty()) continue;
        std::string_view entry = file.index().back();
        std::string_view range = entry.substr(entry.rfind(':') + 1);
        int32_t start = parseInt(range.substr(0, range.find(',')), -1);
        if (start >= 0) open.push_back({std::string(kind), start});
    }
    return open;
}

}  // namespace zarvo
