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

// The texts stories' players see, byte for byte as the players of these stories have always
// shown them: authors and readers search for them, and some stories' own pages quote them.
TEST(Notices, TextsStoriesPlayersSee) {
    struct Case {
        Notice notice;
        std::initializer_list<std::string_view> details;
        BoxKind kind;
        std::string text;
    };
    const Case cases[] = {
        {Notice::ScriptOpenFailed,
         {"C:\\a.zp7"},
         BoxKind::ErrorOk,
         sjis("C:\\a.zp7が見つかりません")},
        {Notice::WrongHeaderId,
         {},
         BoxKind::ErrorOk,
         sjis("ファイルのヘッダIDが違います。\r\nこのファイルはZarvo３で利用できるファイルでは"
              "ありません")},
        {Notice::WrongFileType,
         {},
         BoxKind::ErrorAbortIgnore,
         sjis("ファイルタイプが違います\r\nこのファイルは正常に読み込めないかもしれません")},
        {Notice::NewerCommandVersion,
         {},
         BoxKind::ErrorAbortIgnore,
         sjis("このファイルには現バージョンで対応していない\r\nコマンドが含まれている可能性が"
              "あります\r\n最新版のZarvoを入手することをおすすめします")},
        {Notice::AskCreateDataFolder,
         {"d"},
         BoxKind::WarningYesNo,
         sjis("実行に必要なファイルの展開や、セーブファイルの保存のため\r\n\"d\" フォルダを作成"
              "します。\r\nよろしいですか？")},
        {Notice::AskCreateSaveFolder,
         {"d"},
         BoxKind::WarningYesNo,
         sjis("セーブファイルの保存のため\r\n\"d\" フォルダを作成します。\r\nよろしいですか？")},
        {Notice::FolderCreateFailed, {}, BoxKind::ErrorOk, sjis("フォルダの作成に失敗しました")},
        {Notice::MagDecodeFailed, {}, BoxKind::WarningOk, "Failed by MMAG_MagtoBmp"},
        {Notice::ScriptDamaged,
         {"[Page block miss start flag]"},
         BoxKind::ErrorOk,
         sjis("ファイルが破損しています\r\n[Page block miss start flag]")},
        {Notice::TooManyCommands,
         {},
         BoxKind::ErrorOk,
         sjis("１ページあたりのコマンド数が多すぎます")},
        {Notice::VariableSyntaxError,
         {"Set_Value", "x%"},
         BoxKind::Plain,
         "debug - TVariableCtrl::Set_Value()\r\nsyntax error : VarName=x%"},
        {Notice::VariableSyntaxError,
         {"Set_Text", "x$"},
         BoxKind::Plain,
         "debug - TVariableCtrl::Set_Text()\r\nsyntax error : VarName=x$"},
        {Notice::BrokenStack,
         {},
         BoxKind::Plain,
         sjis("セーブファイルが異常です。スタックの取得に失敗しました。\n処理を続けることが"
              "できません。")},
        {Notice::LayerNotFound, {"L"}, BoxKind::Plain, "debug - error:\n layername not found:L"},
        {Notice::ImageLoadFailed,
         {"a.bmp"},
         BoxKind::ErrorAbortIgnore,
         sjis("画像ファイル「a.bmp」の読み込みに失敗しました\nこのファイルが存在しないか、この"
              "ファイルを読み込むためのSusieプラグインが必要です。")},
        {Notice::DynamicLayerCreateFailed,
         {},
         BoxKind::Plain,
         sjis("debug - Dynamic layer create fail \r\nダイナミックレイヤーの生成に失敗しました")},
        {Notice::IncompatibleSave,
         {},
         BoxKind::WarningAbortIgnore,
         sjis("互換性のないセーブファイルを読み込むコマンドが実行されました。\nこのセーブファイル"
              "を読み込むと異常動作する場合があります。\n\n意図的にこの操作を行ったのなら継続"
              "すべきか判断してください。\nそうでなければ、読み込みを中止してください。")},
        {Notice::ScreenSaveFailed, {}, BoxKind::Plain, "debug error : FScreenControl->SaveInfo()"},
        {Notice::ScreenLoadFailed, {}, BoxKind::Plain, "debug error : FScreenControl->LoadInfo()"},
        {Notice::LibraryOpenFailed,
         {},
         BoxKind::ErrorOk,
         sjis("Zarvoライブラリが開けません\r\nCan't open - \"zarvoplay.zvl\"")},
        {Notice::PageNotFound,
         {"b", "p"},
         BoxKind::ErrorOk,
         sjis("存在しないページへのアクセスが発生しました。\r\n「b」ブック、「p」ページ")},
        {Notice::UnknownCommand,
         {},
         BoxKind::Plain,
         "debug error : unknown command - MainLoop_Step()"},
        {Notice::IfWithoutEndif,
         {},
         BoxKind::ErrorOk,
         sjis("ブロック構文エラー\r\nＩＦコマンドに対応するＥＮＤＩＦがありません")},
        {Notice::ElseWithoutEndif,
         {},
         BoxKind::ErrorOk,
         sjis("ブロック構文エラー\r\nＥＬＳＥコマンドに対応するＥＮＤＩＦがありません")},
        {Notice::StackUnderflow,
         {},
         BoxKind::WarningOk,
         sjis("スタックアンダーフローです。\r\nサブルーチンコールが行われていないのに\r\n復帰"
              "しようとしました。")},
        {Notice::DivideByZero,
         {},
         BoxKind::Plain,
         sjis("debug: error report:\r\n ０で除算しました")},
        {Notice::GraphicDrawFailed,
         {"g.png"},
         BoxKind::ErrorOk,
         sjis("画像「g.png」の読み込みができません")},
        {Notice::LoadValueBadVariable,
         {},
         BoxKind::WarningOk,
         sjis("セーブコントロール：\r\n代入先の変数名が不正です")},
        {Notice::UnknownSystemCommand,
         {"Beep"},
         BoxKind::Plain,
         sjis("debug: error report:\r\n不明なシステムコマンド「Beep」が発行されました")},
    };
    for (const Case& c : cases) {
        RecordedNotices boxes;
        platform::NoticeSink& sink = boxes;
        sink.tell(c.notice, c.details);
        ASSERT_EQ(boxes.dialogs.shown().size(), 1u);
        EXPECT_EQ(boxes.dialogs.shown()[0].kind, c.kind) << c.text;
        EXPECT_EQ(boxes.dialogs.shown()[0].text, c.text);
    }
}

// A reader of another language gets an English line under the boxes about opening a story; the
// box's own text, which traces and stories see, stays as it is.
TEST(Notices, ReaderOfEnglishGetsALineUnderTheOpeningBoxes) {
    RecordedNotices boxes;
    boxes.notices.setLanguage(MenuLanguage::English);
    platform::NoticeSink& sink = boxes;
    sink.tell(Notice::ScriptOpenFailed, {"a.zp7"});
    sink.tell(Notice::ProjectFolderSeveral, {"d", "a.zp7\r\nb.zp7"});
    sink.tell(Notice::DivideByZero);
    const auto& shown = boxes.dialogs.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, sjis("a.zp7が見つかりません"));
    EXPECT_EQ(shown[0].note, "The story file was not found: a.zp7");
    EXPECT_EQ(shown[1].note,
              "This folder holds several stories; give the one to play: a.zp7, b.zp7");
    EXPECT_EQ(shown[2].note, "");  // a developer's text needs none
    // What a program that stops says on its way out is the reader's line, else the box's text.
    EXPECT_EQ(boxes.notices.lastTold(), "debug: error report:  ０で除算しました");

    RecordedNotices japanese;
    platform::NoticeSink& jsink = japanese;
    jsink.tell(Notice::ScriptOpenFailed, {"a.zp7"});
    EXPECT_EQ(japanese.dialogs.shown()[0].note, "");
    EXPECT_EQ(japanese.notices.lastTold(), "a.zp7が見つかりません");
}

}  // namespace
}  // namespace zarvo::test
