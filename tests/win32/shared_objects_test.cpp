// The named objects the installer shares with the product's services,
// against Wine's real object security: an event or mutex of the product's
// names that someone else made first, with a DACL open to everyone and an
// owner who is no administrator, is refused (and logged) rather than waited
// on or counted as readiness; one made with the shared descriptor is used.
#include <gtest/gtest.h>
#include <windows.h>
// These build on windows.h.
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <thread>

#include "base/install_log.h"
#include "base/text.h"
#include "system/named_object_rights_win.h"
#include "system/pending_renames_lock_win.h"
#include "system/product_handshake_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

// What a standard user could make first: "Users" as owner, everyone full.
SECURITY_ATTRIBUTES* OpenToEveryone() {
  static PSECURITY_DESCRIPTOR descriptor = [] {
    PSECURITY_DESCRIPTOR made = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BUD:(A;;GA;;;WD)", SDDL_REVISION_1,
                                                         &made, nullptr);
    return made;
  }();
  static SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  return &attributes;
}

std::wstring OwnerOf(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return L"";
  UniqueLocal owned(descriptor);
  wchar_t* text = nullptr;
  ConvertSidToStringSidW(owner, &text);
  std::wstring out = text ? text : L"";
  LocalFree(text);
  return out;
}

TEST(SharedObjects, ObjectsOfTheProductsNamesMadeFirstBySomeoneElseAreRefused) {
  std::string lines;
  log::SetSink([&lines](const std::string& line) { lines += line + "\n"; });

  // Planted first, owner "Users" (Wine keeps the owner it is given).
  UniqueHandle plantedEvent(
      CreateEventW(OpenToEveryone(), TRUE, TRUE, kProtectedServiceFinishedEvent));
  ASSERT_TRUE(plantedEvent);
  ASSERT_EQ(L"S-1-5-32-545", OwnerOf(plantedEvent.Get()));
  UniqueHandle plantedMutex(CreateMutexW(OpenToEveryone(), FALSE, kActiveDefenseReadyMutex));
  ASSERT_TRUE(plantedMutex);

  bool existed = false;
  UniqueHandle finished(CreateSharedEvent(kProtectedServiceFinishedEvent, true, &existed, "test"));
  EXPECT_FALSE(finished);
  EXPECT_TRUE(existed);
  EXPECT_NE(std::string::npos,
            lines.find("named object refused: not owned by SYSTEM or the Administrators (owner "
                       "S-1-5-32-545) | " +
                       WideToUtf8(kProtectedServiceFinishedEvent) + " | 5"))
      << lines;
  EXPECT_FALSE(IsActiveDefenseReady());  // someone else's mutex is no readiness
  EXPECT_NE(std::string::npos, lines.find(WideToUtf8(kActiveDefenseReadyMutex) + " | 5")) << lines;
  EXPECT_FALSE(OpenSharedObject(SharedObjectKind::kEvent, kProtectedServiceFinishedEvent,
                                SYNCHRONIZE, "test"));
  plantedEvent.Reset();
  plantedMutex.Reset();

  // Made with the shared descriptor: the Administrators own it, and the
  // other side (opening, or creating the name again) accepts it.
  finished.Reset(CreateSharedEvent(kProtectedServiceFinishedEvent, true, &existed, "test"));
  ASSERT_TRUE(finished);
  EXPECT_FALSE(existed);
  EXPECT_EQ(L"S-1-5-32-544", OwnerOf(finished.Get()));
  UniqueHandle again(CreateSharedEvent(kProtectedServiceFinishedEvent, true, &existed, "test"));
  EXPECT_TRUE(again);
  EXPECT_TRUE(existed);
  UniqueHandle opened(OpenSharedObject(SharedObjectKind::kEvent, kProtectedServiceFinishedEvent,
                                       SYNCHRONIZE, "test"));
  EXPECT_TRUE(opened);

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      kSharedObjectSddl, SDDL_REVISION_1, &descriptor, nullptr));
  UniqueLocal owned(descriptor);
  SECURITY_ATTRIBUTES shared = {sizeof(shared), descriptor, FALSE};
  UniqueHandle ready(CreateMutexW(&shared, FALSE, kActiveDefenseReadyMutex));
  ASSERT_TRUE(ready);
  EXPECT_TRUE(IsActiveDefenseReady());
  log::ClearSink();
}

// The lock around rewrites of the system's restart-time list: a second
// holder waits for the first (bounded), and a mutex of its name that someone
// else made first is refused, so no rewrite happens under it.
TEST(SharedObjects, RestartListLockIsExclusiveBoundedAndRefusesAPlantedOne) {
  {
    PendingRenamesLock first("test");
    ASSERT_TRUE(first.Held());
    bool secondHeld = true;
    std::thread other([&secondHeld] { secondHeld = PendingRenamesLock("test", 200).Held(); });
    other.join();
    EXPECT_FALSE(secondHeld);  // waited its bound, then gave up
  }
  EXPECT_TRUE(PendingRenamesLock("test", 200).Held());  // free again

  std::string lines;
  log::SetSink([&lines](const std::string& line) { lines += line + "\n"; });
  UniqueHandle planted(CreateMutexW(OpenToEveryone(), FALSE, L"Global\\LumBastionPendingRenames"));
  ASSERT_TRUE(planted);
  EXPECT_FALSE(PendingRenamesLock("test", 200).Held());
  log::ClearSink();
  EXPECT_NE(std::string::npos, lines.find("LumBastionPendingRenames | 5")) << lines;
}

}  // namespace
}  // namespace lum
