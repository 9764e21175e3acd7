#include "app/result_file.h"

#include "base/exit_codes.h"
#include "base/json.h"
#include "base/text.h"

namespace lum {

std::string FormatRunResult(const RunResult& result) {
  JsonValue root = JsonValue::Object();
  root["exitCode"] = result.exitCode;
  root["meaning"] = ExitCodeMeaning(result.exitCode, result.zeroExit);
  root["rebootRequired"] = result.rebootRequired;
  root["wasInstalled"] = result.wasInstalled;
  root["productVersion"] = WideToUtf8(result.productVersion);
  root["installDir"] = WideToUtf8(result.installDir);
  root["logFile"] = WideToUtf8(result.logFile);
  root["language"] = WideToUtf8(result.language);
  root["durationMs"] = result.durationMs;
  return WriteJson(root, JsonText::kAsciiOnly);
}

bool ParseRunResult(const std::string& json, RunResult* result) {
  JsonValue root;
  if (!ParseJson(json, &root) || !root.IsObject())
    return false;
  const char* texts[] = {"meaning", "productVersion", "installDir", "logFile", "language"};
  for (const char* name : texts)
    if (!root[name].IsString()) return false;
  if (!root["exitCode"].IsInt() || !root["rebootRequired"].IsBool() ||
      !root["wasInstalled"].IsBool() || !root["durationMs"].IsUInt64())
    return false;
  RunResult parsed;
  parsed.exitCode = root["exitCode"].AsInt();
  parsed.zeroExit = ZeroExitFromMeaning(root["meaning"].AsString().c_str());
  parsed.rebootRequired = root["rebootRequired"].AsBool();
  parsed.wasInstalled = root["wasInstalled"].AsBool();
  parsed.productVersion = Utf8ToWide(root["productVersion"].AsString());
  parsed.installDir = Utf8ToWide(root["installDir"].AsString());
  parsed.logFile = Utf8ToWide(root["logFile"].AsString());
  parsed.language = Utf8ToWide(root["language"].AsString());
  parsed.durationMs = root["durationMs"].AsUInt64();
  *result = parsed;
  return true;
}

}  // namespace lum
