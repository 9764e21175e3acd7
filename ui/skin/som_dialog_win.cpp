#include "ui/skin/som_dialog_win.h"

#include <vector>

#include "base/install_log.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

void PutWord(std::vector<WORD>* t, WORD w) { t->push_back(w); }
void PutText(std::vector<WORD>* t, const wchar_t* s) {
  for (; *s; ++s) t->push_back(static_cast<WORD>(*s));
  t->push_back(0);
}

// A borderless popup DLGTEMPLATE with no controls and the "MS Shell Dlg" 8 font.
std::vector<WORD> BuildTemplate() {
  std::vector<WORD> t;
  const DWORD style = WS_POPUP | DS_SETFONT;
  PutWord(&t, LOWORD(style));
  PutWord(&t, HIWORD(style));
  PutWord(&t, 0);  // extended style
  PutWord(&t, 0);
  PutWord(&t, 0);  // no controls
  PutWord(&t, 0);  // x, y
  PutWord(&t, 0);
  PutWord(&t, CSomDialog::kTemplateWidth);
  PutWord(&t, CSomDialog::kTemplateHeight);
  PutWord(&t, 0);  // no menu
  PutWord(&t, 0);  // default class
  PutWord(&t, 0);  // no title
  PutWord(&t, 8);
  PutText(&t, L"MS Shell Dlg");
  return t;
}

}  // namespace

INT_PTR CSomDialog::DoModal(HWND owner) {
  const std::vector<WORD> tmpl = BuildTemplate();
  const INT_PTR result = ::DialogBoxIndirectParamW(
      ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()), owner,
      GetDialogProc(), reinterpret_cast<LPARAM>(this));
  if (result == -1)
    log::Action("skin", L"show dialog", L"", static_cast<long>(::GetLastError()));
  return result;
}

INT_PTR CALLBACK CSomDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CSomDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CSomDialog*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
  } else {
    self = reinterpret_cast<CSomDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!self) return FALSE;
  LRESULT result = 0;
  const BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
  if (message == WM_NCDESTROY) {
    self->window_ = nullptr;
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    self->OnFinalMessage(window);
  }
  if (!handled) return FALSE;
  if (message == WM_INITDIALOG) return static_cast<INT_PTR>(result);
  ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

BOOL CSomDialog::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) {
  if (ProcessSkinMessage(window, message, wParam, lParam, &result)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      close_.SetImage(CloseImage());
      close_.Create(this, 0, 0, 0, 0, kCloseId, CSomWnd::kVisible | CSomWnd::kAutoSize);
      result = TRUE;
      return TRUE;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        const int cx = LOWORD(lParam), cy = HIWORD(lParam);
        SetRegion(cx, cy);
        const int m = wParam == SIZE_MAXIMIZED ? 2 : 5;
        close_.SetPos(cx - m - close_.Width(), 1);
      }
      return FALSE;
    case WM_LBUTTONDOWN:
      ::SendMessageW(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == 0 && LOWORD(wParam) >= 1 && LOWORD(wParam) <= 11) {
        ::EndDialog(window, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void CSomDialog::SetRegion(int cx, int cy) {
  if (!window_) return;
  HRGN region = ::CreateRoundRectRgn(0, 0, cx + 1, cy + 1, 7, 7);
  const POINT cuts[4] = {{1, 1}, {cx - 2, 1}, {1, cy - 2}, {cx - 2, cy - 2}};
  for (const POINT& p : cuts) {
    HRGN pixel = ::CreateRectRgn(p.x, p.y, p.x + 1, p.y + 1);
    ::CombineRgn(region, region, pixel, RGN_DIFF);
    ::DeleteObject(pixel);
  }
  // The window owns the region from here on.
  ::SetWindowRgn(window_, region, TRUE);
}

void CSomDialog::EraseBackground(HDC dc, const RECT* rect) {
  CSomBitmap* background = BackgroundImage();
  if (!background || !window_) return;
  RECT client;
  ::GetClientRect(window_, &client);
  background->DrawStretched(dc, 0, 0, client.right, client.bottom, 0);
}

CSomBitmap* CLFDialog::BackgroundImage() {
  return &SkinResources::Get().Image(SkinResources::kDialogBackground);
}

CSomBitmap* CLFDialog::CloseImage() {
  return &SkinResources::Get().Image(SkinResources::kCloseButton);
}

}  // namespace lum
