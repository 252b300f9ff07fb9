// The notices no story test reaches: each comes out as its box kind and text, with its details
// where the text has them.
#include "support/notices.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace zarvo::test {
namespace {

using platform::BoxKind;
using platform::Notice;

TEST(Notices, FailuresNoStoryReachesShowTheirBoxes) {
    struct Case {
        Notice notice;
        BoxKind kind;
        std::string text;
    };
    const Case cases[] = {
        {Notice::FolderCreateFailed, BoxKind::ErrorOk, sjis("フォルダの作成に失敗しました")},
        {Notice::ExtractFailed, BoxKind::ErrorOk, sjis("ファイルを展開できませんでした：a.png")},
        {Notice::SaveWriteFailed, BoxKind::ErrorOk,
         sjis("セーブファイルを書き込めませんでした。以前のセーブファイルはそのまま残っています。"
              "\r\na.png")},
        {Notice::SaveNotFlushed, BoxKind::ErrorOk,
         sjis("セーブファイルは書き込みましたが、ディスクへの書き出しを確認できませんでした。"
              "\r\na.png")},
        {Notice::SaveAppendUnreadable, BoxKind::ErrorOk,
         sjis("セーブファイルの中身を読み取れないため、書き足しを中止しました。ファイルはそのまま"
              "残っています。\r\na.png")},
        {Notice::ScreenSaveFailed, BoxKind::Plain, "debug error : FScreenControl->SaveInfo()"},
        {Notice::ScreenLoadFailed, BoxKind::Plain, "debug error : FScreenControl->LoadInfo()"},
    };
    for (const Case& c : cases) {
        RecordedNotices boxes;
        platform::NoticeSink& sink = boxes;
        EXPECT_EQ(sink.tell(c.notice, {"a.png"}), platform::BoxAnswer::Ok);
        ASSERT_EQ(boxes.dialogs.shown().size(), 1u);
        EXPECT_EQ(boxes.dialogs.shown()[0].kind, c.kind) << c.text;
        EXPECT_EQ(boxes.dialogs.shown()[0].text, c.text);
    }
}

}  // namespace
}  // namespace zarvo::test
