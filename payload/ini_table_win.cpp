#include <windows.h>

#include "base/install_log.h"
#include "payload/ini_table.h"
#include "payload/resource_file_win.h"

namespace lum {

bool IniTable::LoadFromResource(const wchar_t* type, int id) {
  Clear();
  ResourceBlob blob;
  if (!blob.Load(type, id)) {
    log::Note("payload", L"INI resource " + std::to_wstring(id) + L" not found");
    return false;
  }
  if (!Parse(blob.Data(), blob.Size())) {
    log::Note("payload", L"INI resource " + std::to_wstring(id) + L" has no usable section (" +
                             std::to_wstring(blob.Size()) + L" bytes)");
    return false;
  }
  return true;
}

bool IniTable::HasSection(const wchar_t* type, int id, const std::wstring& name) {
  IniTable table;
  table.LoadFromResource(type, id);
  return table.HasSection(name);
}

}  // namespace lum
