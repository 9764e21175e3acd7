#include "ui/skin/skin_resources_win.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "base/text.h"
#include "ui/skin/dpi_scale_win.h"

namespace lum {

namespace {

constexpr UINT_PTR kHiDpiOffset = 10000;

struct FontRow {
  int px;
  int weight;  // 0: the stock font's weight
};
constexpr FontRow kFonts[SkinResources::kFontCount] = {
    {12, 0}, {12, 700}, {14, 400}, {14, 700}, {16, 400},
    {16, 700}, {18, 400}, {18, 700}, {24, 400}, {24, 700},
};

std::unique_ptr<CSomBitmap> Plain(UINT_PTR id, uint16_t frames) {
  return std::make_unique<CSomBitmap>(id, frames, CSomBitmap::kPng, false, id + kHiDpiOffset);
}
std::unique_ptr<CSomBitmap> ThreePart(UINT_PTR id, uint16_t frames, int left, int right) {
  return std::make_unique<CSomBitmapHorizen3Part>(id, frames, left, right, id + kHiDpiOffset);
}
std::unique_ptr<CSomBitmap> NinePart(UINT_PTR id, int left, int right, int top, int bottom) {
  return std::make_unique<CSomBitmap9Part>(id, 1, left, right, top, bottom, id + kHiDpiOffset);
}

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const std::wstring& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW query = {};
  query.lfCharSet = DEFAULT_CHARSET;
  face.copy(query.lfFaceName, face.size());
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &query, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

std::wstring ChooseInstalledFace(const std::wstring& faces) {
  std::wstring first;
  for (const std::wstring& item : Split(faces, L',', true)) {
    const std::wstring face = TrimBlanks(item);
    if (face.empty()) continue;
    if (first.empty()) first = face;
    if (FaceInstalled(face)) return face;
  }
  return first.empty() ? L"Segoe UI" : first;
}

SkinResources& SkinResources::Get() {
  static SkinResources resources;
  return resources;
}

SkinResources::SkinResources() {
  brushes_[0] = ::CreateSolidBrush(0xFFFFFF);
  brushes_[1] = ::CreateSolidBrush(0xEEEEEE);
  brushes_[2] = ::CreateSolidBrush(0xE3E4E5);
  images_[kDialogBackground] = NinePart(10011, 2, 3, 290, 360);
  images_[kOptionsBackground] = NinePart(10007, 2, 4, 30, 60);
  images_[kMessageBoxBackground] = NinePart(10014, 25, 75, 38, 42);
  images_[kShadow] = NinePart(10015, 30, 180, 30, 113);
  images_[kCheckBoxGrey] = Plain(10005, 12);
  images_[kCheckBoxBlue] = Plain(10019, 12);
  images_[kIllustration] = Plain(10018, 1);
  images_[kPrimaryButton] = ThreePart(10012, 4, 20, 186);
  images_[kPrimaryButton2] = ThreePart(10012, 4, 20, 186);
  images_[kChevronDown] = Plain(10008, 4);
  images_[kChevronUp] = Plain(10009, 4);
  images_[kCloseButton] = Plain(10004, 4);
  images_[kPathField] = ThreePart(10010, 4, 5, 370);
  images_[kDropDown] = Plain(10013, 4);
  images_[kSecondaryButton] = ThreePart(10000, 4, 5, 40);
  images_[kDefaultButton] = ThreePart(10001, 4, 5, 40);
  images_[kBannerBackground] = Plain(10020, 1);
  images_[kMessageIcon] = Plain(10002, 1);
  images_[kIllustration2] = Plain(10018, 1);
  images_[kFolderIcon] = Plain(10003, 1);
  images_[kProductName] = Plain(10021, 1);
  SetFontFace(L"Segoe UI");
}

SkinResources::~SkinResources() {
  for (HFONT font : fonts_)
    if (font) ::DeleteObject(font);
  for (const FontSet& set : earlier_)
    for (HFONT font : set.fonts)
      if (font) ::DeleteObject(font);
  for (HBRUSH& brush : brushes_)
    if (brush) ::DeleteObject(brush);
}

HFONT SkinResources::Current(HFONT font) const {
  if (!font) return font;
  for (const FontSet& set : earlier_)
    for (int i = 0; i < kFontCount; ++i)
      if (set.fonts[i] == font) return fonts_[i];
  return font;
}

void SkinResources::SetFontFace(const std::wstring& face) {
  if (fonts_[0] && face == face_) return;
  ++generation_;
  // Labels made under the old face still hold its handles: the set is kept,
  // never deleted (nor its handle values reused for other fonts), and a
  // face used before comes back as the very same set.
  FontSet old;
  old.face = face_;
  std::copy(std::begin(fonts_), std::end(fonts_), std::begin(old.fonts));
  for (auto set = earlier_.begin(); set != earlier_.end(); ++set) {
    if (set->face != face) continue;
    std::copy(std::begin(set->fonts), std::end(set->fonts), std::begin(fonts_));
    face_ = face;
    *set = old;
    return;
  }
  if (old.fonts[0]) {
    try {
      earlier_.push_back(old);
    } catch (const std::bad_alloc&) {
      // Out of memory: the old fonts stay alive unrecorded rather than die
      // under the controls that hold them.
    }
  }
  face_ = face;
  LOGFONTW base = {};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(base), &base);
  const std::wstring name = face.substr(0, LF_FACESIZE - 1);
  for (int i = 0; i < kFontCount; ++i) {
    const int weight = kFonts[i].weight ? kFonts[i].weight : base.lfWeight;
    fonts_[i] = ::CreateFontW(Dpi().FontHeight(kFonts[i].px), 0, 0, 0, weight, 0, 0, 0,
                              DEFAULT_CHARSET, 0, 0, 0, 0, name.c_str());
  }
}

}  // namespace lum
