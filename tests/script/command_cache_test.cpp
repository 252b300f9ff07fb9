#include "script/command_cache.hpp"

#include <gtest/gtest.h>

#include <set>

#include "script/command_table.hpp"
#include "script/script_file.hpp"
#include "script_test_util.hpp"
#include "support/notices.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

using platform::BoxKind;
using platform::RecordingDialogs;
using test::sjis;

// A script with one book "b" and the given pages, each a list of UTF-8 lines.
std::string pages(
    std::initializer_list<std::pair<std::string_view, std::vector<std::string>>> list) {
    std::string text = "<Book=\"b\">\r\n";
    for (const auto& [name, lines] : list) {
        text.append("<Page=\"").append(name).append("\">\r\n");
        for (const auto& l : lines) text.append(l).append("\r\n");
        text.append("<Page End>\r\n");
    }
    text.append("<Book End>\r\n");
    return sjis(text);
}

std::vector<std::string> repeat(std::string_view line, int n) {
    return std::vector<std::string>(static_cast<size_t>(n), std::string(line));
}

struct Fixture : ::testing::Test {
    void open(const std::string& bytes, std::string_view page) {
        file.loadFromStream(bytes);
        ctrl.setBookName("b");
        ctrl.setPageName(page);
    }
    std::vector<int32_t> levels() {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < ctrl.commandCount(); ++i) out.push_back(ctrl.getCommandLevel(i));
        return out;
    }
    test::RecordedNotices boxes;
    RecordingDialogs& dialogs = boxes.dialogs;
    ScriptFile file{boxes};
    CommandCache ctrl{file, boxes};
};

TEST(CommandKeywords, TableOrderAndExactComparison) {
    const std::string_view table[] = {"@rem",        "@if",           "@else",
                                      "@endif",      "@MessageDraw",  "@GraphicDraw",
                                      "@Effect",     "@Music",        "@Sound",
                                      "@MusicStop",  "@ValueCtrl",    "@StringCtrl",
                                      "@LayerCtrl",  "@GraphicCtrl",  "@Wait",
                                      "@Select",     "@Move",         "@Call",
                                      "@Return",     "@DynamicLayer", "@DynamicLayerClear",
                                      "@WindowShow", "@StringInput",  "@SaveCtrl",
                                      "@System"};
    for (int32_t t = 1; t <= 25; ++t) {
        EXPECT_EQ(static_cast<int32_t>(commandTypeOf(table[t - 1])), t) << table[t - 1];
        EXPECT_EQ(commandKeyword(static_cast<CommandType>(t)), table[t - 1]);
    }
    for (std::string_view other : {"@IF", "@rem x", "@", "", "rem", "@DynamicLayerClearX"})
        EXPECT_EQ(commandTypeOf(other), CommandType::Unknown) << other;
}

// The handlers and the checker read every parameter through the table: an entry out of place
// hands a command another's parameters, a name given twice makes one parameter shadow another,
// and a choice whose default is not among its values makes the checker flag every command that
// leaves the line out.
TEST(CommandTable, EntriesInTypeOrderWithWellFormedParameters) {
    std::set<std::string_view> names;
    for (const CommandSpec& entry : commandTable()) {
        SCOPED_TRACE(entry.keyword);
        EXPECT_EQ(&commandSpec(entry.type), &entry);
        for (const Param* param : entry.params) {
            SCOPED_TRACE(param->name);
            EXPECT_TRUE(names.insert(param->name).second) << "given twice";
            bool choice = param->kind == ParamKind::Choice;
            EXPECT_EQ(choice, !param->choices.empty());
            if (choice && !param->fallback.empty()) {
                EXPECT_GE(choiceIndex(*param, param->fallback), 0);
            }
            if (param->kind == ParamKind::Flag) {
                EXPECT_TRUE(param->fallbackNumber == 0 || param->fallbackNumber == 1);
            }
            if (param->numbered > 0) {
                EXPECT_EQ(param->kind, ParamKind::Text);
            }
        }
    }
}

TEST_F(Fixture, CommandsCarryTheLinesAboveThem) {
    open(pages({{"p",
                 {"MessageDraw.Text=こんにちは", "messagedraw.text=second", "",
                  "  MessageDraw.Wait=5", "  @MessageDraw  ", "Wait.Time=abc", "Wait.Flag", "@Wait",
                  "@wait", "trailing line"}},
                {"none", {"MessageDraw.Text=x", "plain"}}}),
         "p");
    ASSERT_EQ(ctrl.commandCount(), 3);
    Command cmd;
    ASSERT_TRUE(ctrl.getCommand(0, cmd));
    EXPECT_EQ(cmd.type, CommandType::MessageDraw);
    EXPECT_EQ(cmd.params, (StringList{sjis("MessageDraw.Text=こんにちは"),
                                      "messagedraw.text=second", "", "  MessageDraw.Wait=5"}));
    EXPECT_EQ(cmd.getParamText("MESSAGEDRAW.TEXT", "d"), sjis("こんにちは"));  // upper line wins
    EXPECT_EQ(cmd.getParamValue("MessageDraw.Wait", -1), -1);  // a blank before the name
    EXPECT_TRUE(cmd.getParamFlag("MessageDraw.Flag", true));
    ASSERT_TRUE(ctrl.getCommand(1, cmd));
    EXPECT_EQ(cmd.type, CommandType::Wait);
    EXPECT_EQ(cmd.params, (StringList{"Wait.Time=abc", "Wait.Flag"}));
    EXPECT_EQ(cmd.getParamValue("Wait.Time", 250), 250);
    EXPECT_FALSE(cmd.getParamFlag("Wait.Flag", false));  // a line without "=" never matches
    EXPECT_EQ(cmd.getParamValue("Wait.Missing", 9), 9);
    ASSERT_TRUE(ctrl.getCommand(2, cmd));
    EXPECT_EQ(cmd.type, CommandType::Unknown);
    EXPECT_TRUE(cmd.params.empty());
    EXPECT_FALSE(ctrl.getCommand(3, cmd));
    EXPECT_FALSE(ctrl.getCommand(-1, cmd));
    EXPECT_EQ(ctrl.getCommandLevel(3), -1);

    ctrl.setPageName("none");
    EXPECT_EQ(ctrl.commandCount(), 0);
    ctrl.setPageName("missing");
    EXPECT_EQ(ctrl.commandCount(), 0);
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(Fixture, IfElseEndifShareALevel) {
    open(pages({{"p",
                 {"@if", "@rem", "@if", "@else", "@endif", "@else", "@MessageDraw", "@endif",
                  "@Return"}},
                {"stray", {"@endif", "@if", "@rem", "@endif", "@Return"}}}),
         "p");
    EXPECT_EQ(levels(), (std::vector<int32_t>{0, 1, 1, 1, 1, 0, 1, 0, 0}));
    ctrl.setPageName("stray");
    EXPECT_EQ(levels(), (std::vector<int32_t>{-1, -1, 0, -1, -1}));
}

TEST_F(Fixture, FiveHundredCommandsFitAndOneMoreIsRefused) {
    auto full = repeat("@rem", 500);
    full.push_back("after=1");
    auto over = repeat("  @Wait", 501);
    open(pages({{"full", full}, {"over", over}}), "full");
    EXPECT_EQ(ctrl.commandCount(), 500);
    Command cmd;
    EXPECT_TRUE(ctrl.getCommand(499, cmd));
    EXPECT_TRUE(dialogs.shown().empty());

    ctrl.setPageName("over");
    // Nothing of the refused page runs, and the full page's count is not kept for it.
    EXPECT_EQ(ctrl.commandCount(), 0);
    EXPECT_FALSE(ctrl.getCommand(0, cmd));
    EXPECT_EQ(ctrl.getCommandLevel(0), -1);
    ASSERT_EQ(dialogs.shown().size(), 3u);  // at every query
    for (const auto& box : dialogs.shown()) {
        EXPECT_EQ(box.kind, BoxKind::ErrorOk);
        EXPECT_EQ(box.text, texts::kTooManyCommands);
    }
    ctrl.setPageName("full");
    EXPECT_EQ(ctrl.commandCount(), 500);
    EXPECT_EQ(dialogs.shown().size(), 3u);
}

TEST_F(Fixture, RebuildsOnlyWhenTheNameChanges) {
    open(pages({{"p", {"@rem", "@rem", "x=1", "@Wait"}}}), "p");
    ASSERT_EQ(ctrl.commandCount(), 3);
    // The script shrinks under the cache; the same name keeps the old numbering, and fetching
    // it stays within the new page.
    file.loadFromStream(pages({{"p", {"@Return"}}}));
    ctrl.setBookName("b");
    ctrl.setPageName("p");
    EXPECT_FALSE(ctrl.needsRebuild());
    EXPECT_EQ(ctrl.commandCount(), 3);
    Command cmd;
    ASSERT_TRUE(ctrl.getCommand(2, cmd));
    EXPECT_EQ(cmd.type, CommandType::Unknown);
    EXPECT_EQ(cmd.params, (StringList{""}));
    ctrl.setPageName("q");
    ctrl.setPageName("p");
    EXPECT_EQ(ctrl.commandCount(), 1);
    ASSERT_TRUE(ctrl.getCommand(0, cmd));
    EXPECT_EQ(cmd.type, CommandType::Return);
}

}  // namespace
}  // namespace zarvo
