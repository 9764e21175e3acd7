// The product's mark for the skin: a shield with a check, and the product
// name in a stroked capital font of its own (only the letters it needs).
#pragma once
#include <string>
#include <vector>

#include "tools/skin/raster.h"

namespace lum::skin {

// Shield outline inside the box (x, y, w, h).
inline std::vector<Pt> ShieldOutline(double x, double y, double w, double h) {
  std::vector<Pt> pts;
  auto at = [&](double u, double v) { return Pt{x + u * w, y + v * h}; };
  pts.push_back(at(0.5, 0.0));
  pts.push_back(at(1.0, 0.15));
  pts.push_back(at(1.0, 0.48));
  // Quadratic curves down to the point and back up to the left side.
  auto quad = [&](Pt a, Pt c, Pt b) {
    for (int i = 1; i <= 12; ++i) {
      const double t = i / 12.0, s = 1 - t;
      pts.push_back({s * s * a.x + 2 * s * t * c.x + t * t * b.x,
                     s * s * a.y + 2 * s * t * c.y + t * t * b.y});
    }
  };
  quad(at(1.0, 0.48), at(0.97, 0.82), at(0.5, 1.0));
  quad(at(0.5, 1.0), at(0.03, 0.82), at(0.0, 0.48));
  pts.push_back(at(0.0, 0.15));
  return pts;
}

// A shield in `body` with a check mark in `mark`.
inline void DrawShield(Canvas& canvas, double x, double y, double w, double h, Rgba body,
                       Rgba mark) {
  FillPolygon(canvas, ShieldOutline(x, y, w, h), body);
  Stroke check;
  check.Polyline(
      {{x + 0.28 * w, y + 0.50 * h}, {x + 0.45 * w, y + 0.65 * h}, {x + 0.74 * w, y + 0.34 * h}});
  DrawStroke(canvas, check, 0.12 * w, mark);
}

// Adds one capital letter with its top-left at (x, y) and cap height h;
// returns the advance. Unknown letters advance like a blank.
inline double AddLetter(Stroke& s, char ch, double x, double y, double h) {
  auto p = [&](double u, double v) { return Pt{x + u * h, y + v * h}; };
  switch (ch) {
    case 'A':
      s.Polyline({p(0, 1), p(0.4, 0), p(0.8, 1)});
      s.Add(p(0.15, 0.64), p(0.65, 0.64));
      return 0.8;
    case 'B':
      s.Polyline({p(0.42, 0.5), p(0, 0.5), p(0, 0), p(0.42, 0)});
      s.Arc(p(0.42, 0.25), 0.25 * h, 0.25 * h, -90, 90);
      s.Polyline({p(0.45, 0.5), p(0, 0.5), p(0, 1), p(0.45, 1)});
      s.Arc(p(0.45, 0.75), 0.27 * h, 0.25 * h, -90, 90);
      return 0.72;
    case 'I':
      s.Add(p(0, 0), p(0, 1));
      return 0.0;
    case 'L':
      s.Polyline({p(0, 0), p(0, 1), p(0.62, 1)});
      return 0.62;
    case 'M':
      s.Polyline({p(0, 1), p(0, 0), p(0.45, 0.72), p(0.9, 0), p(0.9, 1)});
      return 0.9;
    case 'N':
      s.Polyline({p(0, 1), p(0, 0), p(0.74, 1), p(0.74, 0)});
      return 0.74;
    case 'O':
      s.Arc(p(0.42, 0.5), 0.42 * h, 0.5 * h, 0, 360, 40);
      return 0.84;
    case 'S':
      s.Arc(p(0.36, 0.25), 0.34 * h, 0.25 * h, -25, -270, 20);
      s.Arc(p(0.36, 0.75), 0.36 * h, 0.25 * h, -90, 155, 20);
      return 0.72;
    case 'T':
      s.Add(p(0, 0), p(0.8, 0));
      s.Add(p(0.4, 0), p(0.4, 1));
      return 0.8;
    case 'U':
      s.Add(p(0, 0), p(0, 0.62));
      s.Arc(p(0.37, 0.62), 0.37 * h, 0.38 * h, 180, 0, 20);
      s.Add(p(0.74, 0.62), p(0.74, 0));
      return 0.74;
    default:
      return 0.2;
  }
}

// The text as one stroke; `width` receives its advance in design units.
inline Stroke TextStroke(const std::string& text, double x, double y, double h, double* width) {
  Stroke s;
  const double gap = 0.3 * h;
  double cursor = x;
  for (size_t i = 0; i < text.size(); ++i) {
    cursor += AddLetter(s, text[i], cursor, y, h) * h;
    if (i + 1 < text.size()) cursor += gap;
  }
  if (width) *width = cursor - x;
  return s;
}

inline void DrawProductName(Canvas& canvas, double x, double y, double capHeight, Rgba colour) {
  const Stroke s = TextStroke("LUM BASTION", x, y, capHeight, nullptr);
  DrawStroke(canvas, s, capHeight * 0.15, colour);
}

}  // namespace lum::skin
