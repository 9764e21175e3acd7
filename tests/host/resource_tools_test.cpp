// The build tools that make the installer's resources, run as the build runs
// them: the skin image generator, the component manifest generator, and the
// language table and action script sources they sit beside.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "payload/ini_table.h"

namespace fs = std::filesystem;

namespace {

const fs::path kToolsDir = LUM_TOOLS_DIR;
// The build compiles this file by its absolute path, so the source tree is found from it.
#ifdef LUM_SOURCE_DIR
const fs::path kSourceDir = LUM_SOURCE_DIR;
#else
const fs::path kSourceDir = fs::path(__FILE__).parent_path().parent_path().parent_path();
#endif

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const fs::path& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// Runs a tool of the build with its output kept out of the test log; returns its exit code.
int RunTool(const std::string& name, const std::string& args) {
  const std::string cmd = "\"" + (kToolsDir / name).string() + "\" " + args + " >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const fs::path& p) { return "\"" + p.string() + "\""; }

class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (fs::temp_directory_path() / "lum_tools_XXXXXX").string();
    path_ = mkdtemp(tmpl.data()) ? fs::path(tmpl) : fs::path();
  }
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Parses UTF-8 INI text through the installer's own reader.
bool ParseUtf8Ini(const std::string& utf8, lum::IniTable& table) {
  const std::vector<uint8_t> bytes = lum::WideToUtf16Le(lum::Utf8ToWide(utf8), true);
  return table.Parse(bytes.data(), bytes.size());
}

std::wstring W(const std::string& s) { return lum::Utf8ToWide(s); }

// ---- PNG reading, independent of the generator's writer ----

uint32_t Be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

struct Png {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;  // unfiltered pixels
};

// Checks signature, chunk CRCs, IHDR (8-bit RGBA), one zlib stream, row
// filters, and IEND last; unfilters the pixels. Reports the first fault.
::testing::AssertionResult DecodePng(const std::vector<uint8_t>& file, Png& png) {
  static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (file.size() < 8 || !std::equal(kSig, kSig + 8, file.begin())) {
    return ::testing::AssertionFailure() << "no PNG signature";
  }
  std::vector<uint8_t> idat;
  bool sawHeader = false, sawEnd = false;
  size_t at = 8;
  while (at + 12 <= file.size() && !sawEnd) {
    const uint32_t len = Be32(&file[at]);
    if (at + 12 + len > file.size())
      return ::testing::AssertionFailure() << "chunk overruns the file";
    const std::string type(file.begin() + at + 4, file.begin() + at + 8);
    const uint8_t* data = &file[at + 8];
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), &file[at + 4], len + 4);
    if (crc != Be32(data + len)) return ::testing::AssertionFailure() << "bad CRC in " << type;
    if (type == "IHDR") {
      if (len != 13 || sawHeader) return ::testing::AssertionFailure() << "bad IHDR";
      png.width = Be32(data);
      png.height = Be32(data + 4);
      if (data[8] != 8 || data[9] != 6 || data[10] != 0 || data[11] != 0 || data[12] != 0) {
        return ::testing::AssertionFailure() << "not 8-bit RGBA without interlace";
      }
      sawHeader = true;
    } else if (type == "IDAT") {
      idat.insert(idat.end(), data, data + len);
    } else if (type == "IEND") {
      sawEnd = true;
    }
    at += 12 + len;
  }
  if (!sawHeader || !sawEnd || at != file.size()) {
    return ::testing::AssertionFailure() << "missing IHDR/IEND or bytes after IEND";
  }
  const size_t stride = size_t(png.width) * 4;
  std::vector<uint8_t> raw((stride + 1) * png.height);
  uLongf rawSize = raw.size();
  if (uncompress(raw.data(), &rawSize, idat.data(), idat.size()) != Z_OK || rawSize != raw.size()) {
    return ::testing::AssertionFailure() << "IDAT does not inflate to the image size";
  }
  png.rgba.assign(stride * png.height, 0);
  for (size_t y = 0; y < png.height; ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    if (filter > 4) return ::testing::AssertionFailure() << "bad filter type " << int(filter);
    const uint8_t* in = &raw[y * (stride + 1) + 1];
    uint8_t* out = &png.rgba[y * stride];
    const uint8_t* up = y ? out - stride : nullptr;
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= 4 ? out[i - 4] : 0, b = up ? up[i] : 0, c = (up && i >= 4) ? up[i - 4] : 0;
      int pred = 0;
      if (filter == 1) pred = a;
      if (filter == 2) pred = b;
      if (filter == 3) pred = (a + b) / 2;
      if (filter == 4) {
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
      }
      out[i] = uint8_t(in[i] + pred);
    }
  }
  return ::testing::AssertionSuccess();
}

struct SkinImage {
  int id, width, height, frames, hiId, hiWidth, hiHeight;
};

// The skin table at 96 DPI and the 240-DPI variants (2.5 times each frame).
const SkinImage kSkin[] = {
    {10000, 180, 32, 4, 20000, 452, 80},   {10001, 180, 32, 4, 20001, 452, 80},
    {10002, 50, 50, 1, 20002, 125, 125},   {10003, 36, 32, 1, 20003, 90, 80},
    {10004, 144, 36, 4, 20004, 360, 90},   {10005, 240, 20, 12, 20005, 600, 50},
    {10007, 5, 98, 1, 20007, 13, 245},     {10008, 88, 16, 4, 20008, 220, 40},
    {10009, 88, 16, 4, 20009, 220, 40},    {10010, 1600, 22, 4, 20010, 4000, 55},
    {10011, 5, 434, 1, 20011, 13, 1085},   {10012, 800, 32, 4, 20012, 2000, 80},
    {10013, 400, 24, 4, 20013, 1000, 60},  {10014, 100, 50, 1, 20014, 250, 125},
    {10015, 210, 143, 1, 20015, 525, 358}, {10016, 552, 4, 1, 20016, 1380, 10},
    {10017, 552, 4, 1, 20017, 1380, 10},   {10018, 234, 146, 1, 20018, 585, 365},
    {10019, 240, 20, 12, 20019, 600, 50},  {10020, 552, 276, 1, 20020, 1380, 690},
    {10021, 169, 18, 1, 20021, 423, 45},   {10100, 400, 100, 1, 10150, 1000, 250},
    {10105, 220, 36, 1, 10155, 550, 90},
};

// id -> path from the rc fragment (lines `<id> <type> "<absolute path>"`,
// the type being PNG, 3 for an icon image or 14 for an icon group) for the
// lines of `type`; a malformed line fails the test.
std::map<int, fs::path> ReadRcFragment(const fs::path& rc, const std::string& type = "PNG") {
  std::map<int, fs::path> out;
  std::istringstream in(ReadText(rc));
  std::string line;
  while (std::getline(in, line)) {
    const size_t digits = line.find_first_not_of("0123456789");
    std::string kind;
    for (const char* known : {" PNG \"", " 3 \"", " 14 \""})
      if (digits != std::string::npos && line.compare(digits, std::strlen(known), known) == 0)
        kind = known;
    const bool wellFormed = digits != std::string::npos && digits > 0 && !kind.empty() &&
                            line.size() > digits + kind.size() + 1 && line.back() == '"';
    EXPECT_TRUE(wellFormed) << line;
    if (!wellFormed || kind != " " + type + " \"") continue;
    const fs::path path =
        line.substr(digits + kind.size(), line.size() - digits - kind.size() - 1);
    EXPECT_TRUE(path.is_absolute()) << line;
    EXPECT_TRUE(out.emplace(std::stoi(line.substr(0, digits)), path).second) << "twice: " << line;
  }
  return out;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

std::vector<uint8_t> Frame(const Png& png, int frames, int index) {
  const size_t fw = png.width / frames;
  std::vector<uint8_t> out;
  for (size_t y = 0; y < png.height; ++y) {
    const auto row = png.rgba.begin() + (y * png.width + index * fw) * 4;
    out.insert(out.end(), row, row + fw * 4);
  }
  return out;
}

TEST(SkinGenTest, DrawsEveryImageAtBothResolutionsAsValidPngs) {
  ScratchDir dir;
  ASSERT_EQ(RunTool("skin_gen", Quote(dir.path() / "png") + " " + Quote(dir.path() / "skin.rc")),
            0);
  const std::map<int, fs::path> files = ReadRcFragment(dir.path() / "skin.rc");
  EXPECT_EQ(files.size(), 2 * std::size(kSkin));

  for (const SkinImage& img : kSkin) {
    for (int variant = 0; variant < 2; ++variant) {
      const int id = variant ? img.hiId : img.id;
      SCOPED_TRACE("image " + std::to_string(id));
      ASSERT_EQ(files.count(id), 1u);
      Png png;
      ASSERT_TRUE(DecodePng(ReadBytes(files.at(id)), png));
      EXPECT_EQ(png.width, uint32_t(variant ? img.hiWidth : img.width));
      EXPECT_EQ(png.height, uint32_t(variant ? img.hiHeight : img.height));

      // Every frame has visible pixels, and the states of a strip differ.
      std::set<std::vector<uint8_t>> distinct;
      for (int f = 0; f < img.frames; ++f) {
        const std::vector<uint8_t> frame = Frame(png, img.frames, f);
        bool visible = false;
        for (size_t i = 3; i < frame.size() && !visible; i += 4) visible = frame[i] != 0;
        EXPECT_TRUE(visible) << "frame " << f << " is empty";
        distinct.insert(frame);
      }
      EXPECT_EQ(distinct.size(), size_t(img.frames));
    }
  }

  // The window icon and the two phases of the tray icon: groups of the small,
  // large and 48-pixel images, each naming an image resource of its size; the
  // window icon and the tray's first phase show the same picture and share it.
  const std::map<int, fs::path> groups = ReadRcFragment(dir.path() / "skin.rc", "14");
  const std::map<int, fs::path> images = ReadRcFragment(dir.path() / "skin.rc", "3");
  ASSERT_EQ(3u, groups.size());
  std::map<int, std::vector<int>> named;
  for (int id : {128, 509, 510}) {
    SCOPED_TRACE("icon " + std::to_string(id));
    ASSERT_EQ(1u, groups.count(id));
    const std::vector<uint8_t> group = ReadBytes(groups.at(id));
    ASSERT_EQ(6u + 4 * 14, group.size());
    EXPECT_EQ(0, group[0] | group[1]);
    EXPECT_EQ(1, group[2]);
    ASSERT_EQ(4, group[4]);
    std::set<int> sizes;
    for (size_t i = 0; i < 4; ++i) {
      const size_t entry = 6 + 14 * i;
      const int size = group[entry];
      const int imageId = group[entry + 12] | group[entry + 13] << 8;
      sizes.insert(size);
      named[id].push_back(imageId);
      ASSERT_EQ(1u, images.count(imageId)) << "image " << imageId;
      const std::vector<uint8_t> image = ReadBytes(images.at(imageId));
      EXPECT_EQ(Le32(group, entry + 8), image.size());
      ASSERT_GE(image.size(), 40u);
      EXPECT_EQ(uint32_t(size), Le32(image, 4));      // BITMAPINFOHEADER width
      EXPECT_EQ(uint32_t(2 * size), Le32(image, 8));  // colour and mask rows
    }
    EXPECT_EQ((std::set<int>{16, 24, 32, 48}), sizes);
  }
  EXPECT_EQ(named[128], named[509]);
  for (int imageId : named[510])
    EXPECT_EQ(named[509].end(), std::find(named[509].begin(), named[509].end(), imageId));
  EXPECT_EQ(8u, images.size());
}

TEST(SkinGenTest, SameBytesOnEveryRun) {
  ScratchDir dir;
  ASSERT_EQ(RunTool("skin_gen", Quote(dir.path() / "a") + " " + Quote(dir.path() / "a.rc")), 0);
  ASSERT_EQ(RunTool("skin_gen", Quote(dir.path() / "b") + " " + Quote(dir.path() / "b.rc")), 0);
  size_t compared = 0;
  for (const auto& entry : fs::directory_iterator(dir.path() / "a")) {
    EXPECT_EQ(ReadBytes(entry.path()), ReadBytes(dir.path() / "b" / entry.path().filename()))
        << entry.path().filename();
    ++compared;
  }
  EXPECT_EQ(compared, 2 * std::size(kSkin) + 3 + 8);  // and three icon groups of eight images
}

TEST(SkinGenTest, RefusesWrongArguments) {
  ScratchDir dir;
  EXPECT_NE(RunTool("skin_gen", Quote(dir.path() / "only")), 0);
  // An output folder that cannot be created: a plain file stands in its way.
  WriteText(dir.path() / "file", "x");
  EXPECT_NE(
      RunTool("skin_gen", Quote(dir.path() / "file" / "png") + " " + Quote(dir.path() / "r.rc")),
      0);
}

// ---- component manifest ----

TEST(ManifestGenTest, ListsEveryNonLocalFileInOrder) {
  ScratchDir dir;
  WriteText(dir.path() / "files.lst",
            "# comment\n"
            "\n"
            "Main.exe|1.0.0.1006|built\r\n"
            "safemon\\Setting.INI|2.5.0.17|tree\n"
            "i18n\\de\\safemon\\wd.ini|1.0.0.1|tree,local\n"
            "  safemon\\wd.ini | 65535.0.0.9 | tree\n");
  ASSERT_EQ(
      RunTool("manifest_gen", Quote(dir.path() / "files.lst") + " " + Quote(dir.path() / "m.ini")),
      0);

  lum::IniTable table;
  ASSERT_TRUE(ParseUtf8Ini(ReadText(dir.path() / "m.ini"), table));
  const std::vector<std::wstring> expected = {L"iniopt", L"Main.exe", L"Setting.INI", L"wd.ini"};
  EXPECT_EQ(table.SectionNames(), expected);
  EXPECT_EQ(table.Value(L"iniopt", L"ver"), L"2");
  EXPECT_EQ(table.Value(L"Main.exe", L"ver"), L"1.0.0.1006");
  EXPECT_EQ(table.Value(L"Main.exe", L"path"), L"%productpath%\\Main.exe");
  EXPECT_EQ(table.Value(L"Setting.INI", L"path"), L"%productpath%\\safemon\\Setting.INI");
  EXPECT_EQ(table.Value(L"wd.ini", L"ver"), L"65535.0.0.9");
  EXPECT_EQ(table.Value(L"wd.ini", L"path"), L"%productpath%\\safemon\\wd.ini");
  EXPECT_TRUE(table.Contains(L"wd.ini", L"md5"));
  EXPECT_EQ(table.Value(L"wd.ini", L"md5", L"absent"), L"");
}

TEST(ManifestGenTest, RefusesListsItCannotTurnIntoAManifest) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"three version numbers", "a.dll|1.0.1|built\n"},
      {"version field too large", "a.dll|1.0.0.65536|built\n"},
      {"parent folder", "..\\a.dll|1.0.0.1|built\n"},
      {"rooted path", "\\a.dll|1.0.0.1|built\n"},
      {"forward slash", "x/a.dll|1.0.0.1|built\n"},
      {"unknown origin", "a.dll|1.0.0.1|copied\n"},
      {"unknown flag", "a.dll|1.0.0.1|built,hidden\n"},
      {"missing origin", "a.dll|1.0.0.1|\n"},
      {"two fields", "a.dll|1.0.0.1\n"},
      {"same path twice", "a.dll|1.0.0.1|built\nA.DLL|1.0.0.2|built,local\n"},
      {"same section twice", "x\\a.dll|1.0.0.1|built\ny\\A.dll|1.0.0.1|built\n"},
      {"nothing listed", "# only a comment\n"},
  };
  ScratchDir dir;
  for (const auto& c : bad) {
    WriteText(dir.path() / "bad.lst", c.second);
    EXPECT_NE(
        RunTool("manifest_gen", Quote(dir.path() / "bad.lst") + " " + Quote(dir.path() / "m.ini")),
        0)
        << c.first;
  }
}

TEST(ManifestGenTest, TreeAndListMustAgree) {
  ScratchDir dir;
  const fs::path tree = dir.path() / "tree";
  WriteText(tree / "safemon" / "setting.ini", "[x]\n");
  WriteText(dir.path() / "files.lst",
            "safemon\\setting.ini|1.0.0.1|tree\nMain.exe|1.0.0.1|built\n");
  const std::string args = "--tree " + Quote(tree) + " " + Quote(dir.path() / "files.lst") + " " +
                           Quote(dir.path() / "m.ini");
  EXPECT_EQ(RunTool("manifest_gen", args), 0);

  WriteText(tree / "stray.txt", "not listed");
  EXPECT_NE(RunTool("manifest_gen", args), 0);
  fs::remove(tree / "stray.txt");
  fs::remove(tree / "safemon" / "setting.ini");
  EXPECT_NE(RunTool("manifest_gen", args), 0);
}

TEST(ManifestGenTest, ShippedProductListMatchesItsTree) {
  ScratchDir dir;
  const fs::path payload = kSourceDir / "product" / "payload";
  ASSERT_EQ(
      RunTool("manifest_gen", "--tree " + Quote(payload / "tree") + " " +
                                  Quote(payload / "files.lst") + " " + Quote(dir.path() / "m.ini")),
      0);
  lum::IniTable table;
  ASSERT_TRUE(ParseUtf8Ini(ReadText(dir.path() / "m.ini"), table));
  // The files the installer itself relies on are versioned.
  for (const wchar_t* name :
       {L"ZVSafeMain.exe", L"ZVVer.dll", L"ZVActiveDefense.exe", L"setting.ini"}) {
    EXPECT_TRUE(table.Contains(name, L"ver")) << lum::WideToUtf8(name);
  }
}

// ---- language table source ----

class LanguageTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ParseUtf8Ini(ReadText(kSourceDir / "resources" / "language.ini"), table_));
  }
  lum::IniTable table_;
};

// Printf placeholders (%d, %s, %.01f, %%) in order, and the link tags.
std::vector<std::wstring> Placeholders(const std::wstring& text) {
  std::vector<std::wstring> out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 5, L"{&#a=") == 0) {
      out.push_back(L"{&#a=");
    } else if (text[i] == L'%') {
      size_t j = i + 1;
      if (j < text.size() && text[j] == L'.') {
        ++j;
        while (j < text.size() && iswdigit(text[j])) ++j;
      }
      if (j < text.size() && std::wcschr(L"dsf%", text[j]) != nullptr) {
        out.push_back(text.substr(i, j - i + 1));
        i = j;
      }
    }
  }
  return out;
}

const std::map<std::string, int> kLanguageIds = {
    {"en", 1033}, {"zh-TW", 1028}, {"zh-CN", 2052}, {"tr", 1055}, {"pt", 1046},
    {"es", 1034}, {"ru", 1049},    {"vi", 1066},    {"hi", 1081}, {"ar", 5121},
    {"ja", 1041}, {"de", 1031},    {"fr", 1036},    {"it", 1040}, {"pl", 1045}};

TEST_F(LanguageTableTest, EveryLanguageHasItsSectionNameAndId) {
  EXPECT_EQ(table_.Value(L"default", L"languages"),
            L"en;zh-TW;ru;tr;es;pt;vi;zh-CN;hi;ja;de;fr;it;pl;");
  EXPECT_EQ(table_.Value(L"default", L"appname"), L"en");
  EXPECT_EQ(table_.Value(L"default", L"channel"), L"101");
  EXPECT_FALSE(table_.Contains(L"default", L"force_lang"));
  for (const std::wstring& code : lum::Split(table_.Value(L"default", L"languages"), L';', true)) {
    EXPECT_TRUE(table_.HasSection(code)) << lum::WideToUtf8(code);
  }
  for (const auto& [code, id] : kLanguageIds) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(table_.Value(W(code), L"name").empty());
    EXPECT_EQ(table_.IntValue(W(code), L"lang_code", -1), id);
  }
}

TEST_F(LanguageTableTest, EnglishHasAllTextKeysAndTheQuotedTexts) {
  lum::IniTable::KeyMap en;
  ASSERT_TRUE(table_.Section(L"en", en));
  EXPECT_EQ(en.size(), 84u);
  EXPECT_EQ(en[L"NEED_REBOOT"], L"You must restart your system to complete the installation.");
  EXPECT_EQ(en[L"disk_text"], L"{&#color=0x707070}Disk space available: %.01fGB / %.01fGB");
  EXPECT_EQ(en[L"ERROR_NOUDISK"], L"Must be installed on a hard drive. Please reselect!");
  EXPECT_EQ(en[L"lnkpath"], L"Lum Security Center\\Lum Bastion");
  EXPECT_EQ(en[L"intstalling_text"], L"{&#font=5}{&#color=0x707070}Installing...{&#/color}");
  for (const wchar_t* key : {L"check", L"user_license_desc", L"user_license_link",
                             L"user_privacy_link", L"check_cloudanalysis_desc", L"configcheck"}) {
    EXPECT_NE(en[key].find(L"{&#a=button:%d}"), std::wstring::npos) << lum::WideToUtf8(key);
  }
}

TEST_F(LanguageTableTest, TranslationsKeepPlaceholdersAndTranslateTheBasics) {
  lum::IniTable::KeyMap en;
  ASSERT_TRUE(table_.Section(L"en", en));
  // "custom" is left out: the French word is the English one.
  const wchar_t* kTranslated[] = {L"install",
                                  L"update",
                                  L"fix",
                                  L"inst_text",
                                  L"lang_text",
                                  L"IDCANCEL",
                                  L"NEED_REBOOT",
                                  L"ID_RESTART_LATER",
                                  L"ID_RESTART_NOW",
                                  L"UAC_MESSAGE",
                                  L"UAC_ELEVATION_FAILED_MESSAGE",
                                  L"ERROR_CNNOGDIPLUS",
                                  L"intstalling_text"};
  for (const auto& entry : kLanguageIds) {
    if (entry.first == "en") continue;
    SCOPED_TRACE(entry.first);
    lum::IniTable::KeyMap section;
    ASSERT_TRUE(table_.Section(W(entry.first), section));
    for (const auto& [key, value] : section) {
      if (en.count(key)) {
        EXPECT_EQ(Placeholders(value), Placeholders(en[key])) << lum::WideToUtf8(key);
      }
    }
    for (const wchar_t* key : kTranslated) {
      EXPECT_FALSE(section[key].empty()) << lum::WideToUtf8(key);
      EXPECT_NE(section[key], en[key]) << lum::WideToUtf8(key);
    }
    EXPECT_EQ(section[L"title"], L"Lum Bastion");
  }
}

TEST_F(LanguageTableTest, EverySectionHasTheEnglishKeysSaveItsKnownDifferences) {
  lum::IniTable::KeyMap en;
  ASSERT_TRUE(table_.Section(L"en", en));
  // Keys that only some sections carry, or lack.
  const std::map<std::string, std::set<std::wstring>> extra = {
      {"zh-CN", {L"check_quickscan_desc"}},
      {"pt", {L"check_quickscan_desc", L"ERROR_CNAFESDEXIST"}},
      {"es", {L"ERROR_CNAFESDEXIST"}}};
  const std::map<std::string, std::set<std::wstring>> lacking = {{"vi", {L"UAC_TITLE_ESSENTIAL"}},
                                                                 {"hi", {L"ERROR_PC_CLEANER"}}};
  for (const auto& entry : kLanguageIds) {
    SCOPED_TRACE(entry.first);
    lum::IniTable::KeyMap section;
    ASSERT_TRUE(table_.Section(W(entry.first), section));
    std::set<std::wstring> expected;
    for (const auto& kv : en) expected.insert(kv.first);
    if (lacking.count(entry.first)) {
      for (const std::wstring& key : lacking.at(entry.first)) expected.erase(key);
    }
    if (extra.count(entry.first)) {
      expected.insert(extra.at(entry.first).begin(), extra.at(entry.first).end());
    }
    std::set<std::wstring> actual;
    for (const auto& kv : section) {
      actual.insert(kv.first);
      EXPECT_FALSE(kv.second.empty()) << lum::WideToUtf8(kv.first);
    }
    EXPECT_EQ(actual, expected);
  }
}

// ---- action script source ----

TEST(ActionScriptTest, EveryCommandHasAKnownVerbAndFieldCount) {
  lum::IniTable script;
  ASSERT_TRUE(ParseUtf8Ini(ReadText(kSourceDir / "resources" / "actions.ini"), script));
  // The interpreter skips a malformed command without a word, so a typo here
  // would silently disable it; check the shape of every command instead.
  const std::map<std::wstring, std::set<size_t>> registryVerbs = {
      {L"deletekey", {3}}, {L"deleteemptykey", {3}}, {L"deleteval", {4}}, {L"writevalue", {6}}};
  const std::map<std::wstring, std::set<size_t>> fileVerbs = {
      {L"delfile", {3}}, {L"deldir", {3}}, {L"cpfile", {5}}, {L"cpdir", {5}}};
  const std::map<std::wstring, std::set<size_t>> firewallVerbs = {{L"add", {3}}, {L"remove", {2}}};
  const std::map<std::wstring, std::set<size_t>> processVerbs = {{L"terminate", {2}},
                                                                 {L"terminate_and_wait", {3}}};
  const std::map<std::wstring, const std::map<std::wstring, std::set<size_t>>*> sections = {
      {L"process", &processVerbs},
      {L"reg", &registryVerbs},
      {L"reg2", &registryVerbs},
      {L"CustomMode_EnableBD_Audit", &registryVerbs},
      {L"CustomMode_EnableBD_AutoDownload", &registryVerbs},
      {L"file", &fileVerbs},
      {L"firewall", &firewallVerbs}};
  for (const auto& [name, verbs] : sections) {
    lum::IniTable::KeyMap entries;
    ASSERT_TRUE(script.Section(name, entries)) << lum::WideToUtf8(name);
    EXPECT_FALSE(entries.empty());
    for (const auto& [key, value] : entries) {
      const std::vector<std::wstring> fields = lum::Split(value, L'|', false);
      const auto verb = verbs->find(lum::ToLowerAscii(fields[0]));
      ASSERT_NE(verb, verbs->end()) << lum::WideToUtf8(value);
      EXPECT_EQ(verb->second.count(fields.size()), 1u) << lum::WideToUtf8(value);
    }
  }
  EXPECT_EQ(script.Value(L"reinstallIgnored", L"file01"), L"safemon\\setting.ini");
  EXPECT_EQ(script.Value(L"firewall", L"ZVSafeTray"), L"add|safemon\\ZVSafeTray.exe|Lum Bastion");
  EXPECT_EQ(script.Value(L"firewall", L"InstantSetup"),
            L"add|softmgr\\LumInstantSetup.exe|Lum Bastion");
}

}  // namespace
