#include "system/platform_support.h"

#include "base/text.h"

namespace lum {

bool DriverPlatformRule(bool is64Bit, unsigned major, unsigned minor) {
  if (is64Bit) return major > 6 || (major == 6 && minor > 0);
  return !(major == 5 && minor == 2);
}

bool SandboxPlatformRule(bool is64Bit, unsigned major, unsigned minor,
                         const std::wstring& servicePackText) {
  const bool width = !is64Bit || major > 6 || (major == 6 && minor >= 1);
  if (!width) return false;
  if (major >= 6) return true;
  if (major < 5 || (major == 5 && minor < 1)) return false;
  return ToLowerAscii(servicePackText) >= L"service pack 2";
}

std::wstring JoinModulePath(const std::wstring& folder, const std::wstring& relative) {
  constexpr size_t kMaxPath = 260;
  if (folder.empty()) return std::wstring();
  std::wstring path = folder;
  if (path.back() != L'\\') path += L'\\';
  path += relative;
  if (path.size() + 1 > kMaxPath) return std::wstring();
  return path;
}

}  // namespace lum
