// Reading pace: text that types itself out at the reader's speed, input answered within a frame,
// and the reader's settings taking effect.
#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "base/sjis.hpp"
#include "graphics/layers.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "player/backlog.hpp"
#include "player/player.hpp"
#include "save/save_files.hpp"

namespace zarvo {
namespace {

// Key H or a middle click: the scene without the text over it (text layers, markers and the
// other dynamic layers, and the message window's picture) until the next click or key. The story
// holds still meanwhile.
class HideOverlay final : public Overlay {
  public:
    HideOverlay(Screen& screen, const std::string& messageLayer, std::function<void(bool)> onChange)
        : screen_(screen), messageLayer_(messageLayer), onChange_(std::move(onChange)) {}

    void open() {
        if (open_) return;
        open_ = true;
        onChange_(true);
    }
    bool isOpen() const override { return open_; }
    void draw(Surface& frame) override {
        LayerStack* stack = screen_.screen(0);
        if (!stack || stack->layerCount() == 0) return;
        // Layers lose their visibility only for this picture; the story never sees it.
        std::vector<Layer*> hidden;
        for (int32_t i = 1; i < stack->layerCount(); ++i) {
            Layer* layer = stack->layerAt(i);
            if (layer->visible && isText(*layer)) hidden.push_back(layer);
        }
        if (Layer* window = messageWindow(*stack)) hidden.push_back(window);
        for (Layer* layer : hidden) layer->visible = false;
        Surface picture;
        picture.setSize(frame.width(), frame.height());
        stack->drawWithLower(stack->layerAt(stack->layerCount() - 1), picture);
        for (Layer* layer : hidden) layer->visible = true;
        frame = picture;
    }
    void onKeyDown(int) override { close(); }
    void onMouseDown(platform::MouseButton, int, int) override { close(); }
    void onPadButton(platform::PadButton, bool down) override {
        if (down) close();
    }

  private:
    static bool isText(const Layer& layer) {
        return layer.fileName.empty() && !layer.text.layoutText.empty();
    }
    // Where a layer's picture shows on the screen.
    struct Rect {
        int64_t left, top, right, bottom;
        bool contains(const Rect& r) const {
            return left <= r.left && top <= r.top && right >= r.right && bottom >= r.bottom;
        }
    };
    static Rect shownRect(const Layer& layer) {
        int64_t w = layer.surface.width() - int64_t{layer.viewLeft};
        int64_t h = layer.surface.height() - int64_t{layer.viewTop};
        if (layer.width > 1) w = std::min<int64_t>(w, layer.width);
        if (layer.height > 1) h = std::min<int64_t>(h, layer.height);
        return {layer.left, layer.top, layer.left + w, layer.top + h};
    }
    // The picture the message sits on: the nearest visible layer under the message layer that
    // holds the message's whole area. One covering the whole screen is the scene itself and
    // stays, as does the bottom layer.
    Layer* messageWindow(LayerStack& stack) const {
        // Looked up quietly: a story that deleted the layer has nothing more to hide.
        int32_t at = stack.layerCount() - 1;
        while (at > 0 && (messageLayer_.empty() || stack.layerAt(at)->name != messageLayer_)) --at;
        if (at <= 0) return nullptr;
        const Layer* message = stack.layerAt(at);
        const Rect area{message->left, message->top,
                        message->left + int64_t{std::max(message->width, 1)},
                        message->top + int64_t{std::max(message->height, 1)}};
        const Rect screen{0, 0, stack.width(), stack.height()};
        for (int32_t i = at - 1; i > 0; --i) {
            Layer* layer = stack.layerAt(i);
            if (!layer->visible || isText(*layer)) continue;
            const Rect shown = shownRect(*layer);
            if (!shown.contains(area)) continue;
            return shown.contains(screen) ? nullptr : layer;
        }
        return nullptr;
    }

    void close() {
        open_ = false;
        onChange_(false);
    }

    Screen& screen_;
    const std::string& messageLayer_;  // the player's: the layer of the last message
    std::function<void(bool)> onChange_;
    bool open_ = false;
};

// How long each skipped message shows: 50 messages a second.
constexpr uint32_t kSkipFrameMs = 20;

}  // namespace

void Player::forceTextSpeed(TextSpeed speed) {
    textSpeedOverride_ = speed;
    usePlayerSettings(settings_);
}

void Player::usePlayerSettings(const PlayerSettings& settings) {
    settings_ = settings;
    // The command line's speed holds for this run only; the file keeps the reader's own.
    const TextSpeed speed = textSpeedOverride_.value_or(settings.textSpeed);
    switch (speed) {
        case TextSpeed::Instant:
            screen_->charWaitPercent = 0;
            break;
        case TextSpeed::Slow:
            screen_->charWaitPercent = 200;
            break;
        case TextSpeed::Story:
            screen_->charWaitPercent = 100;
            break;
        case TextSpeed::Fast:
            screen_->charWaitPercent = 50;
            break;
    }
    screen_->lineBreakRules = settings.lineBreakRules;
}

void Player::keepReadMessages(const std::string& folder) {
    if (folder.empty() || projectPath_.empty()) return;
    readPath_ = ReadMessages::fileFor(services_.files, folder, projectPath_);
    // A record that cannot be read is not written over: this run's reading is not kept.
    if (!read_.load(services_.files, readPath_)) readPath_.clear();
}

void Player::noteCommand(const std::string& book, const std::string& page, int32_t index,
                         const Command& command) {
    noteRollback(command);
    if (command.type != CommandType::MessageDraw) return;
    messagePending_ = true;
    pendingText_.reset();
    bool wasRead = read_.markRead(book, page, index);
    if (!wasRead && skipToggle_ && settings_.skipReadOnly) setSkipToggle(false);
}

void Player::setSkipToggle(bool on) {
    if (on == skipToggle_) return;
    skipToggle_ = on;
    RunState& process = execution_->state();
    if (on)
        process.setMessageSkip();
    else if (!ctrlSkips_)
        process.clearMessageSkip();
    traceSkip();
    if (on) answerInput();
}

void Player::setAutoMode(bool on) {
    if (on == autoMode_) return;
    autoMode_ = on;
    autoArmed_ = false;
    tellPlayerEvent(on ? "auto on" : "auto off");
    if (on) afterSteps();
}

bool Player::runAutoMode() {
    RunState& process = execution_->state();
    if (!autoMode_ || process.playerMode() != PlayerMode::MessageWait || !process.anykeyClick() ||
        process.timer()) {
        autoArmed_ = false;
        return false;
    }
    const uint32_t now = services_.clock.ticks();
    if (!autoArmed_) {
        autoArmed_ = true;
        autoStart_ = now;
        autoLength_ = static_cast<uint32_t>(settings_.autoDelayMs) +
                      static_cast<uint32_t>(settings_.autoPerCharMs) *
                          static_cast<uint32_t>(std::max(screen_->charsBeforeLastWait(), 0));
    }
    if (!platform::tickReached(now, autoStart_, autoLength_)) {
        services_.host.wakeAfter(autoLength_ - (now - autoStart_));
        return false;
    }
    autoArmed_ = false;
    process.endWait();
    runSteps();
    return true;
}

void Player::hideText() {
    if (!hideOverlay_) {
        auto overlay = std::make_unique<HideOverlay>(*screen_, lastMessageLayer_, [this](bool on) {
            tellPlayerEvent(on ? "hide on" : "hide off");
        });
        hideOverlay_ = overlay.get();
        addOverlay(std::move(overlay));
    }
    static_cast<HideOverlay*>(hideOverlay_)->open();
    showOverlays();
}

void Player::copyMessage() {
    if (lastMessageLayer_.empty()) return;
    const Layer* layer = screen_->findLayer(0, lastMessageLayer_);
    if (!layer) return;
    // What the reader has seen so far, not what waits behind the next key wait. Tags go; "#" is
    // the message's line break.
    const std::string sjis = layer->text.layoutText.substr(0, layer->text.shownBytes());
    std::string plain;
    for (size_t i = 0; i < sjis.size();) {
        size_t length = charLength(sjis, i);
        if (sjis[i] == '<') {
            size_t close = sjis.find('>', i);
            if (close != std::string::npos) {
                i = close + 1;
                continue;
            }
        }
        plain += sjis[i] == '#' ? std::string("\n") : sjis.substr(i, length);
        i += length;
    }
    const std::string utf8 = sjisToUtf8(plain);
    services_.host.setClipboardText(utf8);
    // The trace keeps one line per event.
    std::string shown;
    for (char c : utf8) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    tellPlayerEvent("clipboard " + shown);
}

void Player::messageCompleted() {
    // A message with key waits completes once per run; the backlog keeps it once, whole, all
    // its pages.
    if (messagePending_ && !lastMessageLayer_.empty()) {
        if (const Layer* layer = screen_->findLayer(0, lastMessageLayer_)) {
            Backlog::record(save_->messageHistory(), pendingText_.value_or(layer->text.layoutText));
            rollbackMessageRecorded();
            messagePending_ = false;
            pendingText_.reset();
        }
    }
    if (settings_.copyEachMessage) copyMessage();
}

void Player::openBacklog() {
    if (openOverlay()) return;
    if (!backlog_) {
        auto backlog = std::make_unique<Backlog>(save_->messageHistory(), screen_->fonts());
        backlog->onOpenChange = [this](bool open) {
            tellPlayerEvent(open ? "backlog open" : "backlog close");
        };
        backlog->onChoose = [this](int back) { chooseBacklogEntry(back); };
        backlog_ = backlog.get();
        addOverlay(std::move(backlog));
    }
    FontStatus font;
    if (const Layer* layer = screen_->findLayer(0, lastMessageLayer_)) font = layer->text.font;
    backlog_->open(font);
    showOverlays();
}

void Player::traceSkip() {
    bool on = ctrlSkips_ || skipToggle_;
    if (on == skipTraced_) return;
    skipTraced_ = on;
    tellPlayerEvent(on ? "skip on" : "skip off");
}

void Player::afterSteps() {
    // Nothing is due while an overlay holds the story still: a wake now would only find it
    // still held, and ask again.
    if (services_.host.isTerminating() || openOverlay()) return;
    const RunState& process = execution_->state();
    const PlayerMode mode = process.playerMode();
    // Choices are the reader's to make: the skip toggle stops there.
    if (skipToggle_ && mode == PlayerMode::Waiting && process.activeClick()) setSkipToggle(false);
    if (runAutoMode()) return;
    // A skipped message shows for a frame, then the next one comes.
    if (process.messageSkip() && (mode == PlayerMode::MessageWait || mode == PlayerMode::Message)) {
        if (mode == PlayerMode::MessageWait) skipFrameStart_ = services_.clock.ticks();
        services_.host.wakeAfter(kSkipFrameMs);
        return;
    }
    // A message's own waits (each character's, "<W>") end on time rather than at the next tick.
    if (process.playerMode() == PlayerMode::MessageWait && process.timer()) {
        uint32_t passed = services_.clock.ticks() - process.waitStart();
        uint32_t length = process.waitTime() > 0 ? static_cast<uint32_t>(process.waitTime()) : 0;
        services_.host.wakeAfter(passed < length ? length - passed : 0);
    }
}

bool Player::skipFrameShowing() {
    const RunState& process = execution_->state();
    return process.messageSkip() && process.playerMode() == PlayerMode::MessageWait &&
           !platform::tickReached(services_.clock.ticks(), skipFrameStart_, kSkipFrameMs);
}

void Player::answerInput() {
    // Inside a round of steps (input pumped during an effect) the round itself goes on.
    if (stepping_ || firstActivationPending_) return;
    PlayerMode mode = execution_->state().playerMode();
    if (mode == PlayerMode::Ready || mode == PlayerMode::Message) runSteps();
}

bool Player::hurryTyping() {
    RunState& process = execution_->state();
    if (process.playerMode() != PlayerMode::MessageWait || !process.timer() ||
        !screen_->hurryMessage())
        return false;
    process.endWait();
    answerInput();
    return true;
}

}  // namespace zarvo
