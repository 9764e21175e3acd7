#include "session/command_line.h"

#include "base/install_log.h"
#include "base/text.h"
#include "session/promo_switch.h"

namespace lum {
namespace {

constexpr const char* kLog = "cmdline";
constexpr int kModeScript = 254;

// The last path component of a folder given with "/s:" must be one of the
// product's own folder names; anything else gets "\Bastion" appended, so an
// install never spreads into a shared folder such as "C:\Tools".
std::wstring SilentInstallFolder(std::wstring folder) {
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  const size_t slash = folder.rfind(L'\\');
  const std::wstring last = slash == std::wstring::npos ? folder : folder.substr(slash + 1);
  if (EqualsNoCase(last, L"Bastion") || EqualsNoCase(last, L"Rampart") ||
      EqualsNoCase(last, L"WardenAV")) {
    return folder;
  }
  return folder + L"\\Bastion";
}

void ApplySilent(const CommandLineOptions& options, SessionSettings& session) {
  std::wstring value;
  if (!options.Get(L"s", value)) return;
  session.silent = true;
  log::Note(kLog, L"silent mode");
  if (value.empty()) return;
  if (session.productInstalled) {
    log::Note(kLog, L"install folder of /s ignored, the product is installed: " + value);
    return;
  }
  session.SetInstallDir(SilentInstallFolder(value), true);
  log::Note(kLog, L"install folder from /s: " + session.installDir);
}

void ApplyProtectionMode(const CommandLineOptions& options, SessionSettings& session,
                         SessionEnvironment& env) {
  std::wstring value;
  if (!options.Get(L"pmode", value) || value.empty()) return;
  const int mode = ParseDecimal(value);
  if (mode == 1 || mode == 2) {
    session.pmode = mode;
  } else {
    std::wstring regMode;
    if (mode == kModeScript && options.Get(L"regmode", regMode) && !regMode.empty() &&
        env.ActionScriptHasSection(regMode)) {
      session.regMode = regMode;
      session.pmode = kModeScript;
    } else {
      session.pmode = DefaultProtectionMode(env.PhysicalMemoryBytes());
      log::Note(kLog, L"protection mode \"" + value + L"\" (regmode \"" + regMode +
                          L"\") replaced by " + std::to_wstring(session.pmode));
      return;
    }
  }
  log::Note(kLog, L"protection mode " + std::to_wstring(session.pmode));
}

void ApplyPost(const CommandLineOptions& options, SessionSettings& session,
               const std::function<void()>& waitQuiet) {
  std::wstring value;
  if (!options.Get(L"post", value)) return;
  session.postRun = true;
  if (EqualsNoCase(value, L"wait")) {
    log::Note(kLog, L"post-restart run: waiting until the system is quiet");
    if (waitQuiet) waitQuiet();
    session.postWait = true;
  }
  log::Note(kLog, L"post-restart run");
}

void ApplySyncId(const CommandLineOptions& options, SessionSettings& session) {
  static constexpr const wchar_t* kNames[] = {L"syncid0_0", L"syncid0_1", L"syncid0_2"};
  session.syncId = 0;
  for (int i = 0; i < 3; ++i) {
    if (options.Has(kNames[i])) {
      session.syncId = i + 1;
      return;
    }
  }
}

void ApplyPromo(const CommandLineOptions& options, SessionSettings& session) {
  std::wstring value;
  if (!options.Get(L"promo", value)) return;
  PromoEntries entries;
  if (!DecodePromoSwitch(value, entries)) {
    log::Note(kLog, L"promo options do not decode; none are used");
  }
  session.SetPromoOptions(std::move(entries));
  log::Note(kLog, L"promo options " + session.promoOptions);
}

}  // namespace

bool CommandLineOptions::Parse(const std::vector<std::wstring>& args, wchar_t separator) {
  for (const std::wstring& arg : args) {
    if (arg.empty() || arg[0] != L'/') continue;
    const size_t sep = arg.find(separator, 1);
    std::wstring name = arg.substr(1, sep == std::wstring::npos ? std::wstring::npos : sep - 1);
    std::wstring value = sep == std::wstring::npos ? std::wstring() : arg.substr(sep + 1);
    const size_t first = value.find_first_not_of(L'"');
    if (first == std::wstring::npos) {
      value.clear();
    } else {
      value = value.substr(first, value.find_last_not_of(L'"') - first + 1);
    }
    options_[ToLowerAscii(std::move(name))] = std::move(value);
  }
  return true;
}

bool CommandLineOptions::Get(const wchar_t* name, std::wstring& value) const {
  if (name == nullptr) return false;
  const auto found = options_.find(name);
  if (found == options_.end()) return false;
  value = found->second;
  return true;
}

bool CommandLineOptions::Has(const wchar_t* name) const {
  return name != nullptr && options_.count(name) != 0;
}

void ApplyCommandLine(const CommandLineOptions& options, SessionSettings& session,
                      SessionEnvironment& env, const std::function<void()>& waitQuiet) {
  if (options.Empty()) return;
  std::wstring value;

  ApplySilent(options, session);
  if (options.Get(L"c", value) && !value.empty()) {
    session.channel = value;
    log::Note(kLog, L"channel " + value);
  }
  if (options.Get(L"sc", value)) {
    session.SetSubChannel(value);
    log::Note(kLog, L"sub-channel " + session.subChannel);
  }
  ApplyProtectionMode(options, session, env);
  if (options.Has(L"show")) session.showProduct = true;
  ApplyPost(options, session, waitQuiet);
  if (options.Has(L"ent")) {
    session.enterprise = true;
    log::Note(kLog, L"enterprise deployment");
  }
  if (options.Has(L"autodeploy")) {
    session.autoDeploy = true;
    log::Note(kLog, L"automatic deployment");
  }
  if (options.Get(L"campaign", value)) session.campaign = value;
  ApplySyncId(options, session);
  ApplyPromo(options, session);
  if (options.Get(L"clientid", value)) session.clientId = value;
}

std::wstring LogPathOption(const CommandLineOptions& options) {
  std::wstring path;
  options.Get(L"log", path);
  return path;
}

std::wstring ResultPathOption(const CommandLineOptions& options) {
  std::wstring path;
  options.Get(L"result", path);
  return path;
}

}  // namespace lum
