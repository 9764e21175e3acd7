#include "system/acl_repair_plan.h"

namespace lum {
namespace {

const wchar_t kProductFolderName[] = L"\\LumBastion";

// Only the product's own key and folders: their parents ("Software", "Program
// Files (x86)", the application-data folder) belong to the machine and to
// every other program, and an inherited grant there would hand the
// installing user's unelevated processes everything below them.
void AddKey(RegRoot root, const std::wstring& key, const AclRepairFacts& facts,
            AclRepairPlan* plan) {
  plan->keys.push_back({root, key, L"Administrators", kKeyFullRights, true});
  plan->keys.push_back({root, key, L"SYSTEM", kKeyFullRights, true});
  plan->keys.push_back({root, key, L"Users", kKeyReadRights, false});
  if (!facts.currentUser.empty()) {
    plan->keys.push_back(
        {root, key, facts.currentUser, facts.userIsAdmin ? kKeyFullRights : kKeyReadRights, false});
  }
}

void AddFolder(const std::wstring& folder, const AclRepairFacts& facts, AclRepairPlan* plan) {
  // Trailing separators stripped; never a drive root.
  for (const std::wstring& path : AncestorChain(folder, 1)) {
    if (facts.administratorsExists) plan->folders.push_back({path, L"Administrators", kFileFullRights});
    plan->folders.push_back({path, L"SYSTEM", kFileFullRights});
    if (facts.usersExists) plan->folders.push_back({path, L"Users", kFileReadRights});
    if (!facts.currentUser.empty()) {
      plan->folders.push_back(
          {path, facts.currentUser, facts.userIsAdmin ? kFileFullRights : kFileReadRights});
    }
  }
}

}  // namespace

AclRepairPlan PlanProductAclRepair(const std::wstring& installFolder, const AclRepairFacts& facts) {
  AclRepairPlan plan;
  AddKey(RegRoot::kLocalMachine, L"Software\\LumBastion", facts, &plan);
  AddKey(RegRoot::kLocalMachine, L"Software\\LumSafe", facts, &plan);
  AddKey(RegRoot::kCurrentUser, L"Software\\LumBastion", facts, &plan);
  AddKey(RegRoot::kCurrentUser, L"Software\\LumSafe", facts, &plan);

  AddFolder(installFolder, facts, &plan);
  if (!facts.commonAppData.empty() && facts.commonProductFolderExists) {
    AddFolder(facts.commonAppData + kProductFolderName, facts, &plan);
  }
  if (!facts.userAppData.empty() && facts.userProductFolderExists) {
    AddFolder(facts.userAppData + kProductFolderName, facts, &plan);
  }
  return plan;
}

}  // namespace lum
