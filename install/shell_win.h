// `CShell`: the action-script interpreter of the install run and the file
// operations of the install engine (recursive delete, delete with restart
// fallback, copy with restart fallback, tree copy).
//
// The script is parsed and dispatched by install/action_script; CShell is its
// Windows back end: real registry (32-bit view), files, processes, services
// and firewall. Every action is logged (subsystem "script").
//
// Lifetime: one CShell per step of the install procedure; its leftover list
// grows during a run. Threading: the install worker only.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "install/action_script.h"
#include "payload/resource_file_win.h"

namespace lum {

class CShell : public IScriptBackend {
 public:
  CShell(const std::wstring& installationFolder, const std::wstring& extractionFolder);
  ~CShell() override = default;
  CShell(const CShell&) = delete;
  CShell& operator=(const CShell&) = delete;

  // The whole install-time run of the script in resource `type`/`id`; false
  // only when the resource cannot be read as an INI table.
  bool RunScript(const wchar_t* type = kFileResourceType, int id = kResActionScript);
  // The registry commands of one section; false when the resource or the
  // section is missing.
  bool RunRegistrySection(const wchar_t* type, int id, const std::wstring& section);
  // The [firewall] section; false when the script cannot be loaded.
  bool ApplyFirewallSection(const wchar_t* type = kFileResourceType, int id = kResActionScript);
  static bool SectionExists(const wchar_t* type, int id, const std::wstring& section);

  // The same on a script already parsed (callers holding it, tests).
  void RunScriptTable(const IniTable& script);
  bool RunRegistrySectionTable(const IniTable& script, const std::wstring& section);
  bool ApplyFirewallTable(const IniTable& script);

  // Deletes the folder's content and the folder by handle
  // (handle_tree_win.h), keeping every file whose path contains "Repair.exe"
  // (and so the folders holding one); what cannot be deleted is scheduled
  // for deletion at restart with `allowRestart` (only ever true for the
  // product's own admin-only folders), else remembered as a leftover.
  // Refuses an empty folder, one of 260 characters or more, and one with a
  // link on its way below the volume root (a top that is itself a link loses
  // only the link). True when the folder is gone now.
  bool DeleteTree(const std::wstring& folder, bool allowRestart);

  // Paths that could be neither deleted nor scheduled for deletion.
  const std::vector<std::wstring>& Leftovers() const { return leftovers_; }
  bool HasLeftovers() const { return hasLeftovers_; }

  // The RunOnce marker of a pending removal of this folder and the files in
  // %TEMP% that such a removal uses (ClearDeferredRemoval deletes them by
  // handle, never through a link: %TEMP% is the user's).
  std::vector<std::wstring> DeferredRemovalFiles() const;

  // --- IScriptBackend (public: they are the engine's file helpers too) ---
  void ClearDeferredRemoval() override;
  void CloseProductPrograms() override;
  void EndProcessesUnderInstallFolder(unsigned waitMs) override;
  bool EndAllProcesses(const std::wstring& program) override;
  void Sleep(unsigned milliseconds) override;
  bool RunHiddenAndWait(const std::wstring& program, const std::wstring& commandLine) override;
  void RemoveService(const std::wstring& name, const std::wstring& program) override;

  bool DeleteKey(const std::wstring& root, const std::wstring& path) override;
  bool DeleteEmptyKey(const std::wstring& root, const std::wstring& path) override;
  bool DeleteValue(const std::wstring& root, const std::wstring& path,
                   const std::wstring& name) override;
  bool WriteDword(const std::wstring& root, const std::wstring& path, const std::wstring& name,
                  uint32_t value) override;
  bool WriteString(const std::wstring& root, const std::wstring& path, const std::wstring& name,
                   const std::wstring& data) override;
  std::vector<MappedKey> MapCurrentUserKey(const std::wstring& path) override;

  std::vector<std::wstring> FoldersForEveryUser(int folderId) override;
  std::wstring MachineFolder(const std::wstring& token) override;
  std::wstring InstallationFolder() override { return installationFolder_; }
  std::wstring ExtractionFolder() override { return extractionFolder_; }

  // Deletes a file or an empty folder by handle, reached without a link
  // (read-only cleared; a link goes as a link; a link on the way refuses it
  // and nothing is scheduled). When it stays: scheduled for deletion at restart with `allowRestart`,
  // else remembered as a leftover (not a ".lnk" that is gone meanwhile).
  // True only when the item is gone now (also when it never existed).
  bool DeletePath(const std::wstring& path, bool allowRestart) override;
  bool DeleteFolder(const std::wstring& path, bool allowRestart) override;
  // Copies over `target` (its folders created). A target that cannot be
  // deleted is moved to a "Lum*.tmp" name and deleted at restart; a copy that
  // fails still counts when the target is byte-identical; otherwise, with
  // `allowRestart`, the source goes to a temporary name that replaces the
  // target at restart (false is answered then).
  bool CopyFileItem(const std::wstring& source, const std::wstring& target,
                    bool allowRestart) override;
  // Every file of the tree through CopyFileItem without restart fallback;
  // nothing when a link lies on the way to either end.
  bool CopyTree(const std::wstring& source, const std::wstring& target) override;

  bool AuthorizeApplication(const std::wstring& imagePath,
                            const std::wstring& displayName) override;
  bool RevokeApplication(const std::wstring& imagePath) override;

 private:
  // The copy below a top whose way was checked.
  bool CopyTreeBelow(const std::wstring& source, const std::wstring& target);
  bool ScheduleDelete(const std::wstring& path);
  void RememberLeftover(const std::wstring& path);

  std::wstring installationFolder_;
  std::wstring extractionFolder_;
  std::vector<std::wstring> leftovers_;
  bool hasLeftovers_ = false;
};

}  // namespace lum
