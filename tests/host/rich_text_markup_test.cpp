#include "i18n/rich_text_markup.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "base/text.h"
#include "fake_session_environment.h"

namespace lum {
namespace {

MarkupRun MkRun(const std::wstring& text, int font = -1, int32_t color = -1,
              const std::wstring& link = L"", bool underline = false) {
  MarkupRun r;
  r.text = text;
  r.font = font;
  r.color = color;
  r.link = link;
  r.underline = underline;
  return r;
}

using Runs = std::vector<MarkupRun>;

TEST(RichTextMarkup, TagsSetFontColourLinkAndUnderline) {
  EXPECT_EQ((Runs{MkRun(L"Installing...", 4, 0x707070)}),
            ParseMarkup(L"{&#font=5}{&#color=0x707070}Installing...{&#/color}"));
  EXPECT_EQ((Runs{MkRun(L"I accept and agree to "), MkRun(L"License Agreement", -1, 0xff8541, L"button:5")}),
            ParseMarkup(L"I accept and agree to {&#a=button:5}{&#acolor=0xff8541}License "
                        L"Agreement{&#/acolor}{&#/a}"));
  // Link colour applies to link runs only; the text colour to the others.
  EXPECT_EQ((Runs{MkRun(L"a", -1, 0x10), MkRun(L"b", -1, 0x20, L"x", true), MkRun(L"c", -1, 0x10)}),
            ParseMarkup(L"{&#color=16}{&#acolor=32}a{&#a=x}{&#underline}b{&#/underline}{&#/a}c"));
  // Crossed closings work: the link ends, then its colour.
  EXPECT_EQ((Runs{MkRun(L"go", -1, 0xff, L"u"), MkRun(L"!")}),
            ParseMarkup(L"{&#a=u}{&#acolor=#0000ff}go{&#/a}{&#/acolor}!"));
}

TEST(RichTextMarkup, EdgeCases) {
  EXPECT_EQ((Runs{MkRun(L"x")}), ParseMarkup(L"{&#bold}x"));       // unknown tag dropped
  EXPECT_EQ((Runs{MkRun(L"a{b")}), ParseMarkup(L"a{b"));
  EXPECT_EQ((Runs{MkRun(L"{&#color=255")}), ParseMarkup(L"{&#color=255"));  // no closing brace
  EXPECT_EQ((Runs{MkRun(L"x")}), ParseMarkup(L"{&#/color}x"));     // base entry stays
  EXPECT_EQ(ParseMarkup(L"{&#color=#0000ff}x"), ParseMarkup(L"{&#color=0xff}x"));
  EXPECT_EQ((Runs{MkRun(L"x", -1, 0xFF)}), ParseMarkup(L"{&#color=0xff}x"));
  EXPECT_EQ((Runs{MkRun(L"x")}), ParseMarkup(L"{&#font=11}x"));
  EXPECT_EQ((Runs{MkRun(L"x")}), ParseMarkup(L"{&#font=0}x"));
  EXPECT_EQ((Runs{MkRun(L"x", 9), MkRun(L"y")}), ParseMarkup(L"{&#FONT=10}x{&#/font}{&#/font}y"));
  EXPECT_EQ((Runs{MkRun(L"x", -1, 0)}), ParseMarkup(L"{&#color=zz}x"));  // nothing readable: 0
  EXPECT_EQ((Runs{MkRun(L"Go", -1, -1, L"button:0x1F")}), ParseMarkup(L"{&#A=button:0x1F}Go{&#/A}"));
  EXPECT_TRUE(ParseMarkup(L"").empty());
  EXPECT_TRUE(ParseMarkup(L"{&#font=2}{&#/font}").empty());
}

TEST(RichTextMarkup, LinkCommands) {
  uint32_t command = 0;
  EXPECT_TRUE(LinkCommand(L"button:0x1F", &command));
  EXPECT_EQ(31u, command);
  EXPECT_TRUE(LinkCommand(L"BUTTON:0x10", &command));
  EXPECT_EQ(16u, command);
  EXPECT_TRUE(LinkCommand(L"Button:12", &command));
  EXPECT_EQ(12u, command);
  EXPECT_FALSE(LinkCommand(L"https://example.invalid/button:1", &command));
}

// Every text of the shipped table, formatted as its callers do, parses into
// runs that hold only text: no tag is left over in any language.
TEST(RichTextMarkup, EveryShippedTextParsesCleanly) {
  std::ifstream in(std::string(LUM_SOURCE_DIR) + "/resources/language.ini", std::ios::binary);
  const IniTable table =
      testing_support::ParseTable(Utf8ToWide(std::string(std::istreambuf_iterator<char>(in), {})));
  int marked = 0, links = 0;
  for (const std::wstring& section : table.SectionNames()) {
    IniTable::KeyMap keys;
    ASSERT_TRUE(table.Section(section, keys));
    for (const auto& entry : keys) {
      std::wstring text = entry.second;
      for (size_t at = text.find(L"%d"); at != std::wstring::npos; at = text.find(L"%d", at))
        text.replace(at, 2, L"5001");
      if (text.find(L"{&#") == std::wstring::npos) continue;
      ++marked;
      const Runs runs = ParseMarkup(text);
      ASSERT_FALSE(runs.empty()) << WideToUtf8(section + L"/" + entry.first);
      for (const MarkupRun& run : runs) {
        EXPECT_EQ(std::wstring::npos, run.text.find(L"{&#"))
            << WideToUtf8(section + L"/" + entry.first + L": " + run.text);
        EXPECT_EQ(std::wstring::npos, run.text.find(L'}'))
            << WideToUtf8(section + L"/" + entry.first + L": " + run.text);
        if (!run.link.empty()) {
          ++links;
          uint32_t command = 0;
          EXPECT_TRUE(LinkCommand(run.link, &command)) << WideToUtf8(run.link);
          EXPECT_EQ(5001u, command);
        }
      }
    }
  }
  EXPECT_GT(marked, 50);
  EXPECT_GT(links, 30);
}

}  // namespace
}  // namespace lum
