// Arbitrary bytes as a command line: split into arguments, parsed, applied to
// a session on a fixed machine, and run through the file-name rules.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/install_log.h"
#include "session/command_line.h"
#include "session/hash_detection.h"
#include "session/promo_switch.h"
#include "session/session_settings.h"

namespace {

class FixedEnvironment : public lum::SessionEnvironment {
 public:
  lum::ConflictInfo FindConflictingProduct() override { return {}; }
  bool LoadLanguageTable(lum::IniTable&) override { return false; }
  bool ActionScriptHasSection(const std::wstring& name) override { return name == L"strict"; }
  uint64_t PhysicalMemoryBytes() override { return 4ull << 30; }
  std::wstring ProductFolder() override { return L""; }
  lum::SystemLanguageFacts SystemLanguage() override { return {}; }
  std::wstring InstalledProductLanguage(const std::wstring&) override { return L""; }
  std::wstring InstalledVersion(const std::wstring&) override { return L""; }
};

// Pairs of bytes form UTF-16 units, so every wide character can appear; a
// NUL unit ends an argument, as the shell's splitting would leave them.
std::vector<std::wstring> SplitArguments(const uint8_t* data, size_t size) {
  std::vector<std::wstring> args(1);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) {
      args.emplace_back();
    } else {
      args.back() += c;
    }
  }
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = [] {
    lum::log::SetSink([](const std::string&) {});
    return true;
  }();
  (void)quiet;
  if (size == 0) return 0;

  const std::vector<std::wstring> args = SplitArguments(data + 1, size - 1);
  lum::CommandLineOptions options;
  options.Parse(args, data[0] & 1 ? L':' : L'=');

  FixedEnvironment env;
  lum::SessionSettings session;
  session.productInstalled = (data[0] & 2) != 0;
  int waits = 0;
  lum::ApplyCommandLine(options, session, env, [&waits] { ++waits; });
  if (session.pmode != 1 && session.pmode != 2 && session.pmode != 254) __builtin_trap();
  if (session.subChannel.empty()) __builtin_trap();
  if (!session.promoOptions.empty() && session.promoOptions.front() != L'{') __builtin_trap();

  // Every argument also serves as an installer path and a promo value.
  for (const std::wstring& arg : args) {
    lum::SessionSettings named;
    named.ApplyChannelFromFileName(arg);
    lum::DetectHashForms(arg, options, named);
    if (named.subChannel.empty()) __builtin_trap();
    lum::PromoEntries entries;
    lum::DecodePromoSwitch(arg, entries);
  }
  lum::LogPathOption(options);
  return 0;
}
