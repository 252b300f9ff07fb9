// The story's boxes. Once the program is terminating, the rest of the run shows no box: each one
// that would follow (the report after an aborted load, say) takes the answer that changes
// nothing. The shutdown sequence reports again, so a setting that cannot be written is still told.
#pragma once
#include <functional>
#include <string_view>

#include "platform/dialogs.hpp"
#include "platform/host.hpp"

namespace zarvo {

class EndingDialogs final : public platform::Dialogs {
  public:
    EndingDialogs(platform::Dialogs& inner, platform::Host& host) : inner_(inner), host_(host) {}

    platform::BoxAnswer showMessage(platform::BoxKind kind, std::string_view text) override {
        return showMessageWithNote(kind, text, {});
    }
    platform::BoxAnswer showMessageWithNote(platform::BoxKind kind, std::string_view text,
                                            std::string_view note) override;
    bool inputBox(std::string_view caption, std::string_view prompt, std::string& value) override {
        if (onBox) onBox();
        return !silent() && inner_.inputBox(caption, prompt, value);
    }

    bool shuttingDown = false;
    std::function<void()> onBox;  // before every box: a skip stops there

  private:
    bool silent() const { return !shuttingDown && host_.isTerminating(); }

    platform::Dialogs& inner_;
    platform::Host& host_;
};

}  // namespace zarvo
