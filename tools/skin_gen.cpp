// skin_gen <output-folder> <rc-fragment-file>
//
// Draws the installer's skin images as PNG files: every image of the skin
// table at 96 DPI, its 240-DPI variant (identifier + 10000, 2.5 times the
// size), and the per-language pictures (banner and message-box logo, whose
// 240-DPI variant is identifier + 50), and the icons: 128 for the windows,
// 509 and 510 for the two phases of the blinking tray icon. Writes one
// resource line per image, `<id> PNG "<absolute path>"`, and per icon image
// and icon group (types 3 and 14), to the rc fragment. Output is the same
// bytes on every run.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tools/skin/logo.h"
#include "tools/skin/png_writer.h"
#include "tools/skin/raster.h"

namespace lum::skin {
namespace {

// Frame states of four-frame strips, left to right.
enum State { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

const Rgba kWhite = Hex(0xFFFFFF);
const Rgba kBrand[4] = {Hex(0x2866E7), Hex(0x3D7BF5), Hex(0x1F55C4), Hex(0xA9BFEF)};
const Rgba kSky[4] = {Hex(0x00A0E9), Hex(0x1AB0F5), Hex(0x0088C8), Hex(0x9ED6F0)};
const Rgba kLink[4] = {Hex(0x6699FF), Hex(0x2866E7), Hex(0x1F55C4), Hex(0xB4B4B4)};
const Rgba kFrameBorder = Hex(0xA9AFB8);

// Draws one frame of an image in design units: (canvas, frame index, frame width, frame height).
using Painter = std::function<void(Canvas&, int, double, double)>;

struct Image {
  int id;
  int width;  // whole strip at 96 DPI
  int height;
  int frames;
  int hiDpiId;
  Painter paint;
};

// A button face with a slight vertical sheen; frame = state.
void PaintFilledButton(Canvas& c, const Rgba* palette, int state, double w, double h, double r) {
  const Box b{0, 0, w, h};
  const Rgba base = palette[state];
  const Rgba top = Mix(base, kWhite, state == kDisabled ? 0.0f : 0.08f);
  c.Fill(
      b, [&](double x, double y) { return RoundRectDist(x, y, b, r); },
      [&](double, double y) { return Mix(top, base, static_cast<float>(y / h)); });
}

void PaintSecondaryButton(Canvas& c, int state, double w, double h) {
  static const Rgba kFill[4] = {Hex(0xFFFFFF), Hex(0xEAF6FD), Hex(0xD3EBF9), Hex(0xF2F2F2)};
  const Rgba border = state == kDisabled ? Hex(0xC8C8C8) : kSky[state];
  DrawBox(c, {0, 0, w, h}, 4, kFill[state], border, 1);
}

void PaintClose(Canvas& c, int state, double w, double h) {
  if (state == kHover)
    c.Fill(
        {0, 0, w, h}, [](double, double) { return -1.0; }, WithAlpha(kWhite, 0.18f));
  if (state == kPressed)
    c.Fill(
        {0, 0, w, h}, [](double, double) { return -1.0; }, Hex(0x000000, 0.15f));
  Stroke x;
  const double m = w / 2, k = 5.5;
  x.Add({m - k, h / 2 - k}, {m + k, h / 2 + k});
  x.Add({m + k, h / 2 - k}, {m - k, h / 2 + k});
  DrawStroke(c, x, 1.6, WithAlpha(kWhite, state == kDisabled ? 0.45f : 1.0f));
}

// Twelve frames: unchecked, checked, indeterminate; each normal/hover/pressed/disabled.
void PaintCheckBox(Canvas& c, int frame, double w, double h, Rgba on) {
  const int state = frame % 4, kind = frame / 4;
  const Box box{3, 3, w - 3, h - 3};
  if (kind == 0) {
    static const Rgba kFill[4] = {Hex(0xFFFFFF), Hex(0xFFFFFF), Hex(0xE6EDFC), Hex(0xF0F0F0)};
    const Rgba border[4] = {Hex(0x9AA0A8), kBrand[0], kBrand[0], Hex(0xD0D0D0)};
    DrawBox(c, box, 2.5, kFill[state], border[state], 1);
    return;
  }
  Rgba fill = on;
  if (state == kHover) fill = Mix(on, kWhite, 0.15f);
  if (state == kPressed) fill = Mix(on, Hex(0x000000), 0.18f);
  if (state == kDisabled) fill = Hex(0xC4C8CE);
  FillRoundRect(c, box, 2.5, fill);
  Stroke mark;
  if (kind == 1) {
    mark.Polyline({{w * 0.32, h * 0.51}, {w * 0.45, h * 0.63}, {w * 0.69, h * 0.37}});
  } else {
    mark.Add({w * 0.33, h / 2}, {w * 0.67, h / 2});
  }
  DrawStroke(c, mark, 1.8, kWhite);
}

void PaintChevron(Canvas& c, int state, double w, double h, bool up) {
  Stroke s;
  const double cx = w / 2, cy = h / 2, k = 3.5;
  if (up) {
    s.Polyline({{cx - k, cy + k / 2}, {cx, cy - k / 2 - 0.5}, {cx + k, cy + k / 2}});
  } else {
    s.Polyline({{cx - k, cy - k / 2}, {cx, cy + k / 2 + 0.5}, {cx + k, cy - k / 2}});
  }
  DrawStroke(c, s, 1.6, kLink[state]);
}

void PaintFolderIcon(Canvas& c, double x, double y, double w, double h, Rgba colour) {
  FillRoundRect(c, {x, y, x + w * 0.45, y + h * 0.35}, 1.0, Mix(colour, Hex(0x000000), 0.12f));
  FillRoundRect(c, {x, y + h * 0.2, x + w, y + h}, 1.5, colour);
}

// Path field: left 5, right slice from 370 holds the folder button.
void PaintPathField(Canvas& c, int state, double w, double h) {
  static const Rgba kBorder[4] = {Hex(0xC8C8C8), Hex(0x6699FF), Hex(0x2866E7), Hex(0xDDDDDD)};
  DrawBox(c, {0, 0, w, h}, 2, state == kDisabled ? Hex(0xF4F4F4) : kWhite, kBorder[state], 1);
  c.Fill(
      {370, 4, 371, h - 4},
      [&](double x, double y) {
        return RoundRectDist(x, y, {370, 4, 371, h - 4}, 0);
      },
      Hex(0xE3E4E5));
  PaintFolderIcon(c, 377, 5, 17, 12, state == kDisabled ? Hex(0xC8C8C8) : Hex(0xF0B429));
}

// Language button on the banner: translucent pill, arrow in the right 25 pixels.
void PaintDropDown(Canvas& c, int state, double w, double h) {
  static const float kFillAlpha[4] = {0.12f, 0.22f, 0.32f, 0.06f};
  static const float kLineAlpha[4] = {0.55f, 0.80f, 0.90f, 0.30f};
  DrawBox(c, {0, 0, w, h}, h / 2, WithAlpha(kWhite, kFillAlpha[state]),
          WithAlpha(kWhite, kLineAlpha[state]), 1);
  const double ax = w - 16, ay = h / 2;
  FillPolygon(c, {{ax - 4, ay - 2}, {ax + 4, ay - 2}, {ax, ay + 2.5}},
              WithAlpha(kWhite, state == kDisabled ? 0.45f : 1.0f));
}

// Dialog backgrounds: a brand band of 36 pixels on top, white body, thin frame.
void PaintDialog(Canvas& c, double w, double h) {
  const Box all{0, 0, w, h};
  c.Fill(
      all, [](double, double) { return -1.0; }, kFrameBorder);
  c.Fill(
      all,
      [&](double x, double y) {
        return RoundRectDist(x, y, {1, 1, w - 1, h - 1}, 0);
      },
      kWhite);
  c.Fill(
      all,
      [&](double x, double y) {
        return RoundRectDist(x, y, {1, 1, w - 1, 36}, 0);
      },
      kBrand[0]);
}

void PaintOptionsStrip(Canvas& c, double w, double h) {
  const Box all{0, 0, w, h};
  c.Fill(
      all, [](double, double) { return -1.0; }, Hex(0xD0D3D8));
  c.Fill(
      all,
      [&](double x, double y) {
        return RoundRectDist(x, y, {1, 0, w - 1, h - 1}, 0);
      },
      Hex(0xF7F8FA));
  c.Fill(
      all,
      [&](double x, double y) {
        return RoundRectDist(x, y, {1, 0, w - 1, 1}, 0);
      },
      Hex(0xE3E4E5));
}

// Soft drop shadow around a window that covers everything but the outer 20 pixels.
void PaintShadow(Canvas& c, double w, double h) {
  const Box inner{20, 20, w - 20, h - 20};
  c.Fill(
      {0, 0, w, h}, [](double, double) { return -1.0; },
      [&](double x, double y) {
        const double d = std::max(0.0, RoundRectDist(x, y, inner, 4));
        const double t = std::max(0.0, 1.0 - d / 20.0);
        return Hex(0x000000, static_cast<float>(0.22 * t * t));
      });
}

void PaintBannerBackground(Canvas& c, double w, double h) {
  const Rgba top = Hex(0x2F6FF0), bottom = Hex(0x1C4BBE);
  c.Fill(
      {0, 0, w, h}, [](double, double) { return -1.0; },
      [&](double, double y) { return Mix(top, bottom, static_cast<float>(y / h)); });
  FillCircle(c, {w - 80, 30}, 150, WithAlpha(kWhite, 0.06f));
  FillCircle(c, {70, h + 20}, 120, WithAlpha(kWhite, 0.05f));
  FillCircle(c, {w / 2 + 20, -70}, 120, WithAlpha(kWhite, 0.04f));
}

void PaintIllustration(Canvas& c, double w, double h) {
  FillCircle(c, {w / 2, h / 2}, 64, Hex(0xEAF1FE));
  FillCircle(c, {w / 2, h / 2}, 50, Hex(0xD6E3FD));
  DrawShield(c, w / 2 - 34, h / 2 - 42, 68, 84, kBrand[0], kWhite);
  FillCircle(c, {w / 2 + 62, h / 2 - 40}, 4, Hex(0x2DBE60));
  FillCircle(c, {w / 2 - 66, h / 2 + 34}, 3, Hex(0xF0B429));
}

void PaintMessageIcon(Canvas& c, double w, double h) {
  FillCircle(c, {w / 2, h / 2}, 22, kBrand[0]);
  Stroke bar;
  bar.Add({w / 2, 14}, {w / 2, 29});
  DrawStroke(c, bar, 4.4, kWhite);
  FillCircle(c, {w / 2, 36}, 2.6, kWhite);
}

std::vector<Image> SkinImages() {
  const auto one = [](std::function<void(Canvas&, double, double)> f) {
    return [f](Canvas& c, int, double w, double h) { f(c, w, h); };
  };
  std::vector<Image> v = {
      {10000, 180, 32, 4, 20000, PaintSecondaryButton},
      {10001, 180, 32, 4, 20001,
       [](Canvas& c, int s, double w, double h) { PaintFilledButton(c, kSky, s, w, h, 4); }},
      {10002, 50, 50, 1, 20002, one(PaintMessageIcon)},
      {10003, 36, 32, 1, 20003, one([](Canvas& c, double w, double h) {
         PaintFolderIcon(c, 4, 5, w - 8, h - 10, Hex(0xF0B429));
       })},
      {10004, 144, 36, 4, 20004, PaintClose},
      {10005, 240, 20, 12, 20005,
       [](Canvas& c, int f, double w, double h) { PaintCheckBox(c, f, w, h, Hex(0x6E7681)); }},
      {10007, 5, 98, 1, 20007, one(PaintOptionsStrip)},
      {10008, 88, 16, 4, 20008,
       [](Canvas& c, int s, double w, double h) { PaintChevron(c, s, w, h, false); }},
      {10009, 88, 16, 4, 20009,
       [](Canvas& c, int s, double w, double h) { PaintChevron(c, s, w, h, true); }},
      {10010, 1600, 22, 4, 20010, PaintPathField},
      {10011, 5, 434, 1, 20011, one(PaintDialog)},
      {10012, 800, 32, 4, 20012,
       [](Canvas& c, int s, double w, double h) { PaintFilledButton(c, kBrand, s, w, h, 5); }},
      {10013, 400, 24, 4, 20013, PaintDropDown},
      {10014, 100, 50, 1, 20014, one(PaintDialog)},
      {10015, 210, 143, 1, 20015, one(PaintShadow)},
      {10016, 552, 4, 1, 20016, one([](Canvas& c, double w, double h) {
         FillRoundRect(c, {0, 0, w, h}, 0, Hex(0xE3E4E5));
       })},
      {10017, 552, 4, 1, 20017, one([](Canvas& c, double w, double h) {
         c.Fill(
             {0, 0, w, h}, [](double, double) { return -1.0; },
             [&](double x, double) {
               return Mix(Hex(0x27B35A), Hex(0x3CCB6E), static_cast<float>(x / w));
             });
       })},
      {10018, 234, 146, 1, 20018, one(PaintIllustration)},
      {10019, 240, 20, 12, 20019,
       [](Canvas& c, int f, double w, double h) { PaintCheckBox(c, f, w, h, kBrand[0]); }},
      {10020, 552, 276, 1, 20020, one(PaintBannerBackground)},
      {10021, 169, 18, 1, 20021, one([](Canvas& c, double, double) {
         DrawShield(c, 1, 1, 13, 16, kWhite, kBrand[0]);
         DrawProductName(c, 21, 3.5, 11, kWhite);
       })},
  };
  // Per-language pictures: the banner ("image") and the message-box logo
  // ("poplogo"); their 240-DPI variants are identifier + 50.
  v.push_back({10100, 400, 100, 1, 10150, one([](Canvas& c, double, double) {
                 DrawShield(c, 20, 13, 60, 74, kWhite, kBrand[0]);
                 DrawProductName(c, 100, 37, 26, kWhite);
               })});
  v.push_back({10105, 220, 36, 1, 10155, one([](Canvas& c, double w, double h) {
                 c.Fill(
                     {0, 0, w, h}, [](double, double) { return -1.0; }, kBrand[0]);
                 DrawShield(c, 12, 6, 20, 24, kWhite, kBrand[0]);
                 DrawProductName(c, 42, 12, 12, kWhite);
               })});
  return v;
}

// Draws the strip at the given scale: every frame on its own canvas of whole
// pixels, so that no frame bleeds into its neighbour.
std::vector<uint8_t> Render(const Image& img, double scale, int* outW, int* outH) {
  const double fw = static_cast<double>(img.width) / img.frames, fh = img.height;
  const int pw = static_cast<int>(std::floor(fw * scale + 0.5));
  const int ph = static_cast<int>(std::floor(fh * scale + 0.5));
  Canvas strip(pw * img.frames, ph, img.width, img.height);
  for (int f = 0; f < img.frames; ++f) {
    Canvas frame(pw, ph, fw, fh);
    img.paint(frame, f, fw, fh);
    strip.Put(frame, f * pw, 0);
  }
  *outW = strip.Width();
  *outH = strip.Height();
  return strip.ToRgba8();
}

bool WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WritePng(const std::filesystem::path& path, int w, int h, const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> png;
  return EncodePng(w, h, rgba, png) && WriteBytes(path, png);
}

// The images of one icon in BMP format (16, 24, 32 and 48 pixels: 32-bit
// BGRA plus the AND mask), which every Windows version reads.
constexpr int kIconSizes[] = {16, 24, 32, 48};

std::vector<std::vector<uint8_t>> EncodeIconImages(
    const std::function<void(Canvas&, double, double)>& paint) {
  std::vector<std::vector<uint8_t>> images;
  for (int size : kIconSizes) {
    Canvas canvas(size, size, 32, 32);
    paint(canvas, 32, 32);
    const std::vector<uint8_t> rgba = canvas.ToRgba8();
    std::vector<uint8_t> img;
    const auto put32 = [&img](uint32_t v) {
      for (int i = 0; i < 4; ++i) img.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const auto put16 = [&img](uint16_t v) {
      img.push_back(static_cast<uint8_t>(v));
      img.push_back(static_cast<uint8_t>(v >> 8));
    };
    const int maskRow = ((size + 31) / 32) * 4;
    put32(40);
    put32(static_cast<uint32_t>(size));
    put32(static_cast<uint32_t>(size * 2));
    put16(1);
    put16(32);
    put32(0);
    put32(static_cast<uint32_t>(size * size * 4 + maskRow * size));
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    for (int y = size - 1; y >= 0; --y)
      for (int x = 0; x < size; ++x) {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
        img.push_back(p[2]);
        img.push_back(p[1]);
        img.push_back(p[0]);
        img.push_back(p[3]);
      }
    for (int y = size - 1; y >= 0; --y) {
      std::vector<uint8_t> row(static_cast<size_t>(maskRow), 0);
      for (int x = 0; x < size; ++x)
        if (rgba[(static_cast<size_t>(y) * size + x) * 4 + 3] == 0)
          row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
      img.insert(img.end(), row.begin(), row.end());
    }
    images.push_back(std::move(img));
  }
  return images;
}

// An icon group (what an ICON statement would make): a directory whose
// entries name the image resources by identifier, so that two groups with
// the same picture share its images instead of carrying them twice.
std::vector<uint8_t> EncodeIconGroup(const std::vector<std::vector<uint8_t>>& images,
                                     const std::vector<int>& imageIds) {
  std::vector<uint8_t> out = {0, 0, 1, 0, static_cast<uint8_t>(images.size()), 0};
  for (size_t i = 0; i < images.size(); ++i) {
    const int size = kIconSizes[i];
    const uint32_t bytes = static_cast<uint32_t>(images[i].size());
    const uint8_t entry[14] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size), 0, 0, 1, 0, 32, 0,
                               static_cast<uint8_t>(bytes), static_cast<uint8_t>(bytes >> 8),
                               static_cast<uint8_t>(bytes >> 16), static_cast<uint8_t>(bytes >> 24),
                               static_cast<uint8_t>(imageIds[i]),
                               static_cast<uint8_t>(imageIds[i] >> 8)};
    out.insert(out.end(), entry, entry + 14);
  }
  return out;
}

struct Icon {
  int id;
  std::function<void(Canvas&, double, double)> paint;
};

std::vector<Icon> Icons() {
  return {
      {128, [](Canvas& c, double w, double h) { DrawShield(c, 3, 1, w - 6, h - 2, kBrand[0], kWhite); }},
      {509, [](Canvas& c, double w, double h) { DrawShield(c, 3, 1, w - 6, h - 2, kBrand[0], kWhite); }},
      // The second phase of the blink: the same shield, lit.
      {510, [](Canvas& c, double w, double h) { DrawShield(c, 3, 1, w - 6, h - 2, Hex(0x2DBE60), kWhite); }},
  };
}

int Run(const std::filesystem::path& folder, const std::filesystem::path& rcFile) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::filesystem::path absFolder = std::filesystem::absolute(folder, ec);
  if (ec || !std::filesystem::is_directory(absFolder)) {
    std::fprintf(stderr, "skin_gen: cannot create %s\n", folder.string().c_str());
    return 1;
  }
  if (absFolder.string().find('"') != std::string::npos) {
    std::fprintf(stderr, "skin_gen: the output path may not contain a double quote\n");
    return 1;
  }
  std::string rc;
  for (const Image& img : SkinImages()) {
    const struct {
      int id;
      double scale;
    } variants[2] = {{img.id, 1.0}, {img.hiDpiId, 2.5}};
    for (const auto& variant : variants) {
      int w = 0, h = 0;
      const std::vector<uint8_t> rgba = Render(img, variant.scale, &w, &h);
      const std::filesystem::path file = absFolder / (std::to_string(variant.id) + ".png");
      if (!WritePng(file, w, h, rgba)) {
        std::fprintf(stderr, "skin_gen: cannot write %s\n", file.string().c_str());
        return 1;
      }
      std::printf("skin_gen: %d %dx%d, %d frame(s) -> %s\n", variant.id, w, h, img.frames,
                  file.string().c_str());
      rc += std::to_string(variant.id) + " PNG \"" + file.string() + "\"\n";
    }
  }
  // Raw image (type 3) and group (type 14) resources; identical images are
  // carried once.
  std::map<std::vector<uint8_t>, int> imageIds;
  for (const Icon& icon : Icons()) {
    const std::vector<std::vector<uint8_t>> images = EncodeIconImages(icon.paint);
    std::vector<int> ids;
    for (const std::vector<uint8_t>& image : images) {
      auto found = imageIds.find(image);
      if (found == imageIds.end()) {
        const int id = static_cast<int>(imageIds.size()) + 1;
        const std::filesystem::path file = absFolder / ("icon_image_" + std::to_string(id) + ".bin");
        if (!WriteBytes(file, image)) {
          std::fprintf(stderr, "skin_gen: cannot write %s\n", file.string().c_str());
          return 1;
        }
        rc += std::to_string(id) + " 3 \"" + file.string() + "\"\n";
        found = imageIds.emplace(image, id).first;
      }
      ids.push_back(found->second);
    }
    const std::filesystem::path file = absFolder / (std::to_string(icon.id) + ".icon_group");
    if (!WriteBytes(file, EncodeIconGroup(images, ids))) {
      std::fprintf(stderr, "skin_gen: cannot write %s\n", file.string().c_str());
      return 1;
    }
    rc += std::to_string(icon.id) + " 14 \"" + file.string() + "\"\n";
  }
  std::ofstream out(rcFile, std::ios::binary | std::ios::trunc);
  out << rc;
  if (!out) {
    std::fprintf(stderr, "skin_gen: cannot write %s\n", rcFile.string().c_str());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace lum::skin

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: skin_gen <output-folder> <rc-fragment-file>\n");
    return 2;
  }
  return lum::skin::Run(argv[1], argv[2]);
}
