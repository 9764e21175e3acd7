#include "ui/policy_notice_win.h"

#include "base/install_log.h"
#include "browser/open_link_win.h"
#include "session/session_settings.h"
#include "system/registry_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/skin_resources_win.h"

namespace lum {

namespace {

constexpr const wchar_t* kClassName = L"LumPolicyNoticeClass";
constexpr const wchar_t* kExperienceKey = L"SOFTWARE\\LumBastion\\Experience";
constexpr DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
constexpr COLORREF kTitleColor = 0x606060;
constexpr COLORREF kTextColor = 0x505050;

void CentreAt(CSomWnd& control, int width, int y) {
  control.SetPos((width - control.Width()) / 2, y);
}

}  // namespace

void WriteUserExperience(bool joined) {
  RegKey key;
  const bool opened = key.Create(HKEY_LOCAL_MACHINE, kExperienceKey, KEY_SET_VALUE);
  const bool written = opened && key.WriteDword(L"UserExperience", joined ? 1 : 0);
  log::Action("ui", std::wstring(L"write UserExperience = ") + (joined ? L"1" : L"0"),
              std::wstring(L"HKLM\\") + kExperienceKey, written ? 0 : 1);
}

CPagePolicyNotice::CPagePolicyNotice()
    : closeButton_(&SkinResources::Get().Image(SkinResources::kCloseButton)),
      continueButton_(&SkinResources::Get().Image(SkinResources::kPrimaryButton2)) {}

CPagePolicyNotice::~CPagePolicyNotice() {
  shadow_.Destroy();
  DestroySomWindow();
  if (whiteBrush_) ::DeleteObject(whiteBrush_);
  if (headerBrush_) ::DeleteObject(headerBrush_);
}

bool CPagePolicyNotice::Create(HWND mainWindow, UINT finishMessage) {
  mainWindow_ = mainWindow;
  finishMessage_ = finishMessage;
  if (!whiteBrush_) whiteBrush_ = ::CreateSolidBrush(0xFFFFFF);
  if (!headerBrush_) headerBrush_ = ::CreateSolidBrush(kHeaderColor);
  const DpiScale& dpi = Dpi();
  RECT main = {0, 0, 0, 0};
  if (mainWindow) ::GetWindowRect(mainWindow, &main);
  const int w = dpi.Scale(kWidth), h = dpi.Scale(kHeight);
  // Over the main window's place: the page takes over where the user looks.
  RECT rect = {main.left, main.top, main.left + w, main.top + h};
  if (!CreateSomWindow(kClassName, mainWindow, rect, Session().Text(L"title").c_str(), kStyle,
                       kExStyle))
    return false;
  return true;
}

void CPagePolicyNotice::Show() {
  if (!window_) return;
  ::ShowWindow(window_, SW_SHOW);
  ::SetForegroundWindow(window_);
  ::UpdateWindow(window_);
}

void CPagePolicyNotice::CreateControls() {
  SessionSettings& session = Session();
  SkinResources& skin = SkinResources::Get();
  const uint32_t visible = CSomWnd::kVisible;
  closeButton_.Create(this, 0, 0, 0, 0, kClose, visible | CSomWnd::kAutoSize);

  title_.SetFont(skin.Font(5));
  title_.SetTextColor(kTitleColor, kTitleColor);
  title_.SetAlignment(DT_CENTER);
  title_.Create(this, 0, 0, 552, 30, 0, visible);
  title_.SetText(session.Text(L"important_notice"));

  description_.SetFont(skin.Font(0));
  description_.SetTextColor(kTextColor, kTextColor);
  description_.SetAlignment(DT_CENTER);
  description_.Create(this, 0, 0, 302, 30, 0, visible);
  description_.SetText(session.Text(L"user_privacy_desc"));

  privacyLink_.SetFont(skin.Font(0));
  privacyLink_.SetTextColor(kTextColor);
  privacyLink_.Create(this, 0, 0, 0, 0, 0, visible | CSomWnd::kAutoSize);
  privacyLink_.SetTextFormat(session.Text(L"user_privacy_link").c_str(), kPrivacyLink);

  continueButton_.SetTextColor(0xFFFFFF);
  continueButton_.Create(this, 0, 0, 200, 32, kContinue, visible);
  continueButton_.SetText(session.Text(L"IDCCONTINUE"));

  experienceBox_.Create(this, 0, 0, 0, 0, kExperienceBox, CSomWnd::kAutoSize);
  experienceBox_.SetCheck(true);
  experienceLabel_.SetFont(skin.Font(0));
  experienceLabel_.Create(this, 0, 0, 0, 0, 0, CSomWnd::kAutoSize);
  experienceLabel_.SetTextFormat(session.Text(L"configcheck").c_str(), kExperienceLink);

  WriteUserExperience(true);
}

void CPagePolicyNotice::Layout() {
  if (!window_) return;
  const DpiScale& dpi = Dpi();
  RECT client;
  ::GetClientRect(window_, &client);
  const int width = client.right;
  closeButton_.SetPos(width - closeButton_.Width(), 0);
  CentreAt(title_, width, dpi.Scale(130));
  CentreAt(description_, width, title_.Rect().bottom + dpi.Scale(40));
  CentreAt(privacyLink_, width, description_.Rect().bottom + dpi.Scale(8));
  CentreAt(continueButton_, width, dpi.Scale(360));
  // The experience row is hidden; it keeps a place in case it is shown.
  const int rowWidth = experienceBox_.Width() + dpi.Scale(5) + experienceLabel_.Width();
  const int left = (width - rowWidth) / 2;
  const int rowY = continueButton_.Rect().bottom + dpi.Scale(16);
  experienceBox_.SetPos(left, rowY);
  experienceLabel_.SetPos(left + experienceBox_.Width() + dpi.Scale(5),
                          rowY + (experienceBox_.Height() - experienceLabel_.Height()) / 2);
}

void CPagePolicyNotice::EraseBackground(HDC dc, const RECT*) {
  if (!window_) return;
  const DpiScale& dpi = Dpi();
  RECT client;
  ::GetClientRect(window_, &client);
  ::FillRect(dc, &client, whiteBrush_);
  RECT header = {0, 0, client.right, dpi.Scale(kHeaderHeight)};
  ::FillRect(dc, &header, headerBrush_);
  SkinResources::Get().Image(SkinResources::kProductName)
      .DrawStretched(dc, dpi.Scale(10), dpi.Scale(8), dpi.Scale(169), dpi.Scale(18), 0);
}

bool CPagePolicyNotice::BlocksAltF4(const MSG& msg) const { return IsAltF4(msg); }

BOOL CPagePolicyNotice::PreTranslateMessage(MSG* msg) {
  if (!window_ || !msg) return FALSE;
  if (msg->hwnd != window_ && !::IsChild(window_, msg->hwnd)) return FALSE;
  if (BlocksAltF4(*msg)) {
    log::Note("ui", L"Alt+F4 on the notice page ignored");
    return TRUE;
  }
  return ::IsDialogMessageW(window_, msg);
}

void CPagePolicyNotice::Leave() {
  if (left_) return;
  left_ = true;
  closeButton_.Enable(false);
  continueButton_.Enable(false);
  if (mainWindow_) ::PostMessageW(mainWindow_, finishMessage_, 0, 0);
}

bool CPagePolicyNotice::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, LRESULT& result) {
  if (ProcessSkinMessage(window, message, wParam, lParam, &result)) return true;
  switch (message) {
    case WM_CREATE:
      MessageLoop().AddMessageFilter(this);
      shadow_.Create(window, false);
      CreateControls();
      Layout();
      result = 0;
      return true;
    case WM_SIZE:
      Layout();
      return false;
    case WM_SHOWWINDOW:
      shadow_.FitTo(window);
      shadow_.Show(wParam != 0);
      return false;
    case WM_WINDOWPOSCHANGED:
      if (::IsWindowVisible(window)) shadow_.FitTo(window);
      return false;
    case WM_CLOSE:
      // Closed from outside (the taskbar, a tool): the same as its close
      // button, so the main window always gets to finish.
      Leave();
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      ::SendMessageW(window, WM_SYSCOMMAND, 0xF012, 0);
      result = 0;
      return true;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kClose:
        case kContinue:
          Leave();
          break;
        case kPrivacyLink:
          OpenLink(Session().Text(L"privacy_link"), kOpenLinkDefaultBrowser);
          break;
        case kExperienceBox:
          WriteUserExperience(experienceBox_.Checked());
          break;
        case kExperienceLink:
          OpenLink(Session().Text(L"user_link"), kOpenLinkDefaultBrowser);
          break;
        default:
          return false;
      }
      result = 0;
      return true;
    case WM_DESTROY:
      MessageLoop().RemoveMessageFilter(this);
      shadow_.Destroy();
      return false;
    default:
      return false;
  }
}

}  // namespace lum
