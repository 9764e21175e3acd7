// The cloud-analysis default of a silent install: on for the markets where
// the offer server (or, without its answer, a fixed language list) says so,
// off when the machine's policy says uploads are skipped.
// Portable: the registry and the offer server's answer arrive as facts.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

enum class CloudAnalysisDefault { kUnset, kOff, kOn };

struct CloudFacts {
  bool cloudValuePresent = false;  // DeepScan "CloudAnalysis" exists
  bool skipUpload = false;         // DeepScan "SkipUpload" is 1
  bool offerAnswered = false;      // the offer server gave a usable answer
  int offerMode = 0;
  uint64_t offerLanguageMask = 0;
  std::wstring language;  // the session's UI language
  bool productInstalled = false;
};

CloudAnalysisDefault DecideCloudAnalysis(const CloudFacts& facts);

}  // namespace lum
