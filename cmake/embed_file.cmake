# Writes a file's bytes as a C++ array: cmake -DIN=FILE -DOUT=SOURCE -DNAME=SYMBOL -P this.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}" "// Made at build time from ${IN}.\n#include <cstddef>\n\nnamespace zarvo {\n"
     "extern const unsigned char ${NAME}[];\nextern const std::size_t ${NAME}Size;\n"
     "const unsigned char ${NAME}[] = {\n${bytes}};\nconst std::size_t ${NAME}Size = ${size};\n"
     "}  // namespace zarvo\n")
