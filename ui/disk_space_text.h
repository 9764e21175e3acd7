// Which language string shows a drive's free and total space, and the two
// figures it is filled with: below 1000 MB free the free space is in MB,
// otherwise both are in GB. Portable.
#pragma once
#include <cstdint>

namespace lum {

struct DiskSpaceText {
  const wchar_t* key;  // "disk_text2" (MB / GB) or "disk_text" (GB / GB)
  double free;         // in the unit the key shows
  double total;        // GB
};

DiskSpaceText ChooseDiskSpaceText(uint64_t freeBytes, uint64_t totalBytes);

}  // namespace lum
