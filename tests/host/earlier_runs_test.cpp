#include "app/earlier_runs.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

// Only names a run makes are taken for an earlier run's folder: anything
// else in the shared folders belongs to someone else and must stay.
TEST(EarlierRunsTest, OnlyTheRunsOwnNamesAreTaken) {
  EXPECT_EQ(EarlierRunFolder::kWork,
            KindOfEarlierRunFolder(L"Lum_install_20261210172911_6963253", false));
  EXPECT_EQ(EarlierRunFolder::kWork,
            KindOfEarlierRunFolder(L"Lum_install_20261210172911_-12_1", false));
  EXPECT_EQ(EarlierRunFolder::kBaseModule,
            KindOfEarlierRunFolder(L"1796923750_06962433_base", false));
  EXPECT_EQ(EarlierRunFolder::kBaseModule,
            KindOfEarlierRunFolder(L"1796923750_-0696243_base_3", false));
  EXPECT_EQ(EarlierRunFolder::kRelocation, KindOfEarlierRunFolder(L"1796923750_0", true));

  for (const wchar_t* other :
       {L"Lum_install_", L"Lum_install_x_1", L"Lum_install_1_2_", L"Lum_install_1_2.old",
        L"1_2_base_", L"1_2_based", L"x_2_base", L"1796923750_0", L"Lumbase", L""})
    EXPECT_EQ(EarlierRunFolder::kNone, KindOfEarlierRunFolder(other, false)) << other;
  for (const wchar_t* other : {L"1796923750", L"1796923750_", L"_0", L"1796923750_0_x",
                               L"Lum_install_1_2", L"1_2_base", L"Common Files", L""})
    EXPECT_EQ(EarlierRunFolder::kNone, KindOfEarlierRunFolder(other, true)) << other;
}

}  // namespace
}  // namespace lum
