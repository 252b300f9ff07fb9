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
            return BoxKind::WarningOk;
        case Notice::VariableSyntaxError:
        case Notice::BrokenStack:
        case Notice::LayerNotFound:
        case Notice::DynamicLayerCreateFailed:
        case Notice::ScreenSaveFailed:
        case Notice::ScreenLoadFailed:
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
        case Notice::SaveDamaged:
        case Notice::SaveAppendUnreadable:
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
    }
    return text;
}

}  // namespace zarvo
