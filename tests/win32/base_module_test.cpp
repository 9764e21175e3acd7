// The base module carried in resource FILE 504, bound and asked about files.
// The build signs this test program with the key the module pins.
#include <gtest/gtest.h>
#include <sodium.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_bridge_win.h"
#include "vendor/base_module_win.h"
#include "vendor/image_signature.h"

namespace lum {
namespace {

std::wstring SelfPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<uint8_t>{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

class BaseModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_GE(sodium_init(), 0);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder_ = new std::wstring(std::wstring(temp) + L"lum_base_module_test_" +
                               std::to_wstring(GetCurrentProcessId()));
    // This process is elevated: it loads code only from a folder it made
    // for SYSTEM and the Administrators.
    CreateProtectedFolder(*folder_);
    modulePath_ = new std::wstring(*folder_ + L"\\Lumbase.dll");
    written_ = WriteResourceToFile(kFileResourceType, kResBaseModule, *modulePath_);
    loaded_ = written_ && LoadBaseModule(*modulePath_);
  }

  // The bound module stays in use until the process ends; the copies go.
  static void TearDownTestSuite() {
    for (const wchar_t* name :
         {L"altered.exe", L"altered2.exe", L"unsigned.exe", L"foreign.exe", L"copy.exe"}) {
      DeleteFileW(Scratch(name).c_str());
    }
  }

  void SetUp() override {
    ASSERT_TRUE(written_) << "resource FILE 504 not written";
    ASSERT_TRUE(loaded_) << "base module not bound";
  }

  static std::wstring Scratch(const wchar_t* name) { return *folder_ + L"\\" + name; }

  // The verdict through the process-wide binding, with the kind it gave.
  static std::pair<int, int> Verdict(const std::wstring& path) {
    int kind = 12345;
    const int trusted = VerifyFile(path, &kind);
    return {trusted, kind};
  }

  static std::wstring* folder_;
  static std::wstring* modulePath_;
  static bool written_;
  static bool loaded_;
};
std::wstring* BaseModuleTest::folder_ = nullptr;
std::wstring* BaseModuleTest::modulePath_ = nullptr;
bool BaseModuleTest::written_ = false;
bool BaseModuleTest::loaded_ = false;

TEST_F(BaseModuleTest, SignedTestProgramIsTrusted) {
  EXPECT_TRUE(BaseModuleLoaded());
  EXPECT_EQ(std::make_pair(1, 1), Verdict(SelfPath()));
  // The carried module is signed by the same build.
  EXPECT_EQ(1, Verdict(*modulePath_).first);
}

TEST_F(BaseModuleTest, AlteredUnsignedMissingAndForeignFilesAreRefused) {
  const std::vector<uint8_t> self = ReadBytes(SelfPath());
  ASSERT_GT(self.size(), kImageTrailerBytes);

  std::vector<uint8_t> altered = self;
  altered[altered.size() / 2] ^= 0x40;
  WriteBytes(Scratch(L"altered.exe"), altered);
  EXPECT_EQ(std::make_pair(0, -1), Verdict(Scratch(L"altered.exe")));

  WriteBytes(Scratch(L"unsigned.exe"),
             std::vector<uint8_t>(self.begin(), self.end() - kImageTrailerBytes));
  EXPECT_EQ(std::make_pair(0, -1), Verdict(Scratch(L"unsigned.exe")));

  EXPECT_EQ(std::make_pair(0, -1), Verdict(Scratch(L"missing.exe")));

  uint8_t pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(pk, sk);
  std::vector<uint8_t> foreign = self;
  ASSERT_TRUE(SignImageBytes(sk, &foreign));
  WriteBytes(Scratch(L"foreign.exe"), foreign);
  EXPECT_EQ(std::make_pair(0, -1), Verdict(Scratch(L"foreign.exe")));

  // An unchanged copy under another name stays trusted, as a relocated copy must.
  WriteBytes(Scratch(L"copy.exe"), self);
  EXPECT_EQ(std::make_pair(1, 1), Verdict(Scratch(L"copy.exe")));
}

TEST_F(BaseModuleTest, ExportTableBounds) {
  const BaseModuleBinding& module = BaseModuleBinding::Instance();
  EXPECT_NE(nullptr, module.Entry(kBaseEntryVerifyFile));
  EXPECT_EQ(nullptr, module.Entry(module.EntryCount()));
  EXPECT_EQ(nullptr, module.Entry(256));
  // Once bound, another path does not rebind.
  EXPECT_TRUE(LoadBaseModule(Scratch(L"missing.dll")));
}

TEST_F(BaseModuleTest, PropertyObjectGivesTheSameVerdict) {
  const BaseModuleBinding& module = BaseModuleBinding::Instance();
  int kind = 0;
  EXPECT_EQ(1, VerifyFileByProperties(module, SelfPath(), &kind));
  EXPECT_EQ(1, kind);
  std::vector<uint8_t> altered = ReadBytes(SelfPath());
  altered[100] ^= 0x01;
  WriteBytes(Scratch(L"altered2.exe"), altered);
  EXPECT_EQ(0, VerifyFileByProperties(module, Scratch(L"altered2.exe"), &kind));
  EXPECT_EQ(-1, kind);
  EXPECT_EQ(0, VerifyFileByProperties(module, Scratch(L"missing.exe"), &kind));

  void* verifier = nullptr;
  ASSERT_EQ(0, module.CreateObject(kIidFileVerifier, &verifier));
  auto* files = static_cast<ILumFileVerifier*>(verifier);
  EXPECT_EQ(1, files->VerifyFile(SelfPath().c_str(), &kind));
  EXPECT_EQ(0, files->VerifyFile(Scratch(L"altered2.exe").c_str(), &kind));
  files->Release();

  const GUID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  void* none = reinterpret_cast<void*>(1);
  EXPECT_NE(0, module.CreateObject(unknown, &none));
  EXPECT_EQ(nullptr, none);
}

TEST_F(BaseModuleTest, IdentityTextIsStableAndBounded) {
  const std::wstring text = BaseIdentityText();
  EXPECT_FALSE(text.empty());
  EXPECT_LT(text.size(), 260u);
  EXPECT_EQ(text, BaseIdentityText());
  EXPECT_EQ(text, ReadIdentityText(BaseModuleBinding::Instance()));

  void* object = nullptr;
  ASSERT_EQ(0, BaseModuleBinding::Instance().CreateObject(kIidIdentity, &object));
  auto* identity = static_cast<ILumIdentity*>(object);
  wchar_t small[8] = {};
  EXPECT_EQ(E_INVALIDARG, identity->GetIdentityText(small, 8));
  wchar_t big[300] = {};
  EXPECT_EQ(E_INVALIDARG, identity->GetIdentityText(big, 300));
  identity->Release();
}

TEST_F(BaseModuleTest, InitLibsRefusesATooSmallTable) {
  UniqueModule module(LoadLibraryW(modulePath_->c_str()));
  ASSERT_TRUE(module.Valid());
  auto init = reinterpret_cast<InitLibsFn>(GetProcAddress(module.Get(), "InitLibs"));
  ASSERT_NE(nullptr, init);
  LumExportTable table = {};
  table.capacity = kBaseEntryVerifyFile;  // one slot short
  EXPECT_NE(0, init(&table));
  EXPECT_EQ(0u, table.count);
}

// Bindings of their own, so the process-wide one stays bound.
TEST(BaseModuleBindingTest, UnloadableModuleAnswersUnavailable) {
  BaseModuleBinding missing;
  EXPECT_FALSE(missing.Load(L"C:\\no such folder\\Lumbase.dll"));
  EXPECT_FALSE(missing.Loaded());
  EXPECT_EQ(nullptr, missing.Entry(kBaseEntryVerifyFile));
  void* object = nullptr;
  EXPECT_NE(0, missing.CreateObject(kIidIdentity, &object));
  int kind = 0;
  EXPECT_EQ(0, VerifyFileWith(missing, SelfPath(), &kind));
  EXPECT_EQ(-1, kind);
  EXPECT_TRUE(ReadIdentityText(missing).empty());
}

TEST(BaseModuleBindingTest, ModuleWithoutEitherExportIsNotBound) {
  CLumPublicDLLHelper<CLumUtilExportFuncs> util;
  EXPECT_FALSE(util.Load(L"version.dll"));
  EXPECT_FALSE(util.Loaded());
  EXPECT_EQ(0u, util.EntryCount());
}

}  // namespace
}  // namespace lum
