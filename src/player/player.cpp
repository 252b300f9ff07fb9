#include "player/player.hpp"

#include <algorithm>

#include "audio/music_control.hpp"
#include "base/name_value.hpp"
#include "formats/png.hpp"
#include "platform/canvas.hpp"
#include "platform/clock.hpp"
#include "platform/dialogs.hpp"
#include "platform/file_system.hpp"
#include "player/notices.hpp"
#include "player/player_notice.hpp"
#include "player/rollback_history.hpp"
#include "player/save_states.hpp"
#include "save/save_files.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxAnswer;
using platform::BoxKind;

// Once the program is terminating, the rest of the run shows no box: each one that would follow
// (the report after an aborted load, say) takes the answer that changes nothing. The shutdown
// sequence reports again, so a setting that cannot be written is still told.
class Player::EndingDialogs final : public platform::Dialogs {
  public:
    EndingDialogs(platform::Dialogs& inner, platform::Host& host) : inner_(inner), host_(host) {}

    BoxAnswer showMessage(BoxKind kind, std::string_view text) override {
        return showMessageWithNote(kind, text, {});
    }
    BoxAnswer showMessageWithNote(BoxKind kind, std::string_view text,
                                  std::string_view note) override {
        if (onBox) onBox();
        if (!silent()) return inner_.showMessageWithNote(kind, text, note);
        switch (kind) {
            case BoxKind::ErrorAbortIgnore:
            case BoxKind::WarningAbortIgnore:
                return BoxAnswer::Abort;
            case BoxKind::WarningYesNo:
                return BoxAnswer::No;
            default:
                return BoxAnswer::Ok;
        }
    }
    bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) override {
        if (onBox) onBox();
        return !silent() && inner_.inputBox(caption, prompt, value);
    }

    bool shuttingDown = false;
    std::function<void()> onBox;  // before every box: a skip stops there

  private:
    bool silent() const { return !shuttingDown && host_.isTerminating(); }

    platform::Dialogs& inner_;
    platform::Host& host_;
};

// Passes every frame on to the host's canvas and keeps the last one: a screenshot is what the
// window shows, also halfway through an effect, when the composed picture is not shown yet. Open
// overlays are drawn over a copy, so the story's own frame stays as it was.
class Player::ShownCanvas final : public platform::Canvas {
  public:
    ShownCanvas(platform::Canvas& inner, const std::vector<std::unique_ptr<Overlay>>& overlays,
                Overlay& notice)
        : inner_(inner), overlays_(overlays), notice_(notice) {}

    void present(const uint32_t* pixels, int width, int height, int stride) override {
        if (width != story_.width() || height != story_.height()) story_.setSize(width, height);
        if (story_.width() != width || story_.height() != height) {
            inner_.present(pixels, width, height, stride);
            return;
        }
        for (int y = 0; y < height; ++y)
            std::copy_n(pixels + static_cast<size_t>(y) * static_cast<size_t>(stride), width,
                        story_.row(y));
        shown_ = true;
        presentShown();
    }
    // Shows the story's last frame again with the overlays open now, the notice on top.
    void presentShown() {
        if (!shown_) return;
        const Surface* frame = &story_;
        if (anyOpen() || notice_.isOpen()) {
            decorated_ = story_;
            drawOverlays(decorated_, true);
            frame = &decorated_;
        }
        decoratedShown_ = frame == &decorated_;
        inner_.present(frame->row(0), frame->width(), frame->height(), frame->width());
    }
    // What the window shows; nothing until the first frame.
    const Surface* frame() const {
        return !shown_ ? nullptr : decoratedShown_ ? &decorated_ : &story_;
    }
    // What the window shows without the notice: a reader's screenshot, taken while the notice
    // of the one before is still up.
    bool frameWithoutNotice(Surface& out) const {
        if (!shown_) return false;
        out = story_;
        drawOverlays(out, false);
        return true;
    }

  private:
    bool anyOpen() const {
        for (const auto& overlay : overlays_)
            if (overlay->isOpen()) return true;
        return false;
    }
    void drawOverlays(Surface& frame, bool notice) const {
        for (const auto& overlay : overlays_)
            if (overlay->isOpen()) overlay->draw(frame);
        if (notice && notice_.isOpen()) notice_.draw(frame);
    }

    platform::Canvas& inner_;
    const std::vector<std::unique_ptr<Overlay>>& overlays_;
    Overlay& notice_;
    Surface story_;
    Surface decorated_;
    bool shown_ = false;
    bool decoratedShown_ = false;
};

Player::Player(const Services& services, const std::string& programDir)
    : endingDialogs_(std::make_unique<EndingDialogs>(services.dialogs, services.host)),
      services_(services),
      notices_(std::make_unique<Notices>(*endingDialogs_)),
      story_(std::make_unique<Story>(
          Story::Services{&services.host, services.clock, *notices_, services.files, programDir})),
      execution_(std::make_unique<Execution>(story_->script(), services.clock, *notices_)) {
    Screen::Services screen{.script = story_->script(),
                            .process = execution_->state(),
                            .layerDefinitions = story_->layers(),
                            .systemFont = story_->systemFont,
                            .notices = *notices_};
    screen.loadGraphic = [this](std::string_view name, Surface& surface) {
        Picture picture;
        if (!story_->loadPicture(name, picture)) return false;
        surface.assignPicture(std::move(picture));
        return true;
    };
    screen.endApplication = [this] { endProgram(true); };
    screen.fonts = services.fonts;
    screen.effects.clock = &services.clock;
    screen.effects.pumpMessages = [&host = services.host] { host.processMessages(); };
    screen_ = std::make_unique<Screen>(screen);
    music_ = std::make_unique<MusicControl>(
        MusicControl::Services{services.players, services.host, services.clock});
    save_ = std::make_unique<SaveFiles>(SaveFiles::Services{
        *story_, *execution_, *screen_, *music_, *notices_, services.files, services.clock});
    interpreter_ = std::make_unique<Interpreter>(Interpreter::Parts{
        *story_, *execution_, *screen_, *music_, *save_, *endingDialogs_, *notices_, *this});
    interpreter_->onCommand = [this](const std::string& book, const std::string& page,
                                     int32_t index, const Command& command) {
        noteCommand(book, page, index, command);
        if (onCommand) onCommand(book, page, index, command);
    };
    endingDialogs_->onBox = [this] { setSkipToggle(false); };
    rollback_ = std::make_unique<MessageRollback>();
}

Player::~Player() {
    if (endingDialogs_) endingDialogs_->shuttingDown = true;
    if (!readPath_.empty() && !read_.save(services_.files, readPath_) && onWarning)
        onWarning("cannot write the read messages " + readPath_);
    // The next run opens in full screen again; the window's own size and place are kept apart.
    story_->windowFullScreen = fullScreen_;
    leaveFullScreen();
    saveWindowState();
    writePlayerSettings();  // the window may close while the menu is still open
    save_->closeSaveFile();
    story_->closeSavePackage();
    story_->closeLibrary();
    story_->closeProject();
    debug_.reset();  // first of the owned windows and controllers to go
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
    story_->variables().seed(days * 86400u + t.hour * 3600u + t.minute * 60u + t.second);

    projectPath_ = projectPath;
    if (!story_->openProject(projectPath_)) return;
    execution_->begin(story_->startBook(), story_->startPage());

    std::string library = platform::joinPath(programDir, kLibraryName);
    if (story_->openLibrary(library)) {
        // "_init" runs first; its Return continues with the story's start page.
        execution_->callPage("_system", "_init");
    } else {
        notices_->tell(platform::Notice::LibraryOpenFailed);
    }
}

void Player::show() {
    if (!firstShowPending_) return;
    firstShowPending_ = false;
    setUpScreen();
    loadSettings();
    readPlayerSettings();
    buildSettingsMenu();
    // The debug window is for packaged stories only: a plain script never opens it.
    ScriptFile& script = story_->script();
    if (story_->isPackaged() && script.readHeadBool("Zarvo", "DebugMode", false) &&
        createDebugWindow) {
        DebugWindowRequest request;
        request.story = story_.get();
        request.execution = execution_.get();
        request.screen = screen_.get();
        request.imageWidth = script.readHeadInt("Zarvo", "ImageWidth", 640);
        request.left = request.imageWidth + story_->windowLeft + 32;
        request.top = story_->windowTop;
        debug_ = createDebugWindow(request);
    }
}

void Player::loadSettings() {
    legacyMode_ = story_->script().readHeadBool("Zarvo", "LegacyMode", false);
    interpreter_->setLegacyMode(legacyMode_);
    if (story_->dataDir().empty()) return;  // no project: no settings of its own
    settingsLoaded_ = true;
    // The window goes where it was last time; the first time the desktop places it.
    if (save_->loadSystemSettings(save_->settingsPath()) &&
        (findNameLine(save_->settings(), "System.Left") >= 0 ||
         findNameLine(save_->settings(), "System.Top") >= 0))
        services_.host.setWindowPosition(story_->windowLeft, story_->windowTop);
    if (story_->windowWidth > 0 && story_->windowHeight > 0)
        services_.host.setWindowSize(story_->windowWidth, story_->windowHeight);
    if (story_->windowFullScreen) enterFullScreen();
}

void Player::saveWindowState() {
    if (!settingsLoaded_) return;  // nothing was read that could be kept
    services_.host.windowPosition(story_->windowLeft, story_->windowTop);
    int width = 0, height = 0;
    if (services_.host.windowSize(width, height) && width > 0 && height > 0) {
        story_->windowWidth = width;
        story_->windowHeight = height;
    }
    // The window is closing: no box, but values kept there must not vanish unsaid.
    const std::string path = save_->settingsPath();
    if (!save_->saveSystemSettings(path) && onWarning)
        onWarning("cannot write the story's settings " + path);
}

void Player::enterFullScreen() {
    if (fullScreen_ || !services_.host.setFullScreen(true)) return;
    fullScreen_ = true;
    story_->variables().setValue("%_fullscreen%", 1);
}

void Player::leaveFullScreen() {
    if (!fullScreen_) return;
    services_.host.setFullScreen(false);
    fullScreen_ = false;
    story_->variables().setValue("%_fullscreen%", 0);
}

void Player::setUpScreen() {
    screen_->setUpWindows();
    const WindowSettings* main = screen_->getWindow(0);
    services_.host.setClientSize(main->imageWidth, main->imageHeight);
    if (!readerNotice_)
        readerNotice_ = std::make_unique<PlayerNotice>(services_.fonts, story_->systemFont);
    if (services_.canvas && !shown_)
        shown_ = std::make_unique<ShownCanvas>(*services_.canvas, overlays_, *readerNotice_);
    screen_->setCanvas(shown_.get(), 0);
}

void Player::startStory() {
    ScriptFile& script = story_->script();
    storyCaption_ = script.readHeadString("Zarvo", "Title", "");
    services_.host.setCaption(storyCaption_);
    std::string opening = script.readHeadString("Zarvo", "Opening", "");
    // Layers start hidden; the opening picture is meant to be seen before the first command.
    if (!opening.empty() && opening != "Default" &&
        screen_->loadLayerImage(0, texts::kBackgroundLayer, opening, false, false))
        screen_->setLayerVisible(0, texts::kBackgroundLayer, true);
    screen_->compose(0);
    screen_->paint(0);
}

void Player::composeAndPaint() {
    screen_->compose(0);
    screen_->paint(0);
}

Overlay& Player::addOverlay(std::unique_ptr<Overlay> overlay) {
    overlays_.push_back(std::move(overlay));
    return *overlays_.back();
}

Overlay* Player::openOverlay() const {
    for (auto it = overlays_.rbegin(); it != overlays_.rend(); ++it)
        if ((*it)->isOpen()) return it->get();
    return nullptr;
}

void Player::showOverlays() {
    if (shown_) shown_->presentShown();
}

void Player::onPaint() {
    if (screen_->screen(0)) screen_->paint(0);
}

bool Player::saveScreenshot(const std::string& path, bool withNotice) {
    Surface withoutNotice;
    const Surface* shot = nullptr;
    if (shown_ && !withNotice && shown_->frameWithoutNotice(withoutNotice))
        shot = &withoutNotice;
    else if (shown_)
        shot = shown_->frame();
    if (!shot) {
        LayerStack* s = screen_->screen(0);
        if (!s) return false;
        shot = &s->output();
    }
    std::string bytes;
    return encodePng(shot->view(), bytes) && services_.files.writeFile(path, bytes);
}

void Player::activate() {
    if (!firstActivationPending_) return;
    firstActivationPending_ = false;
    if (services_.host.isTerminating()) return;
    startStory();
    if (services_.host.isTerminating()) return;  // Abort in the opening picture's box
    services_.host.setTimerEnabled(true);
}

void Player::endProgram(bool fatal) {
    // Skipped or auto-read to the end, the reader would not see the last page at all.
    if (!fatal && (ctrlSkips_ || skipToggle_ || autoMode_) && !services_.host.isTerminating()) {
        holdStoryEnd();
        if (storyEndHeld_) return;
    }
    fatalError_ = fatalError_ || fatal;
    services_.host.setTimerEnabled(false);
    services_.host.terminate();
}

void Player::onMainTimer() {
    tickPlayerKeys();
    runSteps();
    compressRollback();
}

void Player::runSteps() {
    if (stepping_) return;  // a tick arriving while messages are pumped inside a run
    stepping_ = true;
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
        if (openOverlay() || !step()) break;
        // A message that has just begun shows its first run now, not at the next tick.
        RunState& process = execution_->state();
        if (!process.canStep() && process.playerMode() != PlayerMode::Message) break;
    }
    stepping_ = false;
    runPendingState();
    afterSteps();
}

bool Player::step() {
    RunState& process = execution_->state();
    if (!process.layerName().empty()) lastMessageLayer_ = process.layerName();
    // The first page's layout still holds the whole message; later pages hold only the rest.
    // Looked up quietly: a missing layer is the message's own error to report.
    if (messagePending_ && !pendingText_ && !process.layerName().empty())
        if (const LayerStack* stack = screen_->screen(0))
            for (int32_t i = 1; i < stack->layerCount(); ++i)
                if (stack->layerAt(i)->name == process.layerName()) {
                    pendingText_ = stack->layerAt(i)->text.layoutText;
                    break;
                }
    if (!skipFrameShowing() && process.messageCanAdvance() &&
        !screen_->revealMessage(0, process.layerName())) {
        process.endMessageEffect();
        messageCompleted();
        composeAndPaint();
    }
    if (process.halfSecondElapsed()) {
        bool changed = screen_->advanceAnimations(false);
        changed = screen_->updateTimerGauges(false, process.remainingWaitSeconds()) || changed;
        if (changed) screen_->refreshAndPaint(0);
    }
    music_->pollMusic();
    if (debug_) {
        debug_->debugGate();
        // Closing the program while paused ends the gate; no command runs after that.
        if (services_.host.isTerminating()) return false;
    }
    screen_->shortEffects = ctrlSkips_ || skipToggle_;
    const Interpreter::Step ran = interpreter_->step();
    if (rollback_->snapshotDue) takeRollbackSnapshot();
    if (ran == Interpreter::Step::Idle) return false;
    if (debug_) debug_->refreshDebugInfo();
    return ran == Interpreter::Step::Continue;
}

void Player::setCursor(platform::Cursor cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    services_.host.setCursor(cursor);
    if (onCursorChange) onCursorChange(cursor);
}

void Player::onMouseDown(platform::MouseButton button, int x, int y) {
    if (Overlay* overlay = openOverlay()) {
        overlay->onMouseDown(button, x, y);
        showOverlays();
        return;
    }
    if (button == platform::MouseButton::Middle) {
        hideText();
        return;
    }
    if (button != platform::MouseButton::Left) return;
    RunState& process = execution_->state();
    process.clearMessageSkip();
    ctrlSkips_ = false;  // a click ends the skip even while Ctrl is held
    ctrlChord_ = ctrlHeld_;
    setSkipToggle(false);
    traceSkip();
    setAutoMode(false);
    if (hurryTyping()) return;
    ClickWait state = process.clickWaitState();
    DynamicLayer* layers = screen_->dynamicLayers(0);
    // The click counts where it happens, also when the pointer has not moved since the layer
    // appeared under it.
    if (state != ClickWait::None && layers && layers->hitTest(x, y, state == ClickWait::Layers))
        screen_->refreshAndPaint(0);
    if (clickActiveLayer()) return;
    if (process.inputEndsWait()) {
        process.endWait();
        answerInput();
    }
}

bool Player::clickActiveLayer() {
    RunState& process = execution_->state();
    DynamicLayer* layers = screen_->dynamicLayers(0);
    DynamicLayerClick click;
    if (process.clickWaitState() == ClickWait::None || !layers || !layers->takeClick(click))
        return false;
    switch (click.pageChange) {
        case DLPageChange::Move:
            execution_->jumpTo(click.book, click.page);
            break;
        case DLPageChange::Call:
            execution_->callPage(click.book, click.page);
            break;
        case DLPageChange::KeepCall:
            execution_->callPageKeepState(click.book, click.page);
            break;
    }
    screen_->refreshAndPaint(0);
    // Only a wait whose time runs out takes the expired layers (id 2000) along; stories keep
    // layers of that id up across waits that input ends.
    process.endWait();
    setCursor(platform::Cursor::Default);
    answerInput();
    return true;
}

void Player::onMouseMove(int x, int y) {
    if (Overlay* overlay = openOverlay()) {
        overlay->onMouseMove(x, y);
        showOverlays();
        return;
    }
    ClickWait state = execution_->state().clickWaitState();
    DynamicLayer* layers = screen_->dynamicLayers(0);
    platform::Cursor wanted = platform::Cursor::Default;
    if (state != ClickWait::None && layers) {
        if (layers->hitTest(x, y, state == ClickWait::Layers)) screen_->refreshAndPaint(0);
        if (layers->activeCursor()) wanted = platform::Cursor::Select;
    }
    setCursor(wanted);
}

bool Player::waitsForInputOnly() const {
    // A notice goes by itself.
    if (readerNotice_ && readerNotice_->expires()) return false;
    if (openOverlay()) return true;
    const RunState& process = execution_->state();
    PlayerMode mode = process.playerMode();
    // Auto mode ends a key wait by itself, and so does a held Ctrl about to skip.
    const bool ctrlAboutToSkip =
        ctrlHeld_ && !ctrlSkips_ && !ctrlChord_ && mode == PlayerMode::MessageWait;
    return (mode == PlayerMode::Waiting || mode == PlayerMode::MessageWait) && !process.timer() &&
           !process.messageSkip() && !ctrlAboutToSkip &&
           !(autoMode_ && mode == PlayerMode::MessageWait);
}

}  // namespace zarvo
