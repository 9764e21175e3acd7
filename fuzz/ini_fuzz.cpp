// INI parser on arbitrary UTF-16LE bytes: every listed section must be
// reachable, and parsing must never read past the input.
#include <cstddef>
#include <cstdint>

#include "payload/ini_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lum::IniTable table;
  const bool ok = table.Parse(data, size);
  if (ok == table.SectionNames().empty()) __builtin_trap();
  for (const std::wstring& name : table.SectionNames()) {
    lum::IniTable::KeyMap keys;
    if (!table.Section(name, keys)) __builtin_trap();
    for (const auto& entry : keys) {
      if (table.Value(name, entry.first, L"\x1") != entry.second) __builtin_trap();
      table.IntValue(name, entry.first, 0);
    }
  }
  return 0;
}
