// Hot paths of the script model: indexing a large script, numbering a full page of commands and
// expanding a typical message line.
#include <benchmark/benchmark.h>

#include <string>

#include "backends/headless/virtual_clock.hpp"
#include "platform/recording_dialogs.hpp"
#include "player/notices.hpp"
#include "script/command_cache.hpp"
#include "script/script_file.hpp"
#include "script/variables.hpp"

using namespace zarvo;

namespace {

// About `lines` lines: a Head block, then books of 50 pages of message commands.
std::string makeScript(int lines, int* produced) {
    std::string s =
        "/// Game Creative Tool - Zarvo Third -\r\n///\r\n<Head=\"Zarvo\">\r\nTitle=bench\r\n"
        "ImageWidth=640\r\n<Head End>\r\n";
    int n = 6, book = 0;
    while (n < lines) {
        s += "<Book=\"book" + std::to_string(book++) + "\">\r\n";
        ++n;
        for (int p = 0; p < 50 && n < lines; ++p) {
            s += "<Page=\"page" + std::to_string(p) + "\">\r\n";
            for (int c = 0; c < 10; ++c)
                s += "MessageDraw.Text=Line of the story with some words in it, number " +
                     std::to_string(c) + "\r\nMessageDraw.Wait=1\r\n@MessageDraw\r\n";
            s += "@Return\r\n<Page End>\r\n";
            n += 33;
        }
        s += "<Book End>\r\n";
        ++n;
    }
    *produced = n;
    return s;
}

void BM_IndexScript(benchmark::State& state) {
    int lines = 0;
    const std::string text = makeScript(100000, &lines);
    platform::RecordingDialogs dialogs;
    Notices notices(dialogs);
    ScriptFile file(notices);
    for (auto _ : state) {
        file.loadFromStream(text);
        benchmark::DoNotOptimize(file.index().data());
    }
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["lines"] = lines;
    state.counters["blocks"] = static_cast<double>(file.index().size());
}
BENCHMARK(BM_IndexScript)->Unit(benchmark::kMillisecond);

void BM_MakeCommandCache500(benchmark::State& state) {
    std::string text = "<Book=\"b\">\r\n<Page=\"p\">\r\n";
    for (int c = 0; c < 500; ++c) {
        if (c % 10 == 0)
            text += "if.Variable1=%a%\r\n@if\r\n";
        else if (c % 10 == 9)
            text += "@endif\r\n";
        else
            text += "MessageDraw.Text=Some text of a message line\r\n  @MessageDraw  \r\n";
    }
    text += "<Page End>\r\n<Book End>\r\n";
    platform::RecordingDialogs dialogs;
    Notices notices(dialogs);
    ScriptFile file(notices);
    file.loadFromStream(text);
    CommandCache ctrl(file, notices);
    ctrl.setBookName("b");
    ctrl.setPageName("p");
    for (auto _ : state) {
        ctrl.makeCommandCache();
        benchmark::DoNotOptimize(ctrl.commandCount());
    }
    if (ctrl.commandCount() != 500) state.SkipWithError("expected 500 commands");
}
BENCHMARK(BM_MakeCommandCache500)->Unit(benchmark::kMicrosecond);

void BM_GetCommand(benchmark::State& state) {
    std::string text = "<Book=\"b\">\r\n<Page=\"p\">\r\n";
    for (int c = 0; c < 100; ++c)
        text +=
            "MessageDraw.Text=Some text of a message "
            "line\r\nMessageDraw.Wait=1\r\n@MessageDraw\r\n";
    text += "<Page End>\r\n<Book End>\r\n";
    platform::RecordingDialogs dialogs;
    Notices notices(dialogs);
    ScriptFile file(notices);
    file.loadFromStream(text);
    CommandCache ctrl(file, notices);
    ctrl.setBookName("b");
    ctrl.setPageName("p");
    Command cmd;
    int32_t k = 0;
    for (auto _ : state) {
        ctrl.getCommand(k, cmd);
        benchmark::DoNotOptimize(cmd.getParamText("MessageDraw.Text", ""));
        k = (k + 1) % 100;
    }
}
BENCHMARK(BM_GetCommand);

void BM_ExpandText(benchmark::State& state) {
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    Notices notices(dialogs);
    ScriptFile file(notices);
    Variables vars(file, notices, clock);
    for (int i = 0; i < 20; ++i) {
        vars.setValue("%v" + std::to_string(i) + "%", i);
        vars.setText("$t" + std::to_string(i) + "$", "name" + std::to_string(i));
    }
    vars.setText("$name$", "Taro");
    vars.setValue("%score%", 1234);
    const std::string line =
        "<b>$name$</b> said: \"You have %score% points, and it is day %v12% of the trip.\"";
    bool error;
    for (auto _ : state) benchmark::DoNotOptimize(vars.expandText(line, error));
}
BENCHMARK(BM_ExpandText);

void BM_ExpandPlainText(benchmark::State& state) {
    platform::VirtualClock clock;
    platform::RecordingDialogs dialogs;
    Notices notices(dialogs);
    ScriptFile file(notices);
    Variables vars(file, notices, clock);
    const std::string line = "A message line without any references, as most lines are.";
    bool error;
    for (auto _ : state) benchmark::DoNotOptimize(vars.expandText(line, error));
}
BENCHMARK(BM_ExpandPlainText);

}  // namespace
