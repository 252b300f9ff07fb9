#include <gtest/gtest.h>

#include "base/name_value.hpp"
#include "base/string_list.hpp"
#include "support/temp_dir.hpp"

namespace zarvo {
namespace {

TEST(StringLists, LoadEveryLineEndingAndSaveCrLf) {
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (StringList{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n"), (StringList{"a"}));
    EXPECT_EQ(splitLines("a\n\nb\n"), (StringList{"a", "", "b"}));
    EXPECT_EQ(splitLines("\r\n\r\n"), (StringList{"", ""}));
    EXPECT_EQ(splitLines("a\n\r"), (StringList{"a", ""}));  // LF CR is two breaks
    EXPECT_TRUE(splitLines("").empty());
    EXPECT_EQ(joinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
    StringList lines{"x=1", test::sjis("名前=値")};
    EXPECT_EQ(joinLines(lines), "x=1\r\n" + test::sjis("名前=値") + "\r\n");
    EXPECT_EQ(splitLines(joinLines(lines)), lines);
}

TEST(NameValueLists, FirstMatchWinsCaseInsensitivelyAndValuesStayUntrimmed) {
    StringList list{"noequals", " Key=blank before", "key= first ", "KEY=second", "n=$1F",
                    "bad=1 "};
    EXPECT_EQ(readListString(list, "Key", "d"), " first ");
    EXPECT_EQ(readListString(list, "noequals", "d"), "d");
    EXPECT_EQ(readListString(list, "missing", "d"), "d");
    EXPECT_EQ(readListInt(list, "N", 0), 31);
    EXPECT_EQ(readListInt(list, "bad", 5), 5);
    EXPECT_TRUE(readListBool(list, "missing", true));
    EXPECT_TRUE(readListBool(list, "n", false));
    // A value may itself hold "=".
    StringList eq{"a=b=c"};
    EXPECT_EQ(readListString(eq, "a", ""), "b=c");
}

TEST(NameValueLists, WriteReplacesTheFirstLineAndAppendAlwaysAdds) {
    StringList list{"A=1", "a=2"};
    writeListInt(list, "a", 7);
    EXPECT_EQ(list, (StringList{"a=7", "a=2"}));
    writeListBool(list, "flag", true);
    writeListString(list, "s", "");
    EXPECT_EQ(list, (StringList{"a=7", "a=2", "flag=1", "s="}));
    appendListBool(list, "flag", false);
    appendListInt(list, "n", -3);
    appendListString(list, "t", "x y");
    EXPECT_EQ(list.size(), 7u);
    EXPECT_EQ(list[4], "flag=0");
    EXPECT_EQ(list[5], "n=-3");
    EXPECT_TRUE(readListBool(list, "FLAG", false));  // the first line still wins
}

}  // namespace
}  // namespace zarvo
