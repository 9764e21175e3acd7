// The machine identifier against the real registry of the test prefix:
// the stored value with its check value, its repair, and "mid_old".
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <string>

#include "base/text.h"
#include "report/machine_id.h"
#include "report/machine_id_win.h"
#include "system/registry_win.h"

namespace lum {
namespace {

std::wstring Stored(const wchar_t* name) {
  RegKey key;
  std::wstring value;
  if (key.Open(HKEY_LOCAL_MACHINE, kMidKey, KEY_QUERY_VALUE)) key.ReadString(name, &value);
  return value;
}

void Store(const wchar_t* name, const std::string& value) {
  RegKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kMidKey, KEY_SET_VALUE));
  ASSERT_TRUE(key.WriteString(name, Utf8ToWide(value)));
}

void DeleteMid() {
  RegKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kMidKey, KEY_SET_VALUE)) {
    key.DeleteValue(L"mid");
    key.DeleteValue(L"mid_old");
  }
}

TEST(MachineIdentity, ProcessorPartAndTheComputedMid) {
  const std::string part = ProcessorPartOnce();
  // "<twelve vendor characters>:<eight lower-case hex digits>"
  ASSERT_EQ(21u, part.size()) << part;
  EXPECT_EQ(':', part[12]);
  for (size_t i = 13; i < part.size(); ++i)
    EXPECT_TRUE(isdigit(part[i]) || (part[i] >= 'a' && part[i] <= 'f')) << part;
  EXPECT_EQ(part, ProcessorPartOnce());
  const std::string description = HardwareDescription();
  EXPECT_EQ(0u, description.rfind(part, 0));

  DeleteMid();
  const std::string mid = ComputeMid();
  EXPECT_EQ(MidFromDescription(description), mid);
  // Deleting "mid" stores it again, with its check value.
  EXPECT_EQ(Utf8ToWide(StoredMidValue(mid)), Stored(L"mid"));
  EXPECT_EQ(L"", Stored(L"mid_old"));
  EXPECT_EQ(mid, ComputeMid());
}

TEST(MachineIdentity, StoredValueIsKeptRepairedOrMovedToMidOld) {
  DeleteMid();
  const std::string own = MidFromDescription(HardwareDescription());
  // Another machine's value, check value in upper case: accepted as it is.
  const std::string other = Md5Hex("another machine");
  std::string check = Md5Hex(other);
  for (char& c : check) c = static_cast<char>(toupper(c));
  Store(L"mid", other + check);
  EXPECT_EQ(other, ComputeMid());
  EXPECT_EQ(Utf8ToWide(other + check), Stored(L"mid"));

  // A wrong check value: recomputed and overwritten; the old text is kept.
  check[0] = check[0] == 'A' ? 'B' : 'A';
  Store(L"mid", other + check);
  EXPECT_EQ(own, ComputeMid());
  EXPECT_EQ(Utf8ToWide(StoredMidValue(own)), Stored(L"mid"));
  EXPECT_EQ(Utf8ToWide(other + check), Stored(L"mid_old"));

  // A value of the wrong length is no identifier either.
  Store(L"mid", "short");
  EXPECT_EQ(own, ComputeMid());
  EXPECT_EQ(L"short", Stored(L"mid_old"));
  EXPECT_EQ(Utf8ToWide(StoredMidValue(own)), Stored(L"mid"));
}

TEST(MachineIdentity, WideFormAndMachineIdentity) {
  wchar_t buffer[40] = {};
  ASSERT_TRUE(GetMid(buffer, 40));
  EXPECT_EQ(32u, wcslen(buffer));
  wchar_t small[9] = {};
  ASSERT_TRUE(GetMid(small, 9));
  EXPECT_EQ(std::wstring(buffer).substr(0, 8), small);
  char narrow[33] = {};
  GetMid(narrow, 16);  // too small: nothing happens
  EXPECT_EQ('\0', narrow[0]);
  GetMid(narrow, 33);
  EXPECT_EQ(WideToUtf8(buffer), narrow);
  EXPECT_EQ(0u, GetMachineIdentity().rfind(buffer, 0));
  EXPECT_EQ(GetMachineIdentity(), GetProfileIdentity());  // no client identifier known
}

}  // namespace
}  // namespace lum
