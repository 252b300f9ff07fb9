#include "player/shown_messages.hpp"

#include <memory>
#include <utility>

#include "base/sjis.hpp"
#include "graphics/layers.hpp"
#include "graphics/screen.hpp"
#include "interp/run_state.hpp"
#include "platform/host.hpp"
#include "player/backlog.hpp"
#include "player/overlay_stack.hpp"
#include "player/player_settings.hpp"
#include "save/save_files.hpp"
#include "script/command_cache.hpp"
#include "story/story_key.hpp"

namespace zarvo {

ShownMessages::ShownMessages(const Services& services, std::function<void(const std::string&)> tell)
    : services_(services), tell_(std::move(tell)) {}

void ShownMessages::keepRead(const std::string& folder, const std::string& projectPath,
                             const std::string& storyPath) {
    if (folder.empty() || projectPath.empty()) return;
    readPath_ = ReadMessages::fileFor(folder, storyKey(services_.files, storyPath));
    // Marks kept under the story's path before are read until its own file exists; they are
    // then written under the key.
    std::string from = readPath_;
    if (!services_.files.exists(from)) {
        const std::string pathNamed =
            ReadMessages::pathNamedFileFor(services_.files, folder, projectPath);
        if (services_.files.exists(pathNamed)) {
            from = pathNamed;
            read_.rewrite();
        }
    }
    // A record that cannot be read is not written over: this run's reading is not kept.
    if (!read_.load(services_.files, from)) readPath_.clear();
}

bool ShownMessages::saveRead() {
    return readPath_.empty() || read_.save(services_.files, readPath_);
}

bool ShownMessages::beginsUnread(const std::string& book, const std::string& page, int32_t index,
                                 const Command& command) {
    if (command.type != CommandType::MessageDraw) return false;
    pending_ = true;
    pendingText_.reset();
    return !read_.markRead(book, page, index);
}

void ShownMessages::beforeStep(const RunState& process) {
    if (!process.layerName().empty()) layer_ = process.layerName();
    // The first page's layout still holds the whole message; later pages hold only the rest.
    // Looked up quietly: a missing layer is the message's own error to report.
    if (pending_ && !pendingText_ && !process.layerName().empty())
        if (const LayerStack* stack = services_.screen.screen(0))
            for (int32_t i = 1; i < stack->layerCount(); ++i)
                if (stack->layerAt(i)->name == process.layerName()) {
                    pendingText_ = stack->layerAt(i)->text.layoutText;
                    break;
                }
}

void ShownMessages::completed() {
    // A message with key waits completes once per run; the backlog keeps it once, whole, all
    // its pages.
    if (pending_ && !layer_.empty()) {
        if (const Layer* layer = services_.screen.findLayer(0, layer_)) {
            Backlog::record(services_.save.messageHistory(),
                            pendingText_.value_or(layer->text.layoutText));
            pending_ = false;
            pendingText_.reset();
            if (onRecorded) onRecorded();
        }
    }
    if (services_.settings.copyEachMessage) copy();
}

void ShownMessages::copy() {
    if (layer_.empty()) return;
    const Layer* layer = services_.screen.findLayer(0, layer_);
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
    tell_("clipboard " + shown);
}

void ShownMessages::openBacklog() {
    OverlayStack& overlays = services_.overlays;
    if (overlays.open()) return;
    if (!backlog_) {
        auto backlog =
            std::make_unique<Backlog>(services_.save.messageHistory(), services_.screen.fonts());
        backlog->onOpenChange = [this](bool open) {
            tell_(open ? "backlog open" : "backlog close");
        };
        backlog->onChoose = [this](int back) {
            if (onChoose) onChoose(back);
        };
        backlog_ = backlog.get();
        overlays.add(std::move(backlog));
    }
    FontStatus font;
    if (const Layer* layer = services_.screen.findLayer(0, layer_)) font = layer->text.font;
    backlog_->open(font);
    overlays.present();
}

void ShownMessages::closeBacklog() {
    if (backlog_) backlog_->close();
}

}  // namespace zarvo
