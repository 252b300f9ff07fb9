// The story's script file: its lines kept exactly as read, an index of its Head, Book and Page
// blocks, and the questions the player asks of it (Head values, page lines, books and pages).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/string_list.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
class NoticeSink;
}  // namespace platform

class ScriptFile {
  public:
    // First line of every script the player writes.
    static constexpr std::string_view kBanner = "/// Game Creative Tool - Zarvo Third -";

    // Integrity faults of the block markers are told to `notices`.
    explicit ScriptFile(platform::NoticeSink& notices);

    void newScript();
    // False (and the script unchanged) when the file cannot be read.
    bool loadFromFile(const platform::FileSystem& files, const std::string& path);
    // The whole file's bytes.
    void loadFromStream(std::string_view bytes);

    std::string readHeadString(std::string_view head, std::string_view key,
                               std::string_view fallback);
    int32_t readHeadInt(std::string_view head, std::string_view key, int32_t fallback);
    bool readHeadBool(std::string_view head, std::string_view key, bool fallback);

    // Start and end marker lines of a block; the content lies strictly between them.
    bool findHead(std::string_view head, int32_t& start, int32_t& end);
    bool findBook(std::string_view book, int32_t& start, int32_t& end);
    bool findPage(std::string_view book, std::string_view page, int32_t& start, int32_t& end);

    int32_t getPageLineCount(std::string_view book, std::string_view page);
    // The untrimmed line `index` (0-based) of the page; "" when the page is missing or the index
    // lies outside it.
    std::string getPageLine(std::string_view book, std::string_view page, int32_t index);

    void getBookList(StringList& list);
    void getPageList(std::string_view book, StringList& list);
    bool bookExists(std::string_view book);
    bool pageExists(std::string_view book, std::string_view page);
    // Appends the book's lines from its start marker through its end marker.
    bool getBookLines(std::string_view book, StringList& list);
    // Copies `other`'s book to the end of this script unless this script already has one.
    void importBook(std::string_view book, ScriptFile& other);

    const StringList& lines() const { return lines_; }
    const StringList& index() const { return index_; }
    // Line `n` of the file, or "" outside it.
    const std::string& lineAt(int32_t n) const;

  private:
    void resetCache();
    void buildIndex();
    bool cachedLookup(const std::string& key, int32_t& start, int32_t& end);
    void reportDamage(std::string_view tag);

    StringList lines_;
    // One entry per closed block in the order of the end markers: "H/:s,e", "B:s,e", "B/P:s,e".
    StringList index_;
    bool needsIndex_ = true;
    std::string lastKey_;
    int32_t lastStart_ = -1;
    int32_t lastEnd_ = -1;
    std::string keyBuf_;  // reused to build lookup keys without an allocation per query
    platform::NoticeSink& notices_;
};

}  // namespace zarvo
