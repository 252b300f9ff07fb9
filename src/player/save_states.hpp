// The reader's save states of one story, apart from the story's own saves: the quick slot
// (number 0, F5 and F9) and slots 1 to kSlots (the save-state overlay), one file each,
// "slot-NN.state", in the story's folder of states under the reader's data folder. Each file
// is a state package (player_state.hpp) with a thumbnail of the screen and a summary (when it
// was saved, the first characters of the message shown) that the overlay reads.
#pragma once
#include <cstdint>
#include <string>

#include "formats/picture.hpp"
#include "player/player_state.hpp"

namespace zarvo {

namespace platform {
class FileSystem;
}
class Overlay;
class Surface;

class SaveStates {
  public:
    static constexpr int kQuickSlot = 0;
    static constexpr int kSlots = 24;
    static constexpr int32_t kThumbnailWidth = 128, kThumbnailHeight = 96;
    // The message a slot shows: at most this many characters.
    static constexpr size_t kMessageChars = 40;

    // What the overlay shows of a slot.
    struct Slot {
        bool used = false;      // a file is there
        bool readable = false;  // and it opens as a state
        std::string date;       // "2026/12/08 10:30:05"
        std::string message;    // code page 932
        Picture thumbnail;
    };

    explicit SaveStates(platform::FileSystem& files) : files_(files) {}

    // The folder of a story's states inside the reader's data folder: "states/" and the key the
    // story's other files in that folder are kept under.
    static std::string folderFor(const platform::FileSystem& files, const std::string& dataFolder,
                                 const std::string& projectPath);
    void useFolder(std::string folder) { folder_ = std::move(folder); }
    // False when states are not kept (no data folder): saving is refused.
    bool kept() const { return !folder_.empty(); }
    std::string pathOf(int slot) const;

    // Writes `state` to the slot with a thumbnail of `screen`, the date and the message (code
    // page 932, tags and all), making the folders it needs. The old file stays until the new one
    // is complete; false when it could not be written.
    bool write(int slot, PlayerState state, const Surface& screen, const std::string& date,
               const std::string& message);
    // False when there is no file or it is no readable state.
    bool read(int slot, PlayerState& state) const;
    bool exists(int slot) const;
    bool remove(int slot);
    Slot slot(int slot) const;

    // The running story's identity (storyIdentity), worked out at the first state.
    std::string storyId;
    // The save-state overlay, once made (owned by the player's overlays).
    Overlay* overlay = nullptr;
    // A save (+slot+1) or load (-slot-1) asked for while a command ran; done after it.
    int pending = 0;

  private:
    bool makeFolders();

    platform::FileSystem& files_;
    std::string folder_;
};

// The first characters of a message as it shows: tags gone, line breaks as spaces.
std::string messageSummary(const std::string& sjis, size_t chars);

}  // namespace zarvo
