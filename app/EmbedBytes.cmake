# Turns a file into a C++ array: cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=Symbol -P EmbedBytes.cmake
# defines `const unsigned char Symbol[]` and `const std::size_t SymbolSize`.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
  "// Made at build time from ${source}.\n#include <cstddef>\n\n"
  "extern const unsigned char ${NAME}[];\nextern const std::size_t ${NAME}Size;\n"
  "const unsigned char ${NAME}[] = {\n${bytes}};\nconst std::size_t ${NAME}Size = sizeof(${NAME});\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
