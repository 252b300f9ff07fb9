#include "script/variables.hpp"

#include <gtest/gtest.h>

#include <set>

#include "backends/headless/virtual_clock.hpp"
#include "base/save_container.hpp"
#include "script/script_file.hpp"
#include "script_test_util.hpp"
#include "support/notices.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {
namespace {

using platform::BoxKind;
using test::sjis;

struct Vars : ::testing::Test {
    Vars() {
        file.loadFromStream(test::script({
            "<Head=\"Zarvo\">",
            "ImageWidth=640",
            "Title=物語",
            "<Head End>",
            "<Head=\"\">",
            "@version=7",
            "<Head End>",
        }));
    }
    std::string expand(std::string_view utf8) {
        bool error = true;
        std::string out = vars.expandText(sjis(utf8), error);
        EXPECT_FALSE(error) << utf8;
        return out;
    }
    platform::VirtualClock clock{5000};
    test::RecordedNotices boxes;
    platform::RecordingDialogs& dialogs = boxes.dialogs;
    ScriptFile file{boxes};
    Variables vars{file, boxes, clock};
};

TEST_F(Vars, UserVariablesIgnoreLetterCaseAndKeepFirstSetOrder) {
    vars.setValue("%Score%", 5);
    vars.setText("$Name$", sjis("太郎"));
    vars.setValue("%b%", 2);
    vars.setValue("%SCORE%", 7);  // replaces in place
    EXPECT_EQ(vars.getValueVar("score"), 7);
    EXPECT_EQ(vars.getValue("%sCoRe%"), 7);
    EXPECT_EQ(vars.getTextVar("NAME"), sjis("太郎"));
    EXPECT_EQ(vars.values(), (StringList{"SCORE=7", "b=2"}));  // the line takes the latest spelling
    StringList lines = {"x"};
    vars.getTextLines(lines);
    EXPECT_EQ(lines, (StringList{"x", sjis("Name=太郎")}));
    EXPECT_EQ(vars.getTextVar("unset"), "");
    EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(Vars, OperandsAreReferencesOrLiterals) {
    EXPECT_EQ(vars.getValue("42"), 42);
    EXPECT_EQ(vars.getValue("0x10"), 16);
    EXPECT_EQ(vars.getValue("word"), 0);
    EXPECT_EQ(vars.getValue("%unset%"), 0);
    // The last character goes whatever it is: "%ab" names "a", a lone "%" names "".
    vars.setValue("%ab", 3);
    EXPECT_EQ(vars.getValueVar("a"), 3);
    vars.setValue("%", 9);
    EXPECT_EQ(vars.getValue("%x"), 9);
    EXPECT_EQ(vars.values(), (StringList{"a=3", "=9"}));
}

TEST_F(Vars, SystemNamesAreReadOnlyAndExact) {
    vars.setValue("%" + sjis("@乱数") + "%", 5);
    vars.setValue("%@Version%", 1);
    vars.setText("$@ScriptFile$", "x");
    EXPECT_TRUE(vars.values().empty());
    EXPECT_TRUE(vars.texts().empty());
    EXPECT_EQ(vars.getValueVar("@Version"), 3120);
    EXPECT_EQ(vars.getValueVar("@CommandVersion"), 20);
    // In other letter case it is a Head look-up: empty head, the whole name as key.
    EXPECT_EQ(vars.getValueVar("@version"), 7);
    EXPECT_EQ(vars.getValueVar("@VERSION"), 0);
    EXPECT_EQ(vars.getValueVar("@Zarvo:ImageWidth"), 640);
    EXPECT_EQ(vars.getValueVar("@Zarvo:Missing"), 0);
    EXPECT_EQ(vars.getValueVar("@Zarvo:Title"), 0);
    EXPECT_EQ(vars.getTextVar("@Zarvo:Title"), sjis("物語"));
    EXPECT_EQ(vars.getTextVar("@Nothing:Title"), "");
    EXPECT_EQ(vars.getTextVar("@ScriptFile"), "unknown file");
    vars.setScriptFileName("story.zp7");
    EXPECT_EQ(expand("[$@ScriptFile$]"), "[story.zp7]");
    file.newScript();  // a script without the head
    EXPECT_EQ(vars.getValueVar("@Zarvo:ImageWidth"), 0);
}

TEST_F(Vars, WrongSignsShowTheDebugMessage) {
    vars.setValue("Score", 1);
    vars.setText("%Name%", "x");
    vars.setValue("", 1);
    ASSERT_EQ(dialogs.shown().size(), 3u);
    EXPECT_EQ(dialogs.shown()[0].kind, BoxKind::Plain);
    EXPECT_EQ(dialogs.shown()[0].text,
              "debug - TVariableCtrl::Set_Value()\r\nsyntax error : VarName=Score");
    EXPECT_EQ(dialogs.shown()[1].text,
              "debug - TVariableCtrl::Set_Text()\r\nsyntax error : VarName=%Name%");
    EXPECT_TRUE(vars.values().empty());
    EXPECT_TRUE(vars.texts().empty());
}

TEST_F(Vars, ClockValues) {
    clock.advance(2999);
    EXPECT_EQ(vars.getValueVar(sjis("@経過時間")), 2);  // counted from construction
    platform::LocalTime t = clock.localTime();
    EXPECT_EQ(vars.getValueVar(sjis("@年月日")), t.year * 10000 + t.month * 100 + t.day);
    EXPECT_EQ(vars.getValueVar(sjis("@年")), t.year);
    EXPECT_EQ(vars.getValueVar(sjis("@月")), t.month);
    EXPECT_EQ(vars.getValueVar(sjis("@日")), t.day);
    EXPECT_EQ(vars.getValueVar(sjis("@時分秒")), t.hour * 10000 + t.minute * 100 + t.second);
    EXPECT_EQ(vars.getValueVar(sjis("@秒")), t.second);
    const char* days[] = {"日", "月", "火", "水", "木", "金", "土"};
    EXPECT_EQ(vars.getTextVar(sjis("@曜日")), sjis(days[t.weekday]));
    clock.advance(86400u * 1000u);
    EXPECT_EQ(vars.getTextVar(sjis("@曜日")), sjis(days[(t.weekday + 1) % 7]));
}

TEST_F(Vars, RandomCoversTheRangeAndFollowsTheSeed) {
    const std::string name = sjis("@乱数");
    vars.seed(1234);
    std::set<int32_t> seen;
    std::vector<int32_t> first;
    for (int i = 0; i < 20000; ++i) {
        int32_t v = vars.getValueVar(name);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 1000);
        seen.insert(v);
        if (i < 10) first.push_back(v);
    }
    EXPECT_EQ(seen.size(), 1000u);
    vars.seed(1234);
    for (int32_t v : first) EXPECT_EQ(vars.getValueVar(name), v);
    vars.setRandomRange(0);
    EXPECT_EQ(vars.getValueVar(name), 0);
}

TEST_F(Vars, ExpansionReplacesStringsThenValues) {
    vars.setText("$name$", sjis("花子"));
    vars.setText("$ref$", "%score%");
    vars.setText("$dollar$", "$");
    vars.setValue("%score%", 12);
    vars.setValue("%with blank%", 4);
    EXPECT_EQ(expand("$name$さんの点は%score%点"), sjis("花子さんの点は12点"));
    EXPECT_EQ(expand("100%%"), "1000");
    EXPECT_EQ(expand("[$$]"), "[]");
    EXPECT_EQ(expand("$ref$"), "12");    // a value reference inside a string variable
    EXPECT_EQ(expand("$dollar$"), "$");  // not searched for "$" again
    EXPECT_EQ(expand("%with blank%|% score%"), "4|0");
    EXPECT_EQ(expand("ソ表$name$"), sjis("ソ表花子"));  // trail bytes 0x5C are no signs
    EXPECT_EQ(expand("no references"), "no references");

    bool error = false;
    EXPECT_EQ(vars.expandText("a $name", error), texts::kDollarMismatch);
    EXPECT_TRUE(error);
    EXPECT_EQ(vars.expandText("50% off", error), texts::kPercentMismatch);
    EXPECT_TRUE(error);
    vars.setText("$pct$", "%");
    EXPECT_EQ(vars.expandText("$pct$", error), texts::kPercentMismatch);
    EXPECT_TRUE(error);
}

TEST_F(Vars, SaveSectionsRoundTrip) {
    vars.setValue("%a%", 1);
    vars.setText("$t$", sjis("文字"));
    MemorySaveContainer save;
    ASSERT_TRUE(vars.saveInfo(save));
    EXPECT_EQ(save.sections["valuevar.info"], (StringList{"a=1"}));
    EXPECT_EQ(save.sections["stringvar.info"], (StringList{sjis("t=文字")}));

    Variables other(file, boxes, clock);
    other.setValue("%old%", 5);
    other.setText("$keep$", "k");
    MemorySaveContainer partial;
    partial.sections["valuevar.info"] = {"a=1", "bad=x"};
    other.loadInfo(partial);  // no text section: texts stay
    EXPECT_EQ(other.values(), (StringList{"a=1", "bad=x"}));
    EXPECT_EQ(other.getValueVar("bad"), 0);
    EXPECT_EQ(other.getTextVar("keep"), "k");
    other.loadInfo(save);
    EXPECT_EQ(other.getTextVar("T"), sjis("文字"));
}

}  // namespace
}  // namespace zarvo
