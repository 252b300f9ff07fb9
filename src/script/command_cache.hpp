// The commands of a page: CommandCache numbers the current page's command lines once per page
// change and precomputes the if/else/endif nesting levels; Command is one fetched command
// with its parameter lines.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/string_list.hpp"
#include "script/command_table.hpp"

namespace zarvo {

namespace platform {
class NoticeSink;
}
class ScriptFile;

class Command {
  public:
    // First parameter line named `name` (letter case ignored); its value untrimmed.
    std::string getParamText(std::string_view name, std::string_view fallback) const;
    int32_t getParamValue(std::string_view name, int32_t fallback) const;
    bool getParamFlag(std::string_view name, bool fallback) const;

    // The same, by the table's parameter with its default.
    std::string text(const Param& param) const { return getParamText(param.name, param.fallback); }
    int32_t number(const Param& param) const {
        return getParamValue(param.name, param.fallbackNumber);
    }
    bool flag(const Param& param) const {
        return getParamFlag(param.name, param.fallbackNumber != 0);
    }
    // Line `n` of a numbered parameter.
    std::string text(const Param& param, int32_t n) const {
        return getParamText(numberedName(param, n), param.fallback);
    }
    // A choice as its enum; a value the choice does not list gives `otherwise`.
    template <class E>
    E choice(const Param& param, E otherwise) const {
        return choiceOf(param, text(param), otherwise);
    }

    StringList params;    // parameter lines as stored
    std::string keyword;  // the command line, trimmed
    int32_t line = 0;     // of the command line within the page, from 0
    int32_t level = 0;
    CommandType type = CommandType::Unknown;
};

class CommandCache {
  public:
    static constexpr int32_t kMaxCommands = 500;

    // The pages come from `file`; a page too long to run is told to `notices`.
    CommandCache(ScriptFile& file, platform::NoticeSink& notices)
        : file_(file), notices_(notices) {}

    // Changing the book or page invalidates the cache; setting the same name again does not.
    void setBookName(std::string_view name);
    void setPageName(std::string_view name);
    const std::string& bookName() const { return bookName_; }
    const std::string& pageName() const { return pageName_; }

    int32_t commandCount();
    bool getCommand(int32_t index, Command& command);
    // The command's nesting level, or -1 outside the page's commands.
    int32_t getCommandLevel(int32_t index);
    void makeCommandCache();

    bool needsRebuild() const { return needsRebuild_; }

  private:
    struct Entry {
        int32_t line = 0;  // index among the page's lines
        CommandType type = CommandType::Unknown;
        int32_t level = 0;
    };

    void rebuildIfNeeded() {
        if (needsRebuild_) makeCommandCache();
    }

    ScriptFile& file_;
    platform::NoticeSink& notices_;
    std::string bookName_;
    std::string pageName_;
    bool needsRebuild_ = true;
    std::array<Entry, kMaxCommands> entries_{};
    int32_t count_ = 0;
    StringList spareLines_;  // parameter strings kept for their buffers
};

}  // namespace zarvo
