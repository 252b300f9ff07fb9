#include "script/script_file.hpp"

#include "base/limits.hpp"
#include "base/text.hpp"
#include "platform/file_system.hpp"
#include "platform/notice_sink.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

namespace {

enum class LineKind { Content, Start, End, Unknown };
enum class BlockKind { None, Head, Book, Page };

BlockKind blockKindOf(std::string_view word) {
    if (word == "Head") return BlockKind::Head;
    if (word == "Book") return BlockKind::Book;
    if (word == "Page") return BlockKind::Page;
    return BlockKind::None;
}

// Markers are recognised on the trimmed line; the kind is the word after "<" up to the first "="
// (start markers) or the first space (end markers, whose rest is free text).
LineKind classify(std::string_view line, BlockKind& kind) {
    std::string_view t = trimBlanks(line);
    if (t.empty() || t[0] != '<') return LineKind::Content;
    size_t eq = t.find('=');
    if (eq != std::string_view::npos) {
        kind = blockKindOf(t.substr(1, eq - 1));
        return kind == BlockKind::None ? LineKind::Unknown : LineKind::Start;
    }
    size_t sp = t.find(' ');
    kind = sp == std::string_view::npos ? BlockKind::None : blockKindOf(t.substr(1, sp - 1));
    return kind == BlockKind::None ? LineKind::Unknown : LineKind::End;
}

// Name of a start marker, read from the untrimmed line: after the first "=", before the first
// ">", and inside double quotes when there are any.
std::string_view markerName(std::string_view line) {
    std::string_view s = line.substr(line.find('=') + 1);
    size_t gt = s.find('>');
    if (gt == std::string_view::npos) return {};
    s = s.substr(0, gt);
    size_t q = s.find('"');
    if (q != std::string_view::npos) {
        s = s.substr(q + 1);
        q = s.find('"');
        if (q != std::string_view::npos) s = s.substr(0, q);
    }
    return s;
}

void appendEntry(StringList& index, std::string_view name, std::string_view suffix, int32_t start,
                 int32_t end) {
    std::string e;
    e.reserve(name.size() + suffix.size() + 24);
    e.append(name)
        .append(suffix)
        .append(std::to_string(start))
        .append(",")
        .append(std::to_string(end));
    index.push_back(std::move(e));
}

const std::string kEmpty;

}  // namespace

ScriptFile::ScriptFile(platform::NoticeSink& notices) : notices_(notices) {
    newScript();
}

void ScriptFile::resetCache() {
    lastKey_.clear();
    lastStart_ = -1;
    lastEnd_ = -1;
}

void ScriptFile::newScript() {
    lines_.clear();
    lines_.emplace_back(kBanner);
    lines_.emplace_back(texts::kScriptNotice);
    resetCache();
    needsIndex_ = true;
    buildIndex();
}

bool ScriptFile::loadFromFile(const platform::FileSystem& files, const std::string& path) {
    std::string bytes;
    if (!platform::readFileAtMost(files, path, kMaxTextBytes, bytes)) return false;
    loadFromStream(bytes);
    return true;
}

void ScriptFile::loadFromStream(std::string_view bytes) {
    resetCache();
    needsIndex_ = true;
    lines_ = splitLines(bytes);
    buildIndex();
}

void ScriptFile::reportDamage(std::string_view tag) {
    notices_.tell(platform::Notice::ScriptDamaged, {tag});
}

void ScriptFile::buildIndex() {
    index_.clear();
    int32_t head = -1, book = -1, page = -1;
    std::string_view headName, bookName, pageName;
    const int32_t count = static_cast<int32_t>(lines_.size());
    for (int32_t n = 0; n < count; ++n) {
        const std::string& line = lines_[static_cast<size_t>(n)];
        BlockKind kind = BlockKind::None;
        switch (classify(line, kind)) {
            case LineKind::Content:
                break;
            case LineKind::Unknown:
                notices_.tell(platform::Notice::UnknownBlock, {line});
                return;  // needsIndex stays set: the next lookup tries (and reports) again
            case LineKind::Start:
                if (kind == BlockKind::Head) {
                    if (head >= 0) return reportDamage("[Header block miss close flag]");
                    head = n;
                    headName = markerName(line);
                } else if (kind == BlockKind::Book) {
                    if (book >= 0) return reportDamage("[Book block miss close flag]");
                    book = n;
                    bookName = markerName(line);
                } else {
                    if (page >= 0) return reportDamage("[Page block miss close flag]");
                    page = n;
                    pageName = markerName(line);
                }
                break;
            case LineKind::End:
                if (kind == BlockKind::Head) {
                    if (head < 0) return reportDamage("[Header block miss start flag]");
                    appendEntry(index_, headName, "/:", head, n);
                    head = -1;
                } else if (kind == BlockKind::Book) {
                    if (book < 0) return reportDamage("[Book block miss start flag]");
                    appendEntry(index_, bookName, ":", book, n);
                    book = -1;  // the name stays: pages after a Book end are filed under it
                } else {
                    if (page < 0) return reportDamage("[Page block miss start flag]");
                    std::string name(bookName);
                    name.append("/").append(pageName);
                    appendEntry(index_, name, ":", page, n);
                    page = -1;
                }
                break;
        }
    }
    resetCache();
    needsIndex_ = false;
}

bool ScriptFile::cachedLookup(const std::string& key, int32_t& start, int32_t& end) {
    if (!lastKey_.empty() && key == lastKey_) {
        start = lastStart_;
        end = lastEnd_;
        return true;
    }
    if (needsIndex_) buildIndex();
    start = end = -1;
    for (const std::string& entry : index_) {
        if (!std::string_view(entry).starts_with(key)) continue;
        // The first entry beginning with the key decides, found or not.
        std::string_view rest = std::string_view(entry).substr(key.size());
        if (rest.empty()) return false;
        size_t comma = rest.find(',');
        int32_t s = parseInt(rest.substr(0, comma), -1);
        int32_t e = comma == std::string_view::npos ? -1 : parseInt(rest.substr(comma + 1), -1);
        if (s < 0 || e < 0) return false;
        start = s;
        end = e;
        lastKey_ = key;
        lastStart_ = s;
        lastEnd_ = e;
        return true;
    }
    return false;
}

bool ScriptFile::findHead(std::string_view head, int32_t& start, int32_t& end) {
    keyBuf_.assign(head).append("/:");
    return cachedLookup(keyBuf_, start, end);
}

bool ScriptFile::findBook(std::string_view book, int32_t& start, int32_t& end) {
    keyBuf_.assign(book).append(":");
    return cachedLookup(keyBuf_, start, end);
}

bool ScriptFile::findPage(std::string_view book, std::string_view page, int32_t& start,
                          int32_t& end) {
    keyBuf_.assign(book).append("/").append(page).append(":");
    return cachedLookup(keyBuf_, start, end);
}

const std::string& ScriptFile::lineAt(int32_t n) const {
    if (n < 0 || static_cast<size_t>(n) >= lines_.size()) return kEmpty;
    return lines_[static_cast<size_t>(n)];
}

std::string ScriptFile::readHeadString(std::string_view head, std::string_view key,
                                       std::string_view fallback) {
    int32_t start, end;
    if (!findHead(head, start, end)) return std::string(fallback);
    for (int32_t n = start + 1; n < end; ++n) {
        std::string_view line = lineAt(n);
        if (line.size() > key.size() && line[key.size()] == '=' && line.starts_with(key))
            return std::string(line.substr(key.size() + 1));
    }
    return std::string(fallback);
}

int32_t ScriptFile::readHeadInt(std::string_view head, std::string_view key, int32_t fallback) {
    return parseInt(readHeadString(head, key, intToStr(fallback)), fallback);
}

bool ScriptFile::readHeadBool(std::string_view head, std::string_view key, bool fallback) {
    return readHeadInt(head, key, fallback ? 1 : 0) != 0;
}

int32_t ScriptFile::getPageLineCount(std::string_view book, std::string_view page) {
    int32_t start, end;
    if (!findPage(book, page, start, end)) return 0;
    return end > start ? end - start - 1 : 0;
}

std::string ScriptFile::getPageLine(std::string_view book, std::string_view page, int32_t index) {
    int32_t start, end;
    if (!findPage(book, page, start, end)) return {};
    if (index < 0 || index >= end - start - 1) return {};
    return lineAt(start + 1 + index);
}

void ScriptFile::getBookList(StringList& list) {
    list.clear();
    for (const std::string& entry : index_) {
        std::string_view name = std::string_view(entry).substr(0, entry.find(':'));
        if (name.find('/') == std::string_view::npos) list.emplace_back(name);
    }
}

void ScriptFile::getPageList(std::string_view book, StringList& list) {
    list.clear();
    const size_t prefix = book.size() + 1;
    for (const std::string& entry : index_) {
        std::string_view e = entry;
        if (e.size() < prefix || !e.starts_with(book) || e[book.size()] != '/') continue;
        // Up to the entry's first ":"; a colon inside the prefix leaves nothing.
        size_t colon = e.find(':');
        if (colon == std::string_view::npos || colon <= prefix) continue;
        list.emplace_back(e.substr(prefix, colon - prefix));
    }
}

bool ScriptFile::bookExists(std::string_view book) {
    StringList books;
    getBookList(books);
    for (const std::string& b : books)
        if (b == book) return true;
    return false;
}

bool ScriptFile::pageExists(std::string_view book, std::string_view page) {
    StringList pages;
    getPageList(book, pages);
    for (const std::string& p : pages)
        if (p == page) return true;
    return false;
}

bool ScriptFile::getBookLines(std::string_view book, StringList& list) {
    int32_t start, end;
    if (!findBook(book, start, end)) return false;
    for (int32_t n = start; n <= end; ++n) list.push_back(lineAt(n));
    return true;
}

void ScriptFile::importBook(std::string_view book, ScriptFile& other) {
    if (&other == this) return;
    int32_t start, end;
    if (findBook(book, start, end)) return;
    StringList copied;
    if (!other.getBookLines(book, copied)) return;
    lines_.reserve(lines_.size() + copied.size());
    for (std::string& l : copied) lines_.push_back(std::move(l));
    resetCache();
    needsIndex_ = true;
    buildIndex();
}

}  // namespace zarvo
