// Per-user registry for every profile of the machine. The installer runs
// elevated in one session, but per-user settings must reach every user,
// including users who are not logged on: their hives are loaded under
// HKEY_USERS ("<SID>" and "<SID>_Classes", the names Windows itself uses for
// logged-on users) for as long as the manager lives.
//
// Threading: used only from the install worker thread; the lazy creation of
// the manager is not guarded by a lock.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lum {

// Upper-case variable name -> value.
using EnvironmentMap = std::map<std::wstring, std::wstring>;
// Shell folder id (CSIDL) -> expanded path.
using ShellFolderMap = std::map<int, std::wstring>;

// Subkey names of HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList"
// (32-bit view) in enumeration order; `skipShortSids` leaves out built-in
// service accounts such as "S-1-5-18". `listed` (optional) answers whether the
// key could be enumerated at all.
std::vector<std::wstring> ListProfileSids(bool skipShortSids, bool* listed = nullptr);

// Expands %NAME% references against `first`, then `second` (names compared
// case-insensitively); unknown references stay as written.
std::wstring ExpandWithMaps(const std::wstring& text, const EnvironmentMap& first,
                            const EnvironmentMap& second);

// One user profile: loads the user's hives when he is not logged on, reads
// his environment and shell folders, and unloads what it loaded when
// destroyed.
class CUserRegHelper {
 public:
  CUserRegHelper(const std::wstring& sid, const EnvironmentMap& machineEnvironment);
  virtual ~CUserRegHelper();
  CUserRegHelper(const CUserRegHelper&) = delete;
  CUserRegHelper& operator=(const CUserRegHelper&) = delete;

  // False when the SID was empty or has no profile folder in ProfileList.
  bool Ok() const { return ok_; }
  const std::wstring& ProfileFolder() const { return profileFolder_; }
  const std::wstring& AccountName() const { return accountName_; }  // "Unknown" if not found
  // Whether this helper mounted the main / classes hive (and will unload it).
  bool LoadedHive() const { return loadedHive_; }
  bool LoadedClassesHive() const { return loadedClasses_; }

  // Variable by name (any case); false when absent.
  bool Variable(const std::wstring& name, std::wstring* value) const;
  const ShellFolderMap& ShellFolders() const { return shellFolders_; }
  bool ShellFolder(int folderId, std::wstring* path) const;

 private:
  void LoadHives();
  void ReadEnvironment(const EnvironmentMap& machineEnvironment);
  void ReadShellFolders();

  std::wstring sid_;
  std::wstring profileFolder_;
  std::wstring accountName_;
  EnvironmentMap environment_;
  ShellFolderMap shellFolders_;
  bool ok_ = false;
  bool loadedHive_ = false;
  bool loadedClasses_ = false;
};

// The process-wide manager: one helper per profile of the machine.
class CMultiUserRegManager {
 public:
  // Built on first use (enables the backup and restore privileges hive
  // loading needs, reads the machine maps, creates a helper per profile).
  static CMultiUserRegManager& Instance();
  // Destroys the instance, unloading every hive it loaded; the next
  // Instance() builds a new one. Called at shutdown and by tests.
  static void Reset();
  // Whether the instance exists now (without creating it).
  static bool Exists();

  virtual ~CMultiUserRegManager();
  CMultiUserRegManager(const CMultiUserRegManager&) = delete;
  CMultiUserRegManager& operator=(const CMultiUserRegManager&) = delete;

  // True when the machine maps and every helper were built.
  bool Ready() const { return ready_; }
  std::shared_ptr<CUserRegHelper> Helper(const std::wstring& sid) const;

  // The folder `folderId` (CSIDL) for every user: a machine-wide folder of
  // the machine map as its one path; else the folder of every helper that has
  // it; else the current user's folder from the shell. False (and an empty
  // list) when the manager is not ready or nothing was found.
  bool FoldersForEveryUser(int folderId, std::vector<std::wstring>* folders) const;

 private:
  CMultiUserRegManager();

  EnvironmentMap machineEnvironment_;
  ShellFolderMap machineShellFolders_;
  std::map<std::wstring, std::shared_ptr<CUserRegHelper>> userHiveSet_;
  bool ready_ = false;
};

// HKCU -> HKEY_USERS for `sid` ("Software\Classes..." -> "<sid>_Classes...",
// else "<sid>\<path>"). Other roots or an empty path: unchanged, false.
bool MapUserKey(HKEY root, const std::wstring& path, const std::wstring& sid, HKEY* outRoot,
                std::wstring* outPath);

// One mapped key of the HKCU fan-out.
struct UserKey {
  std::wstring sid;
  HKEY root;          // HKEY_USERS
  std::wstring path;  // below HKEY_USERS
};
// The HKCU fan-out of the action script: makes sure the manager exists (so
// the hives of users who are not logged on are mounted), then maps
// HKCU `path` for every SID of ListProfileSids(false) whose hive is mounted
// under HKEY_USERS ("<SID>" or "<SID>_Classes" as the path needs). Empty for
// other roots or when no user's hive can be reached.
std::vector<UserKey> MapKeyForEveryUser(HKEY root, const std::wstring& path);

// The manager's FoldersForEveryUser, for callers that only need the list.
bool FoldersForEveryUser(int folderId, std::vector<std::wstring>* folders);

}  // namespace lum
