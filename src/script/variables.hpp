// The story's variables: integer value variables ("%name%") and text string variables
// ("$name$"), the read-only system variables whose names begin with "@", and the expansion of
// both kinds of reference inside texts.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/string_list.hpp"

namespace zarvo {

namespace platform {
class Clock;
class NoticeSink;
}  // namespace platform
class SaveContainer;
class ScriptFile;

class Variables {
  public:
    static constexpr int32_t kVersion = 3120;
    static constexpr int32_t kCommandVersion = 20;

    // `file` holds the Head blocks of "@HEAD:KEY" look-ups; `notices` hears of references with
    // the wrong sign; the clock gives the elapsed play time (counted from now) and the local date
    // and time. All of them must outlive the variables.
    Variables(ScriptFile& file, platform::NoticeSink& notices, platform::Clock& clock);
    // Seeds "@乱数" once; the owner does it from the time at start-up.
    void seed(uint32_t value) { random_.seed(value); }

    // `reference` is "%name%" / "$name$": first and last characters dropped. System names are
    // ignored; a reference with the wrong sign shows a debug message and sets nothing.
    void setValue(std::string_view reference, int32_t value);
    void setText(std::string_view reference, std::string_view text);

    // A "%name%" reference or an integer literal (0 when it is none).
    int32_t getValue(std::string_view operand);
    int32_t getValueVar(std::string_view name);
    std::string getTextVar(std::string_view name);

    // "$name$" then "%name%" references replaced. On an unmatched sign the result is the error
    // message and `error` is true.
    std::string expandText(std::string_view text, bool& error);

    void getValueLines(StringList& list) const;
    void getTextLines(StringList& list) const;
    // NAME=VALUE lines in the order the variables were first set.
    const StringList& values() const { return values_; }
    const StringList& texts() const { return texts_; }
    // Every variable line of both lists in the order the variables were first set
    // (true = a text variable).
    std::vector<std::pair<bool, std::string_view>> linesInSetOrder() const;

    // Everything the variables hold, the random generator and the play time included, for the
    // player's save states.
    struct Snapshot {
        StringList values, texts;
        std::vector<std::pair<bool, size_t>> setOrder;  // (is text, index in its list)
        std::mt19937 random;
        int32_t randomRange = 1000;
        std::string scriptFileName;
        uint32_t playedMs = 0;
    };
    Snapshot snapshot() const;
    // True when the set order names every line of the lists once: the one thing restore needs.
    static bool isSound(const Snapshot& snapshot);
    void restore(Snapshot snapshot);

    bool saveInfo(SaveContainer& container) const;
    void loadInfo(SaveContainer& container);

    void setScriptFileName(std::string_view name) { scriptFileName_ = name; }
    const std::string& scriptFileName() const { return scriptFileName_; }
    void setRandomRange(int32_t range) { randomRange_ = range; }
    int32_t randomRange() const { return randomRange_; }

  private:
    int32_t systemValue(std::string_view name);
    std::string systemText(std::string_view name);
    void appendTextVar(std::string& out, std::string_view name);
    void showSyntaxError(std::string_view operation, std::string_view reference);

    ScriptFile& file_;
    platform::NoticeSink& notices_;
    platform::Clock& clock_;
    StringList values_;
    StringList texts_;
    std::vector<std::pair<bool, size_t>> setOrder_;  // (is text, index in its list)
    std::string scriptFileName_ = "unknown file";
    int32_t randomRange_ = 1000;
    uint32_t startTick_ = 0;
    std::mt19937 random_;
};

}  // namespace zarvo
