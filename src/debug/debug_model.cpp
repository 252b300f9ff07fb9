#include "debug/debug_model.hpp"

#include <algorithm>

#include "base/sjis.hpp"
#include "base/text.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "platform/clock.hpp"
#include "platform/host.hpp"
#include "story/story.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

// Byte order of the texts with letters folded to lower case as names compare (sameText).
bool lessNoCase(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        size_t na, nb;
        uint32_t ca = foldedChar(a, i, na), cb = foldedChar(b, j, nb);
        // A single byte sorts as if followed by 0: before every two-byte character of that lead.
        if (na == 1) ca <<= 8;
        if (nb == 1) cb <<= 8;
        if (ca != cb) return ca < cb;
        i += na;
        j += nb;
    }
    return a.size() - i < b.size() - j;
}

void sortNoCase(StringList& list) {
    std::stable_sort(list.begin(), list.end(), lessNoCase);
}

}  // namespace

std::string_view cutText(std::string_view text, size_t maxBytes) {
    size_t end = 0;
    while (end < text.size()) {
        size_t next = end + charLength(text, end);
        if (next > maxBytes) break;
        end = next;
    }
    return text.substr(0, end);
}

DebugModel::DebugModel(const Services& services) : services_(services) {}

void DebugModel::setControls(Story* story, Execution* execution, Screen* screen) {
    story_ = story;
    execution_ = execution;
    screen_ = screen;
}

void DebugModel::debugGate() {
    platform::Host* host = services_.host;
    host->processMessages();
    if (stepState_ == DebugStepState::Running) return;
    // Paused: the buttons, the main window's input and its (dropped) ticks are still handled.
    do {
        host->processMessages();
        services_.clock->sleep(kPauseSleep);
    } while (!host->isTerminating() && stepState_ == DebugStepState::Paused);
    if (stepState_ == DebugStepState::SingleStep) {
        // This step goes through; the next one waits again.
        stepState_ = DebugStepState::Paused;
        changed();
    }
}

void DebugModel::refreshDebugInfo() {
    if (!story_ || !execution_ || !screen_) return;

    stackLines_.clear();
    execution_->writeStackInfo(stackLines_);

    layerLines_.clear();
    if (const LayerStack* screen = screen_->screen(0)) {
        for (int32_t i = screen->layerCount() - 1; i >= 0; --i) {
            const Layer* layer = screen->layerAt(i);
            std::string line = layer->name;
            line += '=';
            if (layer->visible)
                line += layer->fileName;
            else
                line += texts::kDebugLayerHidden;
            layerLines_.push_back(std::move(line));
        }
    }

    dynamicLines_.clear();
    if (DynamicLayer* dynamic = screen_->dynamicLayers(0)) {
        for (int32_t i = 0; i < dynamic->count(); ++i) {
            const DynamicLayerList* layer = dynamic->At(i);
            if (!layer->imageFile.empty())
                dynamicLines_.push_back(layer->imageFile);
            else if (!layer->text.empty())
                dynamicLines_.emplace_back(cutText(layer->text, kValueBytes));
            else
                dynamicLines_.emplace_back("Unknown");
        }
    }

    numberLines_.clear();
    story_->variables().getValueLines(numberLines_);
    sortNoCase(numberLines_);
    textLines_.clear();
    story_->variables().getTextLines(textLines_);
    sortNoCase(textLines_);

    fillDebugList();
}

void DebugModel::fillDebugList() {
    int selected = itemIndex_;
    int top = topIndex_;
    items_.clear();
    switch (tab_) {
        case DebugTab::Process:
            items_ = stackLines_;
            break;
        case DebugTab::Screen:
            items_ = dynamicLines_;
            items_.insert(items_.end(), layerLines_.begin(), layerLines_.end());
            break;
        case DebugTab::Variables:
            items_ = numberLines_;
            items_.insert(items_.end(), textLines_.begin(), textLines_.end());
            break;
    }
    int count = static_cast<int>(items_.size());
    if (selected >= 0 && selected < count) {
        itemIndex_ = selected;
        topIndex_ = top < count ? top : 0;
    } else {
        itemIndex_ = count > 0 ? 0 : -1;
        topIndex_ = 0;
    }
    changed();
}

void DebugModel::tbPlayClick() {
    stepState_ = DebugStepState::Running;
    changed();
}

void DebugModel::tbStepClick() {
    stepState_ = DebugStepState::SingleStep;
    changed();
}

void DebugModel::tbPauseClick() {
    stepState_ = DebugStepState::Paused;
    changed();
}

void DebugModel::formClose() {
    tbPlayClick();
}

DebugIcon DebugModel::downButton() const {
    switch (stepState_) {
        case DebugStepState::Running:
            return DebugIcon::Run;
        case DebugStepState::SingleStep:
            return DebugIcon::Step;
        case DebugStepState::Paused:
            break;
    }
    return DebugIcon::Pause;
}

void DebugModel::tabControlChange(DebugTab tab) {
    tab_ = tab;
    fillDebugList();
}

void DebugModel::select(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size()) || index == itemIndex_) return;
    itemIndex_ = index;
    changed();
}

void DebugModel::setTopIndex(int index) {
    if (index >= 0 && index < static_cast<int>(items_.size())) topIndex_ = index;
}

DebugRow DebugModel::row(int index) const {
    DebugRow row;
    if (index < 0 || index >= static_cast<int>(items_.size())) return row;
    const std::string& item = items_[static_cast<size_t>(index)];
    size_t eq = item.find('=');
    std::string name;
    if (eq == std::string::npos) {
        row.value = item;
    } else {
        name = item.substr(0, eq);
        row.value = cutText(std::string_view(item).substr(eq + 1), kValueBytes);
    }
    switch (tab_) {
        case DebugTab::Process:
            if (name.empty()) return {};  // border lines: an empty row
            if (name == CallStack::kBookName) {
                row.icon = DebugIcon::Book;
                row.label = texts::kDebugLabelBookName;
            } else if (name == CallStack::kPageName) {
                row.icon = DebugIcon::Page;
                row.label = texts::kDebugLabelPageName;
            } else if (name == CallStack::kCommandIndex) {
                row.icon = DebugIcon::CommandIndex;
                row.label = texts::kDebugLabelCommandIndex;
            } else {
                row.icon = DebugIcon::StackLine;
                row.label = std::move(name);
            }
            break;
        case DebugTab::Screen:
            row.icon = index < static_cast<int>(dynamicLines_.size()) ? DebugIcon::DynamicLayer
                                                                      : DebugIcon::Layer;
            row.label = std::move(name);
            break;
        case DebugTab::Variables:
            row.icon = index < static_cast<int>(numberLines_.size()) ? DebugIcon::NumberVariable
                                                                     : DebugIcon::TextVariable;
            row.label = std::move(name);
            break;
    }
    return row;
}

}  // namespace zarvo
