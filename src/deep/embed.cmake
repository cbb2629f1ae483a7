# Writes OUTPUT, a C++ file defining builtInParkingPhraseFile() with the bytes of INPUT, every
# byte escaped so that no content of the file can end the string early.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from parking-phrases.txt at build time.\n"
"#include \"deep/parking.h\"\n\n"
"namespace quorvel::deep\n{\n\n"
"std::string_view builtInParkingPhraseFile()\n{\n"
"    static constexpr char text[] = \"${escaped}\";\n"
"    return {text, sizeof text - 1};\n}\n\n"
"} // namespace quorvel::deep\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
