#include "tray/pipe_names.h"

#include <cstdio>

namespace lum {
namespace tray {

namespace {

// "{%08X-%04X-%04X-%04X-%04X%08X}_"
std::wstring Format(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f) {
  wchar_t text[64] = {};
  std::swprintf(text, 64, L"{%08X-%04X-%04X-%04X-%04X%08X}_", a, b & 0xFFFFu, c & 0xFFFFu,
                d & 0xFFFFu, e & 0xFFFFu, f);
  return text;
}

// The last three fields are common to both names.
uint32_t FieldD(uint32_t v) { return (v - 0x632B0070u) >> 16; }
uint32_t FieldE(uint32_t v) { return v - 0x70u; }
uint32_t FieldF(uint32_t v) { return v - 0x35AD6AC8u; }

}  // namespace

std::wstring ServicePipeName(uint32_t v) {
  return Format(v + 0x3F793C2Au, v - 0x7D11u, (v >> 16) + 0x4BCFu, FieldD(v), FieldE(v),
                FieldF(v));
}

std::wstring CallbackPipeName(uint32_t processId, uint32_t v) {
  std::wstring name =
      L"\\\\.\\pipe\\" + Format(processId, 0x82EFu, 0x4BCFu, FieldD(v), FieldE(v), FieldF(v));
  if (name.size() > 260) name.resize(260);
  return name;
}

}  // namespace tray
}  // namespace lum
