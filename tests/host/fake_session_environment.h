// A machine described by fixed facts, for the session and command-line tests.
#pragma once
#include <set>
#include <string>

#include "base/text.h"
#include "session/session_settings.h"

namespace lum {
namespace testing_support {

// The language table as the installer carries it, cut down to what the start-up
// rules read. Tests append or replace lines before parsing.
inline std::wstring BaseLanguageTable() {
  return L"[default]\n"
         L"appname=en\n"
         L"channel=101\n"
         L"languages=en;zh-TW;ru;tr;es;pt;vi;zh-CN;hi;ja;de;fr;it;pl;\n"
         L"err_link=https://help.example/err\n"
         L"[promo]\n"
         L"opera=1\n"
         L"desktop_plus=1\n"
         L"[en]\nname=English\nlang_code=1033\ntitle=Setup\nimage=12\n"
         L"[zh-TW]\nname=TW\nlang_code=1028\n"
         L"[zh-CN]\nname=CN\nlang_code=2052\n"
         L"[ru]\nname=RU\nlang_code=1049\n"
         L"[tr]\nname=TR\nlang_code=1055\n"
         L"[es]\nname=ES\nlang_code=1034\n"
         L"[pt]\nname=PT\nlang_code=1046\n"
         L"[vi]\nname=VI\nlang_code=1066\n"
         L"[hi]\nname=HI\nlang_code=1081\n"
         L"[ar]\nname=AR\nlang_code=5121\n"
         L"[ja]\nname=JA\nlang_code=1041\n"
         L"[de]\nname=DE\nlang_code=1031\n"
         L"[fr]\nname=FR\nlang_code=1036\n"
         L"[it]\nname=IT\nlang_code=1040\n"
         L"[pl]\nname=PL\nlang_code=1045\n";
}

inline IniTable ParseTable(const std::wstring& text) {
  IniTable table;
  const std::vector<uint8_t> bytes = WideToUtf16Le(text, true);
  table.Parse(bytes.data(), bytes.size());
  return table;
}

class FakeSessionEnvironment : public SessionEnvironment {
 public:
  ConflictInfo conflict;
  bool tableLoads = true;
  std::wstring tableText = BaseLanguageTable();
  std::set<std::wstring> scriptSections{L"strict"};
  uint64_t memory = 4ull << 30;
  std::wstring productFolder;
  SystemLanguageFacts language;
  std::wstring productLanguage;
  std::wstring productVersion = L"8.2.0.1133";
  std::wstring versionAskedFor;

  ConflictInfo FindConflictingProduct() override { return conflict; }
  bool LoadLanguageTable(IniTable& table) override {
    if (!tableLoads) return false;
    table = ParseTable(tableText);
    return !table.Empty();
  }
  bool ActionScriptHasSection(const std::wstring& name) override {
    return scriptSections.count(name) != 0;
  }
  uint64_t PhysicalMemoryBytes() override { return memory; }
  std::wstring ProductFolder() override { return productFolder; }
  SystemLanguageFacts SystemLanguage() override { return language; }
  std::wstring InstalledProductLanguage(const std::wstring& installDir) override {
    return installDir == productFolder ? productLanguage : L"";
  }
  std::wstring InstalledVersion(const std::wstring& installDir) override {
    versionAskedFor = installDir;
    return productVersion;
  }
};

}  // namespace testing_support
}  // namespace lum
