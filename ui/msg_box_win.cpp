#include "ui/msg_box_win.h"

#include <algorithm>
#include <map>

#include "base/install_log.h"
#include "install/restart_offer_win.h"
#include "session/session_settings.h"
#include "system/windows_version_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/gdiplus_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

struct CaptionTable {
  std::wstring title;
  std::map<int, std::wstring> captions;
};

CaptionTable& Captions() {
  static CaptionTable table;
  return table;
}

// Language strings carry the line mark as the two characters '\' 'n'; the
// built-in texts use a real line feed.
std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines(1);
  for (size_t at = 0; at < text.size(); ++at) {
    if (text[at] == L'\n') {
      lines.emplace_back();
    } else if (text[at] == L'\\' && at + 1 < text.size() && text[at + 1] == L'n') {
      lines.emplace_back();
      ++at;
    } else {
      lines.back() += text[at];
    }
  }
  return lines;
}

bool UsableOwner(HWND owner) {
  return owner && ::IsWindow(owner) && ::IsWindowVisible(owner) && !::IsIconic(owner);
}

UINT SystemFlags(UINT flags) {
  // Same set numbers as the system box; the icon says what kind of message it is.
  return (flags & 0xF) | MB_ICONINFORMATION | MB_SETFOREGROUND;
}

}  // namespace

void SetButtonCaptions(const std::wstring& title, std::initializer_list<std::wstring> captions) {
  CaptionTable& table = Captions();
  table.title = title;
  int id = 1;
  for (const std::wstring& caption : captions) table.captions[id++] = caption;
}

std::wstring ButtonCaption(int id) {
  const auto& captions = Captions().captions;
  auto found = captions.find(id);
  return found == captions.end() ? std::wstring() : found->second;
}

const std::wstring& MessageBoxTitle() { return Captions().title; }

void CMsgBoxDialog::ButtonIds(UINT flags, int ids[3]) {
  static const int kSets[7][3] = {
      {0, 0, IDOK},          {0, IDOK, IDCANCEL},      {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL}, {0, IDYES, IDNO},       {0, IDRETRY, IDCANCEL},
      {IDCANCEL, IDTRYAGAIN, IDCONTINUE},
  };
  const UINT set = flags & 0xF;
  for (int i = 0; i < 3; ++i) ids[i] = set < 7 ? kSets[set][i] : kSets[0][i];
}

CMsgBoxDialog::CMsgBoxDialog(int pictureId, const std::wstring& text, UINT flags, int defaultId)
    : flags_(flags), defaultId_(defaultId) {
  if (pictureId > 0)
    picture_ = std::make_unique<CSomBitmap>(pictureId, 1, CSomBitmap::kPng, false,
                                            pictureId + kHiDpiPictureOffset);
  if (!picture_ || !picture_->Loaded())
    picture_ = std::make_unique<CSomBitmap>(kDefaultPicture, 1, CSomBitmap::kPng, false,
                                            kDefaultPicture + kHiDpiPictureOffset);
  pieces_ = SplitLines(text);
}

CMsgBoxDialog::~CMsgBoxDialog() {
  for (CSomTextWnd* line : lines_) delete line;
}

CSomBitmap* CMsgBoxDialog::BackgroundImage() {
  return &SkinResources::Get().Image(SkinResources::kMessageBoxBackground);
}

void CMsgBoxDialog::EraseBackground(HDC dc, const RECT* rect) {
  if (!window_) return;
  RECT client;
  ::GetClientRect(window_, &client);
  BackgroundImage()->DrawStretched(dc, 0, 0, client.right, client.bottom, 0);
  picture_->DrawFrame(dc, 0, 0, 0);
  const DpiScale& dpi = Dpi();
  SkinResources::Get().Image(SkinResources::kMessageIcon).DrawFrame(dc, dpi.Scale(30), dpi.Scale(62), 0);
}

void CMsgBoxDialog::OnInit() {
  SkinResources& skin = SkinResources::Get();
  ::SetWindowTextW(window_, MessageBoxTitle().c_str());
  for (const std::wstring& piece : pieces_) {
    auto* line = new CSomTextWnd();
    line->SetFont(skin.Font(4));
    line->SetTextColor(kLineColor);
    line->Create(this, 0, 0, 0, 0, 0, CSomWnd::kVisible | CSomWnd::kAutoSize);
    // Callers format their texts before; only the escaped percent sign of
    // the language strings is left to undo (never format a text twice).
    std::wstring markup = piece;
    for (size_t at = markup.find(L"%%"); at != std::wstring::npos; at = markup.find(L"%%", at + 1))
      markup.erase(at, 1);
    line->SetText(markup);
    lines_.push_back(line);
  }
  int ids[3];
  ButtonIds(flags_, ids);
  bool defaultVisible = false;
  for (int id : ids) defaultVisible = defaultVisible || (id != 0 && id == defaultId_);
  for (int i = 0; i < 3; ++i) {
    CSomButton4& button = buttons_[i];
    const bool visible = ids[i] != 0;
    const bool primary = visible && defaultVisible && ids[i] == defaultId_;
    button.SetBackground(&skin.Image(primary ? SkinResources::kDefaultButton
                                             : SkinResources::kSecondaryButton));
    button.SetTextColor(primary ? kPrimaryTextColor : kSecondaryTextColor);
    button.Create(this, 0, 0, 0, 0, static_cast<UINT>(ids[i]),
                  (visible ? static_cast<uint32_t>(CSomWnd::kVisible) : 0u) | CSomWnd::kAutoSize);
    if (visible) button.SetText(ButtonCaption(ids[i]));
  }
  PlaceWindow();
}

void CMsgBoxDialog::PlaceWindow() {
  const DpiScale& dpi = Dpi();
  int textWidth = 0, textHeight = 0;
  for (CSomTextWnd* line : lines_) {
    textWidth = std::max(textWidth, line->Width());
    textHeight += line->Height() + dpi.Scale(5);
  }
  textHeight = std::max(textHeight, dpi.Scale(50));
  const int cx = std::max(dpi.Scale(520), textWidth + dpi.Scale(140));
  const int cy = std::max(dpi.Scale(200), textHeight + dpi.Scale(80));
  RECT frame = {0, 0, cx, cy};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE)));
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  HWND owner = ::GetWindow(window_, GW_OWNER);
  MONITORINFO monitor = {sizeof(monitor)};
  HMONITOR where = ::MonitorFromWindow(owner ? owner : window_, MONITOR_DEFAULTTOPRIMARY);
  ::GetMonitorInfoW(where, &monitor);
  const RECT work = monitor.rcWork;
  RECT around = work;
  if (UsableOwner(owner)) ::GetWindowRect(owner, &around);
  int x = around.left + ((around.right - around.left) - w) / 2;
  int y = around.top + ((around.bottom - around.top) - h) / 2;
  x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - w));
  y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - h));
  ::SetWindowPos(window_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client;
  ::GetClientRect(window_, &client);
  Layout(client.right, client.bottom);
}

void CMsgBoxDialog::Layout(int cx, int cy) {
  const DpiScale& dpi = Dpi();
  const int x = dpi.Scale(HasPicture() ? 110 : 30);
  int y = dpi.Scale(62);
  if (lines_.size() == 1) y += (dpi.Scale(50) - lines_[0]->Height()) / 2;
  // Lines read right to left end at one right edge, as they begin at one
  // left edge otherwise.
  int widest = 0;
  for (CSomTextWnd* line : lines_) widest = std::max(widest, line->Width());
  for (CSomTextWnd* line : lines_) {
    line->SetPos(line->RightToLeft() ? x + widest - line->Width() : x, y);
    y += line->Height() + dpi.Scale(5);
  }
  int right = cx - dpi.Scale(20);
  for (int i = 2; i >= 0; --i) {
    CSomButton4& button = buttons_[i];
    if (!button.IsVisible()) continue;
    button.SetPos(right - button.Width(), cy - dpi.Scale(20) - button.Height());
    right -= button.Width() + dpi.Scale(10);
  }
}

BOOL CMsgBoxDialog::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG: {
      const BOOL handled = CLFDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
      OnInit();
      return handled;
    }
    case WM_SIZE: {
      const BOOL handled = CLFDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
      if (wParam != SIZE_MINIMIZED) Layout(LOWORD(lParam), HIWORD(lParam));
      return handled;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == 0 && LOWORD(wParam) == IDCANCEL &&
          (lParam == 0 || lParam == reinterpret_cast<LPARAM>(&CloseButton()))) {
        // The close button, Escape or Alt+F4: not one of the buttons.
        ::EndDialog(window, closeAnswer_);
        return TRUE;
      }
      if (HIWORD(wParam) == 0 && lParam == 0 && LOWORD(wParam) == IDOK) {
        // Enter: the default button when it is shown, else the rightmost one.
        int ids[3];
        ButtonIds(flags_, ids);
        int answer = ids[2];
        for (int id : ids)
          if (id != 0 && id == defaultId_) answer = id;
        ::EndDialog(window, answer);
        return TRUE;
      }
      break;
    case WM_DESTROY: {
      const BOOL handled = CLFDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
      for (CSomTextWnd* line : lines_) delete line;
      lines_.clear();
      return handled;
    }
    default:
      break;
  }
  return CLFDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
}

namespace {

int RunMessageBox(HWND owner, int pictureId, const std::wstring& text, UINT flags, int defaultId,
                  int closeAnswer) {
  if (!StartGdiPlus()) {
    // Without GDI+ the skin has no images (and its buttons no faces).
    std::wstring plain;
    for (const std::wstring& line : SplitLines(text)) plain += (plain.empty() ? L"" : L"\n") + line;
    return ::MessageBoxW(owner, plain.c_str(), MessageBoxTitle().c_str(), SystemFlags(flags));
  }
  CMsgBoxDialog box(pictureId, text, flags, defaultId);
  box.SetCloseAnswer(closeAnswer);
  const INT_PTR answer = box.DoModal(owner);
  log::Note("ui", L"message box answered " + std::to_wstring(static_cast<long long>(answer)));
  return answer < 0 ? closeAnswer : static_cast<int>(answer);
}

}  // namespace

int ShowMessageBox(HWND owner, int pictureId, const std::wstring& text, UINT flags, int defaultId) {
  return RunMessageBox(owner, pictureId, text, flags, defaultId, IDCANCEL);
}

int PopLogoId() {
  const std::wstring value = Session().Text(L"poplogo");
  return static_cast<int>(wcstol(value.c_str(), nullptr, 10));
}

void PrepareSkinForLanguage() {
  SessionSettings& session = Session();
  // Windows XP has no such call: looked up, so that the program still loads there.
  using DpiAwareFn = BOOL(WINAPI*)();
  if (auto dpiAware = reinterpret_cast<DpiAwareFn>(reinterpret_cast<void*>(
          ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware"))))
    dpiAware();
  SkinResources& skin = SkinResources::Get();
  skin.SetLanguage(session.language.empty() ? L"en" : session.language);
  const std::wstring face = ChooseInstalledFace(session.Text(L"font"));
  if (face != skin.FontFace()) skin.SetFontFace(face);
  SetButtonCaptions(session.Text(L"title"), {session.Text(L"IDOK"), session.Text(L"IDCANCEL")});
  // The end of an install asks through the skinned box from now on.
  SetRestartPrompt(&ShowRestartPrompt);
  log::Note("ui", L"skin font face " + face + L" for language " + skin.Language());
}

DamagedFilePrompt SkinnedDamagedFilePrompt() {
  DamagedFilePrompt prompt = SystemDamagedFilePrompt();
  prompt.showBox = [](HWND owner, const DamagedFileText& message) {
    // Yes and No in the message's own language, whatever the table's is; the
    // table's own captions come back for the boxes after this one.
    const CaptionTable saved = Captions();
    SetButtonCaptions(message.caption.empty() ? MessageBoxTitle() : message.caption,
                      {ButtonCaption(IDOK), ButtonCaption(IDCANCEL), ButtonCaption(IDABORT),
                       ButtonCaption(IDRETRY), ButtonCaption(IDIGNORE), message.yes, message.no});
    const int answer = ShowMessageBox(owner, PopLogoId(), message.text, MB_YESNO, IDYES);
    Captions() = saved;
    return answer;
  };
  return prompt;
}

bool ShowRestartPrompt(HWND owner) {
  SessionSettings& session = Session();
  // Its two captions are this box's alone: the boxes after it say OK and Cancel again.
  const CaptionTable saved = Captions();
  SetButtonCaptions(session.Text(L"title"),
                    {session.Text(L"ID_RESTART_LATER"), session.Text(L"ID_RESTART_NOW")});
  // Button 2 is "restart now"; closing the box must not restart the machine.
  const bool now = RunMessageBox(owner, PopLogoId(), session.Text(L"NEED_REBOOT"), MB_OKCANCEL,
                                 IDCANCEL, IDOK) == IDCANCEL;
  Captions() = saved;
  return now;
}

}  // namespace lum
