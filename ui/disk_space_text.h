// Which language string shows a drive's free and total space, and the two
// figures it is filled with: below 1000 MB free the free space is in MB,
// otherwise both are in GB. Portable.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

struct DiskSpaceText {
  const wchar_t* key;  // "disk_text2" (MB / GB) or "disk_text" (GB / GB)
  double free;         // in the unit the key shows
  double total;        // GB
};

DiskSpaceText ChooseDiskSpaceText(uint64_t freeBytes, uint64_t totalBytes);

// The disk label's markup: `format`, the language string of `figures.key`
// (printf-style, two floating-point fields, each followed by its unit),
// filled with the two figures. In a line read right to left the figures with
// their units ("63.9GB / 252.0GB") are a run of their own, which the rich
// text window lays out left to right and places by the line's reading order,
// so each number stays with its unit.
std::wstring DiskSpaceLine(const std::wstring& format, const DiskSpaceText& figures,
                           bool rightToLeft);

}  // namespace lum
