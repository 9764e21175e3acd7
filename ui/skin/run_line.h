// Where the runs of one rich text line stand: measured widths and heights in
// reading order in, boxes in the window's coordinates out. Portable.
//  - The runs touch each other (no gap: each box is exactly its measured
//    width) and share a bottom line (the line is as high as its highest run).
//  - They stand in visual order (i18n/text_direction.h): in a line read
//    right to left the first run stands at the right end.
//  - A right-to-left line narrower than its window ends at the window's
//    right edge; a left-to-right one starts at its left edge.
#pragma once
#include <vector>

#include "i18n/text_direction.h"

namespace lum {

struct RunExtent {
  int width = 0;
  int height = 0;
  TextDirection direction = TextDirection::kNeutral;
};

struct RunBox {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct RunLine {
  std::vector<RunBox> boxes;  // in reading order, as the runs came in
  int width = 0;              // sum of the widths
  int height = 0;             // the highest run
};

// `windowWidth` below the line's width (or negative) places the line from 0.
RunLine LayOutRunLine(const std::vector<RunExtent>& runs, bool rightToLeft, int windowWidth);

}  // namespace lum
