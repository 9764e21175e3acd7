#include "install/product_registry_win.h"

#include <windows.h>

#include <ctime>

#include "base/install_log.h"
#include "browser/partner_offer_win.h"
#include "install/component_scan_win.h"
#include "install/product_records_win.h"
#include "install/scan_engine_win.h"
#include "report/document_versions_win.h"
#include "system/app_registration_win.h"
#include "system/registry_logged_win.h"
#include "system/registry_win.h"
#include "system/flight_signing_win.h"
#include "system/windows_version_win.h"
#include "vendor/product_modules_win.h"

namespace lum {

CloudAnalysisDefault cloudAnalysisDefault = CloudAnalysisDefault::kUnset;

namespace {

constexpr const char* kLog = "registry";
constexpr const wchar_t* kMachineExperienceKey = L"SOFTWARE\\LumBastion\\Experience";

bool ReadDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* value) {
  RegKey reg;
  return reg.Open(root, key, KEY_QUERY_VALUE) && reg.ReadDword(name, value);
}

void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  RegKey reg;
  if (reg.Open(root, key, KEY_SET_VALUE) && reg.DeleteValue(name))
    log::Action(kLog, L"delete value", RegistryPlace(root, key, name), 0);
}

uint64_t SecondsSince1970() { return static_cast<uint64_t>(std::time(nullptr)); }

void WriteReinstallSettings(const SessionSettings& session) {
  LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kUserProfileKey, L"ReInstall", 1);
  // Until the product has looked at the languages a new installer brought, it
  // finds the language this run chose; once it has (NewLanguageChecked = 1)
  // the value is left as the product keeps it.
  DWORD checked = 0;
  if (!ReadDword(HKEY_LOCAL_MACHINE, kMachineExperienceKey, L"NewLanguageChecked", &checked) ||
      checked != 1)
    LoggedWriteString(kLog, HKEY_LOCAL_MACHINE, kMachineExperienceKey, L"NewLanguageArrivalCheck",
                      session.language);
  DWORD mode = 0;
  if (!ReadDword(HKEY_LOCAL_MACHINE, kProtectionKey, L"mode", &mode) || mode != 2) return;
  // Mode 2 stays in force: the switches keep their values, the engine bit of
  // mode 2 is set again, and the file monitor stays on.
  DWORD value = 0;
  if (ReadDword(HKEY_LOCAL_MACHINE, kProtectionKey, L"ExtFlags", &value))
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kProtectionKey, L"ExtFlags", value);
  if (ReadDword(HKEY_LOCAL_MACHINE, kProtectionKey, L"Flags", &value))
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kProtectionKey, L"Flags", value);
  value = 0;
  ReadDword(HKEY_LOCAL_MACHINE, kProtectionKey, L"AVEngine", &value);
  LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kProtectionKey, L"AVEngine", value | 2);
  LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kFilemonKey, L"AVEnable", 1);
}

void WriteFreshInstallSettings(const SessionSettings& session, CShell& shell,
                               bool* notifySafeMon) {
  LoggedWriteString(kLog, HKEY_LOCAL_MACHINE, kProductKey, L"InstallDate", std::to_wstring(SecondsSince1970()));
  DeleteValue(HKEY_LOCAL_MACHINE, kUserProfileKey, L"ReInstall");
  *notifySafeMon = RunComponentScan() > 0;

  int mode = session.pmode;
  if (mode == 2 && (*notifySafeMon || CommonModuleEdition() == 1)) mode = 1;
  LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kProtectionKey, L"mode", static_cast<DWORD>(mode));
  if (mode == 0 || mode == 1) {
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kFilemonKey, L"AVEnable", 0);
    if (mode == 1) {
      LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kFilemonKey, L"AVReadProtectEnable", 0);
      LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kFilemonKey, L"AVWriteProtectEnable", 0);
      LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kFilemonKey, L"Level", 1);
    }
  } else if (mode == 254) {
    shell.RunRegistrySection(kFileResourceType, kResActionScript, session.regMode);
  }
  // Mode 2 writes "ExtFlags" = 0 only for a session option this build does not know.

  if (!session.silent) RecordDocumentVersions(kUserProfileKey);
  WriteOperaOfferRecords(session);
  if (session.channel == L"account") ChangePromptFlags(0x1000000, 0);
  LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kUserProfileKey, L"ShowTrayIcon", 1);
}

void WriteSettingsOfEveryInstall(const SessionSettings& session) {
  {
    RegKey tips;
    std::wstring value;
    if (!tips.Open(HKEY_CURRENT_USER, kDesktopLiteKey, KEY_QUERY_VALUE) ||
        !tips.ReadString(L"new_func_tips", &value) || value.empty())
      LoggedWriteString(kLog, HKEY_CURRENT_USER, kDesktopLiteKey, L"new_func_tips", L"0");
  }
  LoggedWriteString(kLog, HKEY_LOCAL_MACHINE, kThemeKey, L"", L"smurf");
  if (session.olderThan10 && StoreThemeRecord(L"smurf"))
    LoggedWriteString(kLog, HKEY_CURRENT_USER, kThemeKey, L"name", L"smurf");
  ChangePromptFlags(0, 0x100);
  EnableFlightSigning();
  SetQualityCompatFlag();
  if (cloudAnalysisDefault != CloudAnalysisDefault::kUnset)
    SetCloudAnalysis(cloudAnalysisDefault == CloudAnalysisDefault::kOn);
  WritePromoTipsConfig(SessionPromoSettings(session));
  SetIntroFlags(session);
  WriteStartMenuRecord(session.Text(L"lnkpath"));
}

}  // namespace

bool ChangePromptFlags(unsigned long setBits, unsigned long clearBits) {
  DWORD flags = 0;
  ReadDword(HKEY_CURRENT_USER, kExperienceKey, L"PromptFlags", &flags);
  const DWORD changed = (flags | setBits) & ~clearBits;
  if (!LoggedWriteDword(kLog, HKEY_CURRENT_USER, kExperienceKey, L"PromptFlags", changed)) return false;
  LoggedWriteQword(kLog, HKEY_CURRENT_USER, kExperienceKey, L"PromptFlagsTime", SecondsSince1970());
  return true;
}

void WriteProductRegistry(const std::wstring& installDir, const SessionSettings& session,
                          CShell& shell, bool* notifySafeMon) {
  *notifySafeMon = false;
  WriteTrayRunEntry(installDir, session.productInstalled);
  WriteAppPath(installDir, kMainProgram);
  WriteAppPath(installDir, L"safemon\\ZVSafeTray.exe");
  WriteLegacyAppPath(installDir);

  if (!Is64BitWindows())
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\services\\LumSelfProtection",
             L"i18n", 1);

  // The product key exists after this: either MaskFlags was already there or
  // writing it creates the key with its parents.
  DWORD mask = 0;
  if (!ReadDword(HKEY_LOCAL_MACHINE, kUserProfileKey, L"MaskFlags", &mask))
    LoggedWriteDword(kLog, HKEY_LOCAL_MACHINE, kUserProfileKey, L"MaskFlags", 1);
  if (session.silent) {
    DWORD tips = 0;
    ReadDword(HKEY_CURRENT_USER, kExperienceKey, L"ShowTipsValue", &tips);
    LoggedWriteDword(kLog, HKEY_CURRENT_USER, kExperienceKey, L"ShowTipsValue", tips | 0x80);
  }
  LoggedWriteQword(kLog, HKEY_LOCAL_MACHINE, kCoopKey, L"insttime", SecondsSince1970());

  if (session.productInstalled)
    WriteReinstallSettings(session);
  else
    WriteFreshInstallSettings(session, shell, notifySafeMon);
  WriteSettingsOfEveryInstall(session);
}

}  // namespace lum
