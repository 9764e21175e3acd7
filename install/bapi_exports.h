// The export table of the product's kernel-assisted file module "BAPI.dll":
// 79 names resolved in this order. The first seven must exist; the others
// may be missing in older modules.
#pragma once
#include <cstddef>

namespace lum {

constexpr size_t kBapiExportCount = 79;
constexpr size_t kBapiRequiredCount = 7;
// Index of "FSDeleteFileW", the delete the engine removal uses.
constexpr size_t kBapiDeleteFileIndex = 19;
enum BapiEntry : size_t {
  kBapiInitEngine = 0,
  kBapiUninitEngine = 1,
  kBapiInitRegEngine = 2,
  kBapiUninitRegEngine = 3,
  kBapiSetupInstall = 4,
  kBapiInstall = 5,
  kBapiUninstall = 6,
};

extern const char* const kBapiExportNames[kBapiExportCount];

}  // namespace lum
