#include "script/command_cache.hpp"

#include <algorithm>

#include "base/name_value.hpp"
#include "base/text.hpp"
#include "platform/notice_sink.hpp"
#include "script/script_file.hpp"

namespace zarvo {

namespace {

// A page's line `i`, or "" when the page (as found now) has no such line: the script may have
// been reloaded since the cache was built.
const std::string& pageLine(const ScriptFile& file, int32_t start, int32_t end, int32_t i) {
    static const std::string empty;
    if (i < 0 || i >= end - start - 1) return empty;
    return file.lineAt(start + 1 + i);
}

}  // namespace

std::string Command::getParamText(std::string_view name, std::string_view fallback) const {
    return readListString(params, name, fallback);
}

int32_t Command::getParamValue(std::string_view name, int32_t fallback) const {
    return readListInt(params, name, fallback);
}

bool Command::getParamFlag(std::string_view name, bool fallback) const {
    return readListBool(params, name, fallback);
}

void CommandCache::setBookName(std::string_view name) {
    if (name == bookName_) return;
    bookName_ = name;
    needsRebuild_ = true;
}

void CommandCache::setPageName(std::string_view name) {
    if (name == pageName_) return;
    pageName_ = name;
    needsRebuild_ = true;
}

void CommandCache::makeCommandCache() {
    int32_t start = 0, end = 0;
    int32_t n = 0;
    if (file_.findPage(bookName_, pageName_, start, end)) n = end - start - 1;
    int32_t c = 0;
    int32_t depth = 0;
    for (int32_t i = 0; i < n; ++i) {
        std::string_view t = trimBlanks(pageLine(file_, start, end, i));
        if (t.empty() || t[0] != '@') continue;
        if (c == kMaxCommands) {
            notices_.tell(platform::Notice::TooManyCommands);
            // The entries now hold part of this page, so none of them may run; the cache stays
            // invalid and the next query reports the page again.
            count_ = 0;
            return;
        }
        Entry& e = entries_[static_cast<size_t>(c)];
        e.line = i;
        e.type = commandTypeOf(t);
        switch (e.type) {
            case CommandType::If:
                e.level = depth++;
                break;
            case CommandType::Else:
                e.level = depth - 1;
                break;
            case CommandType::EndIf:
                e.level = --depth;
                break;
            default:
                e.level = depth;
                break;
        }
        ++c;
    }
    count_ = c;
    needsRebuild_ = false;
}

int32_t CommandCache::commandCount() {
    rebuildIfNeeded();
    return count_;
}

int32_t CommandCache::getCommandLevel(int32_t index) {
    rebuildIfNeeded();
    if (index < 0 || index >= count_) return -1;
    return entries_[static_cast<size_t>(index)].level;
}

bool CommandCache::getCommand(int32_t index, Command& command) {
    rebuildIfNeeded();
    if (index < 0 || index >= count_) return false;
    int32_t start = 0, end = 0;
    if (!file_.findPage(bookName_, pageName_, start, end)) start = end = 0;
    const Entry& e = entries_[static_cast<size_t>(index)];
    // The type is read from the line as it is now, like the parameters.
    command.keyword = trimBlanks(pageLine(file_, start, end, e.line));
    command.type = commandTypeOf(command.keyword);
    command.line = e.line;
    command.level = e.level;
    // This runs for every command: the lines are assigned over the previous command's, and the
    // strings a shorter command leaves over wait in spareLines_, so their buffers serve again.
    const int32_t first = index == 0 ? 0 : entries_[static_cast<size_t>(index) - 1].line + 1;
    const auto n = static_cast<size_t>(std::max(e.line - first, 0));
    StringList& params = command.params;
    while (params.size() > n) {
        spareLines_.push_back(std::move(params.back()));
        params.pop_back();
    }
    while (params.size() < n && !spareLines_.empty()) {
        params.push_back(std::move(spareLines_.back()));
        spareLines_.pop_back();
    }
    params.resize(n);
    for (size_t i = 0; i < n; ++i)
        params[i] = pageLine(file_, start, end, first + static_cast<int32_t>(i));
    return true;
}

}  // namespace zarvo
