#include "ui/skin/run_line.h"

#include <algorithm>

namespace lum {

RunLine LayOutRunLine(const std::vector<RunExtent>& runs, bool rightToLeft, int windowWidth) {
  RunLine line;
  std::vector<TextDirection> directions;
  for (const RunExtent& run : runs) {
    line.width += run.width;
    line.height = std::max(line.height, run.height);
    directions.push_back(run.direction);
  }
  line.boxes.resize(runs.size());
  int x = rightToLeft && windowWidth > line.width ? windowWidth - line.width : 0;
  for (size_t i : VisualOrder(directions, rightToLeft)) {
    const RunExtent& run = runs[i];
    line.boxes[i] = {x, line.height - run.height, x + run.width, line.height};
    x += run.width;
  }
  return line;
}

}  // namespace lum
