// The reader's own settings, the same for every story: how text types itself out, how auto mode
// and skipping behave, how lines break and how the window scales. They never change what a story
// computes. The settings a story can see (music, sound, full screen) stay in the story's own
// settings file and are changed through the story's own paths.
//
// The file is UTF-8 "name=value" lines, one per setting, '#' starting a comment; it is written
// whole through a temporary file. A line that is not understood is skipped and reported, so a
// damaged file costs at most the settings on its damaged lines.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
}

// Instant: a run of text appears at once; Slow: twice the story's delays; Story: the story's own
// (its speed tags and Head values); Fast: half of them.
enum class TextSpeed : uint8_t { Instant, Slow, Story, Fast };
using platform::WindowScaling;

struct PlayerSettings {
    static constexpr int32_t kMaxDelayMs = 60000;

    TextSpeed textSpeed = TextSpeed::Story;
    int32_t autoDelayMs = 800;     // auto mode: a key wait ends this long after the message ...
    int32_t autoPerCharMs = 40;    // ... plus this much per character revealed since the last
    bool skipReadOnly = true;      // the skip toggle stops at the first unread message
    bool copyEachMessage = false;  // each completed message goes to the clipboard
    bool lineBreakRules =
        true;  // no closing punctuation begins a line, no opening bracket ends one
    WindowScaling scaling = WindowScaling::Sharp;

    // Every setting as (name, value) in a fixed order: the names of the file and of the trace.
    std::vector<std::pair<std::string, std::string>> entries() const;
    // Sets one setting by name. False, nothing changed, for an unknown name or a value it does
    // not take.
    bool set(std::string_view name, std::string_view value);

    bool operator==(const PlayerSettings&) const = default;
};

std::string formatPlayerSettings(const PlayerSettings& settings);
// Defaults for whatever the text does not set; every line not understood is added to
// `problems` as "line N: TEXT".
PlayerSettings parsePlayerSettings(std::string_view text, std::vector<std::string>& problems);

// A missing file leaves `settings` as they are and is no problem. False when the file exists but
// cannot be read; lines not understood are added to `problems`.
bool loadPlayerSettings(const platform::FileSystem& files, const std::string& path,
                        PlayerSettings& settings, std::vector<std::string>& problems);
// Makes the file's folder (and its parent) when missing; false when it could not be written, the
// old file then being as it was.
bool savePlayerSettings(platform::FileSystem& files, const std::string& path,
                        const PlayerSettings& settings);

}  // namespace zarvo
