#include "browser/partner_opera_win.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "browser/partner_opera.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"

namespace lum {

namespace {

// Files Opera writes are small; a huge one is not read whole.
constexpr uint64_t kMaxBytes = 8u << 20;

bool ReadSmallFile(const std::wstring& path, std::string* text) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  std::vector<uint8_t> bytes;
  if (size > kMaxBytes || !ReadFileBytes(path, &bytes)) return false;
  text->assign(bytes.begin(), bytes.end());
  return true;
}

std::wstring UserAppData() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"APPDATA", buffer, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

}  // namespace

bool IsPartnerOpera(const std::wstring& operaFolder) {
  if (operaFolder.empty()) return false;
  const std::wstring folder = WithTrailingSlash(operaFolder);
  std::string text;
  if (ReadSmallFile(folder + L"installer_prefs.json", &text)) {
    std::wstring profile;
    if (InstallerPrefsSingleProfile(text)) {
      profile = folder + L"profile\\data";
    } else {
      const std::wstring appData = UserAppData();
      if (!appData.empty()) profile = WithTrailingSlash(appData) + L"Opera Software\\Opera Stable";
    }
    std::string preferences;
    if (!profile.empty() && ReadSmallFile(profile + L"\\Preferences", &preferences) &&
        PreferencesNamePartner(preferences))
      return true;
  }
  return ReadSmallFile(folder + L"server_tracking_data", &text) && TrackingDataNamesPartner(text);
}

}  // namespace lum
