// lum_skin_shots <exchange folder> — shows a message box and the restart
// prompt in en, ru, ja, zh-CN, ar and hi, and the options strip with its free
// space in en, ru, ja and ar, at the display's DPI and checks what can be
// measured: the window size for the DPI, the header picture and the icon at
// their places, text pixels in every line, and no character drawn as the
// missing-glyph box. Screenshots are taken of what the X server shows by
// tests/wine/skin_screenshots.sh, which answers each "<tag>.req" (the
// window's geometry) with "<tag>.bmp". Prints one line per check; the exit
// code is the number of failed checks.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/session_settings.h"
#include "base/text.h"
#include "payload/ini_table.h"
#include "payload/resource_file_win.h"
#include "ui/config_dlg_win.h"
#include "ui/msg_box_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {
namespace {

constexpr UINT kProbe = WM_APP + 9;
int failures = 0;

void Check(bool ok, const std::wstring& what) {
  if (!ok) ++failures;
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", WideToUtf8(what).c_str());
  std::fflush(stdout);
}

// A 32-bit top-down copy of part of the screen or of a DC.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> data;  // 0x00RRGGBB
  uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

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

// A 24-bit bottom-up BMP (what "convert ... BMP3:" writes).
bool LoadBmp(const std::wstring& path, Pixels* p) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const DWORD size = ::GetFileSize(h, nullptr);
  std::vector<uint8_t> in(size);
  DWORD read = 0;
  const bool ok = size > 54 && ::ReadFile(h, in.data(), size, &read, nullptr) && read == size;
  ::CloseHandle(h);
  if (!ok) return false;
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  memcpy(&file, in.data(), sizeof(file));
  memcpy(&info, in.data() + sizeof(file), sizeof(info));
  if (file.bfType != 0x4D42 || info.biBitCount != 24 || info.biWidth <= 0) return false;
  const int w = info.biWidth, hgt = info.biHeight < 0 ? -info.biHeight : info.biHeight;
  const int rowBytes = (w * 3 + 3) & ~3;
  if (file.bfOffBits + static_cast<size_t>(rowBytes) * hgt > in.size()) return false;
  p->width = w;
  p->height = hgt;
  p->data.assign(static_cast<size_t>(w) * hgt, 0);
  for (int y = 0; y < hgt; ++y) {
    const int srcRow = info.biHeight > 0 ? hgt - 1 - y : y;
    const uint8_t* row = in.data() + file.bfOffBits + static_cast<size_t>(srcRow) * rowBytes;
    for (int x = 0; x < w; ++x)
      p->data[static_cast<size_t>(y) * w + x] = row[x * 3] | (row[x * 3 + 1] << 8) | (row[x * 3 + 2] << 16);
  }
  return true;
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

bool WriteText(const std::wstring& path, const std::string& text) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(h);
  return ok && written == text.size();
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

int Channel(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }
bool NearWhite(uint32_t c) { return Channel(c, 0) > 230 && Channel(c, 8) > 230 && Channel(c, 16) > 230; }
bool Bluish(uint32_t c) { return Channel(c, 0) > 150 && Channel(c, 16) < 120; }  // B high, R low
bool Dark(uint32_t c) { return Channel(c, 0) < 140 && Channel(c, 8) < 140 && Channel(c, 16) < 140; }

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

int Run(const std::wstring& folder) {
  IniTable table;
  if (!table.LoadFromResource(kFileResourceType, kResLanguageTable)) {
    Check(false, L"language table");
    return 1;
  }
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
    Shoot(folder, lang, L"msgbox", session.Text(L"ERROR_CNLUMBASTION"), MB_OK, IDOK);
    // The restart prompt, as the end of an install shows it.
    SetButtonCaptions(session.Text(L"title"),
                      {session.Text(L"ID_RESTART_LATER"), session.Text(L"ID_RESTART_NOW")});
    Shoot(folder, lang, L"restart", session.Text(L"NEED_REBOOT"), MB_OKCANCEL, IDCANCEL);
    if (std::wstring(L"en ru ja ar").find(lang) != std::wstring::npos) ShootStrip(folder, lang);
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
