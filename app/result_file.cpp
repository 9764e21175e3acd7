#include "app/result_file.h"

#include <json/json.h>

#include <memory>

#include "base/exit_codes.h"
#include "base/text.h"

namespace lum {

std::string FormatRunResult(const RunResult& result) {
  Json::Value root(Json::objectValue);
  root["exitCode"] = result.exitCode;
  root["meaning"] = ExitCodeMeaning(result.exitCode, result.zeroExit);
  root["rebootRequired"] = result.rebootRequired;
  root["wasInstalled"] = result.wasInstalled;
  root["productVersion"] = WideToUtf8(result.productVersion);
  root["installDir"] = WideToUtf8(result.installDir);
  root["logFile"] = WideToUtf8(result.logFile);
  root["language"] = WideToUtf8(result.language);
  root["durationMs"] = Json::UInt64(result.durationMs);
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return Json::writeString(builder, root);
}

bool ParseRunResult(const std::string& json, RunResult* result) {
  Json::Value root;
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(json.data(), json.data() + json.size(), &root, &errors) || !root.isObject())
    return false;
  const char* texts[] = {"meaning", "productVersion", "installDir", "logFile", "language"};
  for (const char* name : texts)
    if (!root[name].isString()) return false;
  if (!root["exitCode"].isInt() || !root["rebootRequired"].isBool() ||
      !root["wasInstalled"].isBool() || !root["durationMs"].isUInt64())
    return false;
  RunResult parsed;
  parsed.exitCode = root["exitCode"].asInt();
  parsed.zeroExit = ZeroExitFromMeaning(root["meaning"].asCString());
  parsed.rebootRequired = root["rebootRequired"].asBool();
  parsed.wasInstalled = root["wasInstalled"].asBool();
  parsed.productVersion = Utf8ToWide(root["productVersion"].asString());
  parsed.installDir = Utf8ToWide(root["installDir"].asString());
  parsed.logFile = Utf8ToWide(root["logFile"].asString());
  parsed.language = Utf8ToWide(root["language"].asString());
  parsed.durationMs = root["durationMs"].asUInt64();
  *result = parsed;
  return true;
}

}  // namespace lum
