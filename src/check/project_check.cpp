#include "check/project_check.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <map>
#include <ostream>
#include <set>
#include <span>
#include <string_view>
#include <utility>

#include "archive/package.hpp"
#include "base/limits.hpp"
#include "base/name_value.hpp"
#include "base/sjis.hpp"
#include "base/text.hpp"
#include "check/block_probe.hpp"
#include "platform/clock.hpp"
#include "platform/file_system.hpp"
#include "platform/recording_dialogs.hpp"
#include "player/notices.hpp"
#include "script/command_cache.hpp"
#include "story/story.hpp"
#include "story/story_finder.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

constexpr std::string_view kZarvo = "Zarvo";
constexpr std::string_view kScriptEntry = "zarvo.zf7";
constexpr std::string_view kLibraryName = "zarvoplay.zvl";

std::string inQuotes(std::string_view sjis) {
    return "\"" + sjisToUtf8(sjis) + "\"";
}

// A message box's text on one line, in UTF-8.
std::string oneLine(std::string_view sjis) {
    std::string out;
    for (char c : sjisToUtf8(sjis)) {
        if (c == '\r') continue;
        out += c == '\n' ? ' ' : c;
    }
    return out;
}

// The player never expands variables in names; a name holding a reference cannot be looked up
// here, so it is left alone.
bool holdsReference(std::string_view name) {
    return name.find('%') != std::string_view::npos || name.find('$') != std::string_view::npos;
}

// What the player says about a marker fault, in words an author can act on.
std::string describeBlockFault(const std::string& text) {
    static const std::array<std::pair<std::string_view, std::string_view>, 6> kTags = {{
        {"[Header block miss close flag]", "a Head block starts before the previous one ends"},
        {"[Header block miss start flag]", "a Head block ends that never started"},
        {"[Book block miss close flag]", "a Book block starts before the previous one ends"},
        {"[Book block miss start flag]", "a Book block ends that never started"},
        {"[Page block miss close flag]", "a Page block starts before the previous one ends"},
        {"[Page block miss start flag]", "a Page block ends that never started"},
    }};
    std::string what = "unknown block marker";
    for (const auto& [tag, words] : kTags)
        if (text.find(tag) != std::string::npos) what = words;
    return what + "; the player finds no block from here on (\"" + oneLine(text) + "\")";
}

class StoryChecker {
  public:
    StoryChecker(Story& story, StringList lines, std::string file, CheckReport& report)
        : story_(story),
          script_(story.script()),
          lines_(std::move(lines)),
          file_(std::move(file)),
          report_(report) {}

    void add(int32_t line0, std::string message) {
        report_.problems.push_back({file_, line0 < 0 ? 0 : line0 + 1, std::move(message)});
    }
    void addWhole(std::string file, std::string message) {
        report_.problems.push_back({std::move(file), 0, std::move(message)});
    }

    void checkBlocks();
    void checkHead(const std::vector<platform::ShownBox>& openingBoxes);
    void checkPages();

  private:
    struct Page {
        std::string book, page;
        int32_t start = 0, end = 0;
    };
    struct IfBlock {
        int32_t line = 0;
        int32_t elseLine = -1;
    };
    // The command being checked: its line and where its parameter lines begin.
    struct At {
        const Page* page = nullptr;
        const Command* command = nullptr;
        int32_t line = 0;
        int32_t paramsStart = 0;
    };

    int32_t headKeyLine(std::string_view key);
    std::string_view blockKindAt(int32_t line) const;
    void checkPage(const Page& page);
    void checkCommand(const At& at, std::vector<IfBlock>& ifs);

    // Line of the parameter as the command reads it, or the command's own line when it is absent.
    int32_t paramLine(const At& at, std::string_view name) const {
        int i = findNameLine(at.command->params, name);
        return i < 0 ? at.line : at.paramsStart + i;
    }
    std::string param(const At& at, std::string_view name, std::string_view fallback) const {
        return at.command->getParamText(name, fallback);
    }

    void checkTarget(const At& at, std::string_view bookParam, std::string_view book,
                     std::string_view pageParam, std::string_view page);
    void checkPicture(const At& at, std::string_view name, std::string_view fileName);
    void checkDataFile(const At& at, const Param& param, std::string_view what);
    void checkExpanded(const At& at, std::string_view name);
    void checkValue(const At& at, const Param& param);
    // `signs`: the reference signs the command accepts there, "%", "$" or both.
    void checkAssigned(const At& at, const Param& param, std::string_view signs);
    void checkLayer(const At& at, const Param& param);
    // `known`: the values accepted here, the parameter's own list unless the command narrows it.
    void checkChoice(const At& at, const Param& param, std::string_view what,
                     std::span<const std::string_view> known = {});

    Story& story_;
    ScriptFile& script_;
    const StringList lines_;  // the story's own lines (the library's book comes after them)
    const std::string file_;
    CheckReport& report_;
};

int32_t StoryChecker::headKeyLine(std::string_view key) {
    int32_t start, end;
    if (!script_.findHead(kZarvo, start, end)) return -1;
    // The first line that begins with KEY= is the one the player reads.
    std::string prefix(key);
    prefix += '=';
    for (int32_t n = start + 1; n < end; ++n)
        if (script_.lineAt(n).starts_with(prefix)) return n;
    return start;
}

std::string_view StoryChecker::blockKindAt(int32_t line) const {
    std::string_view t = trimBlanks(lines_[static_cast<size_t>(line)]);
    size_t eq = t.find('=');
    return eq == std::string_view::npos || t.size() < 2 ? std::string_view{} : t.substr(1, eq - 1);
}

void StoryChecker::checkBlocks() {
    BlockFault fault = findBlockFault(lines_);
    if (fault.line >= 0) {
        add(fault.line, describeBlockFault(fault.text));
        // The player's index holds the blocks closed before the fault, and every lookup builds it
        // again (with its message). The lines before the fault give the same index once, so the
        // later checks see what the player sees at the cost of one build.
        story_.script().loadFromStream(
            joinLines(StringList(lines_.begin(), lines_.begin() + fault.line)));
        return;
    }
    for (const OpenBlock& open : findOpenBlocks(lines_))
        add(open.startLine, open.kind +
                                " block is not closed before the end of the file; the "
                                "player never finds it");
}

void StoryChecker::checkHead(const std::vector<platform::ShownBox>& openingBoxes) {
    std::set<std::string> seen;
    for (const platform::ShownBox& box : openingBoxes) {
        if (!seen.insert(box.text).second) continue;
        if (box.text == texts::kWrongFileType) {
            // A control character cannot stand in a Head line, so it tells a missing key.
            std::string type = script_.readHeadString(kZarvo, "FileType", "\n");
            add(headKeyLine("FileType"), (type == "\n" ? std::string("FileType is missing")
                                                       : "FileType is " + inQuotes(type)) +
                                             ", not \"QZ7\"; the player asks whether to go on (\"" +
                                             oneLine(box.text) + "\")");
        } else if (box.text == texts::kNewerCommandVersion) {
            add(headKeyLine("CommandVersion"),
                "CommandVersion " + inQuotes(script_.readHeadString(kZarvo, "CommandVersion", "")) +
                    " is newer than this player's " + std::to_string(Variables::kCommandVersion) +
                    "; the player asks whether to go on (\"" + oneLine(box.text) + "\")");
        } else if (!box.text.starts_with(texts::kFileDamaged) &&
                   !box.text.starts_with(texts::kUnknownBlock)) {
            // Marker faults are placed on their line by checkBlocks.
            addWhole(file_, "the player shows: \"" + oneLine(box.text) + "\"");
        }
    }

    std::string opening = script_.readHeadString(kZarvo, "Opening", "");
    if (!opening.empty() && opening != "Default" && !holdsReference(opening) &&
        !story_.pictureExists(opening))
        add(headKeyLine("Opening"), "opening picture " + inQuotes(opening) + " is not found");

    std::string book = script_.readHeadString(kZarvo, "StartBook", texts::kDefaultStartBook);
    std::string page = script_.readHeadString(kZarvo, "StartPage", texts::kDefaultStartPage);
    int32_t start, end;
    if (!script_.findPage(book, page, start, end)) {
        int32_t line = headKeyLine("StartPage");
        add(line,
            "the start page " + inQuotes(page) + " of book " + inQuotes(book) + " does not exist");
    }
}

void StoryChecker::checkPages() {
    // The index lists every closed block in the order of its end marker; a lookup takes the
    // first entry of a name, so a later block of the same name is never reached.
    std::map<std::string, int32_t> first;
    std::vector<Page> pages;
    for (const std::string& entry : script_.index()) {
        // NAME:START,END
        size_t colon = entry.rfind(':');
        size_t comma = entry.find(',', colon);
        if (colon == std::string::npos || comma == std::string::npos) continue;
        std::string key = entry.substr(0, colon);
        int32_t start = parseInt(std::string_view(entry).substr(colon + 1, comma - colon - 1), -1);
        int32_t end = parseInt(std::string_view(entry).substr(comma + 1), -1);
        if (start < 0 || end < 0 || static_cast<size_t>(end) >= lines_.size()) continue;
        std::string_view kind = blockKindAt(start);
        if (kind != "Book" && kind != "Page") continue;
        // Pages are filed as BOOK/PAGE; a book name with "/" in it is taken apart at its first.
        size_t slash = key.find('/');
        std::string book = kind == "Page" ? key.substr(0, slash) : key;
        std::string page = kind == "Page" ? key.substr(slash + 1) : std::string();
        auto [it, isNew] = first.emplace(std::string(kind) + ":" + key, start);
        if (!isNew) {
            std::string what = kind == "Page"
                                   ? "page " + inQuotes(page) + " of book " + inQuotes(book)
                                   : "book " + inQuotes(book);
            add(start, what + " is defined again; the player only uses the one at line " +
                           std::to_string(it->second + 1));
        } else if (kind == "Page") {
            pages.push_back({book, page, start, end});
        }
    }
    for (const Page& page : pages) checkPage(page);
}

void StoryChecker::checkPage(const Page& page) {
    std::vector<IfBlock> ifs;
    Command command;
    int32_t count = 0;
    int32_t paramsStart = page.start + 1;
    // Every trimmed line that begins with "@" is a command line; the lines above it, up to the
    // previous command line, are its parameters.
    for (int32_t n = page.start + 1; n < page.end; ++n) {
        std::string_view t = trimBlanks(lines_[static_cast<size_t>(n)]);
        if (t.empty() || t[0] != '@') continue;
        if (++count == CommandCache::kMaxCommands + 1)
            add(n, "page " + inQuotes(page.page) + " of book " + inQuotes(page.book) +
                       " has more than " + std::to_string(CommandCache::kMaxCommands) +
                       " commands; the player refuses to run it");
        command.params.assign(lines_.begin() + paramsStart, lines_.begin() + n);
        command.keyword = t;
        command.type = commandTypeOf(t);
        checkCommand({&page, &command, n, paramsStart}, ifs);
        paramsStart = n + 1;
    }
    for (const IfBlock& block : ifs) add(block.line, "\"@if\" without \"@endif\"");
}

void StoryChecker::checkCommand(const At& at, std::vector<IfBlock>& ifs) {
    const Command& c = *at.command;
    switch (c.type) {
        case CommandType::Unknown: {
            std::string message = "unknown command " + inQuotes(c.keyword);
            for (int32_t t = 1; t < kCommandTypeCount; ++t) {
                std::string_view keyword = commandKeyword(static_cast<CommandType>(t));
                if (sameText(keyword, c.keyword))
                    message += " (keywords are case-sensitive: " + inQuotes(keyword) + ")";
            }
            add(at.line, message);
            break;
        }
        case CommandType::If: {
            namespace p = params::if_;
            ifs.push_back({at.line, -1});
            bool value = c.choice(p::kVariableType, VariableType::Other) == VariableType::Value;
            for (const Param* operand : {&p::kVariable1, &p::kVariable2}) {
                if (value)
                    checkValue(at, *operand);
                else
                    checkExpanded(at, operand->name);
            }
            checkChoice(at, p::kCompare, "comparison",
                        value ? kValueCompareNames : kTextCompareNames);
            break;
        }
        case CommandType::Else:
            if (ifs.empty())
                add(at.line, "\"@else\" without \"@if\"");
            else if (ifs.back().elseLine >= 0)
                add(at.line, "a second \"@else\" for the \"@if\" at line " +
                                 std::to_string(ifs.back().line + 1));
            else
                ifs.back().elseLine = at.line;
            break;
        case CommandType::EndIf:
            if (ifs.empty())
                add(at.line, "\"@endif\" without \"@if\"");
            else
                ifs.pop_back();
            break;
        case CommandType::MessageDraw:
            checkExpanded(at, params::message_draw::kText.name);
            checkLayer(at, params::message_draw::kLayer);
            break;
        case CommandType::GraphicDraw:
            checkPicture(at, params::graphic_draw::kFileName.name,
                         c.text(params::graphic_draw::kFileName));
            checkLayer(at, params::graphic_draw::kLayer);
            checkChoice(at, params::graphic_draw::kEffectType, "effect");
            break;
        case CommandType::Music:
            checkDataFile(at, params::music::kFileName, "music");
            break;
        case CommandType::Sound:
            checkDataFile(at, params::sound::kFileName, "sound");
            break;
        case CommandType::ValueCtrl:
            checkAssigned(at, params::value_ctrl::kValueVar, "%");
            checkValue(at, params::value_ctrl::kLeftValue);
            checkValue(at, params::value_ctrl::kRightValue);
            if (!c.text(params::value_ctrl::kCalc).empty())
                checkChoice(at, params::value_ctrl::kCalc, "calculation");
            break;
        case CommandType::StringCtrl:
            checkAssigned(at, params::string_ctrl::kStringVar, "$");
            checkExpanded(at, params::string_ctrl::kText.name);
            break;
        case CommandType::StringInput:
            checkAssigned(at, params::string_input::kStringVar, "$");
            break;
        case CommandType::LayerCtrl: {
            namespace p = params::layer_ctrl;
            checkLayer(at, p::kName);
            std::string file = c.text(p::kImageFileName);
            if (c.flag(p::kImageChange) && file != kClearImage)
                checkPicture(at, p::kImageFileName.name, file);
            const std::pair<const Param*, std::array<const Param*, 2>> kValues[] = {
                {&p::kPosChange, {&p::kPosLeft, &p::kPosTop}},
                {&p::kSizeChange, {&p::kSizeWidth, &p::kSizeHeight}},
                {&p::kViewChange, {&p::kViewLeft, &p::kViewTop}},
            };
            for (const auto& [flag, values] : kValues)
                if (c.flag(*flag))
                    for (const Param* value : values) checkValue(at, *value);
            break;
        }
        case CommandType::Select: {
            namespace p = params::select;
            if (c.flag(p::kImport)) checkLayer(at, p::kImportLayer);
            // Choices run up to the first empty page name; they go to pages of the current book.
            for (int32_t n = 1; n <= p::kPage.numbered; ++n) {
                std::string pageParam = numberedName(p::kPage, n);
                std::string page = param(at, pageParam, p::kPage.fallback);
                if (page.empty()) break;
                checkExpanded(at, numberedName(p::kText, n));
                checkTarget(at, "", at.page->book, pageParam, page);
            }
            break;
        }
        case CommandType::Move:
        case CommandType::Call: {
            bool move = c.type == CommandType::Move;
            const Param& book = move ? params::move::kBookName : params::call::kBookName;
            const Param& page = move ? params::move::kPageName : params::call::kPageName;
            checkTarget(at, book.name, c.text(book), page.name, c.text(page));
            break;
        }
        case CommandType::DynamicLayer: {
            namespace p = params::dynamic_layer;
            DynamicType type = c.choice(p::kType, DynamicType::Transparent);
            if (type == DynamicType::Image)
                checkPicture(at, p::kImageFileName.name, c.text(p::kImageFileName));
            else if (type == DynamicType::Text)
                checkExpanded(at, p::kText.name);
            if (c.choice(p::kClickMode, ClickArea::None) != ClickArea::None)
                checkTarget(at, p::kClickBook.name, c.text(p::kClickBook), p::kClickPage.name,
                            c.text(p::kClickPage));
            for (const Param* value : {&p::kLeft, &p::kTop, &p::kWidth, &p::kHeight})
                checkValue(at, *value);
            break;
        }
        case CommandType::SaveCtrl: {
            namespace p = params::save_ctrl;
            checkChoice(at, p::kCommand, "save command");
            SaveCommand command = c.choice(p::kCommand, SaveCommand::Other);
            if (command == SaveCommand::LoadValue)
                checkAssigned(at, p::kVariable, "%$");
            else if (command == SaveCommand::SaveValue)
                checkExpanded(at, p::kValue.name);
            break;
        }
        case CommandType::System:
            checkChoice(at, params::system::kCommand, "system command");
            break;
        default:
            break;
    }
}

void StoryChecker::checkTarget(const At& at, std::string_view bookParam, std::string_view book,
                               std::string_view pageParam, std::string_view page) {
    if (holdsReference(book) || holdsReference(page)) return;
    int32_t start, end;
    if (script_.findPage(book, page, start, end)) return;
    StringList pages;
    script_.getPageList(book, pages);
    if (!bookParam.empty() && pages.empty() && !script_.findBook(book, start, end)) {
        add(paramLine(at, bookParam),
            "book " + inQuotes(book) + " does not exist (" + std::string(bookParam) + ")");
        return;
    }
    add(paramLine(at, pageParam), "page " + inQuotes(page) + " of book " + inQuotes(book) +
                                      " does not exist (" + std::string(pageParam) + ")");
}

void StoryChecker::checkPicture(const At& at, std::string_view name, std::string_view fileName) {
    if (fileName.empty()) {
        add(paramLine(at, name), "no picture file is named (" + std::string(name) + ")");
        return;
    }
    if (holdsReference(fileName) || story_.pictureExists(fileName)) return;
    // The pictures a save file holds are read from the save file a story has open at the time.
    if (sameText(fileName, "_smallimage.bmp") || sameText(fileName, "_background.bmp")) return;
    std::string where = story_.isPackaged() ? "in the package or the system library"
                                            : "in the data folder, beside the project or in the "
                                              "system library";
    add(paramLine(at, name), "picture " + inQuotes(fileName) + " is not found " + where + " (" +
                                 std::string(name) + ")");
}

void StoryChecker::checkDataFile(const At& at, const Param& param, std::string_view what) {
    std::string_view name = param.name;
    std::string fileName = at.command->text(param);
    if (fileName.empty()) {
        add(paramLine(at, name),
            "no " + std::string(what) + " file is named (" + std::string(name) + ")");
        return;
    }
    if (holdsReference(fileName) || story_.dataFileExists(fileName)) return;
    std::string message = std::string(what) + " file " + inQuotes(fileName) +
                          " is not found in the data folder or beside the project (" +
                          std::string(name) + ")";
    if (story_.isPackaged() && findEntry(story_.projectPackage(), fileName) >= 0)
        message += script_.readHeadBool(kZarvo, "AutoExtract", false)
                       ? "; it is in the package, but music and sounds play from files on disk "
                         "only: flag the entry for extraction"
                       : "; it is in the package, but music and sounds play from files on disk "
                         "only: flag the entry for extraction and set AutoExtract=1";
    add(paramLine(at, name), message);
}

void StoryChecker::checkExpanded(const At& at, std::string_view name) {
    bool error = false;
    std::string result = story_.variables().expandText(param(at, name, ""), error);
    if (!error) return;
    char sign = result == texts::kDollarMismatch ? '$' : '%';
    add(paramLine(at, name), std::string("\"") + sign + "\" signs do not pair up in " +
                                 std::string(name) + "; the player shows \"" + oneLine(result) +
                                 "\" instead");
}

void StoryChecker::checkValue(const At& at, const Param& param) {
    std::string_view name = param.name;
    std::string value = at.command->text(param);
    if (!holdsReference(value)) return;
    // A value is a number or one "%name%" reference; anything else with a sign in it reads as 0
    // or names a variable other than the one written.
    bool reference = value.size() >= 2 && value.front() == '%' && value.back() == '%' &&
                     value.find_first_of("%$", 1) == value.size() - 1;
    if (!reference)
        add(paramLine(at, name), std::string(name) + " " + inQuotes(value) +
                                     " is neither a number nor one \"%name%\" reference");
}

void StoryChecker::checkAssigned(const At& at, const Param& param, std::string_view signs) {
    std::string_view name = param.name;
    std::string variable = at.command->text(param);
    if (variable.size() >= 2 && variable.front() == variable.back() &&
        signs.find(variable.front()) != std::string_view::npos)
        return;
    std::string forms;
    for (char sign : signs)
        forms += std::string(forms.empty() ? "" : " or ") + "\"" + sign + "name" + sign + "\"";
    add(paramLine(at, name),
        std::string(name) + " " + inQuotes(variable) + " is not a " + forms + " variable");
}

void StoryChecker::checkLayer(const At& at, const Param& param) {
    std::string_view name = param.name;
    std::string layer = at.command->text(param);
    if (layer.empty()) {
        add(paramLine(at, name), "no layer is named (" + std::string(name) + ")");
        return;
    }
    if (holdsReference(layer) || layer == texts::kTextLayer) return;
    const StringList& names = story_.layers().names();
    if (std::find(names.begin(), names.end(), layer) != names.end()) return;
    add(paramLine(at, name),
        "the main screen has no layer " + inQuotes(layer) + " (" + std::string(name) + ")");
}

void StoryChecker::checkChoice(const At& at, const Param& param, std::string_view what,
                               std::span<const std::string_view> known) {
    if (known.empty()) known = param.choices;
    std::string value = at.command->text(param);
    if (std::find(known.begin(), known.end(), value) == known.end())
        add(paramLine(at, param.name), "unknown " + std::string(what) + " " + inQuotes(value) +
                                           " (" + std::string(param.name) + ")");
}

}  // namespace

CheckReport checkStory(platform::FileSystem& files, const std::string& projectPath,
                       const std::string& programDir) {
    CheckReport report;
    std::string bytes;
    if (!files.exists(projectPath) ||
        !platform::readFileAtMost(files, projectPath, kMaxTextBytes, bytes))
        return report;
    report.opened = true;

    platform::RecordingDialogs dialogs;
    Notices notices(dialogs);
    platform::SystemClock clock;
    Story story(Story::Services{.clock = clock,
                                .notices = notices,
                                .files = files,
                                .programDir = programDir,
                                .readOnly = true});
    bool opened = story.openProject(projectPath);

    std::string file = story.isPackaged() ? std::string(kScriptEntry) : projectPath;
    StoryChecker checker(story, story.script().lines(), file, report);
    if (!opened) {
        // Not a package and not a script: the only fatal fault of a file that exists.
        for (const platform::ShownBox& box : dialogs.shown())
            checker.add(0, "not a story file: \"" + oneLine(box.text) + "\"");
        return report;
    }
    if (!story.isPackaged() &&
        (hasMagic(files, projectPath, "QZ7PKG") || hasMagic(files, projectPath, "MZ")))
        checker.addWhole(projectPath,
                         "the file begins like a package but cannot be opened as "
                         "one; the player reads it as a script");
    if (story.isPackaged() && findEntry(story.projectPackage(), kScriptEntry) < 0)
        checker.addWhole(projectPath,
                         "the package holds no script entry \"zarvo.zf7\"; the "
                         "player plays an empty script");
    std::vector<platform::ShownBox> openingBoxes = dialogs.shown();

    const std::string library =
        platform::joinPath(programDir.empty() ? "." : programDir, kLibraryName);
    if (!story.openLibrary(library))
        checker.addWhole(library,
                         "the system library cannot be opened; its pages and "
                         "pictures count as missing");

    checker.checkBlocks();
    checker.checkHead(openingBoxes);
    checker.checkPages();

    // Whole-file problems first, then by line; the same problem is listed once.
    std::stable_sort(report.problems.begin(), report.problems.end(),
                     [](const CheckProblem& a, const CheckProblem& b) { return a.line < b.line; });
    std::set<std::string> seen;
    std::erase_if(report.problems,
                  [&seen](const CheckProblem& p) { return !seen.insert(formatProblem(p)).second; });
    return report;
}

std::string formatProblem(const CheckProblem& problem) {
    std::string out = problem.file;
    if (problem.line > 0) out += ":" + std::to_string(problem.line);
    return out + ": " + problem.message;
}

int checkProject(platform::FileSystem& files, const std::string& projectPath,
                 const std::string& programDir, std::ostream& out) {
    if (files.directoryExists(projectPath)) {
        // A folder (an archive, a disc image) is checked as the player would play it: the story
        // nearest its top, or each of several equally near, a package's script named by the
        // package it is in.
        const StorySearch found = findStories(files, projectPath);
        if (found.stories.empty()) {
            out << projectPath << ": no story found (a script beginning with ///, a package, or a "
                << "program with one behind it)\n";
            return kCheckUsage;
        }
        if (found.stories.size() == 1)
            return checkProject(files, found.stories[0], programDir, out);
        int status = kCheckClean;
        for (const std::string& story : found.stories) {
            CheckReport report = checkStory(files, story, programDir);
            if (!report.opened) {
                out << story << ": cannot read the project file\n";
                status = kCheckUsage;
                continue;
            }
            for (CheckProblem& problem : report.problems) {
                if (problem.file == kScriptEntry) problem.file = story + "/" + problem.file;
                out << formatProblem(problem) << "\n";
            }
            if (!report.problems.empty() && status == kCheckClean) status = kCheckProblems;
        }
        return status;
    }
    CheckReport report = checkStory(files, projectPath, programDir);
    if (!report.opened) {
        out << projectPath << ": cannot read the project file\n";
        return kCheckUsage;
    }
    for (const CheckProblem& problem : report.problems) out << formatProblem(problem) << "\n";
    return report.problems.empty() ? kCheckClean : kCheckProblems;
}

}  // namespace zarvo
