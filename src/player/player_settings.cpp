#include "player/player_settings.hpp"

#include <array>
#include <memory>

#include "platform/file_system.hpp"

namespace zarvo {
namespace {

constexpr std::array<std::string_view, 4> kTextSpeeds{"instant", "slow", "story", "fast"};
constexpr std::array<std::string_view, 3> kScalings{"sharp", "whole", "smooth"};

template <size_t N>
bool parseChoice(std::string_view value, const std::array<std::string_view, N>& names, int& out) {
    for (size_t i = 0; i < N; ++i) {
        if (names[i] == value) {
            out = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool parseFlag(std::string_view value, bool& out) {
    if (value == "on" || value == "1" || value == "true") {
        out = true;
        return true;
    }
    if (value == "off" || value == "0" || value == "false") {
        out = false;
        return true;
    }
    return false;
}

bool parseDelay(std::string_view value, int32_t& out) {
    if (value.empty() || value.size() > 6) return false;
    int32_t n = 0;
    for (char c : value) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    if (n > PlayerSettings::kMaxDelayMs) return false;
    out = n;
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

const char* flag(bool on) {
    return on ? "on" : "off";
}

}  // namespace

std::vector<std::pair<std::string, std::string>> PlayerSettings::entries() const {
    return {
        {"text-speed", std::string(kTextSpeeds[static_cast<size_t>(textSpeed)])},
        {"auto-delay", std::to_string(autoDelayMs)},
        {"auto-per-char", std::to_string(autoPerCharMs)},
        {"skip-read-only", flag(skipReadOnly)},
        {"copy-each-message", flag(copyEachMessage)},
        {"line-break-rules", flag(lineBreakRules)},
        {"scaling", std::string(kScalings[static_cast<size_t>(scaling)])},
    };
}

bool PlayerSettings::set(std::string_view name, std::string_view value) {
    int choice = 0;
    if (name == "text-speed") {
        if (!parseChoice(value, kTextSpeeds, choice)) return false;
        textSpeed = static_cast<TextSpeed>(choice);
        return true;
    }
    if (name == "scaling") {
        // "fit" is what smooth scaling was called before sharp scaling came.
        if (value == "fit") value = "smooth";
        if (!parseChoice(value, kScalings, choice)) return false;
        scaling = static_cast<WindowScaling>(choice);
        return true;
    }
    if (name == "auto-delay") return parseDelay(value, autoDelayMs);
    if (name == "auto-per-char") return parseDelay(value, autoPerCharMs);
    if (name == "skip-read-only") return parseFlag(value, skipReadOnly);
    if (name == "copy-each-message") return parseFlag(value, copyEachMessage);
    if (name == "line-break-rules") return parseFlag(value, lineBreakRules);
    return false;
}

std::string formatPlayerSettings(const PlayerSettings& settings) {
    std::string text = "# zarvoplay: the reader's settings, the same for every story\n";
    for (const auto& [name, value] : settings.entries()) text += name + "=" + value + "\n";
    return text;
}

PlayerSettings parsePlayerSettings(std::string_view text, std::vector<std::string>& problems) {
    PlayerSettings settings;
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        size_t eq = line.find('=');
        bool ok = eq != std::string_view::npos &&
                  settings.set(trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1)));
        if (!ok) {
            // Shown on a terminal: keep it one short printable line.
            std::string shown;
            for (char c : line.substr(0, 80)) shown += (c >= 0x20 && c < 0x7F) ? c : '?';
            problems.push_back("line " + std::to_string(lineNumber) + ": " + shown);
        }
    }
    return settings;
}

bool loadPlayerSettings(const platform::FileSystem& files, const std::string& path,
                        PlayerSettings& settings, std::vector<std::string>& problems) {
    if (!files.exists(path)) return true;
    std::string bytes;
    // A settings file is a few hundred bytes; anything far larger is not one.
    std::unique_ptr<platform::ReadableFile> file = files.openRead(path);
    if (!file || file->size() > 64 * 1024 || !files.readFile(path, bytes)) return false;
    settings = parsePlayerSettings(bytes, problems);
    return true;
}

bool savePlayerSettings(platform::FileSystem& files, const std::string& path,
                        const PlayerSettings& settings) {
    const std::string folder = platform::parentPath(path);
    if (!folder.empty() && !files.directoryExists(folder)) {
        const std::string parent = platform::parentPath(folder);
        if (!parent.empty() && !files.directoryExists(parent)) files.makeDirectory(parent);
        if (!files.makeDirectory(folder)) return false;
    }
    return files.writeFile(path, formatPlayerSettings(settings));
}

}  // namespace zarvo
