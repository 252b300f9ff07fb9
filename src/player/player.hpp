// The player: owns the story and everything that shows and plays it, starts and stops it, runs
// the interpreter on the 200 ms timer and handles input and the player's own keys. Platform work
// goes through the host, clock, dialogs and file system it is given, so the same object runs on
// the desktop and headless.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/interpreter.hpp"
#include "debug/debug_hooks.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "platform/host.hpp"
#include "player/overlay.hpp"
#include "player/player_settings.hpp"
#include "player/player_state.hpp"
#include "player/read_messages.hpp"
#include "player/settings_menu.hpp"
#include "story/story.hpp"

namespace zarvo {

namespace platform {
class Canvas;
class Clock;
class Dialogs;
class FileSystem;
class FontEngine;
class MediaPlayerFactory;
}  // namespace platform

class Backlog;
struct MessageRollback;
class MusicControl;
class RollbackHistory;
class Notices;
class PlayerNotice;
class SaveStates;
class SaveFiles;
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
    // How long Ctrl is held before it skips: a chord such as Ctrl+C never skips.
    static constexpr uint32_t kCtrlSkipDelayMs = 150;

    // `programDir` holds the system library and the image plug-ins.
    Player(const Services& services, const std::string& programDir);
    ~Player() override;  // the shutdown sequence

    // Start-up: opens the project and the system library and calls "_init". `projectPath` is
    // the project file (a host path); `programDir` the folder that holds the system library.
    void open(const std::string& projectPath, const std::string& programDir);
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
    // The player's own keys come first (player_keys.cpp): Alt+Enter and F11 full screen, Ctrl
    // held to skip messages, F12 screenshot; Space and Enter then end a wait.
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
    DebugHooks* debugWindow() const { return debug_.get(); }

    // The reader's settings, the same for every story: read from `path` at the first show and
    // written back whole when the menu changed them. No path: the defaults, nothing written.
    void usePlayerSettingsFile(const std::string& path) { settingsPath_ = path; }
    // The language of the player's own texts; set before open().
    void setLanguage(MenuLanguage language);
    // Where screenshots go: the reader's pictures folder (empty: none, a screenshot says so).
    void usePicturesFolder(const std::string& folder) { picturesFolder_ = folder; }
    const PlayerSettings& playerSettings() const { return settings_; }
    // Escape, F1 and the pad's Start open it; the story holds still while it is open.
    void openSettingsMenu();

    Story& story() { return *story_; }
    Execution& execution() { return *execution_; }
    Screen& screen() { return *screen_; }
    MusicControl& music() { return *music_; }
    SaveFiles& saveSystem() { return *save_; }
    // Writes screen 0 as it is shown now as a PNG file; a reader's screenshot leaves out the
    // player's notice (the one of the shot before may still be up).
    bool saveScreenshot(const std::string& path, bool withNotice = true);
    bool legacyMode() const { return legacyMode_; }
    // Full screen and back (the System command, shutdown); "%_fullscreen%" follows.
    void enterFullScreen() override;
    void leaveFullScreen() override;
    bool fullScreen() const { return fullScreen_; }
    // The reader's settings take effect at once (text speed, line breaking, ...).
    void usePlayerSettings(const PlayerSettings& settings);
    // --text-speed: this run types at `speed` whatever the settings say; the file keeps its own.
    void forceTextSpeed(TextSpeed speed);
    // Remembers which messages were read in `folder` (the user's data folder), for the skip
    // toggle; call after open(). Empty: nothing is remembered beyond this run.
    void keepReadMessages(const std::string& folder);
    // True when the program ends because of a fatal error rather than the story's end.
    bool endedByFatalError() const { return fatalError_ || story_->fatalError(); }
    // Why, in the reader's language (UTF-8), as the last box said it; empty when none did.
    std::string fatalReason() const;
    // Save states (player_states.cpp). The whole run as it is now; empty while a command runs
    // (input pumped inside a transition or a sound wait), when no consistent state exists.
    PlayerState captureState(PictureStorage pictures = PictureStorage::Deflated);
    // Back to a state taken earlier, checked in full first: anything but None leaves the run as
    // it was. The run goes on exactly as it went on from the moment it was taken, with skip
    // and auto mode off.
    StateRefusal restoreState(const PlayerState& state);
    // The reader's save states of this story go to their folder inside `dataFolder` (the user's
    // data folder); call after open(). Empty: none are kept and saving says so.
    void keepSaveStates(const std::string& dataFolder);
    // Slot 0 is the quick slot (F5, F9), 1 to 24 the overlay's. Asked for while a command runs,
    // the save or load happens after it. A slot that cannot be written or a state that does
    // not fit is told in a box, and nothing else changes. Traced "state save N" / "state load N".
    bool saveState(int slot);
    bool loadState(int slot);

    // Rollback (player_rollback.cpp): back `messages` messages before the one shown last, the
    // story's whole state as it was when that one was shown; false when the history does not
    // reach (a notice says so) or the run cannot go back now.
    bool rollBack(int messages);
    const RollbackHistory& rollbackHistory() const;

    // True when the story has ended and its last frame waits for the reader (it was skipped or
    // auto-read to its end): an ended story, though the window is still up.
    bool heldAtStoryEnd() const { return storyEndHeld_; }

  private:
    class EndingDialogs;
    class ShownCanvas;

    void endProgram(bool fatal) override;
    void setUpScreen();
    void startStory();
    // The settings kept between runs: read at the first show, written at shutdown.
    void loadSettings();
    void saveWindowState();
    void composeAndPaint();
    void setCursor(platform::Cursor cursor);
    // The player's own overlays, bottom first; the topmost open one takes the input.
    Overlay& addOverlay(std::unique_ptr<Overlay> overlay);
    Overlay* openOverlay() const;
    // Shows the story's frame again with the overlays as they are now (one opened or closed or
    // changed).
    void showOverlays();
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
    // On every timer tick: keeps Ctrl's message skip on and takes down an expired notice.
    void tickPlayerKeys();
    // Message skip while Ctrl or a shoulder button is held.
    void holdSkip(bool on);
    // Buttons without a mouse (player_focus.cpp): moves the pointed-at state between the
    // buttons that respond now, shown as the pointer would show it; false when none responds.
    bool moveFocus(bool forward);
    // Clicks the pointed-at button when the story waits for one; false when none is.
    bool clickActiveLayer();
    void padButton(platform::PadButton button, bool down);
    // The settings menu (player_settings_menu.cpp).
    void readPlayerSettings();
    // Writes the reader's settings when they changed since they were read or written.
    void writePlayerSettings();
    void buildSettingsMenu();
    // Records a change of the reader's settings and traces it.
    void settingChanged(const std::string& name, const std::string& value);
    void settingsMenuOpened(bool open);
    // Traces the change; the reader sees a notice of the modes that keys turn on and off.
    void tellPlayerEvent(const std::string& what);
    // Reading pace (player_reading.cpp). After the steps of a round: asks the host to wake the
    // player when a typing message's next character is due.
    void afterSteps();
    // Sees each command before it runs: a message the reader has not read stops the skip toggle.
    void noteCommand(const std::string& book, const std::string& page, int32_t index,
                     const Command& command);
    // The skip toggle (key S) on or off; skip on/off is traced as Ctrl or the toggle change it.
    void setSkipToggle(bool on);
    void traceSkip();
    // Key H or a middle click: the picture without its text until the next click or key.
    void hideText();
    // Ctrl+C: the message as far as it shows now, tags removed, to the clipboard (and the trace).
    void copyMessage();
    // At the end of each message: keeps it for the backlog, and copies it when the reader asked
    // for every message.
    void messageCompleted();
    // Wheel up, Page Up or the pad's B: the last messages over the story.
    void openBacklog();
    // Auto mode (key A) on or off; while on, key waits end after the reader's auto delays.
    void setAutoMode(bool on);
    // True when auto mode ended the key wait shown now.
    bool runAutoMode();
    // True while a skipped message's wait has not yet been shown for a frame.
    bool skipFrameShowing();
    // Rollback: sees each command (a message's is followed by a snapshot), takes the snapshot,
    // counts the messages the backlog keeps, deflates a few pieces on a tick, and goes back to
    // the message a backlog entry shows.
    void noteRollback(const Command& command);
    void takeRollbackSnapshot();
    void rollbackMessageRecorded();
    void compressRollback();
    void chooseBacklogEntry(int back);
    // After input: the story moves on at once instead of at the next tick.
    void answerInput();
    // A click, Space or Enter while a run of text types itself out shows the rest of the run.
    bool hurryTyping();
    // Save states (player_states.cpp).
    SaveStates& saveStates();
    // A save or load asked for while a command ran.
    void runPendingState();

    std::unique_ptr<EndingDialogs> endingDialogs_;
    Services services_;                 // its dialogs only through endingDialogs_
    std::unique_ptr<Notices> notices_;  // the engine's boxes, shown through endingDialogs_
    std::vector<std::unique_ptr<Overlay>> overlays_;
    std::unique_ptr<PlayerNotice> readerNotice_;  // drawn over the overlays, never one of them
    std::unique_ptr<ShownCanvas> shown_;          // between screen 0 and the host's canvas
    std::unique_ptr<Story> story_;
    std::unique_ptr<Execution> execution_;
    std::unique_ptr<Screen> screen_;
    std::unique_ptr<MusicControl> music_;
    std::unique_ptr<SaveFiles> save_;
    std::unique_ptr<Interpreter> interpreter_;
    std::string projectPath_;
    bool legacyMode_ = false;
    bool firstShowPending_ = true;
    bool firstActivationPending_ = true;
    bool stepping_ = false;
    platform::Cursor cursor_ = platform::Cursor::Default;
    bool fatalError_ = false;
    bool fullScreen_ = false;
    bool settingsLoaded_ = false;  // only settings that were read are written back
    std::string storyCaption_;
    bool storyEndHeld_ = false;
    std::string picturesFolder_;
    bool altHeld_ = false;
    bool ctrlHeld_ = false;
    bool shiftHeld_ = false;
    int padSkipHeld_ = 0;                // shoulder buttons held
    bool ctrlSkips_ = false;             // the held Ctrl key turned message skip on and keeps it on
    std::unique_ptr<DebugHooks> debug_;  // only in debug mode
    PlayerSettings settings_;
    std::optional<TextSpeed> textSpeedOverride_;
    std::string settingsPath_;
    bool settingsDirty_ = false;  // changed since read: written when the menu closes
    MenuLanguage language_ = MenuLanguage::Japanese;
    SettingsMenu* menu_ = nullptr;  // one of overlays_
    uint32_t skipFrameStart_ = 0;   // when the skip reached the message wait now shown
    bool skipToggle_ = false;       // key S: skips until a click, a key or an unread message
    bool autoMode_ = false;         // key A: key waits end by themselves
    bool ctrlChord_ = false;        // another key went down with Ctrl held: no skip for this hold
    uint32_t ctrlDownAt_ = 0;
    std::string lastMessageLayer_;
    Overlay* hideOverlay_ = nullptr;  // owned by overlays_
    Backlog* backlog_ = nullptr;      // owned by overlays_
    std::unique_ptr<MessageRollback> rollback_;
    bool messagePending_ = false;             // a message began and is not yet in the backlog
    std::optional<std::string> pendingText_;  // its whole text, before pages took it apart
    bool autoArmed_ = false;                  // the key wait shown now is being timed
    uint32_t autoStart_ = 0, autoLength_ = 0;
    bool skipTraced_ = false;
    std::unique_ptr<SaveStates> states_;  // made at the first use
    ReadMessages read_;
    std::string readPath_;  // empty: not kept
};

}  // namespace zarvo
