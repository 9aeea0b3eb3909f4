# Script mode: turns the bytes of IN into a C++ source OUT that registers them.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}" "// Generated from ${IN}; do not edit.
#include \"platform/Resources.h\"
namespace {
const unsigned char kBytes[] = {
${bytes}0};
const corvina::TResourceRegistrar kRegistrar{\"${NAME}\", \"${TYPE}\", kBytes, ${size}};
}  // namespace
")
