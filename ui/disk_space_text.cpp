#include "ui/disk_space_text.h"

#include <cwchar>
#include <vector>

namespace lum {

namespace {

// Tags the markup parser does not know: each ends the run before it and
// changes nothing else, so the figures become a run of their own.
constexpr const wchar_t* kFiguresBegin = L"{&#ltr}";
constexpr const wchar_t* kFiguresEnd = L"{&#/ltr}";

bool IsLatinLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// `format` with the span from its first conversion to the end of the unit
// after its last one ("%.01fGB / %.01fGB", also "%.01f GB") set apart as a
// run; "%%" is no conversion. Unchanged without a conversion.
std::wstring FiguresAsOwnRun(const std::wstring& format) {
  size_t first = std::wstring::npos, last = 0;
  for (size_t at = 0; at < format.size();) {
    if (format[at] != L'%') {
      ++at;
      continue;
    }
    if (at + 1 < format.size() && format[at + 1] == L'%') {
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
    if (first == std::wstring::npos) first = at;
    last = end;
    at = end;
  }
  if (first == std::wstring::npos) return format;
  return format.substr(0, first) + kFiguresBegin + format.substr(first, last - first) +
         kFiguresEnd + format.substr(last);
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
  const std::wstring used = rightToLeft ? FiguresAsOwnRun(format) : format;
  std::vector<wchar_t> buffer(1024);
  const int n =
      std::swprintf(buffer.data(), buffer.size(), used.c_str(), figures.free, figures.total);
  return n < 0 ? std::wstring() : std::wstring(buffer.data(), static_cast<size_t>(n));
}

}  // namespace lum
