#include "player/player.hpp"

#include "audio/music_control.hpp"
#include "base/name_value.hpp"
#include "formats/png.hpp"
#include "platform/canvas.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "player/notices.hpp"
#include "player/player_notice.hpp"
#include "player/rollback_history.hpp"
#include "player/save_states.hpp"
#include "save/save_files.hpp"
#include "story/reader_copy_file_system.hpp"
#include "story/story_finder.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

Player::Player(const Services& services, const std::string& programDir)
    : parts_(StoryParts::Services{services.host, services.clock, services.dialogs, services.files,
                                  services.fonts, services.players},
             programDir, *this),
      services_{services.host,  services.clock,  services.dialogs, *parts_.files,
                services.fonts, services.canvas, services.players},
      settings_(*parts_.files, *parts_.screen),
      messages_(ShownMessages::Services{services.host, *parts_.files, *parts_.screen, *parts_.save,
                                        overlays_, settings_.settings()},
                [this](const std::string& what) { tellPlayerEvent(what); }),
      modes_(ReadingModes::Services{services.host, services.clock, parts_.execution->state(),
                                    *parts_.screen, settings_.settings(), overlays_,
                                    messages_.layer()},
             ReadingModes::Hooks{[this](const std::string& what) { tellPlayerEvent(what); },
                                 [this] { answerInput(); }, [this] { runSteps(); }}) {
    parts_.interpreter->onCommand = [this](const std::string& book, const std::string& page,
                                           int32_t index, const Command& command) {
        // A message the reader has not read stops the skip toggle.
        if (messages_.beginsUnread(book, page, index, command)) modes_.unreadMessage();
        noteRollback(command);
        if (onCommand) onCommand(book, page, index, command);
    };
    parts_.dialogs->onBox = [this] { modes_.setSkipToggle(false); };
    rollback_ = std::make_unique<MessageRollback>();
    messages_.onRecorded = [this] { ++rollback_->recorded; };
    messages_.onChoose = [this](int back) { chooseBacklogEntry(back); };
}

Player::~Player() {
    parts_.dialogs->shuttingDown = true;
    if (!messages_.saveRead()) warn("cannot write the read messages " + messages_.readPath());
    // The next run opens in full screen again; the window's own size and place are kept apart.
    parts_.story->windowFullScreen = window_.fullScreen;
    leaveFullScreen();
    saveWindowState();
    // The window may close while the menu is still open.
    settings_.write([this](const std::string& utf8) { warn(utf8); });
    parts_.save->closeSaveFile();
    parts_.story->closeSavePackage();
    parts_.story->closeLibrary();
    parts_.story->closeProject();
    parts_.debug.reset();  // first of the owned windows and controllers to go
}

void Player::keepStateNow() {
    if (!messages_.saveRead()) warn("cannot write the read messages " + messages_.readPath());
    parts_.story->windowFullScreen = window_.fullScreen;
    saveWindowState();
}

std::string Player::defaultProjectPath(const std::string& programPath) {
    return platform::replaceExtension(programPath, ".zp7");
}

void Player::open(const std::string& projectPath, const std::string& programDir) {
    // Seeded once from the local time, for the random system variable.
    platform::LocalTime t = services_.clock.localTime();
    // In unsigned arithmetic: the seconds since year 0 overflow a signed 32-bit value, and a
    // seed may wrap.
    uint32_t days = (static_cast<uint32_t>(t.year) * 12 + t.month) * 31 + t.day;
    parts_.story->variables().seed(days * 86400u + t.hour * 3600u + t.minute * 60u + t.second);

    projectPath_ = projectPath;
    parts_.programDir = programDir;
    std::string path = projectPath;
    if (services_.files.directoryExists(path)) {
        StorySearch found = findStories(services_.files, path);
        if (found.stories.size() > 1) {
            chooser_.stories = std::move(found.stories);
            return;
        }
        // None: the story says what the folder holds when it cannot open it.
        if (found.stories.size() == 1) path = found.stories[0];
    }
    openStory(path);
}

void Player::openStory(const std::string& path) {
    // A story that cannot write beside itself writes in the reader's folder instead.
    parts_.keepWritesOf(path);
    if (!parts_.story->openProject(path)) return;
    parts_.execution->begin(parts_.story->startBook(), parts_.story->startPage());

    std::string library = platform::joinPath(parts_.programDir, kLibraryName);
    if (parts_.story->openLibrary(library)) {
        // "_init" runs first; its Return continues with the story's start page.
        parts_.execution->callPage("_system", "_init");
    } else {
        parts_.notices->tell(platform::Notice::LibraryOpenFailed);
    }
}

std::string Player::storyWritesFolder() const {
    return parts_.files->redirected() ? parts_.files->readerFolder() : std::string();
}

void Player::show() {
    if (!run_.firstShowPending) return;
    if (choosingStory()) {
        showStoryChooser();
        return;
    }
    run_.firstShowPending = false;
    setUpScreen();
    loadSettings();
    settings_.read([this](const std::string& utf8) { warn(utf8); });
    buildSettingsMenu();
    // The debug window is for packaged stories only: a plain script never opens it.
    ScriptFile& script = parts_.story->script();
    if (parts_.story->isPackaged() && script.readHeadBool("Zarvo", "DebugMode", false) &&
        createDebugWindow) {
        DebugWindowRequest request;
        request.story = parts_.story.get();
        request.execution = parts_.execution.get();
        request.screen = parts_.screen.get();
        request.imageWidth = script.readHeadInt("Zarvo", "ImageWidth", 640);
        request.left = request.imageWidth + parts_.story->windowLeft + 32;
        request.top = parts_.story->windowTop;
        parts_.debug = createDebugWindow(request);
    }
}

void Player::loadSettings() {
    parts_.legacyMode = parts_.story->script().readHeadBool("Zarvo", "LegacyMode", false);
    parts_.interpreter->setLegacyMode(parts_.legacyMode);
    if (parts_.story->dataDir().empty()) return;  // no project: no settings of its own
    window_.storySettingsRead = true;
    // The window goes where it was last time; the first time the desktop places it.
    if (parts_.save->loadSystemSettings(parts_.save->settingsPath()) &&
        (findNameLine(parts_.save->settings(), "System.Left") >= 0 ||
         findNameLine(parts_.save->settings(), "System.Top") >= 0))
        services_.host.setWindowPosition(parts_.story->windowLeft, parts_.story->windowTop);
    if (parts_.story->windowWidth > 0 && parts_.story->windowHeight > 0)
        services_.host.setWindowSize(parts_.story->windowWidth, parts_.story->windowHeight);
    if (parts_.story->windowFullScreen) enterFullScreen();
}

void Player::saveWindowState() {
    if (!window_.storySettingsRead) return;  // nothing was read that could be kept
    services_.host.windowPosition(parts_.story->windowLeft, parts_.story->windowTop);
    int width = 0, height = 0;
    if (services_.host.windowSize(width, height) && width > 0 && height > 0) {
        parts_.story->windowWidth = width;
        parts_.story->windowHeight = height;
    }
    // The window is closing: no box, but values kept there must not vanish unsaid.
    const std::string path = parts_.save->settingsPath();
    if (!parts_.save->saveSystemSettings(path)) warn("cannot write the story's settings " + path);
}

void Player::enterFullScreen() {
    if (window_.fullScreen || !services_.host.setFullScreen(true)) return;
    window_.fullScreen = true;
    parts_.story->variables().setValue("%_fullscreen%", 1);
}

void Player::leaveFullScreen() {
    if (!window_.fullScreen) return;
    services_.host.setFullScreen(false);
    window_.fullScreen = false;
    parts_.story->variables().setValue("%_fullscreen%", 0);
}

void Player::setUpScreen() {
    Screen& screen = *parts_.screen;
    screen.setUpWindows();
    const WindowSettings* main = screen.getWindow(0);
    services_.host.setClientSize(main->imageWidth, main->imageHeight);
    screen.setCanvas(overlays_.setUp(services_.fonts, parts_.story->systemFont, services_.canvas),
                     0);
}

void Player::showEmptyScreen(int width, int height, uint32_t pixel) {
    services_.host.setClientSize(width, height);
    platform::Canvas* shown =
        overlays_.setUp(services_.fonts, parts_.story->systemFont, services_.canvas);
    if (!shown) return;
    const std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height),
                                       pixel);
    shown->present(pixels.data(), width, height, width);
}

void Player::startStory() {
    ScriptFile& script = parts_.story->script();
    window_.caption = script.readHeadString("Zarvo", "Title", "");
    services_.host.setCaption(window_.caption);
    std::string opening = script.readHeadString("Zarvo", "Opening", "");
    // Layers start hidden; the opening picture is meant to be seen before the first command.
    if (!opening.empty() && opening != "Default" &&
        parts_.screen->loadLayerImage(0, texts::kBackgroundLayer, opening, false, false))
        parts_.screen->setLayerVisible(0, texts::kBackgroundLayer, true);
    parts_.screen->compose(0);
    parts_.screen->paint(0);
}

void Player::composeAndPaint() {
    parts_.screen->compose(0);
    parts_.screen->paint(0);
}

void Player::onPaint() {
    if (parts_.screen->screen(0)) parts_.screen->paint(0);
}

bool Player::saveScreenshot(const std::string& path, bool withNotice) {
    Surface withoutNotice;
    const Surface* shot = nullptr;
    if (!withNotice && overlays_.shownFrameWithoutNotice(withoutNotice))
        shot = &withoutNotice;
    else
        shot = overlays_.shownFrame();
    if (!shot) {
        LayerStack* s = parts_.screen->screen(0);
        if (!s) return false;
        shot = &s->output();
    }
    std::string bytes;
    return encodePng(shot->view(), bytes) && services_.files.writeFile(path, bytes);
}

void Player::activate() {
    if (!run_.firstActivationPending || choosingStory()) return;
    run_.firstActivationPending = false;
    if (services_.host.isTerminating()) return;
    startStory();
    if (services_.host.isTerminating()) return;  // Abort in the opening picture's box
    services_.host.setTimerEnabled(true);
}

void Player::endProgram(bool fatal) {
    // Skipped or auto-read to the end, the reader would not see the last page at all.
    if (!fatal && modes_.unattended() && !services_.host.isTerminating()) {
        holdStoryEnd();
        if (run_.storyEndHeld) return;
    }
    run_.fatalError = run_.fatalError || fatal;
    services_.host.setTimerEnabled(false);
    services_.host.terminate();
}

void Player::onMainTimer() {
    tickPlayerKeys();
    runSteps();
    compressRollback();
}

void Player::runSteps() {
    if (run_.stepping) return;  // a tick arriving while messages are pumped inside a run
    run_.stepping = true;
    bool first = true;
    for (;;) {
        if (!first) services_.host.processMessages();
        first = false;
        if (services_.host.isTerminating()) {
            // The stepping flag stays set: nothing runs any more.
            services_.host.setTimerEnabled(false);
            return;
        }
        // The story holds still while the player's own overlay is open.
        if (overlays_.open() || !step()) break;
        // A message that has just begun shows its first run now, not at the next tick.
        RunState& process = parts_.execution->state();
        if (!process.canStep() && process.playerMode() != PlayerMode::Message) break;
    }
    run_.stepping = false;
    runPendingState();
    modes_.afterSteps();
}

bool Player::step() {
    RunState& process = parts_.execution->state();
    Screen& screen = *parts_.screen;
    messages_.beforeStep(process);
    if (!modes_.skipFrameShowing() && process.messageCanAdvance() &&
        !screen.revealMessage(0, process.layerName())) {
        process.endMessageEffect();
        messages_.completed();
        composeAndPaint();
    }
    if (process.halfSecondElapsed()) {
        bool changed = parts_.screen->advanceAnimations(false);
        changed =
            parts_.screen->updateTimerGauges(false, process.remainingWaitSeconds()) || changed;
        if (changed) parts_.screen->refreshAndPaint(0);
    }
    parts_.music->pollMusic();
    if (parts_.debug) {
        parts_.debug->debugGate();
        // Closing the program while paused ends the gate; no command runs after that.
        if (services_.host.isTerminating()) return false;
    }
    screen.shortEffects = modes_.skipping();
    const Interpreter::Step ran = parts_.interpreter->step();
    if (rollback_->snapshotDue) takeRollbackSnapshot();
    if (ran == Interpreter::Step::Idle) return false;
    if (parts_.debug) parts_.debug->refreshDebugInfo();
    return ran == Interpreter::Step::Continue;
}

void Player::setCursor(platform::Cursor cursor) {
    if (cursor == window_.cursor) return;
    window_.cursor = cursor;
    services_.host.setCursor(cursor);
    if (onCursorChange) onCursorChange(cursor);
}

void Player::onMouseDown(platform::MouseButton button, int x, int y) {
    if (Overlay* overlay = overlays_.open()) {
        overlay->onMouseDown(button, x, y);
        overlays_.present();
        return;
    }
    perform(input_.mouseDown(button), x, y);
}

bool Player::clickActiveLayer() {
    RunState& process = parts_.execution->state();
    DynamicLayer* layers = parts_.screen->dynamicLayers(0);
    DynamicLayerClick click;
    if (process.clickWaitState() == ClickWait::None || !layers || !layers->takeClick(click))
        return false;
    switch (click.pageChange) {
        case DLPageChange::Move:
            parts_.execution->jumpTo(click.book, click.page);
            break;
        case DLPageChange::Call:
            parts_.execution->callPage(click.book, click.page);
            break;
        case DLPageChange::KeepCall:
            parts_.execution->callPageKeepState(click.book, click.page);
            break;
    }
    parts_.screen->refreshAndPaint(0);
    // Only a wait whose time runs out takes the expired layers (id 2000) along; stories keep
    // layers of that id up across waits that input ends.
    process.endWait();
    setCursor(platform::Cursor::Default);
    answerInput();
    return true;
}

void Player::onMouseMove(int x, int y) {
    if (Overlay* overlay = overlays_.open()) {
        overlay->onMouseMove(x, y);
        overlays_.present();
        return;
    }
    ClickWait state = parts_.execution->state().clickWaitState();
    DynamicLayer* layers = parts_.screen->dynamicLayers(0);
    platform::Cursor wanted = platform::Cursor::Default;
    if (state != ClickWait::None && layers) {
        if (layers->hitTest(x, y, state == ClickWait::Layers)) parts_.screen->refreshAndPaint(0);
        if (layers->activeCursor()) wanted = platform::Cursor::Select;
    }
    setCursor(wanted);
}

bool Player::waitsForInputOnly() const {
    // A notice goes by itself.
    if (overlays_.notice() && overlays_.notice()->expires()) return false;
    if (overlays_.open()) return true;
    const RunState& process = parts_.execution->state();
    PlayerMode mode = process.playerMode();
    // Auto mode ends a key wait by itself, and so does a held Ctrl about to skip.
    return (mode == PlayerMode::Waiting || mode == PlayerMode::MessageWait) && !process.timer() &&
           !process.messageSkip() && !modes_.endsWaitItself(input_.ctrlMaySkip());
}

}  // namespace zarvo
