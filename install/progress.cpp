#include "install/progress.h"

#include "base/text.h"

namespace lum {

bool ProgressRule::Accept(int position) {
  int highest = highest_.load();
  while (position > highest) {
    if (highest_.compare_exchange_weak(highest, position)) return true;
  }
  return false;
}

uint32_t ProgressLParam(int position) {
  return (static_cast<uint32_t>(position) & 0xFFFFu) | (100u << 16);
}

int PlacementPosition(uint64_t index, uint64_t count) {
  if (count == 0) return 0;
  return static_cast<int>(70 * index / count);
}

std::wstring WorkFolderName(const std::wstring& timestamp, uint32_t ticks) {
  // The tick count is printed as a signed number, as the folder names of
  // earlier runs were, so that cleanup tools keep recognising them.
  return L"Lum_install_" + timestamp + L"_" + std::to_wstring(static_cast<int32_t>(ticks));
}

WorkFolderChoice ChooseWorkFolder(const WorkFolderFacts& facts) {
  WorkFolderChoice choice;
  const std::wstring tail = facts.name + L"\\";
  if (!facts.tempPath.empty()) {
    std::wstring temp = facts.tempPath;
    if (temp.back() != L'\\') temp += L'\\';
    std::wstring candidate = temp + tail;
    choice.code = facts.check(&candidate);
    if (choice.code == 0) {
      choice.folder = candidate;
      return choice;
    }
  }
  if (facts.silent && facts.installDirExplicit) {
    if (!facts.installDir.empty()) {
      std::wstring candidate = std::wstring(1, facts.installDir[0]) + L":\\" + tail;
      if (facts.check(&candidate) == 0) {
        choice.code = 0;
        choice.folder = candidate;
      }
    }
    return choice;
  }
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    std::wstring candidate = std::wstring(1, letter) + L":\\" + tail;
    if (facts.check(&candidate) != 0) continue;
    choice.code = 0;
    choice.folder = candidate;
    if (facts.silent && !facts.installDir.empty()) {
      choice.installDir = facts.installDir;
      choice.installDir[0] = letter;
    }
    return choice;
  }
  return choice;
}

bool ShouldCopyItem(const std::wstring& relativePath, bool isDirectory,
                    const std::set<std::wstring>& reinstallIgnored) {
  if (isDirectory || relativePath.empty()) return false;
  std::wstring path = relativePath;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  for (const std::wstring& ignored : reinstallIgnored)
    if (EqualsNoCase(ignored, path)) return false;
  return true;
}

}  // namespace lum
