// How the reader reads: the skip (Ctrl or a shoulder button held, or the skip toggle), auto mode
// with its timing, the text hidden for a look at the picture, and typing hurried along. The
// player hands it the reader's input and tells it where the story is; it answers with the waits
// it ends and the times the player is to wake.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "player/input_map.hpp"

namespace zarvo {

namespace platform {
class Clock;
class Host;
}  // namespace platform

class HideOverlay;
class OverlayStack;
class RunState;
class Screen;
struct PlayerSettings;

class ReadingModes {
  public:
    struct Services {
        platform::Host& host;
        platform::Clock& clock;
        RunState& process;
        Screen& screen;
        const PlayerSettings& settings;
        OverlayStack& overlays;
        const std::string& messageLayer;  // the layer of the last message
    };
    // What the modes ask of the player.
    struct Hooks {
        std::function<void(const std::string&)> tell;  // a change of mode: traced, and a notice
        std::function<void()> answerInput;  // input ended a wait: the story moves on at once
        std::function<void()> runSteps;     // auto mode ended a wait: the story moves on now
    };

    ReadingModes(const Services& services, Hooks hooks);

    // Messages go by without the reader: held or toggled skip.
    bool skipping() const { return heldSkip_ || skipToggle_; }
    // Skipping or auto-reading: a story that ends now would end unseen.
    bool unattended() const { return skipping() || autoMode_; }

    // The reader's input (the player's actions).
    void setSkipToggle(bool on);
    void toggleSkip() { setSkipToggle(!skipToggle_); }
    void setAutoMode(bool on);
    void toggleAuto() { setAutoMode(!autoMode_); }
    // A key other than a modifier: ends the skip toggle and auto mode unless it is their key.
    void keyPressed(PlayerAction action);
    // A left click ends every skip and auto mode, also a held Ctrl's.
    void clicked();
    // Ctrl held its moment, or a shoulder button went down: skips at once.
    void holdSkip();
    void releaseSkip();
    void hideText();
    // A click, Space or Enter while a run of text types itself out shows the rest of the run.
    bool hurryTyping();

    // Where the story is. On every timer tick: keeps the skip on while it is held (`ctrlSkipDue`:
    // Ctrl has been held its moment).
    void tick(bool ctrlSkipDue);
    // A message the reader has not read began: the skip toggle stops there when the reader asked.
    void unreadMessage();
    // After the steps of a round: ends a wait auto mode has timed out, and asks the host to wake
    // the player when a skipped message's frame or a typing message's next character is due.
    void afterSteps();
    // True while a skipped message's wait has not yet been shown for a frame.
    bool skipFrameShowing() const;
    // True when the message wait shown now ends by itself: in auto mode, or with Ctrl held
    // (`ctrlMaySkip`) about to skip.
    bool endsWaitItself(bool ctrlMaySkip) const;

  private:
    // True when auto mode ended the key wait shown now.
    bool runAutoMode();
    void traceSkip();

    Services services_;
    Hooks hooks_;
    HideOverlay* hide_ = nullptr;  // owned by the overlays
    bool heldSkip_ = false;        // Ctrl or a shoulder button held turned the skip on and keeps it
    bool skipToggle_ = false;      // key S: skips until a click, a key or an unread message
    bool skipTraced_ = false;
    uint32_t skipFrameStart_ = 0;  // when the skip reached the message wait now shown
    bool autoMode_ = false;        // key A: key waits end by themselves
    bool autoArmed_ = false;       // the key wait shown now is being timed
    uint32_t autoStart_ = 0, autoLength_ = 0;
};

}  // namespace zarvo
