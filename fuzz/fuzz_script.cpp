// Script parsing on arbitrary bytes: the block index, every look-up, the command cache of every
// page with all its commands and parameters, and text expansion of each page line.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/string_list.hpp"
#include "backends/headless/recording_dialogs.hpp"
#include "backends/headless/virtual_clock.hpp"
#include "script/command_cache.hpp"
#include "script/variables.hpp"
#include "script/script_file.hpp"

using namespace zarvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::RecordingDialogs dialogs;
    platform::VirtualClock clock;
    ScriptFile file;
    file.setDialogs(&dialogs);
    file.LoadFromStream(bytes);

    Variables vars(&clock);
    vars.setFile(&file);
    vars.setDialogs(&dialogs);
    vars.seed(1);
    vars.Set_Value("%a%", 1);
    vars.Set_Text("$s$", "%a%");
    vars.Set_Text("$t$", "text");

    int32_t s, e;
    file.FindHead("Zarvo", s, e);
    (void)file.ReadHeadString("Zarvo", "Title", "");
    (void)file.ReadHeadInt("Zarvo", "ImageWidth", 640);
    (void)file.ReadHeadBool("Zarvo", "DebugMode", false);

    CommandCache ctrl;
    ctrl.setFile(&file);
    ctrl.setDialogs(&dialogs);
    Command cmd;
    StringList books, pages, lines;
    file.GetBookList(books);
    for (const std::string& book : books) {
        file.BookExists(book);
        lines.clear();
        file.GetBookLines(book, lines);
        file.GetPageList(book, pages);
        for (const std::string& page : pages) {
            file.PageExists(book, page);
            int32_t n = file.GetPageLineCount(book, page);
            for (int32_t i = -1; i <= n; ++i) {
                bool error;
                (void)vars.Expand_Text(file.GetPageLine(book, page, i), error);
            }
            ctrl.Set_BookName(book);
            ctrl.Set_PageName(page);
            int32_t count = ctrl.Get_CommandCount();
            for (int32_t k = -1; k <= count; ++k) {
                ctrl.Get_CommandLevel(k);
                if (!ctrl.Get_Command(k, cmd)) continue;
                for (const std::string& p : cmd.params) {
                    std::string_view name = std::string_view(p).substr(0, p.find('='));
                    (void)cmd.GetParamText(name, "");
                    (void)cmd.GetParamValue(name, 0);
                    (void)vars.Get_Value(cmd.GetParamText(name, ""));
                }
            }
        }
    }
    // A book of the input imported into a fresh script must index cleanly beside its banner.
    if (!books.empty()) {
        ScriptFile other;
        other.ImportBook(books.front(), file);
        other.GetBookList(pages);
    }
    for (const std::string& line : file.lines()) {
        if (line.size() > 1 && line[0] == '@') (void)vars.Get_ValueVar(line);
        if (line.size() > 1 && line[0] == '%') vars.Set_Value(line, 2);
    }
    return 0;
}
