// The story's messages as the reader meets them: which were read (kept between runs for the
// skip toggle), the layer of the last one, each completed message kept whole for the backlog,
// and the copy to the clipboard.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "player/player_state.hpp"
#include "player/read_messages.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
class Host;
}  // namespace platform

class Backlog;
class OverlayStack;
class RunState;
class SaveFiles;
class Screen;
class Command;
struct PlayerSettings;

class ShownMessages {
  public:
    struct Services {
        platform::Host& host;
        platform::FileSystem& files;
        Screen& screen;
        SaveFiles& save;
        OverlayStack& overlays;
        const PlayerSettings& settings;
    };

    // `tell` traces a clipboard copy or the backlog opening and closing.
    ShownMessages(const Services& services, std::function<void(const std::string&)> tell);

    // Remembers which messages were read in `folder`, for the story file `storyPath` (opened from
    // `projectPath`, as the reader gave it), under the story's key. Empty: not beyond this run.
    void keepRead(const std::string& folder, const std::string& projectPath,
                  const std::string& storyPath);
    // Writes the read messages kept; false when they could not be (readPath() names the file).
    bool saveRead();
    const std::string& readPath() const { return readPath_; }

    // Sees each command before it runs; true when it begins a message the reader has not read.
    bool beginsUnread(const std::string& book, const std::string& page, int32_t index,
                      const Command& command);
    // Before each step: follows the message layer and keeps the message's whole text.
    void beforeStep(const RunState& process);
    // At the end of each message: keeps it for the backlog, and copies it when the reader asked
    // for every message.
    void completed();
    // Ctrl+C: the message as far as it shows now, tags removed, to the clipboard.
    void copy();
    // Wheel up, Page Up or the pad's B: the last messages over the story.
    void openBacklog();
    void closeBacklog();
    // Told when a message goes into the backlog, and when the reader chooses an entry in it
    // (`back` entries before the newest).
    std::function<void()> onRecorded;
    std::function<void(int back)> onChoose;
    // The layer of the last message; empty before the first.
    const std::string& layer() const { return layer_; }
    // What a save state keeps of the messages shown: the one not yet in the backlog, the layer.
    ReaderState readerState() const { return {pending_, pendingText_, layer_}; }
    void restore(ReaderState state) {
        pending_ = state.messagePending;
        pendingText_ = std::move(state.pendingText);
        layer_ = std::move(state.lastMessageLayer);
    }

  private:
    Services services_;
    std::function<void(const std::string&)> tell_;
    std::string layer_;
    bool pending_ = false;                    // a message began and is not yet in the backlog
    std::optional<std::string> pendingText_;  // its whole text, before pages took it apart
    ReadMessages read_;
    std::string readPath_;        // empty: not kept
    Backlog* backlog_ = nullptr;  // owned by the overlays
};

}  // namespace zarvo
