// Action script on arbitrary UTF-16LE bytes: value splitting keeps its
// invariants, and parsing plus dispatch of every section never reads out of
// bounds and hands the back end only well-formed commands.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"
#include "install/action_script.h"
#include "payload/ini_table.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

void CheckSplit(const std::wstring& value) {
  const std::vector<std::wstring> fields = lum::SplitCommand(value);
  size_t bars = 0;
  for (wchar_t c : value) bars += c == L'|';
  Check(fields.size() <= bars + 1);
  size_t start = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    const size_t end = value.find(L'|', start);
    const std::wstring piece =
        value.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    Check(piece.compare(0, fields[i].size(), fields[i]) == 0);  // a prefix of its piece
    if (end != std::wstring::npos) {
      Check(fields[i].empty() || !IsBlank(fields[i].back()));
      for (size_t k = fields[i].size(); k < piece.size(); ++k) Check(IsBlank(piece[k]));
    } else {
      Check(fields[i] == piece && !piece.empty());
    }
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
}

// Checks every command it is handed against the field rules.
class CheckingBackend : public lum::IScriptBackend {
 public:
  void ClearDeferredRemoval() override {}
  void CloseProductPrograms() override {}
  void EndProcessesUnderInstallFolder(unsigned) override {}
  bool EndAllProcesses(const std::wstring& program) override { return program.size() % 2; }
  void Sleep(unsigned) override {}
  bool RunHiddenAndWait(const std::wstring& program, const std::wstring& line) override {
    Check(line.size() >= program.size() + 3 && line[0] == L'"');
    return true;
  }
  void RemoveService(const std::wstring& name, const std::wstring&) override {
    Check(!name.empty());
  }
  bool DeleteKey(const std::wstring&, const std::wstring&) override { return true; }
  bool DeleteEmptyKey(const std::wstring&, const std::wstring&) override { return true; }
  bool DeleteValue(const std::wstring&, const std::wstring&, const std::wstring&) override {
    return true;
  }
  bool WriteDword(const std::wstring&, const std::wstring&, const std::wstring&,
                  uint32_t) override {
    return true;
  }
  bool WriteString(const std::wstring&, const std::wstring&, const std::wstring&,
                   const std::wstring&) override {
    return true;
  }
  std::vector<MappedKey> MapCurrentUserKey(const std::wstring& path) override {
    return {{L"HKU", L"S-1-5-21-1\\" + path}, {L"HKU", L"S-1-5-21-2\\" + path}};
  }
  std::vector<std::wstring> FoldersForEveryUser(int id) override {
    Check(id >= 0 && id <= 46);
    return id % 2 ? std::vector<std::wstring>{L"C:\\U1", L"C:\\U2"} : std::vector<std::wstring>{};
  }
  std::wstring MachineFolder(const std::wstring& token) override {
    Check(lum::MachineFolderId(token) != -1);
    return token.size() % 3 ? L"C:\\M" : L"";
  }
  std::wstring InstallationFolder() override { return L"C:\\Lum"; }
  std::wstring ExtractionFolder() override { return L"C:\\X"; }
  bool DeletePath(const std::wstring& path, bool) override { return !path.empty(); }
  bool DeleteFolder(const std::wstring& path, bool) override { return !path.empty(); }
  bool CopyFileItem(const std::wstring&, const std::wstring&, bool restart) override {
    Check(restart);
    return true;
  }
  bool CopyTree(const std::wstring&, const std::wstring&) override { return true; }
  bool AuthorizeApplication(const std::wstring& path, const std::wstring&) override {
    Check(path.compare(0, 7, L"C:\\Lum\\") == 0);
    return true;
  }
  bool RevokeApplication(const std::wstring& path) override {
    Check(path.compare(0, 7, L"C:\\Lum\\") == 0);
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckSplit(lum::Utf16LeToWide(data, size));
  lum::IniTable script;
  if (!script.Parse(data, size)) return 0;
  CheckingBackend backend;
  lum::RunActionScript(script, backend);
  lum::RunFirewallSectionOf(script, backend);
  for (const std::wstring& name : script.SectionNames()) {
    lum::RunRegistrySectionOf(script, name, backend);
    lum::IniTable::KeyMap entries;
    script.Section(name, entries);
    for (const auto& entry : entries) {
      CheckSplit(entry.second);
      lum::RunFileCommand(lum::SplitCommand(entry.second), backend);
    }
  }
  return 0;
}
