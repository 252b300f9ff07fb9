#include "player/notices.hpp"

#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxKind;
using platform::Notice;

platform::BoxAnswer Notices::tell(Notice notice, std::initializer_list<std::string_view> details) {
    return dialogs_.showMessage(kindOf(notice), textOf(notice, details));
}

BoxKind Notices::kindOf(Notice notice) {
    switch (notice) {
        case Notice::WrongFileType:
        case Notice::NewerCommandVersion:
        case Notice::ImageLoadFailed:
            return BoxKind::ErrorAbortIgnore;
        case Notice::AskCreateDataFolder:
        case Notice::AskCreateSaveFolder:
            return BoxKind::WarningYesNo;
        case Notice::IncompatibleSave:
            return BoxKind::WarningAbortIgnore;
        case Notice::MagDecodeFailed:
        case Notice::StackUnderflow:
        case Notice::LoadValueBadVariable:
            return BoxKind::WarningOk;
        case Notice::VariableSyntaxError:
        case Notice::BrokenStack:
        case Notice::LayerNotFound:
        case Notice::DynamicLayerCreateFailed:
        case Notice::ScreenSaveFailed:
        case Notice::ScreenLoadFailed:
        case Notice::UnknownCommand:
        case Notice::DivideByZero:
        case Notice::UnknownSystemCommand:
            return BoxKind::Plain;
        case Notice::ScriptOpenFailed:
        case Notice::WrongHeaderId:
        case Notice::FolderCreateFailed:
        case Notice::ExtractUnsafeName:
        case Notice::ExtractFailed:
        case Notice::ScriptDamaged:
        case Notice::UnknownBlock:
        case Notice::TooManyCommands:
        case Notice::SaveWriteFailed:
        case Notice::SaveNotFlushed:
        case Notice::SaveDamaged:
        case Notice::SaveAppendUnreadable:
        case Notice::LibraryOpenFailed:
        case Notice::PageNotFound:
        case Notice::CommandFailed:
        case Notice::IfWithoutEndif:
        case Notice::ElseWithoutEndif:
        case Notice::GraphicDrawFailed:
            break;
    }
    return BoxKind::ErrorOk;
}

std::string Notices::textOf(Notice notice, std::initializer_list<std::string_view> details) {
    // A detail the caller left out reads as empty rather than past the list.
    auto detail = [&details](size_t n) {
        return n < details.size() ? details.begin()[n] : std::string_view{};
    };
    std::string text;
    switch (notice) {
        case Notice::ScriptOpenFailed:
            text.append(detail(0)).append(texts::kNotFoundSuffix);
            break;
        case Notice::WrongHeaderId:
            text = texts::kWrongHeaderId;
            break;
        case Notice::WrongFileType:
            text = texts::kWrongFileType;
            break;
        case Notice::NewerCommandVersion:
            text = texts::kNewerCommandVersion;
            break;
        case Notice::AskCreateDataFolder:
            text.append(texts::kExtractFolderAskBefore)
                .append(detail(0))
                .append(texts::kExtractFolderAskAfter);
            break;
        case Notice::FolderCreateFailed:
            text = texts::kFolderCreateFailed;
            break;
        case Notice::ExtractUnsafeName:
            text.append(texts::kExtractUnsafeName).append(detail(0));
            break;
        case Notice::ExtractFailed:
            text.append(texts::kExtractWriteFailed).append(detail(0));
            break;
        case Notice::MagDecodeFailed:
            text = texts::kMagDecodeFailed;
            break;
        case Notice::ScriptDamaged:
            text.append(texts::kFileDamaged).append("\r\n").append(detail(0));
            break;
        case Notice::UnknownBlock:
            text.append(texts::kUnknownBlock).append(detail(0));
            break;
        case Notice::TooManyCommands:
            text = texts::kTooManyCommands;
            break;
        case Notice::VariableSyntaxError:
            text.append("debug - Variables::")
                .append(detail(0))
                .append("()\r\nsyntax error : VarName=")
                .append(detail(1));
            break;
        case Notice::BrokenStack:
            text = texts::kBrokenStack;
            break;
        case Notice::LayerNotFound:
            text.append("debug - error:\n layername not found:").append(detail(0));
            break;
        case Notice::ImageLoadFailed:
            text.append(texts::kImageLoadFailedBefore)
                .append(detail(0))
                .append(texts::kImageLoadFailedAfter);
            break;
        case Notice::DynamicLayerCreateFailed:
            text = texts::kDynamicLayerCreateFailed;
            break;
        case Notice::SaveWriteFailed:
            text.append(texts::kSaveWriteFailed).append(detail(0));
            break;
        case Notice::SaveNotFlushed:
            text.append(texts::kSaveNotFlushed).append(detail(0));
            break;
        case Notice::SaveDamaged:
            text.append(texts::kSaveDamaged).append(detail(0));
            if (!detail(1).empty()) text.append(texts::kSaveDamagedEntry).append(detail(1));
            break;
        case Notice::SaveAppendUnreadable:
            text.append(texts::kSaveAppendUnreadable).append(detail(0));
            break;
        case Notice::AskCreateSaveFolder:
            // The save folder's question ends like the data folder's.
            text.append(texts::kSaveFolderAskBefore)
                .append(detail(0))
                .append(texts::kExtractFolderAskAfter);
            break;
        case Notice::IncompatibleSave:
            text = texts::kIncompatibleSave;
            break;
        case Notice::ScreenSaveFailed:
            text = "debug error : FScreenControl->SaveInfo()";
            break;
        case Notice::ScreenLoadFailed:
            text = "debug error : FScreenControl->LoadInfo()";
            break;
        case Notice::LibraryOpenFailed:
            text = texts::kLibraryOpenFailed;
            break;
        case Notice::PageNotFound:
            text.append(texts::kPageNotFound)
                .append(texts::kPageNotFoundBookOpen)
                .append(detail(0));
            text.append(texts::kPageNotFoundBookClose).append(detail(1));
            text.append(texts::kPageNotFoundPageClose);
            break;
        case Notice::CommandFailed: {
            text.append(texts::kCommandFailedBefore).append(detail(0));
            text.append(texts::kCommandFailedBookClose).append(detail(1));
            text.append(texts::kCommandFailedPageClose).append(detail(2));
            text.append(texts::kCommandFailedLineClose).append(detail(3));
            text.append(texts::kCommandFailedAfter);
            // The library's own words, when they are plain ASCII and so read the same in code
            // page 932.
            const std::string_view what = detail(4);
            bool plain = !what.empty() && what.size() <= 200;
            for (char c : what) plain = plain && c >= 0x20 && c < 0x7F;
            if (plain) text.append("\r\n(").append(what).append(")");
            text.append(texts::kCommandFailedGoOn);
            break;
        }
        case Notice::UnknownCommand:
            text = "debug error : unknown command - MainLoop_Step()";
            break;
        case Notice::IfWithoutEndif:
            text = texts::kIfWithoutEndif;
            break;
        case Notice::ElseWithoutEndif:
            text = texts::kElseWithoutEndif;
            break;
        case Notice::StackUnderflow:
            text = texts::kStackUnderflow;
            break;
        case Notice::DivideByZero:
            text = texts::kDivideByZero;
            break;
        case Notice::GraphicDrawFailed:
            text.append(texts::kGraphicDrawFailedBefore)
                .append(detail(0))
                .append(texts::kGraphicDrawFailedAfter);
            break;
        case Notice::LoadValueBadVariable:
            text = texts::kLoadValueBadVariable;
            break;
        case Notice::UnknownSystemCommand:
            text.append(texts::kUnknownSystemCommandBefore)
                .append(detail(0))
                .append(texts::kUnknownSystemCommandAfter);
            break;
    }
    return text;
}

}  // namespace zarvo
