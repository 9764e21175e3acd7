#include "ui/disk_space_text.h"

#include <cwchar>
#include <vector>

#include "i18n/text_direction.h"

namespace lum {

namespace {

bool IsLatinLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Every conversion of `format` with the unit written after it ("%.01fGB",
// "%.01f GB") embedded left to right; "%%" is left as it is.
std::wstring EmbedFiguresWithUnits(const std::wstring& format) {
  std::wstring out;
  for (size_t at = 0; at < format.size();) {
    if (format[at] != L'%') {
      out += format[at++];
      continue;
    }
    if (at + 1 < format.size() && format[at + 1] == L'%') {
      out += L"%%";
      at += 2;
      continue;
    }
    size_t end = at + 1;
    while (end < format.size() && !IsLatinLetter(format[end])) ++end;
    if (end < format.size()) ++end;  // the conversion letter
    size_t unit = end;
    if (unit + 1 < format.size() && format[unit] == L' ' && IsLatinLetter(format[unit + 1])) ++unit;
    if (unit < format.size() && IsLatinLetter(format[unit])) {
      while (unit < format.size() && IsLatinLetter(format[unit])) ++unit;
      end = unit;
    }
    out += LeftToRightEmbedding(format.substr(at, end - at));
    at = end;
  }
  return out;
}

}  // namespace

DiskSpaceText ChooseDiskSpaceText(uint64_t freeBytes, uint64_t totalBytes) {
  const double free = static_cast<double>(freeBytes);
  const double totalGb = static_cast<double>(totalBytes) / 1024.0 / 1024.0 / 1024.0;
  const double freeMb = free * 0.0009765625 * 0.0009765625;
  if (freeMb < 1000.0) return {L"disk_text2", freeMb, totalGb};
  return {L"disk_text", free / 1024.0 / 1024.0 / 1024.0, totalGb};
}

std::wstring DiskSpaceLine(const std::wstring& format, const DiskSpaceText& figures,
                           bool rightToLeft) {
  const std::wstring used = rightToLeft ? EmbedFiguresWithUnits(format) : format;
  std::vector<wchar_t> buffer(1024);
  const int n = std::swprintf(buffer.data(), buffer.size(), used.c_str(), figures.free, figures.total);
  return n < 0 ? std::wstring() : std::wstring(buffer.data(), static_cast<size_t>(n));
}

}  // namespace lum
