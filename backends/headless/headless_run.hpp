// A whole story run on the headless host: the engine of `zarvoplay --headless`, also called
// directly by the story tests.
#pragma once
#include <atomic>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "backends/headless/events.hpp"
#include "player/player_settings.hpp"

namespace zarvo {

class Player;
class RunTrace;
class Variables;

// The reader's settings of a run: the file (empty: the defaults) and what the command line
// says over it for this run only.
struct ReaderSettings {
    std::string path;
    std::optional<TextSpeed> textSpeed;
    std::string readFolder;      // where read messages are kept; empty: not kept
    std::string picturesFolder;  // where screenshots go (under zarvoplay/TITLE); empty: nowhere
};

struct HeadlessOptions {
    std::string projectPath;  // host path of the project file
    std::string programDir;   // folder of the system library
    std::vector<platform::HeadlessEvent> events;
    uint32_t maxTime = 0;     // virtual ms; 0 = no limit
    std::string tracePath;    // empty = no trace
    std::string dumpPath;     // empty = no variable dump
    std::string shotPath;     // empty = no screenshot at the end
    bool quiet = false;       // keep dialogs off stderr (tests)
    ReaderSettings settings;  // the reader's settings file, read messages, --text-speed
    bool english = false;     // the player's own texts in English
    // The file system the story and every file are read through (an archive, say); null: the
    // machine's own.
    platform::FileSystem* files = nullptr;
    // Follows the virtual clock while the run goes on, for a hang watchdog (tests).
    std::atomic<uint32_t>* progress = nullptr;
};

// Exit status of a run: the story ended (end of a page, quit event).
inline constexpr int kExitEnded = 0;
inline constexpr int kExitFatal = 1;
inline constexpr int kExitUsage = 2;
// --max-time reached, or the story waits for input and no events are left.
inline constexpr int kExitTimeout = 3;

int runHeadless(const HeadlessOptions& options);

// The files of --trace and --dump, shared by the headless and the desktop run. An empty path
// asks for nothing; a file that cannot be written is said on stderr and gives false.
bool openTraceFile(const std::string& path, std::ofstream& file, RunTrace& trace);
bool writeVariableDumpFile(const std::string& path, const Variables& variables);
// Loads the reader's settings into `main`; lines not understood are said on stderr.
void useReaderSettings(Player& main, const ReaderSettings& settings);

}  // namespace zarvo
