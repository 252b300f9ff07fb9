// Scripts for the tests, written as readable UTF-8 lines and turned into code page 932 bytes.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

#include "support/temp_dir.hpp"

namespace zarvo::test {

inline std::string script(std::initializer_list<std::string_view> utf8Lines) {
    std::string text;
    for (std::string_view l : utf8Lines) text.append(l).append("\r\n");
    return sjis(text);
}

}  // namespace zarvo::test
