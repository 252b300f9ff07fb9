#include "player/notices.hpp"

#include "base/sjis.hpp"
#include "zarvo/texts.hpp"

namespace zarvo {

using platform::BoxKind;
using platform::Notice;

platform::BoxAnswer Notices::tell(Notice notice, std::initializer_list<std::string_view> details) {
    lastText_ = textOf(notice, details);
    lastNote_ = language_ == MenuLanguage::English ? noteOf(notice, details) : std::string();
    return dialogs_.showMessageWithNote(kindOf(notice), lastText_, lastNote_);
}

std::string Notices::lastTold() const {
    if (!lastNote_.empty()) return lastNote_;
    // On one line: stderr reads better so, and the code page's line ends go.
    std::string out;
    for (char c : sjisToUtf8(lastText_))
        if (c != '\r') out += c == '\n' ? ' ' : c;
    return out;
}

std::string Notices::noteOf(Notice notice, std::initializer_list<std::string_view> details) {
    auto detail = [&details](size_t n) {
        return n < details.size() ? sjisToUtf8(details.begin()[n]) : std::string();
    };
    switch (notice) {
        case Notice::ScriptOpenFailed:
            return std::string(texts::kNoteNotFound) + " " + detail(0);
        case Notice::ProjectFolderEmpty:
            return std::string(texts::kNoteFolderEmpty);
        case Notice::ProjectFolderSeveral: {
            std::string names;
            for (char c : detail(1)) {
                if (c == '\n')
                    names += ", ";
                else if (c != '\r')
                    names += c;
            }
            return std::string(texts::kNoteFolderSeveral) + " " + names;
        }
        case Notice::WrongHeaderId:
            return std::string(texts::kNoteNotAStory);
        case Notice::WrongFileType:
            return std::string(texts::kNoteWrongFileType);
        case Notice::NewerCommandVersion:
            return std::string(texts::kNoteNewerCommands);
        case Notice::ScriptDamaged:
            return std::string(texts::kNoteDamaged);
        case Notice::UnknownBlock:
            return std::string(texts::kNoteUnknownBlock);
        case Notice::TooManyCommands:
            return std::string(texts::kNoteTooManyCommands);
        case Notice::LibraryOpenFailed:
            return std::string(texts::kNoteLibraryMissing);
        case Notice::AskCreateDataFolder:
            return std::string(texts::kNoteAskCreateFolder);
        case Notice::FolderCreateFailed:
            return std::string(texts::kNoteFolderCreateFailed);
        case Notice::ExtractUnsafeName:
            return std::string(texts::kNoteExtractUnsafeName) + " " + detail(0);
        case Notice::ExtractFailed:
            return std::string(texts::kNoteExtractFailed) + " " + detail(0);
        // The player's own boxes: in the reader's language whole.
        case Notice::StateWriteFailed:
            return std::string(texts::kStateWriteFailedEn) + detail(0);
        case Notice::StateDamaged:
            return std::string(texts::kStateDamagedEn) + detail(0);
        case Notice::StateOtherStory:
            return std::string(texts::kStateOtherStoryEn);
        case Notice::StateOtherPlayer:
            return std::string(texts::kStateOtherPlayerEn);
        default:
            return {};
    }
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
        case Notice::StateOtherStory:
        case Notice::StateOtherPlayer:
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
        case Notice::ProjectFolderEmpty:
        case Notice::ProjectFolderSeveral:
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
        case Notice::StateWriteFailed:
        case Notice::StateDamaged:
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
        case Notice::ProjectFolderEmpty:
            text.append(texts::kFolderNoStoryBefore)
                .append(detail(0))
                .append(texts::kFolderNoStoryAfter);
            break;
        case Notice::ProjectFolderSeveral:
            text.append(texts::kFolderSeveralStoriesBefore)
                .append(detail(0))
                .append(texts::kFolderSeveralStoriesAfter)
                .append("\r\n")
                .append(detail(1));
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
            text.append("debug - TVariableCtrl::")
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
        case Notice::StateWriteFailed:
            text.append(texts::kStateWriteFailed).append(detail(0));
            break;
        case Notice::StateDamaged:
            text.append(texts::kStateDamaged).append(detail(0));
            break;
        case Notice::StateOtherStory:
            text = texts::kStateOtherStory;
            break;
        case Notice::StateOtherPlayer:
            text = texts::kStateOtherPlayer;
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
