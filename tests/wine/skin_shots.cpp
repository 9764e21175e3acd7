// lum_skin_shots <exchange folder> — shows a message box and the restart
// prompt in en, ru, ja, zh-CN, ar and hi, and the options strip with its free
// space, the main window (welcome page fresh and in update mode with Update
// and Reinstall, options strip open, progress page at 50 %), the notice page
// and the folder-not-writable box in en, ru, ja and ar, the welcome page
// switched en -> ja -> en and the options strip after a folder change
// (LUM_SHOTS_ONLY=switch: these two alone), at the display's DPI
// (the main window is put in each state through its own messages) and checks what can be
// measured: the window size for the DPI, the header picture and the icon at
// their places, text pixels in every line, no character drawn as the
// missing-glyph box, and in ar the agreement line read right to left (the
// sentence at the right end, its link left of it without a gap). Screenshots are taken of what the X server shows by
// tests/wine/skin_screenshots.sh, which answers each "<tag>.req" (the
// window's geometry) with "<tag>.bmp". Prints one line per check; the exit
// code is the number of failed checks.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/text.h"
#include "i18n/text_direction.h"
#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "payload/ini_table.h"
#include "payload/resource_file_win.h"
#include "session/session_settings.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "tests/wine/screen_pixels.h"
#include "ui/config_dlg_win.h"
#include "ui/main_dlg_win.h"
#include "ui/msg_box_win.h"
#include "ui/policy_notice_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {
namespace {

constexpr UINT kProbe = WM_APP + 9;
using namespace shots;
int failures = 0;

bool Check(bool ok, const std::wstring& what) {
  if (!ok) ++failures;
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", WideToUtf8(what).c_str());
  std::fflush(stdout);
  return ok;
}

Pixels Capture(HDC source, int x, int y, int w, int h) {
  Pixels p;
  p.width = w;
  p.height = h;
  p.data.resize(static_cast<size_t>(w) * h);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
  void* bits = nullptr;
  HDC memory = ::CreateCompatibleDC(source);
  HBITMAP dib = ::CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, dib);
  ::BitBlt(memory, 0, 0, w, h, source, x, y, SRCCOPY);
  ::GdiFlush();
  const auto* src = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < p.data.size(); ++i) p.data[i] = src[i] & 0xFFFFFF;
  ::SelectObject(memory, old);
  ::DeleteObject(dib);
  ::DeleteDC(memory);
  return p;
}

// Runs the window's messages for `ms` so that what it drew reaches the screen.
void Pump(DWORD ms) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < ms) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(10);
  }
}

// Asks the driving script for a screenshot of `r` (it answers with a BMP of
// what the X server shows) and waits for it with the window's messages running.
bool ScreenShot(const std::wstring& folder, const std::wstring& tag, const RECT& r, Pixels* p) {
  Pump(400);
  const std::string geometry = std::to_string(r.right - r.left) + "x" +
                               std::to_string(r.bottom - r.top) + "+" + std::to_string(r.left) +
                               "+" + std::to_string(r.top) + "\n";
  const std::wstring bmp = folder + L"\\" + tag + L".bmp";
  ::DeleteFileW(bmp.c_str());
  if (!WriteText(folder + L"\\" + tag + L".req", geometry)) return false;
  for (int i = 0; i < 300; ++i) {
    if (::GetFileAttributesW(bmp.c_str()) != INVALID_FILE_ATTRIBUTES && LoadBmp(bmp, p)) return true;
    Pump(100);
  }
  return false;
}


// How a character is drawn by DrawText with `font`, as a pixel pattern.
Pixels Glyph(HFONT font, const std::wstring& text) {
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 64, 64);
  HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
  RECT r = {0, 0, 64, 64};
  ::FillRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  HGDIOBJ oldFont = ::SelectObject(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, 0);
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_NOPREFIX | DT_SINGLELINE);
  Pixels p = Capture(dc, 0, 0, 64, 64);
  ::SelectObject(dc, oldFont);
  ::SelectObject(dc, oldBitmap);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return p;
}

// Characters of `text` that draw exactly like a private-use character, which
// no font of the system has: the missing-glyph box.
std::wstring MissingGlyphs(HFONT font, const std::wstring& text) {
  const Pixels missing = Glyph(font, std::wstring(1, wchar_t(0xE000)));
  std::wstring out;
  for (wchar_t c : text) {
    if (c <= L' ' || c == 0x3000 || c == 0x200C || c == 0x200D) continue;  // blanks, joiners
    if (Glyph(font, std::wstring(1, c)).data == missing.data && out.find(c) == std::wstring::npos)
      out += c;
  }
  return out;
}

class ShotBox : public CMsgBoxDialog {
 public:
  using CMsgBoxDialog::CMsgBoxDialog;
  std::function<void(ShotBox&)> shoot;
  int tries = 0;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    // A timer fires only once the queue is empty, after the modal loop has
    // shown the box.
    if (message == WM_TIMER && wParam == kProbe) {
      if (::IsWindowVisible(window) || ++tries >= 100) {
        ::KillTimer(window, kProbe);
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        if (shoot) shoot(*this);
      }
      return TRUE;
    }
    const BOOL handled = CMsgBoxDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
    if (message == WM_INITDIALOG) ::SetTimer(window, kProbe, 50, nullptr);
    return handled;
  }
};

int Shoot(const std::wstring& folder, const std::wstring& lang, const std::wstring& kind,
          const std::wstring& text, UINT flags, int defaultId) {
  const DpiScale& dpi = Dpi();
  const std::wstring tag = kind + L"_" + lang + L"_" + std::to_wstring(dpi.Dpi());
  ShotBox box(PopLogoId(), text, flags, defaultId);
  box.shoot = [&](ShotBox& b) {
    RECT wr, client;
    ::GetWindowRect(b.Window(), &wr);
    ::GetClientRect(b.Window(), &client);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    Pixels shot;
    const bool taken = ScreenShot(folder, tag, wr, &shot);
    Check(taken && shot.width == w && shot.height == h, tag + L": screenshot taken");
    if (!taken || shot.width != w || shot.height != h) return;
    Check(w == client.right && h == client.bottom && client.right >= dpi.Scale(520) &&
              client.bottom >= dpi.Scale(200),
          tag + L": window " + std::to_wstring(w) + L"x" + std::to_wstring(h) + L" at least " +
              std::to_wstring(dpi.Scale(520)) + L"x" + std::to_wstring(dpi.Scale(200)));
    // The header picture: the white shield inside the picture's own area.
    int white = 0;
    for (int y = 0; y < std::min(b.Picture().FrameHeight(), h); ++y)
      for (int x = 0; x < std::min(dpi.Scale(40), w); ++x) white += NearWhite(shot.At(x, y));
    Check(b.HasPicture() && white > dpi.Scale(20) * dpi.Scale(20) / 4,
          tag + L": header picture at (0, 0), " + std::to_wstring(white) + L" shield pixels");
    // The icon: a blue disc with a white bar at (30, 62).
    const int ix = dpi.Scale(30), iy = dpi.Scale(62);
    Check(Bluish(shot.At(ix + dpi.Scale(10), iy + dpi.Scale(25))) &&
              NearWhite(shot.At(ix + dpi.Scale(25), iy + dpi.Scale(20))),
          tag + L": icon at (" + std::to_wstring(ix) + L", " + std::to_wstring(iy) + L")");
    for (size_t i = 0; i < b.Lines().size(); ++i) {
      const CSomTextWnd& line = *b.Lines()[i];
      int dark = 0;
      for (int y = line.Rect().top; y < line.Rect().bottom && y < h; ++y)
        for (int x = line.Rect().left; x < line.Rect().right && x < w; ++x) dark += Dark(shot.At(x, y));
      Check(dark > line.Width() / 4, tag + L": line " + std::to_wstring(i + 1) + L" has " +
                                         std::to_wstring(dark) + L" text pixels");
      for (const CSomTextWnd::Run& run : line.Runs()) {
        const std::wstring missing =
            MissingGlyphs(run.font ? run.font : SkinResources::Get().Font(4), run.text);
        Check(missing.empty(), tag + L": no missing-glyph box in \"" + run.text + L"\"" +
                                     (missing.empty() ? L"" : L" (missing: " + missing + L")"));
      }
    }
    for (int i = 0; i < 3; ++i)
      if (b.Button(i).IsVisible() && b.Button(i).Id() == static_cast<UINT>(defaultId)) {
        const RECT& r = b.Button(i).Rect();
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        ::SendMessageW(b.Window(), WM_MOUSEMOVE, 0, at);
        ::SendMessageW(b.Window(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(b.Window(), WM_LBUTTONUP, 0, at);
      }
  };
  const INT_PTR answer = box.DoModal(nullptr);
  Check(answer == defaultId, tag + L": answered by clicking button " + std::to_wstring(defaultId));
  return 0;
}

// The options strip under a stand-in main window, with the free space of
// the default folder's drive: its size, the disk text and the path drawn.
// `existing` (update mode) stands on the path button instead of the default
// folder: a long one must be shortened in the middle, clear of the picture.
void ShootStrip(const std::wstring& folder, const std::wstring& lang,
                const std::wstring& existing = L"") {
  const DpiScale& dpi = Dpi();
  const std::wstring tag = std::wstring(existing.empty() ? L"strip_" : L"strip_long_") + lang +
                           L"_" + std::to_wstring(dpi.Dpi());
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"LumShotsMain";
  ::RegisterClassW(&wc);
  HWND main = ::CreateWindowExW(0, L"LumShotsMain", L"", WS_POPUP | WS_VISIBLE, 40, 40,
                                dpi.Scale(552), dpi.Scale(200), nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  CConfigDlg strip;
  if (!main || !strip.Create(main, !existing.empty(), existing)) {
    Check(false, tag + L": strip created");
    if (main) ::DestroyWindow(main);
    return;
  }
  strip.ApplyLanguage();
  ::ShowWindow(strip.Window(), SW_SHOWNOACTIVATE);
  ::RedrawWindow(strip.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  RECT wr;
  ::GetWindowRect(strip.Window(), &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  Pixels shot;
  const bool taken = ScreenShot(folder, tag, wr, &shot);
  Check(taken && shot.width == w && shot.height == h, tag + L": screenshot taken");
  if (taken && shot.width == w && shot.height == h) {
    Check(w == dpi.Scale(552) && h == dpi.Scale(CConfigDlg::kHeight),
          tag + L": strip " + std::to_wstring(w) + L"x" + std::to_wstring(h));
    auto darkIn = [&](const RECT& r) {
      int dark = 0;
      for (int y = std::max(0, int(r.top)); y < r.bottom && y < h; ++y)
        for (int x = std::max(0, int(r.left)); x < r.right && x < w; ++x) dark += Dark(shot.At(x, y));
      return dark;
    };
    const CSomTextWnd& disk = strip.DiskLabel();
    const int diskDark = darkIn(disk.Rect());
    Check(disk.Width() > 0 && diskDark > disk.Width() / 4,
          tag + L": free space \"" + disk.Markup() + L"\" has " + std::to_wstring(diskDark) +
              L" text pixels");
    for (const CSomTextWnd::Run& run : disk.Runs()) {
      const std::wstring missing =
          MissingGlyphs(run.font ? run.font : SkinResources::Get().Font(0), run.text);
      Check(missing.empty(), tag + L": no missing-glyph box in \"" + run.text + L"\"" +
                                   (missing.empty() ? L"" : L" (missing: " + missing + L")"));
    }
    const RECT& button = strip.PathButton().Rect();
    RECT text = {button.left + dpi.Scale(6), button.top, button.right - dpi.Scale(34), button.bottom};
    Check(darkIn(text) > dpi.Scale(40), tag + L": folder drawn on the path button");
    RECT picture = {button.right - dpi.Scale(34), button.top, button.right, button.bottom};
    Check(darkIn(picture) == 0, tag + L": no text over the folder picture");
    Check(button.right == w - dpi.Scale(26) && button.bottom <= h &&
              button.top >= disk.Rect().bottom,
          tag + L": path button 26 from the right, below the free space");
  }
  strip.DestroySomWindow();
  ::DestroyWindow(main);
}

// Pixels of `shot` inside `r` that are not the white page: drawn text.
int InkIn(const Pixels& shot, const RECT& r) {
  int ink = 0;
  for (int y = std::max(0, int(r.top)); y < r.bottom && y < shot.height; ++y)
    for (int x = std::max(0, int(r.left)); x < r.right && x < shot.width; ++x)
      ink += !NearWhite(shot.At(x, y));
  return ink;
}

int WhiteIn(const Pixels& shot, const RECT& r) {
  int white = 0;
  for (int y = std::max(0, int(r.top)); y < r.bottom && y < shot.height; ++y)
    for (int x = std::max(0, int(r.left)); x < r.right && x < shot.width; ++x)
      white += NearWhite(shot.At(x, y));
  return white;
}

std::wstring Num(int n) { return std::to_wstring(n); }

SIZE WindowSize(HWND window) {
  RECT r = {0, 0, 0, 0};
  ::GetWindowRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

// "Installed": App Paths names a folder whose ZVVer.dll is a copy of this
// program with its version patched to `version` ("0.0.0.0" = unchanged).
void PretendInstalled(const std::wstring& version) {
  const std::wstring dir = DefaultInstallDir();
  CreateFolderTree(dir);
  std::vector<uint8_t> bytes;
  ReadFileBytes(OwnModulePath(), &bytes);
  ProductVersion wanted;
  if (version != L"0.0.0.0" && ApplyDottedVersion(ProductVersion(), version, &wanted)) {
    const auto* key = reinterpret_cast<const uint8_t*>(L"VS_VERSION_INFO");
    for (size_t at = 0; at + 64 < bytes.size(); at += 2) {
      if (memcmp(bytes.data() + at, key, 32) != 0) continue;
      const size_t fixed = (at + 32 + 3) & ~size_t{3};
      uint32_t signature = 0;
      if (fixed + 16 > bytes.size()) break;
      memcpy(&signature, bytes.data() + fixed, 4);
      if (signature != 0xFEEF04BD) continue;
      const uint32_t high = wanted.High(), low = wanted.Low();
      memcpy(&bytes[fixed + 8], &high, 4);
      memcpy(&bytes[fixed + 12], &low, 4);
      break;
    }
  }
  WriteFileBytes(dir + L"\\ZVVer.dll", bytes);
  RegKey key;
  key.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe",
             KEY_SET_VALUE, RegView::k32);
  key.WriteString(L"Path", dir);
}

void NotInstalled() {
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE,
                     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe",
                     RegView::k32);
}

// The agreement line of a language read right to left, as drawn: the
// sentence (grey ink) is read first, so it ends at the line's right end; the
// link (blue ink) stands left of it with about a blank between them;
// the link answers the mouse where its ink is, the sentence does not.
void CheckRightToLeftLine(const Pixels& shot, CSomTextWnd& line, const std::wstring& tag) {
  const DpiScale& dpi = Dpi();
  const RECT at = line.Rect();
  int linkLeft = INT_MAX, linkRight = -1, textLeft = INT_MAX, textRight = -1;
  for (int y = std::max(0, int(at.top)); y < at.bottom && y < shot.height; ++y)
    for (int x = std::max(0, int(at.left)); x < at.right && x < shot.width; ++x) {
      const uint32_t c = shot.At(x, y);
      if (Bluish(c)) {
        linkLeft = std::min(linkLeft, x);
        linkRight = std::max(linkRight, x);
      } else if (!NearWhite(c) && std::abs(Channel(c, 0) - Channel(c, 16)) < 24) {
        textLeft = std::min(textLeft, x);
        textRight = std::max(textRight, x);
      }
    }
  // Between the two inks: the sentence's closing blank and the letters' own
  // margins, never more than two blanks' worth.
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(screen, line.Font());
  SIZE blank = {0, 0};
  ::GetTextExtentPoint32W(screen, L" ", 1, &blank);
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  Check(line.RightToLeft() && linkRight >= 0 && textRight >= 0 && linkRight < textLeft &&
            textLeft - linkRight <= 2 * blank.cx + dpi.Scale(4) && textRight >= at.right - dpi.Scale(4),
        tag + L": read right to left, link ink " + Num(linkLeft - at.left) + L".." +
            Num(linkRight - at.left) + L" left of the sentence's " + Num(textLeft - at.left) +
            L".." + Num(textRight - at.left) + L" in a line " + Num(line.Width()) + L" wide, blank " +
            Num(blank.cx));
  const int y = line.Height() / 2;
  Check(linkRight >= 0 && textRight >= 0 &&
            line.OnSetCursor({(linkLeft + linkRight) / 2 - at.left, y}) &&
            !line.OnSetCursor({(textLeft + textRight) / 2 - at.left, y}),
        tag + L": the link answers the mouse where it is drawn, the sentence does not");
}

// The main window in its states, and the notice page.
void ShootMain(const std::wstring& folder, const std::wstring& lang) {
  const DpiScale& dpi = Dpi();
  const std::wstring suffix = L"_" + lang + L"_" + Num(dpi.Dpi());
  SessionSettings& session = Session();
  session.installDir = DefaultInstallDir();

  struct Page {
    const wchar_t* name;
    bool installed;
    const wchar_t* version;
    const wchar_t* buttonKey;
  };
  for (const Page& page : {Page{L"welcome", false, L"", L"install"},
                           Page{L"update", true, L"1.0.0.1", L"update"},
                           Page{L"fix", true, L"0.0.0.0", L"fix"}}) {
    const std::wstring tag = L"main_" + std::wstring(page.name) + suffix;
    session.productInstalled = page.installed;
    if (page.installed) PretendInstalled(page.version); else NotInstalled();
    CMainDlg dlg;
    if (!Check(dlg.Create(SW_SHOWNOACTIVATE), tag + L": window created")) continue;
    RECT wr;
    ::GetWindowRect(dlg.Window(), &wr);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    Pixels shot;
    if (!Check(ScreenShot(folder, tag, wr, &shot) && shot.width == w && shot.height == h,
               tag + L": screenshot taken"))
      continue;
    Check(w == dpi.Scale(552) && h == dpi.Scale(450), tag + L": window " + Num(w) + L"x" + Num(h));
    const RECT& button = dlg.InstallButton().Rect();
    const int wantTop = page.installed ? dpi.Scale(316)
                                       : dlg.LicenceLink().Rect().bottom + dpi.Scale(16);
    Check(button.left == (w - dlg.InstallButton().Width()) / 2 && button.top == wantTop &&
              dlg.InstallButton().Width() == dpi.Scale(200) &&
              dlg.InstallButton().Height() == dpi.Scale(32),
          tag + L": install button " + Num(button.right - button.left) + L"x" +
              Num(button.bottom - button.top) + L" at (" + Num(button.left) + L", " +
              Num(button.top) + L"), centred at y " + Num(wantTop));
    Check(Bluish(shot.At(button.left + dpi.Scale(6), (button.top + button.bottom) / 2)) &&
              WhiteIn(shot, button) > dpi.Scale(30),
          tag + L": install button drawn with its caption \"" + dlg.InstallButton().Text() + L"\"");
    Check(dlg.InstallButton().Text() == session.Text(page.buttonKey),
          tag + L": install button reads \"" + session.Text(page.buttonKey) + L"\"");
    std::vector<std::pair<const wchar_t*, CSomTextWnd*>> texts;
    if (!page.installed) {
      texts.push_back({L"licence text", &dlg.LicenceText()});
      texts.push_back({L"licence link", &dlg.LicenceLink()});
    }
    for (const auto& text : texts) {
      const int ink = InkIn(shot, text.second->Rect());
      Check(text.second->Width() > 0 && ink > text.second->Width() / 4,
            tag + L": " + text.first + L" has " + Num(ink) + L" text pixels");
    }
    if (!page.installed && IsRightToLeftLanguage(lang))
      CheckRightToLeftLine(shot, dlg.LicenceText(), tag + L": licence text");
    if (page.installed) {
      Check(dlg.AcceptBox().IsVisible() && dlg.AcceptBox().Checked() &&
                dlg.AcceptBox().Rect().top >= button.bottom + dpi.Scale(18) - dpi.Scale(6),
            tag + L": acceptance box checked, 18 below the button");
    }
    if (page.installed) continue;
    for (CSomWnd* control : std::initializer_list<CSomWnd*>{&dlg.LanguageButton(), &dlg.OptionsButton()})
      Check(control->IsVisible() && WhiteIn(shot, control->Rect()) < control->Width() * control->Height(),
            tag + L": " + (control == &dlg.OptionsButton() ? L"options" : L"language") +
                L" button drawn at (" + Num(control->Rect().left) + L", " + Num(control->Rect().top) + L")");
    Check(dlg.OptionsButton().Rect().right == w - dpi.Scale(12) &&
              dlg.OptionsButton().Rect().bottom == h - dpi.Scale(8),
          tag + L": options button 12 from the right, 8 from the bottom");

    // The language menu's commands: the current language again changes
    // nothing; another one and back gives the same texts again.
    const std::vector<std::wstring>& offered = session.offeredLanguages;
    const auto current = std::find(offered.begin(), offered.end(), lang);
    if (current != offered.end()) {
      const WPARAM same = CMainDlg::kLanguageMenuBase + (current - offered.begin());
      const std::wstring caption = dlg.InstallButton().Text(), licence = dlg.LicenceText().Markup();
      ::SendMessageW(dlg.Window(), WM_COMMAND, same, 0);
      Check(dlg.InstallButton().Text() == caption && dlg.LicenceText().Markup() == licence &&
                WindowSize(dlg.Window()).cy == h,
            tag + L": choosing the current language again keeps its texts and height");
      const WPARAM other = CMainDlg::kLanguageMenuBase + (current == offered.begin() ? 1 : 0);
      ::SendMessageW(dlg.Window(), WM_COMMAND, other, 0);
      const bool changed = dlg.InstallButton().Text() != caption;
      ::SendMessageW(dlg.Window(), WM_COMMAND, same, 0);
      Check(changed && dlg.InstallButton().Text() == caption && dlg.LicenceText().Markup() == licence,
            tag + L": another language and back gives the same texts");
    }

    // The options strip, opened by its button's command.
    ::SendMessageW(dlg.Window(), WM_COMMAND, MAKEWPARAM(CMainDlg::kOptions, 0), 0);
    RECT strip = {0, 0, 0, 0};
    if (dlg.OptionsStrip().Window()) ::GetWindowRect(dlg.OptionsStrip().Window(), &strip);
    Check(dlg.StripVisible() && strip.top == wr.bottom && strip.left == wr.left &&
              strip.bottom - strip.top == dpi.Scale(98),
          tag + L": options strip open under the window");
    RECT both;
    ::UnionRect(&both, &wr, &strip);
    Pixels open;
    const std::wstring optionsTag = L"main_options" + suffix;
    if (Check(ScreenShot(folder, optionsTag, both, &open), optionsTag + L": screenshot taken")) {
      RECT disk = dlg.OptionsStrip().DiskLabel().Rect();
      ::OffsetRect(&disk, 0, wr.bottom - wr.top);
      Check(InkIn(open, disk) > dlg.OptionsStrip().DiskLabel().Width() / 4,
            optionsTag + L": free space drawn \"" + dlg.OptionsStrip().DiskLabel().Markup() + L"\"");
    }
    ::SendMessageW(dlg.Window(), WM_COMMAND, MAKEWPARAM(CMainDlg::kOptions, 0), 0);

    // The progress page at 50 %, as the worker reports it.
    dlg.ShowProgressPage();
    ::SendMessageW(dlg.Window(), WM_COMMAND, 0xFFFF, MAKELPARAM(50, 100));
    ::GetWindowRect(dlg.Window(), &wr);
    const std::wstring progressTag = L"main_progress" + suffix;
    Pixels progress;
    if (!Check(ScreenShot(folder, progressTag, wr, &progress), progressTag + L": screenshot taken"))
      continue;
    const int pw = wr.right - wr.left, ph = wr.bottom - wr.top;
    Check(pw == dpi.Scale(552) && ph == dpi.Scale(366), progressTag + L": window " + Num(pw) + L"x" + Num(ph));
    const RECT track = dlg.ProgressBar().TrackBounds();
    const RECT fill = dlg.ProgressBar().FillBounds();
    Check(track.left == 0 && track.top == dpi.Scale(272) && std::abs(fill.right - pw / 2) <= 1,
          progressTag + L": bar at (0, " + Num(track.top) + L"), filled to x " + Num(fill.right));
    const int barY = track.top + (track.bottom - track.top) / 2;
    const uint32_t filled = progress.At(pw / 4, barY), empty = progress.At(3 * pw / 4, barY);
    Check(Channel(filled, 8) > Channel(filled, 16) + 40 && !(Channel(empty, 8) > Channel(empty, 16) + 40),
          progressTag + L": green to the middle, grey after it");
    const CSomTextWnd& installing = dlg.InstallingText();
    Check(installing.IsVisible() && InkIn(progress, installing.Rect()) > installing.Width() / 4,
          progressTag + L": installing text drawn at y " + Num(installing.Rect().top));
  }
  NotInstalled();

  // The notice page of a fresh install.
  const std::wstring noticeTag = L"notice" + suffix;
  CPagePolicyNotice notice;
  if (Check(notice.Create(nullptr, WM_NULL), noticeTag + L": page created")) {
    notice.Show();
    RECT wr;
    ::GetWindowRect(notice.Window(), &wr);
    Pixels shot;
    if (Check(ScreenShot(folder, noticeTag, wr, &shot), noticeTag + L": screenshot taken")) {
      const int w = wr.right - wr.left, h = wr.bottom - wr.top;
      Check(w == dpi.Scale(552) && h == dpi.Scale(450), noticeTag + L": page " + Num(w) + L"x" + Num(h));
      const RECT& cont = notice.ContinueButton().Rect();
      Check(cont.top == dpi.Scale(360) && cont.left == (w - notice.ContinueButton().Width()) / 2 &&
                Bluish(shot.At(cont.left + dpi.Scale(6), (cont.top + cont.bottom) / 2)),
            noticeTag + L": Continue centred at y " + Num(cont.top));
      Check(InkIn(shot, notice.Title().Rect()) > dpi.Scale(40), noticeTag + L": title drawn");
      Check(InkIn(shot, notice.Description().Rect()) > dpi.Scale(40), noticeTag + L": description drawn");
      Check(InkIn(shot, notice.PrivacyLink().Rect()) > notice.PrivacyLink().Width() / 4,
            noticeTag + L": privacy link drawn");
    }
  }
}

// The client area of `window` as a full repaint draws it.
Pixels Repainted(HWND window) {
  RECT client;
  ::GetClientRect(window, &client);
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  Pixels p = Capture(dc, 0, 0, client.right, client.bottom);
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return p;
}

// Pixels inside `r` (client coordinates of the shot) where a screenshot and a
// full repaint differ: what a repaint of one control left behind.
int Stale(const Pixels& shot, const Pixels& fresh, const RECT& r) {
  int stale = 0;
  for (int y = std::max(0, int(r.top)); y < r.bottom && y < shot.height && y < fresh.height; ++y)
    for (int x = std::max(0, int(r.left)); x < r.right && x < shot.width && x < fresh.width; ++x)
      stale += shot.At(x, y) != fresh.At(x, y);
  return stale;
}

uint64_t g_shotFreeBytes = 0;
bool ShotFreeBytes(const std::wstring&, uint64_t* bytes) {
  *bytes = g_shotFreeBytes;
  return true;
}

// The welcome page in en, switched to ja and back through the language
// menu's commands, then the options strip after a folder change on it: ja
// draws its texts in a face that has their characters, back in en the page
// is the one from before the switch pixel for pixel, and the free-space line
// shows its new figures and nothing of the old ones.
void ShootLanguageSwitch(const std::wstring& folder) {
  const std::wstring suffix = L"_" + Num(Dpi().Dpi());
  SessionSettings& session = Session();
  session.installDir = DefaultInstallDir();
  session.productInstalled = false;
  NotInstalled();
  const std::vector<std::wstring>& offered = session.offeredLanguages;
  const auto en = std::find(offered.begin(), offered.end(), L"en");
  const auto ja = std::find(offered.begin(), offered.end(), L"ja");
  if (!Check(en != offered.end() && ja != offered.end(), L"switch: en and ja in the menu")) return;
  CMainDlg dlg;
  if (!Check(dlg.Create(SW_SHOWNOACTIVATE), L"switch: window created")) return;
  auto command = [&](WPARAM id) { ::SendMessageW(dlg.Window(), WM_COMMAND, id, 0); };
  RECT wr;
  ::GetWindowRect(dlg.Window(), &wr);
  Pixels before, japanese, after;
  const bool first = ScreenShot(folder, L"switch_1_en" + suffix, wr, &before);
  command(CMainDlg::kLanguageMenuBase + (ja - offered.begin()));
  ::GetWindowRect(dlg.Window(), &wr);
  if (Check(first && ScreenShot(folder, L"switch_2_ja" + suffix, wr, &japanese),
            L"switch: en and ja screenshots taken")) {
    for (CSomTextWnd* text : {&dlg.LicenceText(), &dlg.LicenceLink()}) {
      std::wstring missing;
      for (const CSomTextWnd::Run& run : text->Runs())
        missing += MissingGlyphs(run.font ? SkinResources::Get().Current(run.font) : text->Font(), run.text);
      Check(InkIn(japanese, text->Rect()) > text->Width() / 4 && missing.empty(),
            L"switch_2_ja: \"" + text->Markup().substr(0, 30) + L"\" drawn, no missing-glyph box" +
                (missing.empty() ? L"" : L" (missing: " + missing + L")"));
    }
  }
  command(CMainDlg::kLanguageMenuBase + (en - offered.begin()));
  ::GetWindowRect(dlg.Window(), &wr);
  if (Check(ScreenShot(folder, L"switch_3_en" + suffix, wr, &after), L"switch: en again taken")) {
    int differ = before.data.size() == after.data.size() ? 0 : -1;
    for (size_t i = 0; differ >= 0 && i < after.data.size(); ++i) differ += before.data[i] != after.data[i];
    Check(differ == 0, L"switch_3_en: the page as before the switch (" + Num(differ) +
                           L" pixels differ)");
  }

  // The strip open under the page; a folder is chosen whose drive has other
  // figures of the same width.
  g_shotFreeBytes = 12345ULL << 20;
  SetFreeSpaceReaderForTest(&ShotFreeBytes);
  command(MAKEWPARAM(CMainDlg::kOptions, 0));
  CConfigDlg& strip = dlg.OptionsStrip();
  strip.CheckDrive(false);
  const std::wstring oldText = strip.DiskLabel().Markup();
  ::RedrawWindow(strip.Window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(200);
  g_shotFreeBytes = 67890ULL << 20;
  const std::wstring picked = L"C:\\Lum Shots Other";
  ::CreateDirectoryW(picked.c_str(), nullptr);
  strip.ChooseFolder(picked);
  RECT sr;
  ::GetWindowRect(strip.Window(), &sr);
  Pixels shot;
  const std::wstring tag = L"strip_folder_changed" + suffix;
  if (Check(ScreenShot(folder, tag, sr, &shot), tag + L": screenshot taken")) {
    const CSomTextWnd& disk = strip.DiskLabel();
    const int stale = Stale(shot, Repainted(strip.Window()), disk.Rect());
    Check(disk.Markup() != oldText && stale == 0,
          tag + L": \"" + oldText + L"\" -> \"" + disk.Markup() + L"\", " + Num(stale) +
              L" pixels differ from a full repaint");
    Check(strip.GetFolder().find(picked) == 0 && strip.PathButton().Text() == strip.GetFolder(),
          tag + L": the path button shows " + strip.GetFolder());
  }
  SetFreeSpaceReaderForTest(nullptr);
  command(MAKEWPARAM(CMainDlg::kClose, 0));
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    if (msg.message != WM_QUIT) ::DispatchMessageW(&msg);
}

int Run(const std::wstring& folder) {
  IniTable table;
  if (!table.LoadFromResource(kFileResourceType, kResLanguageTable)) {
    Check(false, L"language table");
    return 1;
  }
  // The main window's language menu switches within the session's table.
  Session().table = table;
  Session().offeredLanguages.clear();
  const std::wstring list = table.Value(L"default", L"languages");
  for (size_t at = 0; at < list.size();) {
    const size_t end = std::min(list.find(L';', at), list.size());
    if (end > at) Session().offeredLanguages.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  // LUM_SHOTS_ONLY=switch: only the language switch and the folder change.
  wchar_t only[32] = {};
  ::GetEnvironmentVariableW(L"LUM_SHOTS_ONLY", only, 32);
  for (const wchar_t* lang : {L"en", L"ru", L"ja", L"zh-CN", L"ar", L"hi"}) {
    SessionSettings& session = Session();
    session.language = lang;
    session.texts.clear();
    IniTable::KeyMap keys;
    table.Section(lang, keys);
    for (const auto& entry : keys) session.texts[entry.first] = entry.second;
    PrepareSkinForLanguage();
    std::printf("---- %s: face %s\n", WideToUtf8(lang).c_str(),
                WideToUtf8(SkinResources::Get().FontFace()).c_str());
    if (std::wstring(L"en") == lang) ShootLanguageSwitch(folder);
    if (std::wstring(L"switch") == only) break;
    Shoot(folder, lang, L"msgbox", session.Text(L"ERROR_CNLUMBASTION"), MB_OK, IDOK);
    // The restart prompt, as the end of an install shows it.
    SetButtonCaptions(session.Text(L"title"),
                      {session.Text(L"ID_RESTART_LATER"), session.Text(L"ID_RESTART_NOW")});
    Shoot(folder, lang, L"restart", session.Text(L"NEED_REBOOT"), MB_OKCANCEL, IDCANCEL);
    SetButtonCaptions(session.Text(L"title"), {session.Text(L"IDOK"), session.Text(L"IDCANCEL")});
    if (std::wstring(L"en ru ja ar").find(lang) != std::wstring::npos) {
      ShootStrip(folder, lang);
      Shoot(folder, lang, L"notwritable", session.Text(L"ERROR_NOTWRITEABLE"), MB_OK, IDOK);
      ShootMain(folder, lang);
    }
    if (std::wstring(L"en") == lang)
      ShootStrip(folder, lang,
                 L"C:\\Very Long Folder Names\\Of A Company\\With Departments\\And "
                 L"Teams\\Software\\Security\\Lum\\Bastion");
  }
  return failures;
}

}  // namespace
}  // namespace lum

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lum_skin_shots <output folder>\n");
    return 2;
  }
  return lum::Run(argv[1]);
}
