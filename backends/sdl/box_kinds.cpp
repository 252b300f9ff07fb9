#include "backends/sdl/box_kinds.hpp"

#include "base/sjis.hpp"
#include "zarvo/texts.hpp"

namespace zarvo::platform {

BoxLayout boxLayout(BoxKind kind) {
    using A = BoxAnswer;
    switch (kind) {
        case BoxKind::ErrorOk:
            return {BoxIcon::Error, {A::Ok}, A::Ok};
        case BoxKind::ErrorAbortIgnore:
            return {BoxIcon::Error, {A::Abort, A::Ignore}, A::Ignore};
        case BoxKind::WarningYesNo:
            return {BoxIcon::Warning, {A::Yes, A::No}, A::No};
        case BoxKind::WarningAbortIgnore:
            return {BoxIcon::Warning, {A::Abort, A::Ignore}, A::Ignore};
        case BoxKind::WarningOk:
            return {BoxIcon::Warning, {A::Ok}, A::Ok};
        case BoxKind::InformationOk:
            return {BoxIcon::Information, {A::Ok}, A::Ok};
        case BoxKind::Plain:
            return {BoxIcon::None, {A::Ok}, A::Ok};
    }
    return {BoxIcon::None, {A::Ok}, A::Ok};
}

std::string_view buttonLabel(BoxAnswer answer) {
    switch (answer) {
        case BoxAnswer::Ok:
            return texts::kButtonOk;
        case BoxAnswer::Cancel:
            return texts::kButtonCancel;
        case BoxAnswer::Yes:
            return texts::kButtonYes;
        case BoxAnswer::No:
            return texts::kButtonNo;
        case BoxAnswer::Abort:
            return texts::kButtonAbort;
        case BoxAnswer::Ignore:
            return texts::kButtonIgnore;
    }
    return texts::kButtonOk;
}

std::string_view boxTitle(BoxKind kind) {
    switch (boxLayout(kind).icon) {
        case BoxIcon::Error:
            return texts::kBoxTitleError;
        case BoxIcon::Warning:
            return texts::kBoxTitleWarning;
        case BoxIcon::Information:
            return texts::kBoxTitleInformation;
        case BoxIcon::None:
            break;
    }
    return texts::kApplicationTitle;
}

std::string boxTextUtf8(std::string_view sjisText) {
    std::string utf8 = sjisToUtf8(sjisText);
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r') {
            out += '\n';
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

}  // namespace zarvo::platform
