// The player's notices shown on recording dialogs: engine objects under test tell them, and the
// test reads the boxes they became, in the kinds and texts a user would see.
#pragma once
#include "platform/recording_dialogs.hpp"
#include "player/notices.hpp"

namespace zarvo::test {

struct RecordedNotices {
    platform::RecordingDialogs dialogs;
    Notices notices{dialogs};

    operator platform::NoticeSink&() { return notices; }
};

}  // namespace zarvo::test
