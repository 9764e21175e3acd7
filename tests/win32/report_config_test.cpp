// The installed product's URL settings resource file replaces the statistics
// base with its string 1001; a missing file or string leaves it alone.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "report/http_get_win.h"
#include "report/report_config_win.h"

namespace lum {
namespace {

// A copy of this program whose string table block of 1001 holds `text`.
bool MakeUrlSettings(const std::wstring& path, const std::wstring& text) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (!CopyFileW(self, path.c_str(), FALSE)) return false;
  // Block 1001 / 16 + 1 holds strings 992-1007, each a length and its characters.
  std::vector<WORD> block;
  for (int i = 0; i < 16; ++i) {
    if (i == 1001 % 16) {
      block.push_back(static_cast<WORD>(text.size()));
      block.insert(block.end(), text.begin(), text.end());
    } else {
      block.push_back(0);
    }
  }
  HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
  if (!update) return false;
  const BOOL ok = UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(1001 / 16 + 1),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), block.data(),
                                  static_cast<DWORD>(block.size() * sizeof(WORD)));
  return EndUpdateResourceW(update, !ok) && ok;
}

TEST(ReportConfig, UrlSettingsStringReplacesTheStatisticsBase) {
  const std::wstring file = L"C:\\lum_url_settings.dll.locale";
  ASSERT_TRUE(MakeUrlSettings(file, L"http://127.0.0.1:18611/other/"));
  EXPECT_EQ(L"http://127.0.0.1:18611/other/", StatsBaseFromUrlSettings(file));
  EXPECT_EQ(L"", StatsBaseFromUrlSettings(L"C:\\no\\such\\UrlSettings.dll.locale"));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  EXPECT_EQ(L"", StatsBaseFromUrlSettings(self));  // a module without string 1001
  DeleteFileW(file.c_str());

  // With no product installed the built-in base holds, on the loopback host.
  EXPECT_EQ(0u, StatsBase().rfind(L"http://127.0.0.1:", 0));
  EXPECT_EQ(L"safei18n/", StatsBase().substr(StatsBase().size() - 9));
  EXPECT_EQ(13u, SignatureSuffix().size());
}

// Reports sent at the finish run side by side under one bound: each of these
// two waits for the other to have started, which a one-after-the-other run
// can only satisfy by letting the first time out.
TEST(ReportThreads, WorkUnderOneBoundRunsSideBySide) {
  HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  LONG met = 0;
  std::vector<BoundedWork> works;
  works.push_back({[&] {
                     SetEvent(a);
                     if (WaitForSingleObject(b, 20000) == WAIT_OBJECT_0) InterlockedIncrement(&met);
                   },
                   L"first"});
  works.push_back({[&] {
                     SetEvent(b);
                     if (WaitForSingleObject(a, 20000) == WAIT_OBJECT_0) InterlockedIncrement(&met);
                   },
                   L"second"});
  RunBoundedTogether(std::move(works), 30000);
  EXPECT_EQ(2, met);
  CloseHandle(a);
  CloseHandle(b);
}

}  // namespace
}  // namespace lum
