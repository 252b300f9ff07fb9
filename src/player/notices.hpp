// The one place that turns an engine notice into a message box: it knows each notice's box kind
// and composes its text from the player's own texts and the notice's details.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/dialogs.hpp"
#include "platform/notice_sink.hpp"

namespace zarvo {

class Notices final : public platform::NoticeSink {
  public:
    explicit Notices(platform::Dialogs& dialogs) : dialogs_(dialogs) {}

    using NoticeSink::tell;
    platform::BoxAnswer tell(platform::Notice notice,
                             std::initializer_list<std::string_view> details) override;

  private:
    static platform::BoxKind kindOf(platform::Notice notice);
    static std::string textOf(platform::Notice notice,
                              std::initializer_list<std::string_view> details);

    platform::Dialogs& dialogs_;
};

}  // namespace zarvo
