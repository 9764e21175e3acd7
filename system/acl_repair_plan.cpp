#include "system/acl_repair_plan.h"

namespace lum {
namespace {

const wchar_t kProductFolderName[] = L"\\LumBastion";

void AddKeyChain(RegRoot root, const std::wstring& path, const AclRepairFacts& facts,
                 AclRepairPlan* plan) {
  for (const std::wstring& key : AncestorChain(path)) {
    plan->keys.push_back({root, key, L"Administrators", kKeyFullRights, true});
    plan->keys.push_back({root, key, L"SYSTEM", kKeyFullRights, true});
    plan->keys.push_back({root, key, L"Users", kKeyReadRights, false});
    if (!facts.currentUser.empty()) {
      plan->keys.push_back({root, key, facts.currentUser,
                            facts.userIsAdmin ? kKeyFullRights : kKeyReadRights, false});
    }
  }
}

void AddFolderChain(const std::wstring& folder, size_t limit, const AclRepairFacts& facts,
                    AclRepairPlan* plan) {
  for (const std::wstring& path : AncestorChain(folder, limit)) {
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
  AddKeyChain(RegRoot::kLocalMachine, L"Software\\LumBastion", facts, &plan);
  AddKeyChain(RegRoot::kLocalMachine, L"Software\\LumSafe", facts, &plan);
  AddKeyChain(RegRoot::kCurrentUser, L"Software\\LumBastion", facts, &plan);
  AddKeyChain(RegRoot::kCurrentUser, L"Software\\LumSafe", facts, &plan);

  AddFolderChain(installFolder, 0, facts, &plan);
  if (!facts.commonAppData.empty() && facts.commonProductFolderExists) {
    AddFolderChain(facts.commonAppData + kProductFolderName, 0, facts, &plan);
  }
  if (!facts.userAppData.empty() && facts.userProductFolderExists) {
    AddFolderChain(facts.userAppData + kProductFolderName, 2, facts, &plan);
  }
  return plan;
}

}  // namespace lum
