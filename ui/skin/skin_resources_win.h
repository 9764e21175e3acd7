// The process-wide skin table: ten fonts, three brushes and the twenty-one
// shared images, built once before any window and kept until exit. The font
// face follows the chosen language ("font" of the language table).
//
// Threading: interface thread only.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/skin/som_bitmap_win.h"

namespace lum {

class SkinResources {
 public:
  static constexpr int kFontCount = 10;
  static constexpr int kBrushCount = 3;
  static constexpr int kImageCount = 21;

  // Indexes into the image table, in the table's order.
  enum ImageIndex {
    kDialogBackground = 0,   // 10011, nine-part
    kOptionsBackground,      // 10007, nine-part
    kMessageBoxBackground,   // 10014, nine-part
    kShadow,                 // 10015, nine-part
    kCheckBoxGrey,           // 10005, twelve frames
    kCheckBoxBlue,           // 10019, twelve frames
    kIllustration,           // 10018
    kPrimaryButton,          // 10012, three-part
    kPrimaryButton2,         // 10012, three-part (second entry)
    kChevronDown,            // 10008
    kChevronUp,              // 10009
    kCloseButton,            // 10004
    kPathField,              // 10010, three-part
    kDropDown,               // 10013
    kSecondaryButton,        // 10000, three-part
    kDefaultButton,          // 10001, three-part
    kBannerBackground,       // 10020
    kMessageIcon,            // 10002
    kIllustration2,          // 10018 (second entry)
    kFolderIcon,             // 10003
    kProductName,            // 10021
  };

  // Built on first use with the face "Segoe UI".
  static SkinResources& Get();

  // Makes `face` the face of all ten fonts. The fonts of earlier faces stay
  // valid until exit (controls keep the handles they were given) and stand
  // for the current font of the same index (Current).
  void SetFontFace(const std::wstring& face);
  const std::wstring& FontFace() const { return face_; }
  HFONT Font(int index) const {
    return index >= 0 && index < kFontCount ? fonts_[index] : fonts_[0];
  }
  // The font to draw with for a font a control was given: a skin font of an
  // earlier face gives the current one of the same index, any other font
  // itself.
  HFONT Current(HFONT font) const;
  // Counts face changes: text laid out under another count is measured again.
  unsigned FontGeneration() const { return generation_; }
  HBRUSH Brush(int index) const { return brushes_[index]; }
  CSomBitmap& Image(ImageIndex index) { return *images_[index]; }

  // The interface language ("en" when none is set): the word-wrapped text
  // window leaves Chinese and Japanese to DrawText.
  void SetLanguage(const std::wstring& code) { language_ = code; }
  const std::wstring& Language() const { return language_; }

  ~SkinResources();
  SkinResources(const SkinResources&) = delete;
  SkinResources& operator=(const SkinResources&) = delete;

 private:
  SkinResources();
  struct FontSet {
    std::wstring face;
    HFONT fonts[kFontCount];
  };

  std::wstring face_;
  unsigned generation_ = 0;
  std::vector<FontSet> earlier_;  // at most one set per face
  std::wstring language_ = L"en";
  HFONT fonts_[kFontCount] = {};
  HBRUSH brushes_[kBrushCount] = {};
  std::unique_ptr<CSomBitmap> images_[kImageCount];
};

// The first face of a comma-separated list (the language key "font") that
// the system has, else the first one; "Segoe UI" for an empty list.
std::wstring ChooseInstalledFace(const std::wstring& faces);

}  // namespace lum
