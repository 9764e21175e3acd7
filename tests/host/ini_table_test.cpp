#include "payload/ini_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/text.h"

namespace lum {
namespace {

std::vector<uint8_t> Utf16(const std::wstring& text, bool bom = false) {
  return WideToUtf16Le(text, bom);
}

bool Parse(IniTable& table, const std::wstring& text, bool bom = false) {
  const std::vector<uint8_t> bytes = Utf16(text, bom);
  return table.Parse(bytes.data(), bytes.size());
}

TEST(IniTableTest, SameResultWithAndWithoutByteOrderMark) {
  for (bool bom : {false, true}) {
    IniTable table;
    ASSERT_TRUE(Parse(table, L"[en]\r\nname=English\r\n", bom)) << bom;
    EXPECT_EQ(std::vector<std::wstring>{L"en"}, table.SectionNames());
    EXPECT_EQ(L"English", table.Value(L"en", L"name"));
  }
}

TEST(IniTableTest, SectionsKeepOrderAndNamesAreCaseSensitive) {
  IniTable table;
  ASSERT_TRUE(Parse(table,
                    L"[default]\nlanguages=en;ru;\n[ru]\nname=Russian\n[en]\nname=English\n"
                    L"[EN]\nname=shout\n"));
  EXPECT_EQ((std::vector<std::wstring>{L"default", L"ru", L"en", L"EN"}), table.SectionNames());
  EXPECT_EQ(L"English", table.Value(L"en", L"name"));
  EXPECT_EQ(L"shout", table.Value(L"EN", L"name"));
  EXPECT_EQ(L"", table.Value(L"en", L"Name"));
  EXPECT_EQ(L"dflt", table.Value(L"fr", L"name", L"dflt"));
  EXPECT_FALSE(table.HasSection(L"fr"));
}

TEST(IniTableTest, LaterDuplicatesWinAndRepeatedHeadersMerge) {
  IniTable table;
  ASSERT_TRUE(Parse(table, L"[a]\nk=1\nx=keep\n[b]\nk=b\n[a]\nk=2\n"));
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), table.SectionNames());
  IniTable::KeyMap a;
  ASSERT_TRUE(table.Section(L"a", a));
  EXPECT_EQ((IniTable::KeyMap{{L"k", L"2"}, {L"x", L"keep"}}), a);
}

TEST(IniTableTest, KeysBeforeFirstSectionBelongToEmptyName) {
  IniTable table;
  // No header at all: the keys are kept, but no section was read.
  EXPECT_FALSE(Parse(table, L"k=v\n"));
  EXPECT_EQ(L"v", table.Value(L"", L"k"));
  EXPECT_TRUE(table.SectionNames().empty());

  ASSERT_TRUE(Parse(table, L"top=1\n[s]\nk=2\n"));
  EXPECT_EQ((std::vector<std::wstring>{L"s"}), table.SectionNames());
  EXPECT_EQ(1, table.IntValue(L"", L"top", -1));
  EXPECT_TRUE(table.HasSection(L""));
  EXPECT_FALSE(table.Contains(L"s", L"top"));

  // An explicit "[]" header names the empty section and lists it.
  ASSERT_TRUE(Parse(table, L"[]\nk=v\n"));
  EXPECT_EQ(std::vector<std::wstring>{L""}, table.SectionNames());
}

TEST(IniTableTest, LineEndsAndBlanks) {
  IniTable table;
  ASSERT_TRUE(Parse(table,
                    L"[s] trailing text\r\n  key = value \t\r\n"
                    L"noequals\r\nwin=crlf\r\n\r\n[t\r\nlast=  end  "));
  EXPECT_EQ((std::vector<std::wstring>{L"s"}), table.SectionNames());
  // Blanks around '=' and before the key stay; trailing blanks of a line go.
  EXPECT_EQ(L" value", table.Value(L"s", L"  key "));
  EXPECT_EQ(L"crlf", table.Value(L"s", L"win"));
  // "[t" has no ']' and no '=': ignored. The last piece is not trimmed.
  EXPECT_EQ(L"  end  ", table.Value(L"s", L"last"));
  EXPECT_EQ(L"a=b", (Parse(table, L"[s]\nk=a=b"), table.Value(L"s", L"k")));
}

TEST(IniTableTest, TextEndsAtNulAndOddByteStillCounts) {
  IniTable table;
  std::vector<uint8_t> bytes = Utf16(std::wstring(L"[a]\nk=v\n") + L'\0' + L"[b]\n");
  ASSERT_TRUE(table.Parse(bytes.data(), bytes.size()));
  EXPECT_FALSE(table.HasSection(L"b"));

  bytes = Utf16(L"[a]\nk=v");
  bytes.push_back('w');
  ASSERT_TRUE(table.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(L"vw", table.Value(L"a", L"k"));
}

TEST(IniTableTest, SizeLimitBoundary) {
  std::vector<uint8_t> bytes = Utf16(L"[a]\nk=v\n");
  bytes.resize(IniTable::kMaxBytes - 1, ' ');  // 999,999 bytes: size + 1 is the limit
  IniTable table;
  EXPECT_TRUE(table.Parse(bytes.data(), bytes.size()));
  bytes.push_back(' ');
  EXPECT_FALSE(table.Parse(bytes.data(), bytes.size()));
  EXPECT_TRUE(table.SectionNames().empty());
  EXPECT_FALSE(table.Parse(nullptr, 0));
}

TEST(IniTableTest, CharactersOutsideTheBasicPlaneSurvive) {
  IniTable table;
  const std::wstring value = Utf8ToWide("\xF0\x9F\x98\x80 \xE4\xB8\xAD");
  ASSERT_TRUE(Parse(table, L"[x]\nk=" + value + L"\n"));
  EXPECT_EQ("\xF0\x9F\x98\x80 \xE4\xB8\xAD", WideToUtf8(table.Value(L"x", L"k")));
}

TEST(IniTableTest, IntValueReadsLikeWtoi) {
  IniTable table;
  ASSERT_TRUE(
      Parse(table, L"[n]\na=42\nb= -17x\nc=+8\nd=abc\ne=\nf=99999999999\ng=-99999999999\n"));
  EXPECT_EQ(42, table.IntValue(L"n", L"a", -1));
  EXPECT_EQ(-17, table.IntValue(L"n", L"b", -1));
  EXPECT_EQ(8, table.IntValue(L"n", L"c", -1));
  EXPECT_EQ(0, table.IntValue(L"n", L"d", -1));
  EXPECT_EQ(0, table.IntValue(L"n", L"e", -1));
  EXPECT_EQ(INT_MAX, table.IntValue(L"n", L"f", -1));
  EXPECT_EQ(INT_MIN, table.IntValue(L"n", L"g", -1));
  EXPECT_EQ(-1, table.IntValue(L"n", L"missing", -1));
  EXPECT_EQ(-1, table.IntValue(L"missing", L"a", -1));
}

#ifdef LUM_TOOLS_DIR
class IniConvertToolTest : public testing::Test {
 protected:
  std::string Path(const char* name) { return testing::TempDir() + name; }
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  int Run(const std::string& args) {
    const std::string cmd =
        std::string(LUM_TOOLS_DIR) + "/ini_convert " + args + " >/dev/null 2>/dev/null";
    return std::system(cmd.c_str());
  }
  std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(IniConvertToolTest, ConvertsToUtf16WithCrlf) {
  const std::string in = Path("conv_in.ini");
  const std::string out = Path("conv_out.ini");
  WriteFile(in, "[default]\nappname=en\r\n[ru]\nname=\xD0\xA0\n");
  ASSERT_EQ(0, Run("--bom --require default,ru " + in + " " + out));
  EXPECT_EQ(WideToUtf16Le(L"[default]\r\nappname=en\r\n[ru]\r\nname=\x0420\r\n", true),
            ReadAll(out));
}

TEST_F(IniConvertToolTest, RefusesUnusableInputAndWritesNothing) {
  const std::string in = Path("conv_bad.ini");
  const std::string out = Path("conv_bad_out.ini");
  const char* cases[] = {"[a]\nk=\xC3\x28\n", "[a]\nk=\xC0\xAF\n", "[a]\rk=v\n", "k=v\n"};
  for (const char* text : cases) {
    WriteFile(in, text);
    std::remove(out.c_str());
    EXPECT_NE(0, Run(in + " " + out)) << text;
    EXPECT_TRUE(ReadAll(out).empty()) << text;
  }
  WriteFile(in, std::string("[a]\nk=v\0w\n", 11));
  EXPECT_NE(0, Run(in + " " + out));
  WriteFile(in, "[a]\nk=v\n");
  EXPECT_NE(0, Run("--require a,b " + in + " " + out));
  WriteFile(in, "[a]\n" + std::string(500000, 'x'));  // 1,000,008 bytes as UTF-16
  EXPECT_NE(0, Run(in + " " + out));
}
#endif

}  // namespace
}  // namespace lum
