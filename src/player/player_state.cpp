#include "player/player_state.hpp"

#include <algorithm>
#include <memory>
#include <sstream>
#include <utility>

#include "audio/music_control.hpp"
#include "base/name_value.hpp"
#include "base/text.hpp"
#include "formats/picture.hpp"
#include "graphics/layers.hpp"
#include "graphics/screen.hpp"
#include "interp/execution.hpp"
#include "player/state_bytes.hpp"
#include "player/state_pictures.hpp"
#include "script/script_file.hpp"
#include "script/variables.hpp"
#include "story/story.hpp"

#ifndef ZARVO_VERSION
#define ZARVO_VERSION "unknown"
#endif

namespace zarvo {
namespace {

// Entries. Pictures are entries of their own so that snapshots share the unchanged ones.
constexpr std::string_view kRunEntry = "run";
constexpr std::string_view kVariablesEntry = "variables";
constexpr std::string_view kMusicEntry = "music";
constexpr std::string_view kBacklogEntry = "backlog";
constexpr std::string_view kLayersEntry = "layers";
constexpr std::string_view kDynamicEntry = "dynamic";
constexpr std::string_view kBaseEntry = "screen.base";
constexpr std::string_view kOutputEntry = "screen.output";
std::string layerEntry(size_t i) {
    return "layer." + std::to_string(i);
}
std::string dynamicEntry(size_t i) {
    return "dynamic." + std::to_string(i);
}

void putFont(StateOut& out, const FontStatus& f) {
    out.str(f.name);
    out.i32(f.size);
    out.i32(f.dpi);
    out.u32(f.color);
    out.flag(f.bold);
    out.flag(f.italic);
}

FontStatus getFont(StateIn& in) {
    FontStatus f;
    f.name = in.str();
    f.size = in.i32();
    f.dpi = in.i32();
    f.color = in.u32();
    f.bold = in.flag();
    f.italic = in.flag();
    return f;
}

void putText(StateOut& out, const TextLayout& t) {
    out.str(t.text);
    out.str(t.layoutText);
    putFont(out, t.font);
    out.flag(t.lineBreakRules);
    out.i32(t.wrapWidth);
    const TextLayout::State s = t.state();
    putFont(out, s.font);
    out.u32(static_cast<uint32_t>(s.reveal.size()));
    for (const auto& [op, value, end] : s.reveal) {
        out.i32(op);
        out.i32(value);
        out.i32(end);
    }
    out.u32(static_cast<uint32_t>(s.lineStarts.size()));
    for (size_t start : s.lineStarts) out.u64(start);
    out.u64(s.revealPos);
    out.u32(s.recordEnd);
    out.u64(s.pageEnd);
    for (int32_t v : {static_cast<int32_t>(s.step.op), s.step.value, s.step.stepX, s.step.stepY,
                      s.step.stepHeight, s.step.stepWidth, s.step.stepSpeed})
        out.i32(v);
    out.flag(s.lineStuck);
    out.flag(s.colorNumeric);
}

bool getText(StateIn& in, TextLayout& t) {
    t.text = in.str();
    t.layoutText = in.str();
    t.font = getFont(in);
    t.lineBreakRules = in.flag();
    t.wrapWidth = in.i32();
    TextLayout::State s;
    s.font = getFont(in);
    s.reveal.resize(in.count(12));
    for (auto& [op, value, end] : s.reveal) {
        op = in.i32();
        value = in.i32();
        end = in.i32();
    }
    s.lineStarts.resize(in.count(8));
    for (size_t& start : s.lineStarts) start = static_cast<size_t>(in.u64());
    s.revealPos = static_cast<size_t>(in.u64());
    s.recordEnd = in.u32();
    s.pageEnd = static_cast<size_t>(in.u64());
    s.step.op = static_cast<RevealOp>(in.i32());
    s.step.value = in.i32();
    s.step.stepX = in.i32();
    s.step.stepY = in.i32();
    s.step.stepHeight = in.i32();
    s.step.stepWidth = in.i32();
    s.step.stepSpeed = in.i32();
    s.lineStuck = in.flag();
    s.colorNumeric = in.flag();
    if (!in.ok() || !t.fits(s)) return false;
    t.setState(s);
    return true;
}

// Lines of a stack or frame: Name=Value lines and border lines, nothing else.
bool stackLinesAreSound(const StringList& lines) {
    return std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line == CallStack::kBorder || line.empty() || line.find('=') != std::string::npos;
    });
}

// FNV-1a, 64 bits: tells contents apart, not a defence against forgery (a forged state is
// checked like any damaged one).
uint64_t fnv1a(uint64_t h, std::string_view bytes) {
    for (char c : bytes) {
        h ^= static_cast<uint8_t>(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

// Everything a state restores, read and checked in full before any of it is applied.
struct Decoded {
    Execution::Snapshot run;
    Screen::RevealProgress progress;
    Screen::MessageMode messageMode = Screen::MessageMode::Effect;
    ReaderState reader;
    Variables::Snapshot variables;
    MusicControl::Snapshot music;
    StringList history;
    std::vector<Layer> layers;
    Picture base, output;
    std::vector<std::unique_ptr<DynamicLayerList>> dynamic;  // oldest first
    // Pictures the screen holds already (a snapshot's, unchanged since), kept as they are.
    std::vector<bool> keepLayer;
    bool keepBase = false, keepOutput = false;
    bool composeBase = false, outputIsBase = false;
    std::vector<int32_t> hidden;  // the layers base is composed without
};

bool decodeRun(const std::string* bytes, ScriptFile& script, Decoded& d) {
    if (!bytes) return false;
    StateIn in(*bytes);
    Execution::Snapshot& r = d.run;
    r.book = in.str();
    r.page = in.str();
    r.nextIndex = in.i32();
    r.stackLines = in.list();
    r.frame = in.list();
    RunState::Snapshot& s = r.state;
    s.playerMode =
        static_cast<PlayerMode>(in.choice(static_cast<uint8_t>(PlayerMode::MessageWait)));
    s.waitTime = in.i32();
    s.waitElapsed = in.u32();
    s.halfSecondStarted = in.flag();
    s.halfSecondElapsed = in.u32();
    s.timerExpired = in.flag();
    s.activeClick = in.flag();
    s.anykeyClick = in.flag();
    s.timer = in.flag();
    s.messageSkip = in.flag();
    s.windowIndex = in.i32();
    s.layerName = in.str();
    d.progress.typing = in.flag();
    d.progress.hurry = in.flag();
    d.progress.charsSinceWait = in.i32();
    d.progress.charsBeforeWait = in.i32();
    d.messageMode = static_cast<Screen::MessageMode>(in.choice(1));
    d.reader.messagePending = in.flag();
    if (in.flag()) d.reader.pendingText = in.str();
    d.reader.lastMessageLayer = in.str();
    int32_t start, end;
    return in.done() && r.nextIndex >= 0 && script.findPage(r.book, r.page, start, end) &&
           stackLinesAreSound(r.stackLines) && stackLinesAreSound(r.frame);
}

bool decodeVariables(const std::string* bytes, Decoded& d) {
    if (!bytes) return false;
    StateIn in(*bytes);
    Variables::Snapshot& v = d.variables;
    v.values = in.list();
    v.texts = in.list();
    v.setOrder.resize(in.count(5));
    for (auto& [isText, index] : v.setOrder) {
        isText = in.flag();
        index = in.u32();
    }
    std::istringstream random(in.str());
    random >> v.random;
    v.randomRange = in.i32();
    v.scriptFileName = in.str();
    v.playedMs = in.u32();
    auto named = [](const StringList& lines) {
        return std::all_of(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find('=') != std::string::npos;
        });
    };
    return in.done() && !random.fail() && named(v.values) && named(v.texts) &&
           Variables::isSound(v);
}

bool decodeMusic(const std::string* bytes, Decoded& d) {
    if (!bytes) return false;
    StateIn in(*bytes);
    MusicControl::Snapshot& m = d.music;
    m.musicFile = in.str();
    m.musicPlaying = in.flag();
    m.musicLoopsLeft = in.i32();
    m.musicPositionMs = in.u32();
    m.soundFile = in.str();
    m.soundPlaying = in.flag();
    m.soundMode = static_cast<SoundMode>(in.choice(static_cast<uint8_t>(SoundMode::Free)));
    m.soundPositionMs = in.u32();
    m.musicVolume = in.i32();
    m.soundVolume = in.i32();
    return in.done();
}

bool decodeLayers(const PlayerState& state, LayerStack& stack, Screen& screen,
                  const SnapshotPictures* shared, Decoded& d) {
    const std::string* bytes = state.find(kLayersEntry);
    if (!bytes) return false;
    StateIn in(*bytes);
    const size_t count = in.count(16);
    // The layer list comes from the story's head: a state of this story has as many.
    if (!in.ok() || count != static_cast<size_t>(stack.layerCount())) return false;
    d.layers.resize(count);
    d.keepLayer.assign(count, false);
    for (size_t i = 0; i < count; ++i) {
        Layer& l = d.layers[i];
        l.name = in.str();
        l.fileName = in.str();
        l.left = in.i32();
        l.top = in.i32();
        l.width = in.i32();
        l.height = in.i32();
        l.viewLeft = in.i32();
        l.viewTop = in.i32();
        l.textOverhang = in.i32();
        l.visible = in.flag();
        l.transparent = in.flag();
        l.translucent = in.flag();
        if (!getText(in, l.text)) return false;
        const auto* entry = state.findShared(layerEntry(i));
        if (!entry) return false;
        if (holdsPicture(shared, stack.layerAt(static_cast<int32_t>(i))->surface, entry)) {
            d.keepLayer[i] = true;
        } else if (keptBy(**entry) == kFilePicture) {
            if (!readFilePicture(**entry, screen, l.surface)) return false;
        } else {
            Picture picture;
            if (!decodePicture(entry->get(), picture)) return false;
            l.surface.assignPicture(std::move(picture));
        }
    }
    return in.done();
}

bool decodeScreen(const PlayerState& state, LayerStack& stack, const SnapshotPictures* shared,
                  Decoded& d) {
    // The composed picture and what the window shows: a message half typed lives only there.
    const auto* base = state.findShared(kBaseEntry);
    const auto* output = state.findShared(kOutputEntry);
    d.composeBase = base && keptBy(**base);
    d.outputIsBase = output && keptBy(**output);
    if (d.composeBase ? !isMark(base, kComposedPicture, stack, &d.hidden)
                      : !decodeScreenPicture(base, stack.base(), stack, shared, d.keepBase, d.base))
        return false;
    if (d.outputIsBase
            ? !isMark(output, kSameAsBase, stack)
            : !decodeScreenPicture(output, stack.output(), stack, shared, d.keepOutput, d.output))
        return false;
    const std::string* bytes = state.find(kDynamicEntry);
    if (!bytes) return false;
    StateIn in(*bytes);
    d.dynamic.resize(in.count(64));
    for (size_t i = 0; i < d.dynamic.size(); ++i) {
        auto l = std::make_unique<DynamicLayerList>();
        l->attrId = in.i32();
        l->left = in.i32();
        l->top = in.i32();
        l->width = in.i32();
        l->height = in.i32();
        l->activeArea = static_cast<DLActiveArea>(in.choice(2));
        l->activeMode = static_cast<DLActiveMode>(in.choice(2));
        l->focusBook = in.str();
        l->focusPage = in.str();
        l->clickBook = in.str();
        l->clickPage = in.str();
        l->pageChange = static_cast<DLPageChange>(in.choice(2));
        l->button = in.u8();
        l->autoClear = in.flag();
        l->cursor = in.flag();
        l->imageFile = in.str();
        l->animeCount = in.i32();
        l->divideCount = in.i32();
        l->animeType = static_cast<DLAnimeType>(in.choice(3));
        l->indexDisable = in.i32();
        l->indexEnable = in.i32();
        l->indexActive = in.i32();
        l->indexClick = in.i32();
        l->text = in.str();
        l->fontName = in.str();
        l->fontSize = in.i32();
        l->fontDpi = in.i32();
        l->fontColor = in.u32();
        l->textBold = in.flag();
        l->textItalic = in.flag();
        l->status = static_cast<DLStatus>(in.choice(2));
        l->animeIndex = in.i32();
        l->rowIndex = in.i32();
        l->dirty = in.flag();
        if (in.flag()) {
            Picture picture;
            if (!decodePicture(state.find(dynamicEntry(i)), picture)) return false;
            auto surface = std::make_unique<Surface>();
            surface->assignPicture(std::move(picture));
            l->setSurface(std::move(surface));
        }
        d.dynamic[i] = std::move(l);
    }
    return in.done();
}

StateRefusal checkIdentity(const PlayerState& state, std::string_view storyId) {
    const StringList info = state.info();
    if (info.empty()) return StateRefusal::Damaged;
    if (readListInt(info, "State.Format", 0) != PlayerState::kFormat ||
        readListString(info, "State.Player", "") != playerVersion())
        return StateRefusal::OtherPlayer;
    if (readListString(info, "State.Story", "") != storyId) return StateRefusal::OtherStory;
    return StateRefusal::None;
}

}  // namespace

const std::string* PlayerState::find(std::string_view name) const {
    const auto* shared = findShared(name);
    return shared ? shared->get() : nullptr;
}

const std::shared_ptr<const std::string>* PlayerState::findShared(std::string_view name) const {
    for (const StateEntry& e : entries_)
        if (e.name == name) return &e.bytes;
    return nullptr;
}

void PlayerState::put(std::string_view name, std::string bytes) {
    put(name, std::make_shared<const std::string>(std::move(bytes)));
}

void PlayerState::put(std::string_view name, std::shared_ptr<const std::string> shared) {
    for (StateEntry& e : entries_)
        if (e.name == name) {
            e.bytes = std::move(shared);
            return;
        }
    entries_.push_back({std::string(name), std::move(shared)});
}

void PlayerState::shareWith(const PlayerState& earlier) {
    for (StateEntry& e : entries_)
        for (const StateEntry& old : earlier.entries_)
            if (old.name == e.name && old.bytes != e.bytes && *old.bytes == *e.bytes) {
                e.bytes = old.bytes;
                break;
            }
}

size_t PlayerState::byteSize() const {
    size_t n = 0;
    for (const StateEntry& e : entries_) n += e.bytes->size();
    return n;
}

StringList PlayerState::info() const {
    const std::string* bytes = find(kStateInfoEntry);
    return bytes ? splitLines(*bytes) : StringList{};
}

std::string_view playerVersion() {
    return ZARVO_VERSION;
}

std::string storyIdentity(Story& story) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (const std::string& line : story.script().lines()) h = fnv1a(fnv1a(h, line), "\n");
    char hex[17];
    for (int i = 0; i < 16; ++i) hex[i] = "0123456789abcdef"[(h >> (60 - 4 * i)) & 0xF];
    return std::string(hex, 16);
}

PlayerState captureState(const StateParts& parts, SnapshotPictures* shared) {
    // A picture entry: deflated, or raw and shared with the snapshot before.
    auto picture = [shared](const Surface& g, auto encodeRaw) {
        if (!shared) return std::make_shared<const std::string>(encodePicture(g, false));
        const uint64_t stamp = g.stamp();
        const auto* kept = shared->find(stamp);
        auto bytes = kept ? *kept : std::make_shared<const std::string>(encodeRaw());
        shared->keep(stamp, bytes);
        return bytes;
    };
    auto raw = [](const Surface& g) { return [p = &g] { return encodePicture(*p, true); }; };
    PlayerState state;
    StringList info;
    writeListInt(info, "State.Format", PlayerState::kFormat);
    writeListString(info, "State.Player", playerVersion());
    writeListString(info, "State.Story", parts.storyId);
    state.put(kStateInfoEntry, joinLines(info));

    StateOut run;
    const Execution::Snapshot r = parts.execution.snapshot();
    run.str(r.book);
    run.str(r.page);
    run.i32(r.nextIndex);
    run.list(r.stackLines);
    run.list(r.frame);
    const RunState::Snapshot& s = r.state;
    run.u8(static_cast<uint8_t>(s.playerMode));
    run.i32(s.waitTime);
    run.u32(s.waitElapsed);
    run.flag(s.halfSecondStarted);
    run.u32(s.halfSecondElapsed);
    for (bool b : {s.timerExpired, s.activeClick, s.anykeyClick, s.timer, s.messageSkip})
        run.flag(b);
    run.i32(s.windowIndex);
    run.str(s.layerName);
    const Screen::RevealProgress p = parts.screen.revealProgress();
    run.flag(p.typing);
    run.flag(p.hurry);
    run.i32(p.charsSinceWait);
    run.i32(p.charsBeforeWait);
    run.u8(static_cast<uint8_t>(parts.screen.messageMode));
    run.flag(parts.reader.messagePending);
    run.flag(parts.reader.pendingText.has_value());
    if (parts.reader.pendingText) run.str(*parts.reader.pendingText);
    run.str(parts.reader.lastMessageLayer);
    state.put(kRunEntry, run.take());

    StateOut vars;
    const Variables::Snapshot v = parts.story.variables().snapshot();
    vars.list(v.values);
    vars.list(v.texts);
    vars.u32(static_cast<uint32_t>(v.setOrder.size()));
    for (const auto& [isText, index] : v.setOrder) {
        vars.flag(isText);
        vars.u32(static_cast<uint32_t>(index));
    }
    std::ostringstream random;
    random << v.random;
    vars.str(random.str());
    vars.i32(v.randomRange);
    vars.str(v.scriptFileName);
    vars.u32(v.playedMs);
    state.put(kVariablesEntry, vars.take());

    StateOut music;
    const MusicControl::Snapshot m = parts.music.snapshot();
    music.str(m.musicFile);
    music.flag(m.musicPlaying);
    music.i32(m.musicLoopsLeft);
    music.u32(m.musicPositionMs);
    music.str(m.soundFile);
    music.flag(m.soundPlaying);
    music.u8(static_cast<uint8_t>(m.soundMode));
    music.u32(m.soundPositionMs);
    music.i32(m.musicVolume);
    music.i32(m.soundVolume);
    state.put(kMusicEntry, music.take());

    StateOut backlog;
    backlog.list(parts.history);
    state.put(kBacklogEntry, backlog.take());

    LayerStack* stack = parts.screen.screen(0);
    StateOut layers, dynamic;
    layers.u32(stack ? static_cast<uint32_t>(stack->layerCount()) : 0);
    dynamic.u32(stack ? static_cast<uint32_t>(stack->dynamicLayers().count()) : 0);
    if (stack) {
        for (int32_t i = 0; i < stack->layerCount(); ++i) {
            const Layer& l = *stack->layerAt(i);
            layers.str(l.name);
            layers.str(l.fileName);
            for (int32_t n :
                 {l.left, l.top, l.width, l.height, l.viewLeft, l.viewTop, l.textOverhang})
                layers.i32(n);
            for (bool b : {l.visible, l.transparent, l.translucent}) layers.flag(b);
            putText(layers, l.text);
            const bool fromFile = !l.fileName.empty() && l.fileStamp == l.surface.stamp();
            state.put(layerEntry(static_cast<size_t>(i)), picture(l.surface, [&] {
                          return fromFile ? filePicture(l) : encodePicture(l.surface, true);
                      }));
        }
        const Surface& base = stack->base();
        const Surface& output = stack->output();
        std::vector<int32_t> hidden;
        if (shared && stack->baseIsComposed(hidden)) {
            StateOut without;
            without.u32(static_cast<uint32_t>(hidden.size()));
            for (int32_t i : hidden) without.i32(i);
            state.put(kBaseEntry, pictureHead(base, kComposedPicture) + without.take());
        } else {
            state.put(kBaseEntry, picture(base, raw(base)));
        }
        if (shared && output.stamp() == base.stamp())
            state.put(kOutputEntry, pictureHead(output, kSameAsBase));
        else
            state.put(kOutputEntry, picture(output, raw(output)));
        DynamicLayer& set = stack->dynamicLayers();
        for (int32_t i = 0; i < set.count(); ++i) {
            const DynamicLayerList& l = *set.At(set.count() - 1 - i);  // oldest first
            for (int32_t n : {l.attrId, l.left, l.top, l.width, l.height}) dynamic.i32(n);
            dynamic.u8(static_cast<uint8_t>(l.activeArea));
            dynamic.u8(static_cast<uint8_t>(l.activeMode));
            for (const std::string* t : {&l.focusBook, &l.focusPage, &l.clickBook, &l.clickPage})
                dynamic.str(*t);
            dynamic.u8(static_cast<uint8_t>(l.pageChange));
            dynamic.u8(l.button);
            dynamic.flag(l.autoClear);
            dynamic.flag(l.cursor);
            dynamic.str(l.imageFile);
            dynamic.i32(l.animeCount);
            dynamic.i32(l.divideCount);
            dynamic.u8(static_cast<uint8_t>(l.animeType));
            for (int32_t n : {l.indexDisable, l.indexEnable, l.indexActive, l.indexClick})
                dynamic.i32(n);
            dynamic.str(l.text);
            dynamic.str(l.fontName);
            dynamic.i32(l.fontSize);
            dynamic.i32(l.fontDpi);
            dynamic.u32(l.fontColor);
            dynamic.flag(l.textBold);
            dynamic.flag(l.textItalic);
            dynamic.u8(static_cast<uint8_t>(l.status));
            dynamic.i32(l.animeIndex);
            dynamic.i32(l.rowIndex);
            dynamic.flag(l.dirty);
            dynamic.flag(l.surface() != nullptr);
            if (l.surface())
                state.put(dynamicEntry(static_cast<size_t>(i)),
                          picture(*l.surface(), raw(*l.surface())));
        }
    }
    state.put(kLayersEntry, layers.take());
    state.put(kDynamicEntry, dynamic.take());
    if (shared) shared->settle();
    return state;
}

StateRefusal restoreState(const StateParts& parts, const PlayerState& state,
                          SnapshotPictures* shared) {
    if (StateRefusal identity = checkIdentity(state, parts.storyId); identity != StateRefusal::None)
        return identity;
    LayerStack* stack = parts.screen.screen(0);
    Decoded d;
    if (!stack || !decodeRun(state.find(kRunEntry), parts.story.script(), d) ||
        !decodeVariables(state.find(kVariablesEntry), d) ||
        !decodeMusic(state.find(kMusicEntry), d) ||
        !decodeLayers(state, *stack, parts.screen, shared, d) ||
        !decodeScreen(state, *stack, shared, d))
        return StateRefusal::Damaged;
    const std::string* backlog = state.find(kBacklogEntry);
    if (!backlog) return StateRefusal::Damaged;
    StateIn in(*backlog);
    d.history = in.list();
    if (!in.done()) return StateRefusal::Damaged;

    // Everything fits: from here on nothing can fail.
    parts.execution.restore(std::move(d.run));
    parts.story.variables().restore(std::move(d.variables));
    for (size_t i = 0; i < d.layers.size(); ++i) {
        Layer& layer = *stack->layerAt(static_cast<int32_t>(i));
        if (d.keepLayer[i]) d.layers[i].surface = std::move(layer.surface);
        layer = std::move(d.layers[i]);
    }
    if (d.composeBase)
        stack->composeBase(d.hidden);
    else if (!d.keepBase)
        stack->base().assignPicture(std::move(d.base));
    if (d.outputIsBase)
        stack->output().assign(stack->base());
    else if (!d.keepOutput)
        stack->output().assignPicture(std::move(d.output));
    DynamicLayer& set = stack->dynamicLayers();
    set.clear();
    for (auto& l : d.dynamic) set.add(std::move(l));
    // What the screen holds now, for the next snapshot and restore to share.
    if (shared) {
        auto keep = [&](const Surface& g, std::string_view name) {
            if (const auto* entry = state.findShared(name); entry && !keptBy(**entry))
                shared->keep(g.stamp(), *entry);
        };
        for (int32_t i = 0; i < stack->layerCount(); ++i) {
            Layer& layer = *stack->layerAt(i);
            const auto* entry = state.findShared(layerEntry(static_cast<size_t>(i)));
            layer.fileStamp = 0;
            if (keptBy(**entry) == kFilePicture) {
                shared->keep(layer.surface.stamp(), *entry);
                layer.fileStamp = sameFile(**entry, layer) ? layer.surface.stamp() : 0;
            } else {
                keep(layer.surface, layerEntry(static_cast<size_t>(i)));
            }
        }
        keep(stack->base(), kBaseEntry);
        keep(stack->output(), kOutputEntry);
        for (int32_t i = 0; i < set.count(); ++i)
            if (const Surface* g = set.At(set.count() - 1 - i)->surface())
                keep(*g, dynamicEntry(static_cast<size_t>(i)));
        shared->settle();
    }
    parts.screen.setRevealProgress(d.progress);
    parts.screen.messageMode = d.messageMode;
    parts.music.restore(d.music);
    parts.history = std::move(d.history);
    parts.reader = std::move(d.reader);
    return StateRefusal::None;
}

}  // namespace zarvo
