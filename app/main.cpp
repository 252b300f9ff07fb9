// zarvoplay: option parsing only; the player itself lives in src/.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#ifdef ZARVO_ARCHIVES
#include "backends/archive/story_files.hpp"
#endif
#include "backends/headless/events.hpp"
#include "backends/headless/headless_run.hpp"
#include "backends/posix/local_file_system.hpp"
#include "base/text.hpp"
#include "check/project_check.hpp"
#include "data_dir.hpp"
#ifdef ZARVO_BUILTIN_DECODERS
#include "builtin_decoders.hpp"
#endif
#include "desktop_run.hpp"
#include "player/player.hpp"

namespace {

const char kUsage[] =
    "usage: zarvoplay [OPTIONS] [PROJECT]\n"
    "Plays a story: PROJECT is a script file beginning with \"///\", a package, a program with\n"
    "a package behind it, or a folder, archive (zip, lzh, 7z, cab) or disc image (ISO) holding\n"
    "one; without it, the program's own path with the extension .zp7. In a folder, archive or\n"
    "image the story nearest the top plays; with several equally near, a menu lists their\n"
    "titles. A story whose folder cannot be written (an archive, an image, a read-only folder)\n"
    "keeps its saves and settings in $XDG_DATA_HOME/zarvoplay/stories/KEY/, KEY taken from the\n"
    "story's content, so a moved archive keeps them.\n"
    "\n"
    "  --headless      no window; a virtual clock (the 200 ms timer fires every 200 virtual ms);\n"
    "                  without a display the player plays headless anyway\n"
    "  --scale N       draw the story N times its size in the window (default: the largest\n"
    "                  whole factor that fits the display)\n"
    "  --events FILE   timed input and answers, played headless; one per line, \"MS VERB ARGS\":\n"
    "                  click X Y | rclick X Y | mclick X Y | move X Y | wheel up|down [N] |\n"
    "                  key KEY | keyup KEY | pad BUTTON | padup BUTTON | resize W H |\n"
    "                  answer ok|cancel|yes|no|abort|ignore | input TEXT |\n"
    "                  input-cancel | date YYYY-MM-DD HH:MM:SS (the local time at the start) |\n"
    "                  shot FILE.png | quit. KEY is space|enter|escape|tab|backspace|shift|ctrl|\n"
    "                  alt|pageup|pagedown|home|end|up|down|left|right|a-z|f1-f12 or a Windows\n"
    "                  virtual-key code; BUTTON is a|b|x|y|start|back|lb|rb|up|down|left|right\n"
    "  --record FILE   write every input and dialog answer of a desktop run to FILE in the\n"
    "                  --events format; --headless --events FILE then replays the run exactly\n"
    "                  (replay on a fresh copy of the story: saves and settings are files too).\n"
    "                  A recorded run has no debug window\n"
    "  --text-speed S  how text types itself out, for this run: instant (each run of text at\n"
    "                  once), slow (twice the story's delays), story, fast (half of them); the\n"
    "                  settings file keeps the reader's choice\n"
    "  --max-time MS   stop after MS virtual milliseconds\n"
    "  --trace FILE    one line per executed command, \"MS BOOK/PAGE#INDEX KEYWORD\", one per\n"
    "                  dialog, \"MS box KIND: TEXT\", one per cursor change, \"MS cursor KIND\",\n"
    "                  one per player change, \"MS player settings open|close\",\n"
    "                  \"MS player setting NAME=VALUE\", \"MS player notice TEXT\" (a notice\n"
    "                  over the story), \"MS player quit\" (the menu's Quit row)\n"
    "  --shot FILE     write screen 0 as PNG when the run ends\n"
    "  --dump FILE     write the variables when the run ends: \"%NAME%=VALUE\", \"$NAME$=TEXT\"\n"
    "  --check         list what the story's author can fix, without running it, one problem a\n"
    "                  line: \"FILE:LINE: MESSAGE\" (FILE is zarvo.zf7 for a package); file and\n"
    "                  page names holding % or $ are not looked up. Exit 0 clean, 1 problems\n"
    "                  found, 2 the project cannot be read\n"
    "  --help          this text\n"
    "\n"
    "--trace, --shot and --dump work on the desktop too; there MS counts from the start.\n"
    "\n"
    "Keys: Space or Enter ends a wait, or while text types itself out shows the rest of the\n"
    "run; Tab, Shift+Tab and the arrows point at the buttons and choices that respond now, and\n"
    "Space or Enter clicks the pointed-at one; Escape or F1 opens the settings menu; Ctrl held\n"
    "skips messages (a left click ends the skip); S skips until a click, a key, a choice or an\n"
    "unread message; A ends key waits by itself until a click or a key; H or a middle click\n"
    "hides the text until a click or a key; Ctrl+C copies the message to the clipboard; Page\n"
    "Up or the wheel shows the last 500 messages (wheel, arrows, Page Up/Down scroll; wheel\n"
    "down past the newest, a right click or Escape close it; Enter or a click goes back to a\n"
    "message); Backspace goes back one message (rollback: the story's state as it was then);\n"
    "Alt+Enter or F11 full screen and back; F12 saves a screenshot in the pictures folder\n"
    "($XDG_PICTURES_DIR or ~/Pictures) under zarvoplay/TITLE/ and says where in a notice over\n"
    "the story. A story that ends while skipping or in auto mode waits for a click or a key.\n"
    "F5 saves the whole run to the quick state, F9 goes back to it; F2 or the pad's Back\n"
    "opens the save states (24 slots, $XDG_DATA_HOME/zarvoplay/states/).\n"
    "Game controller: A clicks or advances, the d-pad points, X hides the text, Y auto mode,\n"
    "B the backlog (A goes back to the marked message), LB/RB held skip, Start opens the menu, B "
    "closes it. The window resizes\n"
    "freely. See zarvoplay(1).\n"
    "\n"
    "The reader's settings (the menu changes them) are kept in\n"
    "$XDG_CONFIG_HOME/zarvoplay/settings.ini (default ~/.config/zarvoplay):\n"
    "text-speed=instant|slow|story|fast, auto-delay=MS, auto-per-char=MS,\n"
    "copy-each-message=on|off, skip-read-only=on|off, line-break-rules=on|off,\n"
    "scaling=sharp|whole|smooth. Read messages: $XDG_DATA_HOME/zarvoplay/read/KEY.read.\n"
    "\n"
    "Unanswered dialogs take OK / Ignore / Yes / Cancel and are printed on stderr.\n"
    "Exit status: 0 the story ended, 1 a fatal error, 2 bad usage, 3 --max-time reached or the\n"
    "story waits for input with no events left.\n";

// The player's own texts are Japanese for a Japanese locale and English for any other; the
// first of the variables that name one decides, as the C library's rules say.
bool englishLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && value[0]) return std::strncmp(value, "ja", 2) != 0;
    }
    return true;
}

int usageError(const std::string& message) {
    std::cerr << "zarvoplay: " << message << "\n"
              << "Try 'zarvoplay --help'.\n";
    return zarvo::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef ZARVO_BUILTIN_DECODERS
    zarvo::registerBuiltInDecoders();
#endif
    zarvo::HeadlessOptions options;
    bool headless = false;
    bool check = false;
    int scale = 0;
    std::string eventsPath;
    std::string recordPath;
    std::string project;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--check") {
            check = true;
        } else if (arg == "--headless") {
            headless = true;
        } else if (arg == "--scale") {
            std::string n;
            int32_t v;
            if (!value(n) || !zarvo::tryParseInt(n, v) || v < 1 || v > 8)
                return usageError("--scale needs a whole number from 1 to 8");
            scale = v;
        } else if (arg == "--events") {
            if (!value(eventsPath)) return usageError("--events needs a file");
            headless = true;  // events are replayed, never mixed with a player's own input
        } else if (arg == "--record") {
            if (!value(recordPath)) return usageError("--record needs a file");
        } else if (arg == "--trace") {
            if (!value(options.tracePath)) return usageError("--trace needs a file");
        } else if (arg == "--shot") {
            if (!value(options.shotPath)) return usageError("--shot needs a file");
        } else if (arg == "--dump") {
            if (!value(options.dumpPath)) return usageError("--dump needs a file");
        } else if (arg == "--text-speed") {
            std::string speed;
            zarvo::PlayerSettings parsed;
            if (!value(speed) || !parsed.set("text-speed", speed))
                return usageError("--text-speed needs instant, slow, story or fast");
            options.settings.textSpeed = parsed.textSpeed;
        } else if (arg == "--max-time") {
            std::string ms;
            int32_t v;
            if (!value(ms) || !zarvo::tryParseInt(ms, v) || v < 0)
                return usageError("--max-time needs a number of milliseconds");
            options.maxTime = static_cast<uint32_t>(v);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (project.empty()) {
            project = arg;
        } else {
            return usageError("only one project may be given");
        }
    }

    const zarvo::ProgramPlaces places = zarvo::programPlaces(argv[0]);
    // The system library and plug-ins: beside the program or in the installed data folder.
    options.programDir = places.programDir;
    options.projectPath =
        project.empty() ? zarvo::Player::defaultProjectPath(places.programPath) : project;
    // An archive or a disc image is read as the folder the story is looked for in.
    zarvo::platform::LocalFileSystem localFiles;
#ifdef ZARVO_ARCHIVES
    zarvo::platform::StoryFiles storyFiles(localFiles, options.projectPath);
    if (!storyFiles.error().empty()) std::cerr << "zarvoplay: " << storyFiles.error() << "\n";
    options.files = &storyFiles.files();
#else
    options.files = &localFiles;
#endif
    if (check)
        return zarvo::checkProject(*options.files, options.projectPath, options.programDir,
                                   std::cout);

    if (!eventsPath.empty()) {
        std::ifstream in(eventsPath, std::ios::binary);
        if (!in) return usageError("cannot read the events file " + eventsPath);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string error;
        if (!zarvo::platform::parseEvents(text, options.events, error))
            return usageError(eventsPath + ": " + error);
    }

    // The reader's settings; without a home there are none to keep.
    if (!places.configDir.empty()) options.settings.path = places.configDir + "/settings.ini";
    options.settings.readFolder = places.dataDir;
    options.settings.picturesFolder = places.picturesDir;

    options.english = englishLocale();
    if (headless && !recordPath.empty())
        return usageError("--record records a run in a window; a headless run replays --events");
    if (!headless) {
        int status = zarvo::runDesktop({options.projectPath, options.programDir, scale, recordPath,
                                        options.tracePath, options.shotPath, options.dumpPath,
                                        options.settings, options.english, options.files});
        if (status >= 0) return status;
        if (!recordPath.empty()) {
            std::cerr << "zarvoplay: nothing to record without a window\n";
            return zarvo::kExitUsage;
        }
        std::cerr << "zarvoplay: playing headless instead\n";
    }
    return zarvo::runHeadless(options);
}
