// The player: owns the story and everything that shows and plays it, starts and stops it, runs
// the interpreter on the 200 ms timer and hands input on: to the open overlay, or through the
// input map to its own actions and the reading modes, or to the story. Platform work goes through
// the host, clock, dialogs and file system it is given, so the same object runs on the desktop
// and headless.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.hpp"
#include "player/input_map.hpp"
#include "player/overlay_stack.hpp"
#include "player/player_state.hpp"
#include "player/reading_modes.hpp"
#include "player/settings_keeper.hpp"
#include "player/shown_messages.hpp"
#include "player/story_parts.hpp"

namespace zarvo {

namespace platform {
class Canvas;
class Clock;
class Dialogs;
class FileSystem;
class FontEngine;
class MediaPlayerFactory;
}  // namespace platform

class RollbackHistory;
struct MessageRollback;
class SaveStates;
class SettingsMenu;

class Player final : public platform::HostClient, private ProgramControl {
  public:
    struct Services {
        platform::Host& host;
        platform::Clock& clock;
        platform::Dialogs& dialogs;
        platform::FileSystem& files;
        platform::FontEngine* fonts = nullptr;  // none: fixed-width boxes
        platform::Canvas* canvas = nullptr;     // where screen 0 is presented; none: nowhere
        platform::MediaPlayerFactory* players = nullptr;  // music and sound; none: silent
    };

    static constexpr std::string_view kLibraryName = "zarvoplay.zvl";
    // How long a notice over the story (a screenshot's path, skip on, ...) stays up.
    static constexpr uint32_t kNoticeMs = 2000;

    // `programDir` holds the system library and the image plug-ins.
    Player(const Services& services, const std::string& programDir);
    ~Player() override;  // the shutdown sequence

    // Start-up: opens the project and the system library and calls "_init". `projectPath` is
    // the project file (a host path), or a folder (an archive the file system shows as one)
    // that the story is looked for in: with several equally near its top, show() offers them
    // in a chooser and the story opens, shows and starts once the reader has chosen.
    // `programDir` is the folder that holds the system library.
    void open(const std::string& projectPath, const std::string& programDir);
    // The reader's data folder; set before open(). A story whose own folder cannot be written
    // (an archive, a read-only folder) keeps what it writes in STORIES/KEY below it.
    void useReaderDataFolder(const std::string& folder) { parts_.readerDataFolder = folder; }
    // Where the story's writes go instead of its own folder; empty when they go there.
    std::string storyWritesFolder() const;
    // True while the chooser waits for the reader to pick a story.
    bool choosingStory() const { return !chooser_.stories.empty(); }
    void show();
    // The first activation of the application: starts the story and the main timer.
    void activate();

    // The project path when none is given: the program's own path with the extension ".zp7".
    static std::string defaultProjectPath(const std::string& programPath);

    void onMainTimer();
    void runSteps();
    bool step();

    // HostClient
    void onTimer() override { onMainTimer(); }
    void onMouseDown(platform::MouseButton button, int x, int y) override;
    void onMouseMove(int x, int y) override;
    // The player's own keys come first (player_keys.cpp, the keys in input_map.cpp): Alt+Enter
    // and F11 full screen, Ctrl held to skip messages, F12 screenshot; Space and Enter then end
    // a wait.
    void onKeyDown(int key) override;
    void onKeyUp(int key) override;
    void onWheel(int steps) override;
    void onPadButton(platform::PadButton button, bool down) override;
    void onPaint() override;
    bool waitsForInputOnly() const override;

    // Observes each command just before its handler runs (traces).
    std::function<void(const std::string& book, const std::string& page, int32_t index,
                       const Command& command)>
        onCommand;
    // Observes every change of a player-level mode, overlay or setting: "skip on", "settings
    // open", "setting music-volume=80", "clipboard TEXT", ... (traces; UTF-8).
    std::function<void(const std::string& what)> onPlayerEvent;
    // Told what the reader should know but no box needs to say (a damaged settings file).
    std::function<void(const std::string& utf8)> onWarning;
    // Observes every change of the pointer's cursor (traces).
    std::function<void(platform::Cursor cursor)> onCursorChange;
    // Makes the debug window when a packaged story turns DebugMode on (at the first show); the
    // main window owns it and passes its gate and refresh around every step. None: no window.
    DebugWindowFactory createDebugWindow;
    DebugHooks* debugWindow() const { return parts_.debug.get(); }

    // The reader's settings, the same for every story: read from `path` at the first show and
    // written back whole when the menu changed them. No path: the defaults, nothing written.
    void usePlayerSettingsFile(const std::string& path) { settings_.useFile(path); }
    // The language of the player's own texts; set before open().
    void setLanguage(MenuLanguage language);
    // Where screenshots go: the reader's pictures folder (empty: none, a screenshot says so).
    void usePicturesFolder(const std::string& folder) { picturesFolder_ = folder; }
    const PlayerSettings& playerSettings() const { return settings_.settings(); }
    // Escape, F1 and the pad's Start open it; the story holds still while it is open.
    void openSettingsMenu();

    Story& story() { return *parts_.story; }
    Execution& execution() { return *parts_.execution; }
    Screen& screen() { return *parts_.screen; }
    MusicControl& music() { return *parts_.music; }
    SaveFiles& saveSystem() { return *parts_.save; }
    // Writes screen 0 as it is shown now as a PNG file; a reader's screenshot leaves out the
    // player's notice (the one of the shot before may still be up).
    bool saveScreenshot(const std::string& path, bool withNotice = true);
    bool legacyMode() const { return parts_.legacyMode; }
    // Full screen and back (the System command, shutdown); "%_fullscreen%" follows.
    void enterFullScreen() override;
    void leaveFullScreen() override;
    bool fullScreen() const { return window_.fullScreen; }
    // The reader's settings take effect at once (text speed, line breaking, ...).
    void usePlayerSettings(const PlayerSettings& settings);
    // --text-speed: this run types at `speed` whatever the settings say; the file keeps its own.
    void forceTextSpeed(TextSpeed speed);
    // Remembers which messages were read in `folder` (the user's data folder), for the skip
    // toggle; call after open(). Empty: nothing is remembered beyond this run.
    void keepReadMessages(const std::string& folder);
    // Writes now what the end of the run would write (the read messages, the story's settings
    // file): a browser tab may be closed without the run ever ending.
    void keepStateNow();
    // True when the program ends because of a fatal error rather than the story's end.
    bool endedByFatalError() const { return run_.fatalError || parts_.story->fatalError(); }
    // Why, in the reader's language (UTF-8), as the last box said it; empty when none did.
    std::string fatalReason() const;
    // Save states (player_states.cpp). The whole run as it is now; empty while a command runs
    // (input pumped inside a transition or a sound wait), when no consistent state exists.
    PlayerState captureState();
    // Back to a state taken earlier, checked in full first: anything but None leaves the run as
    // it was. The run goes on exactly as it went on from the moment it was taken, with skip
    // and auto mode off.
    // With `shared`, the state is a snapshot of the rollback history, sharing its pictures.
    StateRefusal restoreState(const PlayerState& state, SnapshotPictures* shared = nullptr);
    // The reader's save states of this story go to their folder inside `dataFolder` (the user's
    // data folder); call after open(). Empty: none are kept and saving says so.
    void keepSaveStates(const std::string& dataFolder);
    // Slot 0 is the quick slot (F5, F9), 1 to 24 the overlay's. Asked for while a command runs,
    // the save or load happens after it. A slot that cannot be written or a state that does
    // not fit is told in a box, and nothing else changes. Traced "state save N" / "state load N".
    bool saveState(int slot);
    bool loadState(int slot);
    // F2, the pad's Back and the settings menu's row: the slots over the story.
    void openSaveStates();

    // Rollback (player_rollback.cpp): back `messages` messages before the one shown last, the
    // story's whole state as it was when that one was shown; false when the history does not
    // reach (a notice says so) or the run cannot go back now.
    bool rollBack(int messages);
    const RollbackHistory& rollbackHistory() const;

    // True when the story has ended and its last frame waits for the reader (it was skipped or
    // auto-read to its end): an ended story, though the window is still up.
    bool heldAtStoryEnd() const { return run_.storyEndHeld; }

  private:
    // Where the run is.
    struct RunProgress {
        bool firstShowPending = true;
        bool firstActivationPending = true;
        bool stepping = false;  // a round of steps is running
        bool fatalError = false;
        bool storyEndHeld = false;  // the ended story's last frame waits for the reader
    };
    // The window as the player set it.
    struct WindowState {
        bool fullScreen = false;
        platform::Cursor cursor = platform::Cursor::Default;
        std::string caption;             // the story's title
        bool storySettingsRead = false;  // only settings that were read are written back
    };
    // Several stories found: the reader picks one before any opens.
    struct StoryChoice {
        std::vector<std::string> stories;  // offered while the chooser is open
        SettingsMenu* menu = nullptr;      // one of the overlays
        std::string readFolder;            // where read marks and states are kept, once chosen
    };

    void endProgram(bool fatal) override;
    // Opens the story file `path` (what open() does once the story is known).
    void openStory(const std::string& path);
    // The chooser of several stories found (player_story_choice.cpp).
    void showStoryChooser();
    void storyChosen(size_t index);
    // A screen of one colour with the overlays over it, before any story has drawn.
    void showEmptyScreen(int width, int height, uint32_t pixel);
    void setUpScreen();
    void startStory();
    // The settings kept between runs: read at the first show, written at shutdown.
    void loadSettings();
    void saveWindowState();
    void composeAndPaint();
    void setCursor(platform::Cursor cursor);
    // Does what the reader's input asked (`x`, `y`: where a click was).
    void perform(PlayerAction action, int x = 0, int y = 0);
    // Player keys (player_keys.cpp).
    void toggleFullScreen();
    void takeScreenshot();
    // A notice over the story in the reader's language for kNoticeMs (player_notices.cpp);
    // `detail` (UTF-8) follows the text. Traced as "notice TEXT" unless the trace has said it.
    void showNotice(std::string_view japanese, std::string_view english,
                    const std::string& detail = {}, bool traced = true);
    // The folder screenshots of this story go to: PICTURES/zarvoplay/TITLE.
    std::string screenshotFolder() const;
    // A story that ends while the reader skips or auto-reads keeps its last frame, with a
    // notice, until a click or a key.
    void holdStoryEnd();
    // Ends the program as the story's end does: the settings are written on the way out.
    void quit();
    // On every timer tick: keeps a held skip on and takes down an expired notice.
    void tickPlayerKeys();
    // Buttons without a mouse (player_focus.cpp): moves the pointed-at state between the
    // buttons that respond now, shown as the pointer would show it; false when none responds.
    bool moveFocus(bool forward);
    // Clicks the pointed-at button when the story waits for one; false when none is.
    bool clickActiveLayer();
    // Space, Enter or the pad's A: finishes typing, clicks the pointed-at button or ends the wait.
    void advance();
    // The settings menu (player_settings_menu.cpp).
    void buildSettingsMenu();
    // Records a change of the reader's settings and traces it.
    void settingChanged(const std::string& name, const std::string& value);
    void settingsMenuOpened(bool open);
    void warn(const std::string& utf8);
    // Traces the change; the reader sees a notice of the modes that keys turn on and off.
    void tellPlayerEvent(const std::string& what);
    // Rollback (player_rollback.cpp): sees each command (a message's is followed by a snapshot),
    // takes the snapshot, deflates a few pieces on a tick, and goes back to the message a
    // backlog entry shows. The history is forgotten when the run becomes another one (a state
    // or a story's save loaded): its messages are not that run's past.
    void noteRollback(const Command& command);
    void takeRollbackSnapshot();
    void compressRollback();
    void chooseBacklogEntry(int back);
    void forgetRollback();
    // After input: the story moves on at once instead of at the next tick.
    void answerInput();
    // Save states (player_states.cpp).
    SaveStates& saveStates();
    // A save or load asked for while a command ran.
    void runPendingState();

    OverlayStack overlays_;  // outlives the story's parts: screen 0 presents through it
    StoryParts parts_;
    Services services_;  // its files are the story's (parts_.files)
    SettingsKeeper settings_;
    ShownMessages messages_;
    InputMap input_;
    ReadingModes modes_;
    RunProgress run_;
    WindowState window_;
    std::string projectPath_;
    std::string picturesFolder_;
    std::unique_ptr<MessageRollback> rollback_;
    std::unique_ptr<SaveStates> states_;  // made at the first use
    StoryChoice chooser_;
};

}  // namespace zarvo
