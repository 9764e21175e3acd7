#include "session/session_settings.h"

#include <utility>

#include "base/install_log.h"
#include "base/text.h"
#include "session/promo_switch.h"

namespace lum {
namespace {

constexpr const char* kLog = "session";
constexpr const wchar_t* kDefault = L"default";
constexpr int kModeStandard = 1;
constexpr int kModeStrong = 2;
constexpr int kModeScript = 254;
constexpr uint64_t kStrongModeMemory = 0x80000000ull;

// The file-name channel: "._" + 2 letters + "." + 4 digits + "." + 4 digits
// + "_.exe". Only the first two and last five characters are compared
// literally; the rest is checked by character class alone.
constexpr size_t kChannelSuffixLength = 19;
constexpr size_t kChannelStart = 2;
constexpr size_t kChannelLength = 12;

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool IsChannelSuffix(const std::wstring& tail) {
  if (tail.compare(0, 2, L"._") != 0 || tail.compare(14, 5, L"_.exe") != 0) return false;
  if (!IsAsciiLetter(tail[2]) || !IsAsciiLetter(tail[3])) return false;
  for (size_t i : {5, 6, 7, 8, 10, 11, 12, 13}) {
    if (!IsAsciiDigit(tail[i])) return false;
  }
  return true;
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool ModeStays(int mode, const std::wstring& regMode, SessionEnvironment& env) {
  if (mode == kModeScript && !regMode.empty()) return env.ActionScriptHasSection(regMode);
  return mode == kModeStandard || mode == kModeStrong;
}

}  // namespace

std::wstring languageCode;
std::wstring reportChannel;
std::wstring reportSubChannel;
bool installedBuild1133 = false;

std::wstring LanguageCode() { return languageCode.empty() ? std::wstring(L"en") : languageCode; }

SessionSettings& Session() {
  static SessionSettings session;
  return session;
}

int DefaultProtectionMode(uint64_t physicalMemoryBytes) {
  return physicalMemoryBytes > kStrongModeMemory ? kModeStrong : kModeStandard;
}

bool SessionSettings::Setup(SessionEnvironment& env) {
  const ConflictInfo conflict = env.FindConflictingProduct();
  conflictPresent = conflict.present ? 1 : 0;
  conflictExitCode = conflict.exitCode;
  conflictMessageKey = conflict.messageKey;
  if (conflict.present) {
    log::Note(kLog, L"conflicting product found: exit code " + std::to_wstring(conflict.exitCode) +
                        L", message " + conflict.messageKey);
  }

  table.Clear();
  texts.clear();
  languageFound = false;
  if (!env.LoadLanguageTable(table)) {
    log::Action(kLog, L"load language table", L"FILE 502", 1);
    return false;
  }

  channel = table.Value(kDefault, L"channel");
  SetSubChannel(table.Value(kDefault, L"schannel"));
  errLink = table.Value(kDefault, L"err_link");
  ReadProtectionMode(env);

  requestedLanguage.clear();
  // With a conflicting product present, its folder is not ours to update.
  if (!conflict.present) {
    installDir = env.ProductFolder();
    productInstalled = !installDir.empty();
    if (productInstalled && env.FirstInstallUnfinished()) {
      // Cut off before its end: this run makes it the first install it was.
      productInstalled = false;
      log::Note(kLog, L"unfinished first install found in " + installDir);
    }
    if (productInstalled) log::Note(kLog, L"installed product found in " + installDir);
  }
  ChooseLanguage(env);

  IniTable::KeyMap section;
  if (!requestedLanguage.empty() && table.Section(requestedLanguage, section)) {
    texts = std::move(section);
    language = requestedLanguage;
    languageFound = true;
  } else {
    log::Action(kLog, L"language has no section in the table", requestedLanguage, 1);
  }
  return languageFound;
}

void SessionSettings::ReadProtectionMode(SessionEnvironment& env) {
  regMode = table.Value(kDefault, L"regmode");
  pmode = table.Contains(kDefault, L"pmode") ? table.IntValue(kDefault, L"pmode", 0)
                                             : DefaultProtectionMode(env.PhysicalMemoryBytes());
  if (ModeStays(pmode, regMode, env)) return;
  const int replacement = DefaultProtectionMode(env.PhysicalMemoryBytes());
  log::Note(kLog, L"protection mode " + std::to_wstring(pmode) + L" (regmode \"" + regMode +
                      L"\") replaced by " + std::to_wstring(replacement));
  pmode = replacement;
}

void SessionSettings::ChooseLanguage(SessionEnvironment& env) {
  const SystemLanguageFacts facts = env.SystemLanguage();
  LanguageChoice choice;
  if (productInstalled) {
    choice = ChooseLanguageFromProduct(table, env.InstalledProductLanguage(installDir), facts);
    installedVersion = env.InstalledVersion(installDir);
    log::Note(kLog, L"installed product version \"" + installedVersion + L"\"");
  } else {
    choice = ChooseLanguageFromSystem(table, facts);
  }
  requestedLanguage = choice.requested;
  offeredLanguages = choice.offered;
  forcedLanguage = choice.forced;
  languageUnknown = choice.unknown;
  log::Note(kLog, L"language " + requestedLanguage +
                      (productInstalled ? L" (installed product)" : L" (system)") +
                      (forcedLanguage ? L", forced" : L"") +
                      (languageUnknown ? L", product language unknown" : L""));
}

std::wstring SessionSettings::Text(const std::wstring& key) const {
  const auto found = texts.find(key);
  return found == texts.end() ? std::wstring() : found->second;
}

int SessionSettings::TextInt(const std::wstring& key) const { return ParseDecimal(Text(key)); }

int SessionSettings::IntValue(const std::wstring& section, const std::wstring& key, int def) const {
  return table.IntValue(section, key, def);
}

std::wstring SessionSettings::StringValue(const std::wstring& section,
                                          const std::wstring& key) const {
  return table.Value(section, key);
}

void SessionSettings::SetInstallDir(const std::wstring& folder, bool explicitFolder) {
  installDir = folder;
  installDirExplicit = explicitFolder;
}

void SessionSettings::SetSubChannel(const std::wstring& value) {
  subChannel = (value.empty() || value == L" ") ? std::wstring(L"0") : value;
}

bool SessionSettings::ApplyChannelFromFileName(const std::wstring& fileName) {
  const std::wstring name = FileNameOf(fileName);
  if (name.size() <= kChannelSuffixLength) return false;
  const std::wstring tail = name.substr(name.size() - kChannelSuffixLength);
  if (!IsChannelSuffix(tail)) return false;
  channel = tail.substr(kChannelStart, kChannelLength);
  log::Note(kLog, L"channel " + channel + L" from the file name " + name);
  return true;
}

void SessionSettings::SetPromoOptions(std::map<std::wstring, std::wstring> entries) {
  // An unattended run makes no desktop offer, whatever the switch asked for.
  if (silent) entries.erase(L"desktop_plus");
  promoOptions = PromoEntriesToJson(entries);
}

void SessionSettings::FillPromoOptionsFromTable() {
  if (!promoOptions.empty()) return;
  IniTable::KeyMap section;
  table.Section(L"promo", section);
  SetPromoOptions(std::move(section));
}

}  // namespace lum
