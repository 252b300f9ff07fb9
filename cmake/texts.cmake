# The player's own Japanese texts: one UTF-8 table, converted to code page 932 at build time.
add_executable(gen_texts tools/gen_texts/gen_texts.cpp)
# The generator runs during the build; keep sanitizer/fuzzer runtimes out of it.
set_target_properties(gen_texts PROPERTIES COMPILE_OPTIONS "" LINK_OPTIONS "")
set(ZARVO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(ZARVO_TEXTS_TABLE ${CMAKE_SOURCE_DIR}/src/base/texts.txt)
set(ZARVO_TEXTS_HEADER ${ZARVO_GENERATED_DIR}/zarvo/texts.hpp)
add_custom_command(
  OUTPUT ${ZARVO_TEXTS_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZARVO_GENERATED_DIR}/zarvo
  COMMAND gen_texts ${ZARVO_TEXTS_TABLE} ${ZARVO_TEXTS_HEADER}
  DEPENDS gen_texts ${ZARVO_TEXTS_TABLE}
  COMMENT "Converting the player's texts to code page 932")
add_custom_target(zarvo_texts DEPENDS ${ZARVO_TEXTS_HEADER})
