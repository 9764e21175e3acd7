#include "report/document_versions_win.h"

#include "base/install_log.h"
#include "report/document_version.h"
#include "report/http_get_win.h"
#include "report/report_config_win.h"
#include "session/session_settings.h"
#include "system/registry_logged_win.h"

namespace lum {

namespace {

std::wstring FetchDocumentVersion(const wchar_t* document, unsigned timeoutMs) {
  const SessionSettings& session = Session();
  const std::wstring url =
      DocumentVersionUrl(StatsBase(), document, session.language, session.channel);
  std::string body;
  if (HttpGet(url, timeoutMs, &body, kDocumentVersionLimit) != 0) return std::wstring();
  const std::wstring version = DocumentVersionFromAnswer(body);
  if (version.empty())
    log::Action("report", L"document version: the answer is no version text", url, 1);
  return version;
}

}  // namespace

std::wstring FetchLicenseVersion(unsigned timeoutMs) {
  return FetchDocumentVersion(L"license", timeoutMs);
}

std::wstring FetchPrivacyVersion(unsigned timeoutMs) {
  return FetchDocumentVersion(L"privacy", timeoutMs);
}

void RecordDocumentVersions(const std::wstring& key) {
  const std::wstring licence = FetchLicenseVersion(kRequestTimeoutMs);
  const std::wstring privacy = FetchPrivacyVersion(kRequestTimeoutMs);
  LoggedWriteString("registry", HKEY_LOCAL_MACHINE, key, L"LicenseDateVer",
                    licence.empty() ? L"-" : licence);
  LoggedWriteString("registry", HKEY_LOCAL_MACHINE, key, L"PrivacyDateVer",
                    privacy.empty() ? L"-" : privacy);
}

}  // namespace lum
