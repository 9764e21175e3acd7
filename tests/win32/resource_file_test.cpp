#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "payload/amzl.h"
#include "payload/ini_table.h"
#include "payload/resource_file_win.h"

namespace lum {
namespace {

// Test resources of test_resources.rc (see data/make_test_resources.py).
enum TestResource : int {
  kShortMagic = 9000,      // 31 bytes that start with "amzl"
  kVersion2 = 9001,        // the sample container, version field 2
  kPackedOffByOne = 9002,  // packedSize one less than the data
  kBadDigest = 9003,       // one bit of the MD5 flipped
  kSample = 9004,          // valid container of SampleText()
  kPlain = 9005,           // not a container
  kIniNoBom = 9006,        // "[en]\r\nname=English\r\n" without byte-order mark
  kIniNoSection = 9007,    // keys only
  kMissing = 8999,
};

std::string SampleText() {
  std::string text;
  char line[64];
  for (int i = 0; i < 200; ++i) {
    std::snprintf(line, sizeof(line), "resource test line %04d\r\n", i);
    text += line;
  }
  return text;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (f == nullptr) return bytes;
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ResourceBytes(int id) {
  ResourceBlob blob;
  if (!blob.Load(kFileResourceType, id)) return std::string();
  return std::string(reinterpret_cast<const char*>(blob.Data()), blob.Size());
}

class ResourceFileTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, temp));
    dir_ = std::wstring(temp) + L"lum_resource_test_" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const std::wstring& path : created_) ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(dir_.c_str());
  }
  std::wstring Path(const wchar_t* name) {
    created_.push_back(dir_ + L"\\" + name);
    return created_.back();
  }

  std::wstring dir_;
  std::vector<std::wstring> created_;
};

TEST_F(ResourceFileTest, BlobReadsOwnModuleResources) {
  ResourceBlob blob;
  ASSERT_TRUE(blob.Load(kFileResourceType, kPlain));
  EXPECT_EQ("not a container, just bytes\r\n",
            std::string(reinterpret_cast<const char*>(blob.Data()), blob.Size()));
  EXPECT_FALSE(blob.Load(kFileResourceType, kMissing));
  EXPECT_EQ(nullptr, blob.Data());
  EXPECT_EQ(0u, blob.Size());
  EXPECT_FALSE(blob.Load(L"PNG", kPlain));
}

TEST_F(ResourceFileTest, UnpackContainerWritesDecodedBytesOrFailsWithItsCode) {
  const std::string sample = ResourceBytes(kSample);
  ASSERT_FALSE(sample.empty());
  const auto* data = reinterpret_cast<const uint8_t*>(sample.data());

  const std::wstring out = Path(L"sample.txt");
  EXPECT_EQ(kContainerOk, UnpackContainer(data, sample.size(), out));
  EXPECT_EQ(SampleText(), ReadFileBytes(out));

  EXPECT_EQ(kContainerCreateFailed,
            UnpackContainer(data, sample.size(), dir_ + L"\\no_such_folder\\x.txt"));

  const std::string broken = ResourceBytes(kBadDigest);
  const std::wstring notWritten = Path(L"digest.txt");
  EXPECT_EQ(kContainerBadDigest, UnpackContainer(reinterpret_cast<const uint8_t*>(broken.data()),
                                                 broken.size(), notWritten));
  EXPECT_FALSE(FileExists(notWritten));
  EXPECT_EQ(kContainerNoBuffer, UnpackContainer(nullptr, 0, notWritten));
}

TEST_F(ResourceFileTest, HeaderDictionarySizeDoesNotExhaustAddressSpace) {
  // A 4 GiB dictionary cannot be had by a 32-bit process; the reader must not
  // try when the output is small.
  std::string sample = ResourceBytes(kSample);
  ASSERT_GT(sample.size(), 37u);
  for (int i = 0; i < 4; ++i) sample[33 + i] = '\xFF';
  const std::wstring out = Path(L"bigdict.txt");
  ASSERT_EQ(kContainerOk,
            UnpackContainer(reinterpret_cast<const uint8_t*>(sample.data()), sample.size(), out));
  EXPECT_EQ(SampleText(), ReadFileBytes(out));
}

TEST_F(ResourceFileTest, WriteResourceUnpacksContainerOverStaleFile) {
  const std::wstring out = Path(L"unpacked.txt");
  {
    FILE* f = _wfopen(out.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    const std::string stale(20000, 'z');
    std::fwrite(stale.data(), 1, stale.size(), f);
    std::fclose(f);
  }
  ASSERT_TRUE(WriteResourceToFile(kFileResourceType, kSample, out));
  EXPECT_EQ(SampleText(), ReadFileBytes(out));
}

TEST_F(ResourceFileTest, WriteResourceFallsBackToStoredBytes) {
  for (int id : {kShortMagic, kVersion2, kPackedOffByOne, kBadDigest, kPlain}) {
    const std::wstring out = Path((L"raw" + std::to_wstring(id) + L".bin").c_str());
    ASSERT_TRUE(WriteResourceToFile(kFileResourceType, id, out)) << id;
    const std::string stored = ResourceBytes(id);
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(stored, ReadFileBytes(out)) << id;
  }
}

TEST_F(ResourceFileTest, WriteResourceFailures) {
  const std::wstring out = Path(L"missing.bin");
  EXPECT_FALSE(WriteResourceToFile(kFileResourceType, kMissing, out));
  EXPECT_FALSE(FileExists(out));
  EXPECT_FALSE(WriteResourceToFile(kFileResourceType, kPlain, dir_ + L"\\no_such_folder\\x"));
  EXPECT_FALSE(WriteResourceToFile(kFileResourceType, kSample, dir_ + L"\\no_such_folder\\y"));
}

TEST(IniResourceTest, LoadsUtf16TablesFromResources) {
  IniTable table;
  ASSERT_TRUE(table.LoadFromResource(kFileResourceType, kIniNoBom));
  EXPECT_EQ(L"English", table.Value(L"en", L"name"));

  // Keys without any header are kept, but the table counts as not loaded.
  EXPECT_FALSE(table.LoadFromResource(kFileResourceType, kIniNoSection));
  EXPECT_EQ(1, table.IntValue(L"", L"top", -1));
  EXPECT_EQ(L"", table.Value(L"en", L"name"));

  EXPECT_FALSE(table.LoadFromResource(kFileResourceType, kMissing));
  EXPECT_TRUE(table.Empty());

  EXPECT_TRUE(IniTable::HasSection(kFileResourceType, kIniNoBom, L"en"));
  EXPECT_FALSE(IniTable::HasSection(kFileResourceType, kIniNoBom, L"EN"));
  EXPECT_FALSE(IniTable::HasSection(kFileResourceType, kMissing, L"en"));
}

TEST(IniResourceTest, InstallerLanguageTable) {
  IniTable table;
  ASSERT_TRUE(table.LoadFromResource(kFileResourceType, kResLanguageTable));
  EXPECT_TRUE(table.HasSection(L"default"));
  EXPECT_EQ(L"en", table.Value(L"default", L"appname"));
  EXPECT_EQ(1033, table.IntValue(L"en", L"lang_code", 0));
  EXPECT_TRUE(IniTable::HasSection(kFileResourceType, kResLanguageTable, L"en"));
}

TEST_F(ResourceFileTest, InstallerBaseModuleIsUnpackedToAModule) {
  ResourceBlob blob;
  ASSERT_TRUE(blob.Load(kFileResourceType, kResBaseModule));
  ASSERT_EQ(kContainerOk, CheckContainer(blob.Data(), blob.Size()));
  const std::wstring out = Path(L"base.dll");
  ASSERT_TRUE(WriteResourceToFile(kFileResourceType, kResBaseModule, out));
  const std::string module = ReadFileBytes(out);
  ASSERT_GT(module.size(), 64u);
  EXPECT_EQ("MZ", module.substr(0, 2));
  std::vector<uint8_t> decoded;
  EXPECT_EQ(kContainerOk, DecodeContainer(blob.Data(), blob.Size(), decoded));
  EXPECT_EQ(std::string(decoded.begin(), decoded.end()), module);
}

}  // namespace
}  // namespace lum
