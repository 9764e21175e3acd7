// The by-handle walker and deleter against Wine's real files, with links
// planted from the host the way a standard user would plant junctions in
// folders he owns: no operation ever reaches what a link points to.
#include <gtest/gtest.h>
#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include <string>
#include <vector>

#include "base/install_log.h"
#include "base/text.h"
#include "install/shell_win.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/handle_tree_win.h"
#include "system/link_rule.h"
#include "system/registry_win.h"
#include "system/shell_link_win.h"
#include "system/silent_log_file_win.h"
#include "system/win_handle_win.h"
#include "tests/wine/planted_link.h"

namespace lum {
namespace {

// A scratch folder under %TEMP%, removed with everything in it.
class Scratch {
 public:
  explicit Scratch(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + name + L"_" + std::to_wstring(::GetCurrentProcessId());
    DeleteFolderTree(path_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~Scratch() { DeleteFolderTree(path_); }
  const std::wstring& Path() const { return path_; }
  std::wstring Sub(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

std::string ReadText(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, &bytes)) return std::string("<unreadable>");
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::wstring& path, const std::string& text) {
  ::SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

size_t EntryCount(const std::wstring& folder) {
  size_t count = 0;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return 0;
  do ++count;
  while (FindNextFileW(find.Get(), &data));
  return count - 2;  // "." and ".."
}

// PendingFileRenameOperations, its strings joined with '|'.
std::wstring PendingRenames() {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                KEY_QUERY_VALUE))
    return std::wstring();
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr,
                       &size) != ERROR_SUCCESS)
    return std::wstring();
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, nullptr,
                   reinterpret_cast<BYTE*>(&data[0]), &size);
  for (wchar_t& c : data) c = c ? c : L'|';
  return ToLowerAscii(data);
}

// A link inside a deleted tree is removed as a link (where the file system
// lets it go) and its target, full or empty, keeps everything; a link on the
// way to a delete, a write, a shortcut or a folder creation refuses it, and
// nothing is scheduled for a restart.
TEST(HandleTreeTest, APlantedLinkIsNeverFollowed) {
  Scratch user(L"TreeUser");
  Scratch victim(L"TreeVictim");
  Scratch hollow(L"TreeHollow");
  WriteText(victim.Sub(L"keep.dat"), "someone else's file");
  WriteText(victim.Sub(L"deep\\keep2.dat"), "someone else's too");
  WriteText(victim.Sub(L"removeLum.bat"), "someone else's script");
  WriteText(user.Sub(L"tree\\a.txt"), "a");
  WriteText(user.Sub(L"tree\\sub\\b.txt"), "b");
  ASSERT_TRUE(SetFileAttributesW(user.Sub(L"tree\\sub\\b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(planted::PlantFolderLink(user.Sub(L"tree\\sub\\inner"), victim.Path()));
  ASSERT_TRUE(planted::PlantFolderLink(user.Sub(L"tree\\sub\\hollow"), hollow.Path()));
  std::wstring lines;
  log::SetSink([&](const std::string& line) { lines += Utf8ToWide(line) + L"\n"; });

  // A tree with links inside: the tree's own files go, the links' targets stay whole.
  DeleteFolderTree(user.Sub(L"tree"));
  EXPECT_FALSE(FileExists(user.Sub(L"tree\\a.txt")));
  EXPECT_FALSE(FileExists(user.Sub(L"tree\\sub\\b.txt")));  // read-only, deleted by handle
  EXPECT_NE(std::wstring::npos, lines.find(L"remove link | " + user.Sub(L"tree\\sub\\inner")))
      << WideToUtf8(lines);
  EXPECT_EQ("someone else's file", ReadText(victim.Sub(L"keep.dat")));
  EXPECT_EQ("someone else's too", ReadText(victim.Sub(L"deep\\keep2.dat")));
  EXPECT_TRUE(FolderExists(hollow.Path()));  // an empty target is not removed through its link

  // A link on the way: every operation stops at it.
  const std::wstring via = user.Sub(L"via");
  ASSERT_TRUE(planted::PlantFolderLink(via, victim.Path()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_CANT_ACCESS_FILE),
            DeleteFileNoLinks("test", L"delete file", via + L"\\keep.dat"));
  CShell shell(user.Path(), user.Path());
  EXPECT_FALSE(shell.DeletePath(via + L"\\deep\\keep2.dat", true));
  EXPECT_FALSE(shell.DeleteTree(via + L"\\deep", true));
  EXPECT_FALSE(CreateShortcut(L"C:\\windows\\notepad.exe", via + L"\\planted.lnk", L"", 0));
  // %TEMP% is the user's to point: the deferred-removal files are not
  // deleted through a link.
  wchar_t oldTemp[MAX_PATH + 1] = {}, oldTmp[MAX_PATH + 1] = {};
  GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
  GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
  SetEnvironmentVariableW(L"TEMP", via.c_str());
  SetEnvironmentVariableW(L"TMP", via.c_str());
  shell.ClearDeferredRemoval();
  EXPECT_FALSE(OpenDefaultSilentLog());  // no log where the link leads
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  SetEnvironmentVariableW(L"TMP", oldTmp);
  EXPECT_NE(std::wstring::npos,
            lines.find(L"delete removal file refused: link on the way | " + via))
      << WideToUtf8(lines);
  EXPECT_NE(std::wstring::npos, lines.find(L"create log file refused: link on the way | " + via))
      << WideToUtf8(lines);
  UniqueHandle folder;
  WayResult way = OpenFolderNoLinks(via + L"\\made\\deeper", &folder, true);
  EXPECT_EQ(WayOpen::kLinkOnWay, way.open);
  EXPECT_EQ(via, way.at);
  EXPECT_EQ(TreeDelete::kRefused, DeleteTreeNoLinks("test", L"delete tree", via + L"\\deep"));
  // The top itself a link: at most the link goes.
  const TreeDelete top = DeleteTreeNoLinks("test", L"delete tree", via);
  EXPECT_TRUE(top == TreeDelete::kTopLinkGone || top == TreeDelete::kFailed);
  EXPECT_EQ("someone else's file", ReadText(victim.Sub(L"keep.dat")));
  EXPECT_EQ("someone else's too", ReadText(victim.Sub(L"deep\\keep2.dat")));
  EXPECT_EQ("someone else's script", ReadText(victim.Sub(L"removeLum.bat")));
  EXPECT_EQ(3u, EntryCount(victim.Path())) << "nothing created where the link points";
  EXPECT_EQ(std::wstring::npos, PendingRenames().find(ToLowerAscii(victim.Path())));
  EXPECT_EQ(std::wstring::npos, PendingRenames().find(ToLowerAscii(user.Path())));

  // The listing through a handle shows the link as a link; the folder held
  // open cannot be moved away (and a link put in its place) while held.
  ASSERT_EQ(WayOpen::kOpened, OpenFolderNoLinks(user.Path(), &folder).open);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(ListFolderEntries(folder.Get(), &entries));
  bool listed = false;
  for (const FolderEntry& entry : entries)
    if (entry.name == L"via") listed = IsLink(entry.attributes) || !FolderExists(via);
  EXPECT_TRUE(listed);
  ASSERT_TRUE(CreateDirectoryW(user.Sub(L"held").c_str(), nullptr));
  UniqueHandle held;
  ASSERT_EQ(WayOpen::kOpened, OpenFolderNoLinks(user.Sub(L"held"), &held).open);
  ASSERT_TRUE(CreateDirectoryW(user.Sub(L"free").c_str(), nullptr));
  EXPECT_TRUE(MoveFileW(user.Sub(L"free").c_str(), user.Sub(L"moved").c_str()));
  EXPECT_FALSE(MoveFileW(user.Sub(L"held").c_str(), user.Sub(L"moved2").c_str()));
  // A new file is written relative to the handle; a link at its name is
  // never written through.
  EXPECT_EQ(0u, WriteNewFileIn(held.Get(), L"new.lnk", "bytes"));
  EXPECT_EQ("bytes", ReadText(user.Sub(L"held\\new.lnk")));
  ASSERT_TRUE(planted::PlantFolderLink(user.Sub(L"held\\taken.lnk"), victim.Path()));
  WriteNewFileIn(held.Get(), L"taken.lnk", "bytes");
  EXPECT_EQ(3u, EntryCount(victim.Path()));
  held.Reset();
  folder.Reset();
  log::ClearSink();

  // Through a real folder the default log is made new beside what is there.
  SetEnvironmentVariableW(L"TEMP", user.Path().c_str());
  SetEnvironmentVariableW(L"TMP", user.Path().c_str());
  const bool opened = OpenDefaultSilentLog();
  const std::wstring logFile = log::FilePath();
  log::Note("test", L"written by handle");
  log::ClearSink();
  SetEnvironmentVariableW(L"TEMP", oldTemp);
  SetEnvironmentVariableW(L"TMP", oldTmp);
  ASSERT_TRUE(opened);
  EXPECT_EQ(0u, ToLowerAscii(logFile).find(ToLowerAscii(user.Path() + L"\\LumBastionSetup_")))
      << WideToUtf8(logFile);
  EXPECT_NE(std::string::npos, ReadText(logFile).find("[test] written by handle"));

  // A tree right below a volume root is reached from the root itself.
  const std::wstring rooted = L"C:\\lum_tree_" + std::to_wstring(GetCurrentProcessId());
  WriteText(rooted + L"\\sub\\c.txt", "c");
  EXPECT_TRUE(DeleteFolderTree(rooted));
  EXPECT_FALSE(FolderExists(rooted));

  for (const wchar_t* link :
       {L"tree\\sub\\inner", L"tree\\sub\\hollow", L"via", L"held\\taken.lnk"})
    planted::RemovePlantedLink(user.Sub(link));
  EXPECT_EQ("someone else's file", ReadText(victim.Sub(L"keep.dat")));
}

}  // namespace
}  // namespace lum
