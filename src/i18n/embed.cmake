# Writes OUTPUT, a C++ file holding the bytes of INPUT as quillet::i18n::kEnglishQm.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
    "// Generated from ${INPUT} at build time.\n"
    "#include <cstddef>\n"
    "namespace quillet::i18n {\n"
    "extern const unsigned char kEnglishQm[] = {${bytes}};\n"
    "extern const std::size_t kEnglishQmSize = sizeof kEnglishQm;\n"
    "}  // namespace quillet::i18n\n")
