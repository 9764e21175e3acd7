// The machine's part of the cloud-analysis decision: what the installed
// product's deep-scan key says about uploads.
#pragma once
#include "install/cloud_default.h"

namespace lum {

// HKLM "SOFTWARE\LumBastion\DeepScan": whether "CloudAnalysis" exists and
// whether "SkipUpload" is 1; the other facts are left at their defaults.
CloudFacts ReadDeepScanPolicy();

}  // namespace lum
