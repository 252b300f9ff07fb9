// Script parsing on arbitrary bytes: the block index, every look-up, the command cache of every
// page with all its commands and parameters, and text expansion of each page line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "backends/headless/virtual_clock.hpp"
#include "base/string_list.hpp"
#include "platform/recording_dialogs.hpp"
#include "player/notices.hpp"
#include "script/command_cache.hpp"
#include "script/script_file.hpp"
#include "script/variables.hpp"

using namespace zarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::RecordingDialogs dialogs;
    Notices notices(dialogs);
    platform::VirtualClock clock;
    ScriptFile file(notices);
    file.loadFromStream(bytes);

    Variables vars(file, notices, clock);
    vars.seed(1);
    vars.setValue("%a%", 1);
    vars.setText("$s$", "%a%");
    vars.setText("$t$", "text");

    int32_t s, e;
    file.findHead("Zarvo", s, e);
    (void)file.readHeadString("Zarvo", "Title", "");
    (void)file.readHeadInt("Zarvo", "ImageWidth", 640);
    (void)file.readHeadBool("Zarvo", "DebugMode", false);

    CommandCache ctrl(file, notices);
    Command cmd;
    StringList books, pages, lines;
    file.getBookList(books);
    for (const std::string& book : books) {
        file.bookExists(book);
        lines.clear();
        file.getBookLines(book, lines);
        file.getPageList(book, pages);
        for (const std::string& page : pages) {
            file.pageExists(book, page);
            int32_t n = file.getPageLineCount(book, page);
            for (int32_t i = -1; i <= n; ++i) {
                bool error;
                (void)vars.expandText(file.getPageLine(book, page, i), error);
            }
            ctrl.setBookName(book);
            ctrl.setPageName(page);
            int32_t count = ctrl.commandCount();
            for (int32_t k = -1; k <= count; ++k) {
                ctrl.getCommandLevel(k);
                if (!ctrl.getCommand(k, cmd)) continue;
                for (const std::string& p : cmd.params) {
                    std::string_view name = std::string_view(p).substr(0, p.find('='));
                    (void)cmd.getParamText(name, "");
                    (void)cmd.getParamValue(name, 0);
                    (void)vars.getValue(cmd.getParamText(name, ""));
                }
            }
        }
    }
    // A book of the input imported into a fresh script must index cleanly beside its banner.
    if (!books.empty()) {
        ScriptFile other(notices);
        other.importBook(books.front(), file);
        other.getBookList(pages);
    }
    for (const std::string& line : file.lines()) {
        if (line.size() > 1 && line[0] == '@') (void)vars.getValueVar(line);
        if (line.size() > 1 && line[0] == '%') vars.setValue(line, 2);
    }
    return 0;
}
