// Lines read right to left: where the runs of a rich text line stand, and
// the free-space text whose figures must stay with their units.
#include <gtest/gtest.h>

#include "i18n/rich_text_markup.h"
#include "i18n/text_direction.h"
#include "ui/disk_space_text.h"
#include "ui/skin/run_line.h"

namespace lum {
namespace {

// The runs of `markup`, each 7 px per character and 12 px high except the
// runs whose height is given, with the directions their letters give.
std::vector<RunExtent> Extents(const std::wstring& markup, std::vector<int> heights = {}) {
  std::vector<RunExtent> extents;
  for (const MarkupRun& run : ParseMarkup(markup)) {
    RunExtent e;
    e.width = static_cast<int>(run.text.size()) * 7;
    e.height = extents.size() < heights.size() ? heights[extents.size()] : 12;
    e.direction = StrongDirection(run.text);
    extents.push_back(e);
  }
  return extents;
}

TEST(RightToLeftLine, RunsStandInVisualOrderFromTheRightWithoutGaps) {
  ASSERT_TRUE(IsRightToLeftLanguage(L"ar"));
  EXPECT_TRUE(IsRightToLeftLanguage(L"HE-il"));
  for (const wchar_t* code : {L"en", L"ru", L"ja", L"zh-CN", L"hi", L"", L"arn"})
    EXPECT_FALSE(IsRightToLeftLanguage(code)) << code;

  // The agreement line of the welcome page: a grey sentence, then the link.
  const std::wstring agreement =
      L"{&#color=0x707070}\x0628\x0627\x0644\x0646\x0642\x0631 \x0639\x0644\x0649 "
      L"\x062A\x062B\x0628\x064A\x062A\x060C \x0641\x0625\x0646\x0643 \x062A\x0648\x0627\x0641"
      L"\x0642 \x0639\x0644\x0649 {&#a=button:5}{&#acolor=0xff8541}\x0627\x062A\x0641\x0627"
      L"\x0642\x064A\x0629 \x0627\x0644\x062A\x0631\x062E\x064A\x0635{&#/acolor}{&#/a}{&#/color}";
  const std::vector<RunExtent> runs = Extents(agreement, {12, 14});
  ASSERT_EQ(runs.size(), 2u);
  const int sentence = runs[0].width, link = runs[1].width;
  // Auto-sized: the window is the line; the sentence is read first, so it
  // stands at the right end and the link to its left, touching it.
  RunLine line = LayOutRunLine(runs, true, -1);
  EXPECT_EQ(line.width, sentence + link);
  EXPECT_EQ(line.height, 14);
  EXPECT_EQ(line.boxes[1].left, 0);
  EXPECT_EQ(line.boxes[1].right, link);
  EXPECT_EQ(line.boxes[0].left, link);
  EXPECT_EQ(line.boxes[0].right, line.width);
  EXPECT_EQ(line.boxes[0].top, 2);  // the runs share their bottom line
  EXPECT_EQ(line.boxes[0].bottom, 14);
  // In a wider window the line ends at the right edge.
  line = LayOutRunLine(runs, true, line.width + 50);
  EXPECT_EQ(line.boxes[0].right, line.width + 50);
  EXPECT_EQ(line.boxes[1].right, line.boxes[0].left);
  EXPECT_EQ(line.boxes[1].left, 50);

  // The same line in English stays as it was: from the left, in reading order.
  const std::vector<RunExtent> english =
      Extents(L"By clicking Install, you agree to the {&#a=button:5}License Agreement{&#/a}");
  line = LayOutRunLine(english, false, 500);
  EXPECT_EQ(line.boxes[0].left, 0);
  EXPECT_EQ(line.boxes[1].left, english[0].width);

  // A Latin name of two runs inside an Arabic sentence still reads left to
  // right, and the blank between two Latin runs goes with them; the Arabic
  // pieces around it are placed from the right.
  std::vector<RunExtent> mixed = Extents(
      L"\x0645\x0631\x062D\x0628\x0627 {&#font=2}Lum{&#/font} {&#font=2}Bastion{&#/font} "
      L"\x0634\x0643\x0631\x0627");
  ASSERT_EQ(mixed.size(), 5u);
  EXPECT_EQ(mixed[2].direction, TextDirection::kNeutral);
  EXPECT_EQ(VisualOrder({mixed[0].direction, mixed[1].direction, mixed[2].direction,
                         mixed[3].direction, mixed[4].direction},
                        true),
            (std::vector<size_t>{4, 1, 2, 3, 0}));
  line = LayOutRunLine(mixed, true, -1);
  EXPECT_EQ(line.boxes[4].left, 0);
  EXPECT_EQ(line.boxes[1].left, line.boxes[4].right);
  EXPECT_EQ(line.boxes[3].right, line.boxes[0].left);
  EXPECT_EQ(line.boxes[0].right, line.width);
  // An Arabic word inside an English line is the mirror case.
  EXPECT_EQ(VisualOrder(
                {TextDirection::kLeftToRight, TextDirection::kRightToLeft, TextDirection::kNeutral,
                 TextDirection::kRightToLeft, TextDirection::kLeftToRight},
                false),
            (std::vector<size_t>{0, 3, 2, 1, 4}));
}

TEST(RightToLeftLine, DiskSpaceFiguresKeepTheirUnits) {
  const std::wstring label = L"\x0645\x0633\x0627\x062D\x0629 \x0627\x0644\x0642\x0631\x0635: ";
  const DiskSpaceText gb = ChooseDiskSpaceText(68610709504ULL, 270582939648ULL);
  EXPECT_STREQ(gb.key, L"disk_text");
  const std::wstring arabic =
      DiskSpaceLine(L"{&#color=0x707070}" + label + L"%.01fGB / %.01fGB", gb, true);
  // The figures with their units are one run, in the label's colour, read
  // left to right; the label is read first, so it stands at the right end.
  const std::vector<MarkupRun> runs = ParseMarkup(arabic);
  ASSERT_EQ(runs.size(), 2u) << arabic;
  EXPECT_EQ(runs[0].text, label);
  EXPECT_EQ(runs[1].text, L"63.9GB / 252.0GB");
  EXPECT_EQ(runs[1].color, 0x707070);
  EXPECT_EQ(StrongDirection(runs[1].text), TextDirection::kLeftToRight);
  const RunLine line = LayOutRunLine(Extents(arabic), true, -1);
  EXPECT_EQ(line.boxes[1].left, 0);
  EXPECT_EQ(line.boxes[0].right, line.width);
  // A unit after a blank goes with its figure too; the escaped percent sign
  // between the figures stays in their run.
  const DiskSpaceText mb = ChooseDiskSpaceText(900ULL << 20, 500ULL << 30);
  EXPECT_STREQ(mb.key, L"disk_text2");
  const std::vector<MarkupRun> spaced =
      ParseMarkup(DiskSpaceLine(label + L"%.01f MB (100%%) %.01f GB!", mb, true));
  ASSERT_EQ(spaced.size(), 3u);
  EXPECT_EQ(spaced[1].text, L"900.0 MB (100%) 500.0 GB");
  EXPECT_EQ(spaced[2].text, L"!");
  // Languages read left to right get the string exactly as before.
  EXPECT_EQ(DiskSpaceLine(L"{&#color=0x707070}Disk space available: %.01fGB / %.01fGB", gb, false),
            L"{&#color=0x707070}Disk space available: 63.9GB / 252.0GB");
}

}  // namespace
}  // namespace lum
