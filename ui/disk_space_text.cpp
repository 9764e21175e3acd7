#include "ui/disk_space_text.h"

namespace lum {

DiskSpaceText ChooseDiskSpaceText(uint64_t freeBytes, uint64_t totalBytes) {
  const double free = static_cast<double>(freeBytes);
  const double totalGb = static_cast<double>(totalBytes) / 1024.0 / 1024.0 / 1024.0;
  const double freeMb = free * 0.0009765625 * 0.0009765625;
  if (freeMb < 1000.0) return {L"disk_text2", freeMb, totalGb};
  return {L"disk_text", free / 1024.0 / 1024.0 / 1024.0, totalGb};
}

}  // namespace lum
