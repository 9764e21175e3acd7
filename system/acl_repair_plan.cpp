#include "system/acl_repair_plan.h"

namespace lum {
namespace {

const wchar_t kProductFolderName[] = L"\\LumBastion";

// Only the product's own key and folders: their parents ("Software", "Program
// Files (x86)", the application-data folder) belong to the machine and to
// every other program, and an inherited grant there would hand the
// installing user's unelevated processes everything below them.
//
// The installing account is an administrator whose elevated processes the
// Administrators entry already covers; an entry for the account itself would
// reach its unelevated processes too (the same SID, without the group), which
// then could change what the product's services read and load. So the
// account gets nothing of its own on the machine's keys and the program
// folders: users read, SYSTEM and the Administrators write.
void AddMachineKey(const std::wstring& key, AclRepairPlan* plan) {
  plan->keys.push_back({RegRoot::kLocalMachine, key, L"Administrators", kKeyFullRights, true});
  plan->keys.push_back({RegRoot::kLocalMachine, key, L"SYSTEM", kKeyFullRights, true});
  plan->keys.push_back({RegRoot::kLocalMachine, key, L"Users", kKeyReadRights, false});
}

// Exception: the user's own product keys. The product's unelevated parts
// (its main window and tray program, running as the user) keep the user's
// settings there, and the hive is the user's anyway: full control for him.
void AddUserKey(const std::wstring& key, const AclRepairFacts& facts, AclRepairPlan* plan) {
  plan->keys.push_back({RegRoot::kCurrentUser, key, L"Administrators", kKeyFullRights, true});
  plan->keys.push_back({RegRoot::kCurrentUser, key, L"SYSTEM", kKeyFullRights, true});
  if (!facts.currentUser.empty())
    plan->keys.push_back({RegRoot::kCurrentUser, key, facts.currentUser, kKeyFullRights, false});
}

// A program folder: code and data the product's SYSTEM services load. Users
// (the installing account among them) read and execute, no more.
void AddProgramFolder(const std::wstring& folder, const AclRepairFacts& facts,
                      AclRepairPlan* plan) {
  for (const std::wstring& path : AncestorChain(folder, 1)) {
    if (facts.administratorsExists)
      plan->folders.push_back({path, L"Administrators", kFileFullRights});
    plan->folders.push_back({path, L"SYSTEM", kFileFullRights});
    if (facts.usersExists) plan->folders.push_back({path, L"Users", kFileReadRights});
  }
}

// Exception: the user's own roaming product folder. The product's unelevated
// parts write the user's settings there; it lies in his profile, which is his
// anyway. No "Users" entry: other users have no business in his profile.
void AddUserFolder(const std::wstring& folder, const AclRepairFacts& facts, AclRepairPlan* plan) {
  for (const std::wstring& path : AncestorChain(folder, 1)) {
    if (facts.administratorsExists)
      plan->folders.push_back({path, L"Administrators", kFileFullRights});
    plan->folders.push_back({path, L"SYSTEM", kFileFullRights});
    if (!facts.currentUser.empty())
      plan->folders.push_back({path, facts.currentUser, kFileFullRights});
  }
}

}  // namespace

AclRepairPlan PlanProductAclRepair(const std::wstring& installFolder, const AclRepairFacts& facts) {
  AclRepairPlan plan;
  AddMachineKey(L"Software\\LumBastion", &plan);
  AddMachineKey(L"Software\\LumSafe", &plan);
  AddUserKey(L"Software\\LumBastion", facts, &plan);
  AddUserKey(L"Software\\LumSafe", facts, &plan);

  AddProgramFolder(installFolder, facts, &plan);
  if (!facts.commonAppData.empty() && facts.commonProductFolderExists) {
    AddProgramFolder(facts.commonAppData + kProductFolderName, facts, &plan);
  }
  if (!facts.userAppData.empty() && facts.userProductFolderExists) {
    AddUserFolder(facts.userAppData + kProductFolderName, facts, &plan);
  }
  return plan;
}

}  // namespace lum
