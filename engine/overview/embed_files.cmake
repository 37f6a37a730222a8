# Writes OUTPUT, a C++ file holding the overview page's files PAGE, SCRIPT
# and STYLE as string views, so that the program carries them.
set(text "// Made by engine/overview/embed_files.cmake: do not edit.\n#include <string_view>\nnamespace kelvane {\n")
foreach(pair "kOverviewPage;${PAGE}" "kOverviewScript;${SCRIPT}" "kOverviewStyle;${STYLE}")
  list(GET pair 0 name)
  list(GET pair 1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND text "static const char ${name}Bytes[] = {${bytes}'\\0'};\n"
         "extern const std::string_view ${name}(${name}Bytes, ${size});\n")
endforeach()
string(APPEND text "} // namespace kelvane\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
