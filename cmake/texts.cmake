# Code page 932 tables of the engine's converter, generated from the build machine's own
# converter (glibc iconv), so the engine needs no iconv on any platform.
set(ZARVO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(ZARVO_CP932_HEADER ${ZARVO_GENERATED_DIR}/zarvo/cp932_tables.hpp)
if(CMAKE_CROSSCOMPILING)
  # A cross build's own programs (the web build's, on musl) have no CP932 converter: the
  # generator is built for the build machine with its C++ compiler.
  find_program(ZARVO_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(gen_cp932 ${CMAKE_BINARY_DIR}/host/gen_cp932)
  add_custom_command(
    OUTPUT ${gen_cp932}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${ZARVO_HOST_CXX} -std=c++20 -O2 ${CMAKE_SOURCE_DIR}/tools/gen_cp932/gen_cp932.cpp
            -o ${gen_cp932}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/gen_cp932/gen_cp932.cpp
    COMMENT "Building the code page 932 table generator for the build machine")
else()
  add_executable(gen_cp932 tools/gen_cp932/gen_cp932.cpp)
  # The generators run during the build; keep sanitizer/fuzzer runtimes out of them.
  set_target_properties(gen_cp932 PROPERTIES COMPILE_OPTIONS "" LINK_OPTIONS "")
  set(gen_cp932 gen_cp932)
endif()
add_custom_command(
  OUTPUT ${ZARVO_CP932_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZARVO_GENERATED_DIR}/zarvo
  COMMAND ${gen_cp932} ${ZARVO_CP932_HEADER}
  DEPENDS ${gen_cp932}
  COMMENT "Generating the code page 932 tables")
add_custom_target(zarvo_cp932_tables DEPENDS ${ZARVO_CP932_HEADER})

# The player's own Japanese texts: one UTF-8 table, converted to code page 932 at build time
# with the engine's own converter.
add_executable(gen_texts tools/gen_texts/gen_texts.cpp src/base/sjis.cpp)
target_include_directories(gen_texts PRIVATE ${CMAKE_SOURCE_DIR}/src ${ZARVO_GENERATED_DIR})
add_dependencies(gen_texts zarvo_cp932_tables)
set_target_properties(gen_texts PROPERTIES COMPILE_OPTIONS "" LINK_OPTIONS "${ZARVO_WEB_LINK_OPTIONS}")
set(ZARVO_TEXTS_TABLE ${CMAKE_SOURCE_DIR}/src/base/texts.txt)
set(ZARVO_TEXTS_HEADER ${ZARVO_GENERATED_DIR}/zarvo/texts.hpp)
add_custom_command(
  OUTPUT ${ZARVO_TEXTS_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZARVO_GENERATED_DIR}/zarvo
  COMMAND gen_texts ${ZARVO_TEXTS_TABLE} ${ZARVO_TEXTS_HEADER}
  DEPENDS gen_texts ${ZARVO_TEXTS_TABLE}
  COMMENT "Converting the player's texts to code page 932")
add_custom_target(zarvo_texts DEPENDS ${ZARVO_TEXTS_HEADER})
