// The one place that turns an engine notice into a message box: it knows each notice's box kind
// and composes its text from the player's own texts and the notice's details.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/dialogs.hpp"
#include "platform/notice_sink.hpp"
#include "player/settings_menu.hpp"

namespace zarvo {

class Notices final : public platform::NoticeSink {
  public:
    explicit Notices(platform::Dialogs& dialogs) : dialogs_(dialogs) {}

    using NoticeSink::tell;
    platform::BoxAnswer tell(platform::Notice notice,
                             std::initializer_list<std::string_view> details) override;

    // A reader of another language gets a line in English under the boxes about opening a
    // story; the text stories and their players know stays as it is.
    void setLanguage(MenuLanguage language) { language_ = language; }
    // The last box told, in the reader's language (UTF-8): what a program that stops because of
    // it says on its way out. Empty before the first.
    std::string lastTold() const;

    static platform::BoxKind kindOf(platform::Notice notice);
    static std::string textOf(platform::Notice notice,
                              std::initializer_list<std::string_view> details);
    // The English line for the notices about opening a story; empty for the others.
    static std::string noteOf(platform::Notice notice,
                              std::initializer_list<std::string_view> details);

  private:
    platform::Dialogs& dialogs_;
    MenuLanguage language_ = MenuLanguage::Japanese;
    std::string lastText_, lastNote_;
};

}  // namespace zarvo
