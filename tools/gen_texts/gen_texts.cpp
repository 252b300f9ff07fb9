// Build-time generator: turns the UTF-8 table of the player's own Japanese texts into a header of
// code page 932 byte strings, so code names texts instead of hand-writing escape bytes.
//
// Table lines: NAME=TEXT. "#" starts a comment line. TEXT may use \r \n \t \\ escapes.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "base/sjis.hpp"

static std::string unescape(const std::string& s) {
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            r += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            r += s[i];
        }
    }
    return r;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gen_texts TABLE.txt OUTPUT.hpp\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "gen_texts: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::ostringstream body;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::cerr << argv[1] << ":" << lineNo << ": expected NAME=TEXT\n";
            return 1;
        }
        std::string name = line.substr(0, eq);
        std::string bytes;
        if (!zarvo::utf8ToSjis(unescape(line.substr(eq + 1)), bytes)) {
            std::cerr << argv[1] << ":" << lineNo << ": text has no code page 932 form\n";
            return 1;
        }
        body << "// " << line.substr(eq + 1) << "\n";
        body << "inline constexpr std::string_view k" << name << "{\"";
        for (unsigned char c : bytes) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            body << buf;
        }
        body << "\", " << bytes.size() << "};\n";
    }
    std::ostringstream out;
    out << "// Generated from " << argv[1] << " by gen_texts; do not edit.\n"
        << "#pragma once\n#include <string_view>\n\nnamespace zarvo::texts {\n\n"
        << body.str() << "\n}  // namespace zarvo::texts\n";
    // Rewrite only on change so dependants are not rebuilt needlessly.
    std::string fresh = out.str();
    std::ifstream old(argv[2], std::ios::binary);
    std::string previous((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    if (previous != fresh) {
        std::ofstream o(argv[2], std::ios::binary);
        o << fresh;
        if (!o) {
            std::cerr << "gen_texts: cannot write " << argv[2] << "\n";
            return 1;
        }
    }
    return 0;
}
