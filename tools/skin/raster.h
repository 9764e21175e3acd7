// A small antialiasing rasteriser for the skin generator. Shapes are signed
// distance functions in design units (96-DPI pixels, negative inside); the
// canvas maps them to its own pixel grid, so the same drawing code makes the
// 96-DPI image and its high-DPI variant. Pixels are kept premultiplied.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace lum::skin {

struct Rgba {
  float r, g, b, a;
};

// 0xRRGGBB (not a COLORREF) with an alpha.
inline Rgba Hex(uint32_t rgb, float alpha = 1.0f) {
  return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f,
          alpha};
}

inline Rgba Mix(Rgba x, Rgba y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
          x.a + (y.a - x.a) * t};
}

inline Rgba WithAlpha(Rgba c, float alpha) { return {c.r, c.g, c.b, alpha}; }

struct Pt {
  double x, y;
};

struct Box {
  double x0, y0, x1, y1;
};

class Canvas {
 public:
  // `pixelW` x `pixelH` pixels showing `designW` x `designH` design units.
  Canvas(int pixelW, int pixelH, double designW, double designH)
      : w_(pixelW),
        h_(pixelH),
        sx_(pixelW / designW),
        sy_(pixelH / designH),
        px_(static_cast<size_t>(pixelW) * pixelH * 4, 0.0f) {}

  int Width() const { return w_; }
  int Height() const { return h_; }

  // Composites paint(x, y) over every pixel that the shape dist(x, y) covers,
  // with a one-pixel antialiasing ramp at the edge. `bounds` limits the work.
  template <class Dist, class Paint>
  void Fill(const Box& bounds, Dist dist, Paint paint) {
    const double unit = (sx_ + sy_) / 2.0;  // pixels per design unit
    const int x0 = std::max(0, static_cast<int>(std::floor(bounds.x0 * sx_)) - 1);
    const int y0 = std::max(0, static_cast<int>(std::floor(bounds.y0 * sy_)) - 1);
    const int x1 = std::min(w_, static_cast<int>(std::ceil(bounds.x1 * sx_)) + 1);
    const int y1 = std::min(h_, static_cast<int>(std::ceil(bounds.y1 * sy_)) + 1);
    for (int py = y0; py < y1; ++py) {
      const double y = (py + 0.5) / sy_;
      for (int px = x0; px < x1; ++px) {
        const double x = (px + 0.5) / sx_;
        const double d = dist(x, y) * unit;
        const float cover = static_cast<float>(std::clamp(0.5 - d, 0.0, 1.0));
        if (cover > 0.0f) Over(px, py, paint(x, y), cover);
      }
    }
  }

  template <class Dist>
  void Fill(const Box& bounds, Dist dist, Rgba colour) {
    Fill(bounds, dist, [colour](double, double) { return colour; });
  }

  // Copies another canvas's pixels to (dx, dy), replacing what is there.
  void Put(const Canvas& src, int dx, int dy) {
    for (int y = 0; y < src.h_ && y + dy < h_; ++y) {
      for (int x = 0; x < src.w_ && x + dx < w_; ++x) {
        const float* s = &src.px_[(static_cast<size_t>(y) * src.w_ + x) * 4];
        std::copy(s, s + 4, &px_[(static_cast<size_t>(y + dy) * w_ + x + dx) * 4]);
      }
    }
  }

  // Straight (non-premultiplied) 8-bit RGBA; fully transparent pixels are all zero.
  std::vector<uint8_t> ToRgba8() const {
    std::vector<uint8_t> out(px_.size());
    for (size_t i = 0; i < px_.size(); i += 4) {
      const float a = std::clamp(px_[i + 3], 0.0f, 1.0f);
      const long a8 = std::lround(a * 255.0f);
      if (a8 == 0) continue;
      for (int c = 0; c < 3; ++c) {
        out[i + c] =
            static_cast<uint8_t>(std::clamp(std::lround(px_[i + c] / a * 255.0f), 0L, 255L));
      }
      out[i + 3] = static_cast<uint8_t>(a8);
    }
    return out;
  }

 private:
  void Over(int x, int y, Rgba c, float cover) {
    float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    const float a = c.a * cover;
    p[0] = c.r * a + p[0] * (1.0f - a);
    p[1] = c.g * a + p[1] * (1.0f - a);
    p[2] = c.b * a + p[2] * (1.0f - a);
    p[3] = a + p[3] * (1.0f - a);
  }

  int w_, h_;
  double sx_, sy_;
  std::vector<float> px_;
};

// ---- signed distance functions (design units) ----

inline double RoundRectDist(double x, double y, const Box& b, double r) {
  const double cx = (b.x0 + b.x1) / 2, cy = (b.y0 + b.y1) / 2;
  const double qx = std::fabs(x - cx) - ((b.x1 - b.x0) / 2 - r);
  const double qy = std::fabs(y - cy) - ((b.y1 - b.y0) / 2 - r);
  const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

inline double SegmentDist(double x, double y, Pt a, Pt b) {
  const double vx = b.x - a.x, vy = b.y - a.y;
  const double len2 = vx * vx + vy * vy;
  double t = len2 > 0 ? ((x - a.x) * vx + (y - a.y) * vy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double dx = x - (a.x + t * vx), dy = y - (a.y + t * vy);
  return std::sqrt(dx * dx + dy * dy);
}

// Distance to a closed polygon, negative inside (even-odd rule).
inline double PolygonDist(double x, double y, const std::vector<Pt>& poly) {
  double best = 1e30;
  bool inside = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    best = std::min(best, SegmentDist(x, y, poly[j], poly[i]));
    const Pt& a = poly[i];
    const Pt& b = poly[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside ? -best : best;
}

struct Stroke {
  std::vector<std::pair<Pt, Pt>> segments;
  Box bounds{1e30, 1e30, -1e30, -1e30};

  void Add(Pt a, Pt b) {
    segments.push_back({a, b});
    bounds = {std::min({bounds.x0, a.x, b.x}), std::min({bounds.y0, a.y, b.y}),
              std::max({bounds.x1, a.x, b.x}), std::max({bounds.y1, a.y, b.y})};
  }
  void Polyline(const std::vector<Pt>& pts) {
    for (size_t i = 1; i < pts.size(); ++i) Add(pts[i - 1], pts[i]);
  }
  // Elliptic arc from angle a0 to a1 (degrees, y down: -90 is the top).
  void Arc(Pt c, double rx, double ry, double a0, double a1, int steps = 16) {
    std::vector<Pt> pts;
    for (int i = 0; i <= steps; ++i) {
      const double t = (a0 + (a1 - a0) * i / steps) * M_PI / 180.0;
      pts.push_back({c.x + rx * std::cos(t), c.y + ry * std::sin(t)});
    }
    Polyline(pts);
  }
  double Dist(double x, double y) const {
    double best = 1e30;
    for (const auto& s : segments) best = std::min(best, SegmentDist(x, y, s.first, s.second));
    return best;
  }
};

// Draws a stroke of the given width with round caps.
inline void DrawStroke(Canvas& canvas, const Stroke& stroke, double width, Rgba colour) {
  const double h = width / 2;
  const Box b{stroke.bounds.x0 - h, stroke.bounds.y0 - h, stroke.bounds.x1 + h,
              stroke.bounds.y1 + h};
  canvas.Fill(
      b, [&](double x, double y) { return stroke.Dist(x, y) - h; }, colour);
}

inline void FillRoundRect(Canvas& canvas, const Box& b, double r, Rgba colour) {
  canvas.Fill(
      b, [&](double x, double y) { return RoundRectDist(x, y, b, r); }, colour);
}

// A rounded box with a border of `bw` inside its outline.
inline void DrawBox(Canvas& canvas, const Box& b, double r, Rgba fill, Rgba border, double bw) {
  const Box inner{b.x0 + bw, b.y0 + bw, b.x1 - bw, b.y1 - bw};
  const double ir = std::max(0.0, r - bw);
  if (fill.a >= 1.0f) {
    FillRoundRect(canvas, b, r, border);
  } else {
    canvas.Fill(
        b,
        [&](double x, double y) {
          return std::max(RoundRectDist(x, y, b, r), -RoundRectDist(x, y, inner, ir));
        },
        border);
  }
  FillRoundRect(canvas, inner, ir, fill);
}

inline void FillCircle(Canvas& canvas, Pt c, double r, Rgba colour) {
  canvas.Fill(
      {c.x - r, c.y - r, c.x + r, c.y + r},
      [&](double x, double y) { return std::hypot(x - c.x, y - c.y) - r; }, colour);
}

inline void FillPolygon(Canvas& canvas, const std::vector<Pt>& poly, Rgba colour) {
  Box b{1e30, 1e30, -1e30, -1e30};
  for (const Pt& p : poly)
    b = {std::min(b.x0, p.x), std::min(b.y0, p.y), std::max(b.x1, p.x), std::max(b.y1, p.y)};
  canvas.Fill(
      b, [&](double x, double y) { return PolygonDist(x, y, poly); }, colour);
}

}  // namespace lum::skin
