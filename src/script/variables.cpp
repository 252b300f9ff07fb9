#include "script/variables.hpp"

#include "base/name_value.hpp"
#include "base/save_container.hpp"
#include "base/text.hpp"
#include "platform/clock.hpp"
#include "platform/notice_sink.hpp"
#include "script/script_file.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

namespace {

constexpr std::string_view kValueSection = "valuevar.info";
constexpr std::string_view kTextSection = "stringvar.info";

// "%name%" or "$name$" without its first and last characters, whatever they are.
std::string_view referenceName(std::string_view reference) {
    return reference.size() < 2 ? std::string_view{} : reference.substr(1, reference.size() - 2);
}

// "@HEAD:KEY"; without a ":" the head is empty and the key is the whole name.
void splitHeadKey(std::string_view name, std::string_view& head, std::string_view& key) {
    size_t colon = name.find(':');
    if (colon == std::string_view::npos) {
        head = {};
        key = name;
    } else {
        head = name.substr(1, colon - 1);
        key = name.substr(colon + 1);
    }
}

}  // namespace

Variables::Variables(ScriptFile& file, platform::NoticeSink& notices, platform::Clock& clock)
    : file_(file), notices_(notices), clock_(clock) {
    startTick_ = clock_.ticks();
}

void Variables::showSyntaxError(std::string_view operation, std::string_view reference) {
    notices_.tell(platform::Notice::VariableSyntaxError, {operation, reference});
}

void Variables::setValue(std::string_view reference, int32_t value) {
    if (reference.empty() || reference[0] != '%') return showSyntaxError("Set_Value", reference);
    std::string_view name = referenceName(reference);
    if (!name.empty() && name[0] == '@') return;
    size_t before = values_.size();
    writeListInt(values_, name, value);
    if (values_.size() != before) setOrder_.push_back({false, before});
}

void Variables::setText(std::string_view reference, std::string_view text) {
    if (reference.empty() || reference[0] != '$') return showSyntaxError("Set_Text", reference);
    std::string_view name = referenceName(reference);
    if (!name.empty() && name[0] == '@') return;
    size_t before = texts_.size();
    writeListString(texts_, name, text);
    if (texts_.size() != before) setOrder_.push_back({true, before});
}

int32_t Variables::getValue(std::string_view operand) {
    if (!operand.empty() && operand[0] == '%') return getValueVar(referenceName(operand));
    return parseInt(operand, 0);
}

int32_t Variables::getValueVar(std::string_view name) {
    if (!name.empty() && name[0] == '@') return systemValue(name);
    return readListInt(values_, name, 0);
}

std::string Variables::getTextVar(std::string_view name) {
    if (!name.empty() && name[0] == '@') return systemText(name);
    return readListString(texts_, name, "");
}

int32_t Variables::systemValue(std::string_view name) {
    if (name == texts::kSysRandom) {
        if (randomRange_ <= 0) return 0;
        // Scale a 32-bit draw into 0 .. range-1.
        return static_cast<int32_t>(
            (static_cast<uint64_t>(random_()) * static_cast<uint32_t>(randomRange_)) >> 32);
    }
    if (name == texts::kSysElapsed)
        return static_cast<int32_t>((clock_.ticks() - startTick_) / 1000u);
    if (name == texts::kSysDate || name == texts::kSysYear || name == texts::kSysMonth ||
        name == texts::kSysDay || name == texts::kSysTime || name == texts::kSysHour ||
        name == texts::kSysMinute || name == texts::kSysSecond) {
        platform::LocalTime t = clock_.localTime();
        if (name == texts::kSysDate) return t.year * 10000 + t.month * 100 + t.day;
        if (name == texts::kSysYear) return t.year;
        if (name == texts::kSysMonth) return t.month;
        if (name == texts::kSysDay) return t.day;
        if (name == texts::kSysTime) return t.hour * 10000 + t.minute * 100 + t.second;
        if (name == texts::kSysHour) return t.hour;
        if (name == texts::kSysMinute) return t.minute;
        return t.second;
    }
    if (name == "@Version") return kVersion;
    if (name == "@CommandVersion") return kCommandVersion;
    std::string_view head, key;
    splitHeadKey(name, head, key);
    return file_.readHeadInt(head, key, 0);
}

std::string Variables::systemText(std::string_view name) {
    if (name == texts::kSysWeekday) {
        int wd = clock_.localTime().weekday;
        // One two-byte character per day, Sunday first.
        if (wd < 0 || wd > 6 || texts::kWeekdays.size() < 14) return {};
        return std::string(texts::kWeekdays.substr(static_cast<size_t>(wd) * 2, 2));
    }
    if (name == "@ScriptFile") return scriptFileName_;
    std::string_view head, key;
    splitHeadKey(name, head, key);
    return file_.readHeadString(head, key, "");
}

void Variables::appendTextVar(std::string& out, std::string_view name) {
    if (!name.empty() && name[0] == '@') {
        out += systemText(name);
        return;
    }
    std::string_view value;
    if (findNameValue(texts_, name, value)) out += value;
}

std::string Variables::expandText(std::string_view text, bool& error) {
    error = false;
    // "$" and "%" are never trail bytes of a two-byte character, so plain byte searches are safe.
    std::string strings;
    strings.reserve(text.size() + 16);
    size_t pos = 0;
    for (;;) {
        size_t open = text.find('$', pos);
        if (open == std::string_view::npos) break;
        size_t close = text.find('$', open + 1);
        if (close == std::string_view::npos) {
            error = true;
            return std::string(texts::kDollarMismatch);
        }
        strings.append(text, pos, open - pos);
        appendTextVar(strings, text.substr(open + 1, close - open - 1));
        pos = close + 1;
    }
    strings.append(text, pos);

    std::string_view rest = strings;
    if (rest.find('%') == std::string_view::npos) return strings;
    std::string out;
    out.reserve(rest.size() + 16);
    pos = 0;
    for (;;) {
        size_t open = rest.find('%', pos);
        if (open == std::string_view::npos) break;
        size_t close = rest.find('%', open + 1);
        if (close == std::string_view::npos) {
            error = true;
            return std::string(texts::kPercentMismatch);
        }
        out.append(rest, pos, open - pos);
        out += intToStr(getValueVar(rest.substr(open + 1, close - open - 1)));
        pos = close + 1;
    }
    out.append(rest, pos);
    return out;
}

void Variables::getValueLines(StringList& list) const {
    list.insert(list.end(), values_.begin(), values_.end());
}

void Variables::getTextLines(StringList& list) const {
    list.insert(list.end(), texts_.begin(), texts_.end());
}

bool Variables::saveInfo(SaveContainer& container) const {
    bool ok = container.writeSection(kValueSection, values_);
    return container.writeSection(kTextSection, texts_) && ok;
}

void Variables::loadInfo(SaveContainer& container) {
    StringList lines;
    if (container.readSection(kValueSection, lines)) values_ = std::move(lines);
    lines = StringList();
    if (container.readSection(kTextSection, lines)) texts_ = std::move(lines);
    // A loaded save knows no order across the two lists: value variables first.
    setOrder_.clear();
    for (size_t i = 0; i < values_.size(); ++i) setOrder_.push_back({false, i});
    for (size_t i = 0; i < texts_.size(); ++i) setOrder_.push_back({true, i});
}

Variables::Snapshot Variables::snapshot() const {
    return {values_,
            texts_,
            setOrder_,
            random_,
            randomRange_,
            scriptFileName_,
            clock_.ticks() - startTick_};
}

bool Variables::isSound(const Snapshot& s) {
    if (s.setOrder.size() != s.values.size() + s.texts.size()) return false;
    std::vector<bool> seenValues(s.values.size()), seenTexts(s.texts.size());
    for (const auto& [isText, i] : s.setOrder) {
        std::vector<bool>& seen = isText ? seenTexts : seenValues;
        if (i >= seen.size() || seen[i]) return false;
        seen[i] = true;
    }
    return true;
}

void Variables::restore(Snapshot s) {
    values_ = std::move(s.values);
    texts_ = std::move(s.texts);
    setOrder_ = std::move(s.setOrder);
    random_ = s.random;
    randomRange_ = s.randomRange;
    scriptFileName_ = std::move(s.scriptFileName);
    startTick_ = clock_.ticks() - s.playedMs;
}

std::vector<std::pair<bool, std::string_view>> Variables::linesInSetOrder() const {
    std::vector<std::pair<bool, std::string_view>> lines;
    lines.reserve(setOrder_.size());
    for (const auto& [isText, i] : setOrder_)
        lines.emplace_back(isText, (isText ? texts_ : values_)[i]);
    return lines;
}

}  // namespace zarvo
