// Extraction against the real archive library carried as FILE 500, with the
// archives of test_resources.rc (see data/make_test_archives.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/install_log.h"
#include "payload/archive_extract_win.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"

namespace lum {
namespace {

enum TestArchive : int {
  kNormal = 9100,     // folders bin, bin\lib, docs, empty; four files, docs\manual.txt read-only
  kNameless = 9101,   // one item without a name
  kBroken = 9102,     // a_first, b_middle (damaged data), c_last; stored, not solid
  kClimbing = 9103,   // six names that leave the folder, then sub/good.txt
  kEncrypted = 9104,  // data encrypted
  kEncryptedNames = 9105,  // header encrypted too
};

// The item order of normal.7z: folders first, then files by name.
const wchar_t* const kNormalItems[] = {L"bin",
                                       L"bin\\lib",
                                       L"docs",
                                       L"empty",
                                       L"bin\\app.exe",
                                       L"bin\\lib\\core.dll",
                                       L"docs\\manual.txt",
                                       L"readme.txt"};
constexpr uint32_t kNormalCount = 8;

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string AppBytes() {
  std::string block;
  for (int i = 0; i < 256; ++i) block.push_back(static_cast<char>(i));
  return "MZ" + Repeat(block, 8);
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (f == nullptr) return "<missing>";
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::wstring& path, const char* text) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(nullptr, f);
  std::fputs(text, f);
  std::fclose(f);
}

// Names of a folder's entries, "." and ".." left out.
std::vector<std::wstring> List(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
}

void DeleteTree(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    for (const std::wstring& name : List(path)) DeleteTree(path + L"\\" + name);
    ::RemoveDirectoryW(path.c_str());
  } else {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
  }
}

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint64_t ArchiveTime() {  // 2024-03-05 06:07:08 UTC, as make_test_archives.py sets
  SYSTEMTIME system = {2024, 3, 2, 5, 6, 7, 8, 0};
  FILETIME time;
  ::SystemTimeToFileTime(&system, &time);
  return FileTimeValue(time);
}

// Records every call and answers OnItem from a per-index table.
class RecordingSink : public IExtractCallback {
 public:
  struct Item {
    char kind;  // 'I' OnItem, 'D' OnItemDone
    uint32_t index, count;
    std::wstring path;
    bool isDirectory;
    bool hasTime;
    uint64_t time;
  };

  int OnBegin(const wchar_t* archive, const wchar_t* destination) override {
    begins.push_back(std::wstring(archive) + L"|" + destination);
    return 0;
  }
  int OnItem(uint32_t index, uint32_t count, const wchar_t* path, bool isDirectory,
             const uint64_t* fileTime) override {
    items.push_back({'I', index, count, path, isDirectory, fileTime != nullptr,
                     fileTime != nullptr ? *fileTime : 0});
    return index < answers.size() ? answers[index] : kExtractItem;
  }
  int OnItemDone(uint32_t index, uint32_t count, const wchar_t* path, bool isDirectory) override {
    items.push_back({'D', index, count, path, isDirectory, false, 0});
    return 0;
  }
  void OnEnd(bool succeeded) override { ends.push_back(succeeded); }

  std::vector<std::wstring> Paths(char kind) const {
    std::vector<std::wstring> paths;
    for (const Item& item : items) {
      if (item.kind == kind) paths.push_back(item.path);
    }
    return paths;
  }

  std::vector<int> answers;
  std::vector<std::wstring> begins;
  std::vector<Item> items;
  std::vector<bool> ends;
};

// Captures the installer's log for the test's lifetime.
class LogCapture {
 public:
  LogCapture() {
    log::SetSink([this](const std::string& line) { lines_ += line + "\n"; });
  }
  ~LogCapture() { log::ClearSink(); }
  bool Contains(const std::string& text) const { return lines_.find(text) != std::string::npos; }
  const std::string& Text() const { return lines_; }

 private:
  std::string lines_;
};

class ArchiveExtractTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
    root_ = std::wstring(temp) + L"lum_extract_test_" + std::to_wstring(::GetCurrentProcessId());
    DeleteTree(root_);
    ASSERT_TRUE(::CreateDirectoryW(root_.c_str(), nullptr));
  }
  static void TearDownTestSuite() {
    UnloadArchiveLibrary();
    ready_ = false;
    DeleteTree(root_);
  }

  void SetUp() override {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = info->name();
    dir_ = root_ + L"\\" + std::wstring(name.begin(), name.end());
    ASSERT_TRUE(CreateProtectedFolder(dir_));
    work_ = dir_ + L"\\";
    ASSERT_TRUE(LoadArchiveLibrary(work_, ready_));
  }

  // Writes a test archive into the test's folder; returns its path.
  std::wstring Archive(int id) {
    const std::wstring path = work_ + L"archive_" + std::to_wstring(id) + L".7z";
    EXPECT_TRUE(WriteResourceToFile(kFileResourceType, id, path));
    return path;
  }

  static std::wstring root_;
  static bool ready_;
  std::wstring dir_;
  std::wstring work_;
};
std::wstring ArchiveExtractTest::root_;
bool ArchiveExtractTest::ready_ = false;

TEST_F(ArchiveExtractTest, NormalArchiveExtractsEveryItemInOrder) {
  const std::wstring archive = Archive(kNormal);
  const std::wstring out = dir_ + L"\\deep\\out";  // missing parents are created
  RecordingSink sink;
  ASSERT_EQ(0, ExtractArchive(archive, out, &sink));

  ASSERT_EQ(1u, sink.begins.size());
  EXPECT_EQ(archive + L"|" + out, sink.begins[0]);
  ASSERT_EQ(std::vector<bool>{true}, sink.ends);
  ASSERT_EQ(2 * kNormalCount, sink.items.size());
  for (uint32_t i = 0; i < kNormalCount; ++i) {
    const RecordingSink::Item& asked = sink.items[2 * i];
    const RecordingSink::Item& done = sink.items[2 * i + 1];
    SCOPED_TRACE(i);
    EXPECT_EQ('I', asked.kind);
    EXPECT_EQ('D', done.kind);
    EXPECT_EQ(i, asked.index);
    EXPECT_EQ(i, done.index);
    EXPECT_EQ(kNormalCount, asked.count);
    EXPECT_EQ(kNormalItems[i], asked.path);
    EXPECT_EQ(kNormalItems[i], done.path);
    EXPECT_EQ(i < 4, asked.isDirectory);
    EXPECT_EQ(i < 4, done.isDirectory);
    EXPECT_TRUE(asked.hasTime);
    EXPECT_EQ(ArchiveTime(), asked.time);
  }

  EXPECT_EQ("read me first\r\n", ReadFileBytes(out + L"\\readme.txt"));
  EXPECT_EQ(AppBytes(), ReadFileBytes(out + L"\\bin\\app.exe"));
  EXPECT_EQ(Repeat("core library\r\n", 100), ReadFileBytes(out + L"\\bin\\lib\\core.dll"));
  EXPECT_EQ("manual\r\n", ReadFileBytes(out + L"\\docs\\manual.txt"));
  const DWORD emptyAttributes = ::GetFileAttributesW((out + L"\\empty").c_str());
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, emptyAttributes);
  EXPECT_TRUE(emptyAttributes & FILE_ATTRIBUTE_DIRECTORY);

  // Attributes: the archive was made on Linux; only Windows bits arrive.
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE),
            ::GetFileAttributesW((out + L"\\readme.txt").c_str()));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY),
            ::GetFileAttributesW((out + L"\\docs\\manual.txt").c_str()));

  // The modification time becomes the file's creation and last-write time.
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(
      ::GetFileAttributesExW((out + L"\\bin\\app.exe").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(ArchiveTime(), FileTimeValue(data.ftLastWriteTime));
  EXPECT_EQ(ArchiveTime(), FileTimeValue(data.ftCreationTime));
}

TEST_F(ArchiveExtractTest, ReadOnlyFileOfTheSameNameIsReplaced) {
  const std::wstring out = dir_ + L"\\out";
  ASSERT_TRUE(::CreateDirectoryW(out.c_str(), nullptr));
  WriteText(out + L"\\readme.txt", "an older, longer read-me that must go");
  ASSERT_TRUE(::SetFileAttributesW((out + L"\\readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));

  ASSERT_EQ(0, ExtractArchive(Archive(kNormal), out, nullptr));  // no sink needed either
  EXPECT_EQ("read me first\r\n", ReadFileBytes(out + L"\\readme.txt"));
}

TEST_F(ArchiveExtractTest, ItemWithoutNameBecomesContent) {
  const std::wstring out = dir_ + L"\\out";
  RecordingSink sink;
  ASSERT_EQ(0, ExtractArchive(Archive(kNameless), out, &sink));
  EXPECT_EQ(std::vector<std::wstring>{L"[Content]"}, sink.Paths('D'));
  EXPECT_EQ("nameless content\r\n", ReadFileBytes(out + L"\\[Content]"));
}

TEST_F(ArchiveExtractTest, CancelStopsBeforeTheNextItem) {
  const std::wstring out = dir_ + L"\\out";
  RecordingSink sink;
  sink.answers = {0, 0, 0, 0, 0, RecordingSink::kCancelExtraction};  // at bin\lib\core.dll
  EXPECT_EQ(-1, ExtractArchive(Archive(kNormal), out, &sink));

  EXPECT_EQ(std::vector<bool>{false}, sink.ends);
  EXPECT_EQ(AppBytes(), ReadFileBytes(out + L"\\bin\\app.exe"));
  EXPECT_FALSE(Exists(out + L"\\bin\\lib\\core.dll"));
  EXPECT_FALSE(Exists(out + L"\\docs\\manual.txt"));
  EXPECT_FALSE(Exists(out + L"\\readme.txt"));
  const std::vector<std::wstring> done = sink.Paths('D');
  ASSERT_EQ(5u, done.size());
  EXPECT_EQ(L"bin\\app.exe", done.back());
}

TEST_F(ArchiveExtractTest, SkippedItemIsLeftOutAndNotReportedDone) {
  const std::wstring out = dir_ + L"\\out";
  RecordingSink sink;
  sink.answers = {0, 0, 0, 0, 0, 0, RecordingSink::kSkipItem};  // docs\manual.txt
  ASSERT_EQ(0, ExtractArchive(Archive(kNormal), out, &sink));

  EXPECT_FALSE(Exists(out + L"\\docs\\manual.txt"));
  EXPECT_EQ("read me first\r\n", ReadFileBytes(out + L"\\readme.txt"));
  const std::vector<std::wstring> done = sink.Paths('D');
  EXPECT_EQ(kNormalCount - 1, done.size());
  for (const std::wstring& path : done) EXPECT_NE(L"docs\\manual.txt", path);
  EXPECT_EQ(std::vector<bool>{true}, sink.ends);
}

TEST_F(ArchiveExtractTest, DataErrorInOneItemIsFollowedByTheRest) {
  const std::wstring out = dir_ + L"\\out";
  RecordingSink sink;
  LogCapture log;
  ASSERT_EQ(0, ExtractArchive(Archive(kBroken), out, &sink));

  EXPECT_EQ(Repeat("first file\r\n", 20), ReadFileBytes(out + L"\\a_first.txt"));
  EXPECT_EQ(Repeat("last file\r\n", 20), ReadFileBytes(out + L"\\c_last.txt"));
  EXPECT_NE(Repeat("MIDDLE-DATA-", 20), ReadFileBytes(out + L"\\b_middle.txt"));
  EXPECT_EQ((std::vector<std::wstring>{L"a_first.txt", L"b_middle.txt", L"c_last.txt"}),
            sink.Paths('D'));
  EXPECT_TRUE(log.Contains("extract item: data error | b_middle.txt")) << log.Text();
  EXPECT_TRUE(log.Contains("item errors 1 |")) << log.Text();
}

TEST_F(ArchiveExtractTest, PathsLeavingTheFolderAreRefusedAndTheRestExtracted) {
  const std::wstring out = dir_ + L"\\nest\\out";
  RecordingSink sink;
  LogCapture log;
  ASSERT_EQ(0, ExtractArchive(Archive(kClimbing), out, &sink));

  // Only the one harmless item reached the sink and the disk.
  ASSERT_EQ(2u, sink.items.size());
  EXPECT_EQ(L"sub\\good.txt", sink.items[0].path);
  EXPECT_FALSE(sink.items[0].hasTime);
  EXPECT_EQ(6u, sink.items[0].index);
  EXPECT_EQ("good\r\n", ReadFileBytes(out + L"\\sub\\good.txt"));
  EXPECT_EQ(std::vector<std::wstring>{L"sub"}, List(out));
  EXPECT_EQ(std::vector<std::wstring>{L"good.txt"}, List(out + L"\\sub"));
  EXPECT_EQ(std::vector<std::wstring>{L"out"}, List(dir_ + L"\\nest"));
  EXPECT_FALSE(Exists(dir_ + L"\\evil_nested.txt"));
  EXPECT_FALSE(Exists(L"C:\\evil_rooted.txt"));
  EXPECT_FALSE(Exists(L"C:\\evil_drive.txt"));
  EXPECT_FALSE(Exists(out.substr(0, 3) + L"evil_rooted.txt"));
  EXPECT_TRUE(log.Contains("path refused | ..\\evil_parent.txt")) << log.Text();
  EXPECT_TRUE(log.Contains("item errors 6 |")) << log.Text();
}

TEST_F(ArchiveExtractTest, EncryptedArchivesAreRefused) {
  for (int id : {kEncrypted, kEncryptedNames}) {
    SCOPED_TRACE(id);
    const std::wstring out = dir_ + L"\\out" + std::to_wstring(id);
    RecordingSink sink;
    EXPECT_EQ(-1, ExtractArchive(Archive(id), out, &sink));
    EXPECT_NE("secret\r\n", ReadFileBytes(out + L"\\secret.txt"));
    EXPECT_TRUE(sink.Paths('D').empty());
  }
}

TEST_F(ArchiveExtractTest, FilesThatAreNotArchivesFail) {
  const std::wstring notArchive = work_ + L"plain.7z";
  WriteText(notArchive, "this is not an archive at all");
  RecordingSink sink;
  EXPECT_EQ(-1, ExtractArchive(notArchive, dir_ + L"\\out", &sink));
  EXPECT_EQ(-1, ExtractArchive(work_ + L"missing.7z", dir_ + L"\\out", &sink));
  EXPECT_TRUE(sink.begins.empty());  // nothing began: the sink hears of no extraction
}

TEST_F(ArchiveExtractTest, PayloadExtractsIntoTempFiles) {
  RecordingSink sink;
  ASSERT_EQ(kExtractOk, ExtractPayload(work_, ready_, &sink));
  EXPECT_TRUE(Exists(work_ + L"temp.7z"));
  EXPECT_TRUE(Exists(work_ + L"temp_files\\FeedBack.ini"));
  EXPECT_FALSE(sink.Paths('D').empty());
  for (const std::wstring& name : List(work_ + L"temp_files")) {
    EXPECT_NE(0u, name.rfind(L"writeable_test_", 0)) << "the write probe must be gone";
  }
}

TEST_F(ArchiveExtractTest, PayloadCancelledBySinkGives117) {
  RecordingSink sink;
  sink.answers = {RecordingSink::kCancelExtraction};
  EXPECT_EQ(kExtractArchiveFailed, ExtractPayload(work_, ready_, &sink));
  EXPECT_EQ(std::vector<bool>{false}, sink.ends);
}

TEST_F(ArchiveExtractTest, PayloadArchiveThatCannotBeWrittenGives118) {
  ASSERT_TRUE(::CreateDirectoryW((work_ + L"temp.7z").c_str(), nullptr));
  RecordingSink sink;
  EXPECT_EQ(kExtractPayloadWriteFailed, ExtractPayload(work_, ready_, &sink));
  EXPECT_TRUE(sink.begins.empty());
}

TEST_F(ArchiveExtractTest, OutputFolderThatCannotBeMadeGives108) {
  WriteText(work_ + L"temp_files", "a file where the folder should be");
  RecordingSink sink;
  EXPECT_EQ(kExtractFolderUnwritable, ExtractPayload(work_, ready_, &sink));
  EXPECT_FALSE(Exists(work_ + L"temp.7z"));
}

TEST_F(ArchiveExtractTest, LibraryThatCannotBeWrittenOrLoadedGives116) {
  ASSERT_TRUE(UnloadArchiveLibrary());
  ready_ = false;
  EXPECT_FALSE(UnloadArchiveLibrary());  // nothing loaded any more
  EXPECT_EQ(-1, ExtractArchive(Archive(kNormal), dir_ + L"\\out", nullptr));

  const std::wstring missing = dir_ + L"\\no such folder\\";
  EXPECT_FALSE(LoadArchiveLibrary(missing, ready_));
  EXPECT_FALSE(ready_);
  EXPECT_EQ(kExtractLibraryFailed, ExtractPayload(missing, ready_, nullptr));

  // A folder this run did not make protected (someone may have planted it,
  // module and all) is never loaded from, nor written into.
  const std::wstring planted = dir_ + L"\\planted\\";
  ASSERT_TRUE(::CreateDirectoryW(planted.c_str(), nullptr));
  WriteText(planted + L"7z.dll", "planted");
  EXPECT_FALSE(LoadArchiveLibrary(planted, ready_));
  EXPECT_EQ(kExtractLibraryFailed, ExtractPayload(planted, ready_, nullptr));
  EXPECT_EQ("planted", ReadFileBytes(planted + L"7z.dll"));
  EXPECT_EQ(nullptr, ::GetModuleHandleW(L"7z.dll"));

  // A library file held open without sharing cannot be replaced.
  HANDLE blocker = ::CreateFileW((work_ + L"7z.dll").c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, blocker);
  EXPECT_EQ(kExtractLibraryFailed, ExtractPayload(work_, ready_, nullptr));
  ::CloseHandle(blocker);
  EXPECT_FALSE(ready_);

  ASSERT_TRUE(LoadArchiveLibrary(work_, ready_));
  EXPECT_TRUE(ready_);
  EXPECT_TRUE(LoadArchiveLibrary(missing, ready_));  // once loaded, at once true
}

}  // namespace
}  // namespace lum
