#include "system/pending_renames.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "system/uninstall_marker.h"

namespace lum {
namespace {

// A REG_MULTI_SZ value from its strings (each gets its zero; no closing zero
// is added, so a test can leave it out).
std::vector<uint8_t> Value(const std::vector<std::wstring>& strings) {
  std::vector<uint8_t> bytes;
  for (const std::wstring& s : strings) {
    const std::vector<uint8_t> utf16 = WideToUtf16Le(s, false);
    bytes.insert(bytes.end(), utf16.begin(), utf16.end());
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

std::vector<PendingRename> Parse(const std::vector<uint8_t>& bytes, bool* ok) {
  std::vector<PendingRename> list;
  *ok = ParsePendingRenames(bytes.data(), bytes.size(), &list);
  return list;
}

TEST(PendingRenamesTest, EmptyDestinationIsDeleteNotTheEndOfTheList) {
  bool ok = false;
  const auto list =
      Parse(Value({L"\\??\\C:\\a.tmp", L"", L"\\??\\C:\\b", L"!\\??\\C:\\c", L""}), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ(L"\\??\\C:\\a.tmp", list[0].source);
  EXPECT_EQ(L"", list[0].destination);
  EXPECT_EQ(L"\\??\\C:\\b", list[1].source);
  EXPECT_EQ(L"!\\??\\C:\\c", list[1].destination);
}

TEST(PendingRenamesTest, EmptyAndUnclosedValuesAreLists) {
  bool ok = false;
  EXPECT_TRUE(Parse({}, &ok).empty());
  EXPECT_TRUE(ok);
  EXPECT_TRUE(Parse(Value({L""}), &ok).empty());
  EXPECT_TRUE(ok);
  // Written without the closing zero: the data's end closes the list.
  EXPECT_EQ(1u, Parse(Value({L"\\??\\C:\\a", L""}), &ok).size());
  EXPECT_TRUE(ok);
}

TEST(PendingRenamesTest, MalformedValuesAreRefused) {
  bool ok = true;
  std::vector<uint8_t> odd = Value({L"\\??\\C:\\a", L"", L""});
  odd.push_back(0);
  EXPECT_TRUE(Parse(odd, &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Parse(Value({L"\\??\\C:\\a"}), &ok).empty());  // source without destination
  EXPECT_FALSE(ok);
  std::vector<uint8_t> unterminated = Value({L"\\??\\C:\\a", L""});
  const std::vector<uint8_t> tail = WideToUtf16Le(L"\\??\\C:\\b", false);
  unterminated.insert(unterminated.end(), tail.begin(), tail.end());
  EXPECT_TRUE(Parse(unterminated, &ok).empty());
  EXPECT_FALSE(ok);
}

TEST(PendingRenamesTest, SerializeRoundTripsWithEmptyDestinations) {
  const std::vector<PendingRename> list = {{L"\\??\\C:\\x\\Lum1.tmp", L""},
                                           {L"\\??\\C:\\y", L"!\\??\\C:\\z \u00e9"}};
  const std::vector<uint8_t> bytes = SerializePendingRenames(list);
  EXPECT_EQ(Value({L"\\??\\C:\\x\\Lum1.tmp", L"", L"\\??\\C:\\y", L"!\\??\\C:\\z \u00e9", L""}),
            bytes);
  bool ok = false;
  const auto back = Parse(bytes, &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(2u, back.size());
  EXPECT_EQ(list[1].destination, back[1].destination);
  EXPECT_EQ(std::vector<uint8_t>({0, 0}), SerializePendingRenames({}));
}

TEST(PendingRenamesTest, PurgeTakesOnlyTempAndCabFilesInsideTheFolder) {
  std::vector<PendingRename> list = {
      {L"\\??\\C:\\Program Files\\Lum\\Bastion\\Lum3A.TMP",
       L"!\\??\\C:\\Program Files\\Lum\\Bastion\\a.dll"},
      {L"\\??\\C:\\Program Files\\Lum\\Bastion\\old.dll", L""},
      {L"\\??\\c:\\program files\\lum\\bastion\\engine\\sig.cab", L""},
      {L"\\??\\C:\\Program Files\\Lum\\BastionOld\\x.tmp", L""},
      {L"\\??\\C:\\Temp\\y.tmp", L""},
      {L"\\??\\C:\\Program Files\\Lum\\Bastion\\cab.txt", L""},
  };
  const std::vector<std::wstring> removed =
      RemoveFolderTempRenames(&list, L"C:\\Program Files\\Lum\\Bastion\\");
  ASSERT_EQ(2u, removed.size());
  EXPECT_EQ(L"\\??\\C:\\Program Files\\Lum\\Bastion\\Lum3A.TMP", removed[0]);
  EXPECT_EQ(L"\\??\\c:\\program files\\lum\\bastion\\engine\\sig.cab", removed[1]);
  ASSERT_EQ(4u, list.size());
  EXPECT_EQ(L"\\??\\C:\\Program Files\\Lum\\Bastion\\old.dll", list[0].source);
  EXPECT_EQ(L"\\??\\C:\\Program Files\\Lum\\BastionOld\\x.tmp", list[1].source);
  EXPECT_EQ(L"\\??\\C:\\Temp\\y.tmp", list[2].source);
  EXPECT_EQ(L"\\??\\C:\\Program Files\\Lum\\Bastion\\cab.txt", list[3].source);
  // An empty folder never matches everything.
  EXPECT_TRUE(RemoveFolderTempRenames(&list, L"").empty());
  EXPECT_EQ(L"C:\\x", StripNtPrefix(L"\\??\\C:\\x"));
  EXPECT_EQ(L"C:\\x", StripNtPrefix(L"C:\\x"));
}

// An earlier run's folder that is gone takes its entries with it, and only
// its own: a sibling that begins with the same name and every other entry
// stay, in their order.
TEST(PendingRenamesTest, ARemovedFolderTakesOnlyItsOwnEntries) {
  std::vector<PendingRename> list = {
      {L"\\??\\C:\\windows\\Temp\\1_2_base\\Lumbase.dll", L""},
      {L"\\??\\C:\\windows\\Temp\\1_2_base", L""},
      {L"\\??\\C:\\windows\\Temp\\1_2_base_1\\Lumbase.dll", L""},
      {L"\\??\\C:\\Program Files\\Lum\\Bastion\\Lum3A.tmp",
       L"!\\??\\C:\\Program Files\\Lum\\Bastion\\a.dll"},
      {L"\\??\\c:\\WINDOWS\\temp\\1_2_BASE\\sub\\x", L""},
  };
  EXPECT_EQ(3u, RemovePendingUnder(&list, L"C:\\windows\\Temp\\1_2_base\\"));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ(L"\\??\\C:\\windows\\Temp\\1_2_base_1\\Lumbase.dll", list[0].source);
  EXPECT_EQ(L"!\\??\\C:\\Program Files\\Lum\\Bastion\\a.dll", list[1].destination);
  EXPECT_EQ(0u, RemovePendingUnder(&list, L""));
  EXPECT_EQ(2u, list.size());
}

TEST(UninstallMarkerTest, NameIsMd5OfTheUtf16Path) {
  EXPECT_EQ(L"Lumsafeuninst_2481fd93367e8a41146e2cb550e28584",
            UninstallMarkerName(L"C:\\Program Files\\Lum\\Bastion"));
  EXPECT_NE(UninstallMarkerName(L"C:\\Program Files\\Lum\\Bastion"),
            UninstallMarkerName(L"c:\\program files\\lum\\bastion"));
}

}  // namespace
}  // namespace lum
