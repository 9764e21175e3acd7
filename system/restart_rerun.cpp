#include "system/restart_rerun.h"

#include "base/text.h"

namespace lum {

std::wstring RestartRerunCommand(const std::wstring& installerPath) {
  return L"\"" + installerPath + L"\" /post";
}

std::wstring PostWaitArguments() { return L" /post:wait"; }

namespace {

bool IsDigits(const std::wstring& text) {
  if (text.empty()) return false;
  for (wchar_t c : text)
    if (c < L'0' || c > L'9') return false;
  return true;
}

}  // namespace

bool RerunCommandStarts(const std::wstring& command, const std::wstring& installerPath) {
  const std::wstring quoted = L"\"" + installerPath + L"\"";
  return !installerPath.empty() && command.size() >= quoted.size() &&
         StartsWithNoCase(command, quoted);
}

bool IsRelocationCopyPath(const std::wstring& path, const std::wstring& parent) {
  std::wstring base = parent;
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  if (base.empty() || path.size() <= base.size() + 1 || path[base.size()] != L'\\' ||
      !StartsWithNoCase(path, base))
    return false;
  const std::wstring rest = path.substr(base.size() + 1);
  const size_t slash = rest.find(L'\\');
  if (slash == std::wstring::npos) return false;
  const std::wstring folder = rest.substr(0, slash), name = rest.substr(slash + 1);
  if (name.empty() || name == L"." || name == L".." ||
      name.find_first_of(L"\\/:") != std::wstring::npos)
    return false;
  const size_t underscore = folder.find(L'_');
  return underscore != std::wstring::npos && IsDigits(folder.substr(0, underscore)) &&
         IsDigits(folder.substr(underscore + 1));
}

}  // namespace lum
