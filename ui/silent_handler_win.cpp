#include "ui/silent_handler_win.h"

#include "base/install_log.h"
#include "base/prescribed_wait.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"
#include "ui/msg_box_win.h"
#include "ui/skin/dpi_scale_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "silent";
constexpr const wchar_t* kSelfProperty = L"LumSilentMsgHandler";
constexpr UINT kTrayCallback = WM_USER + 100;
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAW_V3_SIZE == 952,
              "the tray structure Windows XP's shell accepts");

// Language texts carry "\n" as two characters; the tray shows one line.
std::wstring WithoutLineMarks(std::wstring text, size_t maxChars) {
  for (size_t at = text.find(L"\\n"); at != std::wstring::npos; at = text.find(L"\\n", at))
    text.erase(at, 2);
  if (text.size() > maxChars) text.resize(maxChars);
  return text;
}

// The shut-down screen shows the reason as it is: the marks become breaks.
std::wstring WithLineBreaks(std::wstring text) {
  for (size_t at = text.find(L"\\n"); at != std::wstring::npos; at = text.find(L"\\n", at + 1))
    text.replace(at, 2, L"\n");
  return text;
}

// An installed 5.2 product shows its own update tips unless told otherwise.
void MarkTipsShownForOldProduct() {
  FileVersion version;
  const std::wstring folder = ReadProductFolder();
  if (folder.empty() || !ReadFileVersion(WithTrailingSlash(folder) + L"ZVVer.dll", &version) ||
      version.major != 5 || version.minor != 2)
    return;
  RegKey key;
  DWORD value = 0;
  const bool opened = key.Create(HKEY_LOCAL_MACHINE, L"Software\\LumBastion\\Experience",
                                 KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (opened) key.ReadDword(L"ShowTipsValue", &value);
  const bool written = opened && key.WriteDword(L"ShowTipsValue", value | 0x8);
  log::Action(kLog, L"set tips bit 0x8 for the installed 5.2 product",
              L"HKLM\\Software\\LumBastion\\Experience\\ShowTipsValue",
              written ? 0 : static_cast<long>(key.LastError()));
}

void CopyText(wchar_t* target, size_t capacity, const std::wstring& text) {
  const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  text.copy(target, n);
  target[n] = L'\0';
}

// The session-end block calls exist from Vista on only; they are looked up
// in the system folder's User32.dll when needed, so the installer still
// starts on older Windows and never binds to a User32.dll from elsewhere.
FARPROC SystemUser32Entry(const char* name) {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  HMODULE user32 = ::GetModuleHandleW((std::wstring(folder) + L"\\user32.dll").c_str());
  return user32 ? ::GetProcAddress(user32, name) : nullptr;
}

void CreateShutdownBlock(HWND window, const std::wstring& reason) {
  using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
  auto create = reinterpret_cast<Create>(
      reinterpret_cast<void*>(SystemUser32Entry("ShutdownBlockReasonCreate")));
  const BOOL ok = create ? create(window, reason.c_str()) : FALSE;
  log::Action(kLog, L"block log-off and shut-down", reason, ok ? 0 : 1);
}

void DestroyShutdownBlock(HWND window) {
  using Destroy = BOOL(WINAPI*)(HWND);
  auto destroy = reinterpret_cast<Destroy>(
      reinterpret_cast<void*>(SystemUser32Entry("ShutdownBlockReasonDestroy")));
  if (destroy) destroy(window);
}

}  // namespace

CSilentMsgHanlder::~CSilentMsgHanlder() {
  RemoveTrayIcon();
  if (promptShown_ && window_) DestroyShutdownBlock(window_);
  if (window_) ::DestroyWindow(window_);
  for (HICON icon : icons_)
    if (icon) ::DestroyIcon(icon);
}

bool CSilentMsgHanlder::Create(bool updatePrompts) {
  updatePrompts_ = updatePrompts;
  std::wstring title = Session().Text(L"title");
  if (title.empty()) title = L"Lum Bastion";
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  window_ = ::CreateWindowExW(WS_EX_WINDOWEDGE, L"STATIC", title.c_str(), WS_POPUP, 0, 0, 0, 0,
                              nullptr, nullptr, instance, nullptr);
  if (!window_) {
    // Without a desktop (a service session, a headless machine) no top-level
    // window can be made; a message-only window still carries the messages
    // of the run, only the session-end prompt is lost.
    log::Action(kLog, L"create hidden top-level window (falling back to message-only)", L"",
                static_cast<long>(::GetLastError()));
    window_ = ::CreateWindowExW(0, L"STATIC", title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, nullptr);
  }
  if (!window_) {
    log::Action(kLog, L"create silent handler window", L"", static_cast<long>(::GetLastError()));
    return false;
  }
  // A silent run never prepares the interface's skin, but the prompt of an
  // older Windows is a message box whose button needs its caption.
  SetButtonCaptions(title, {Session().Text(L"IDOK"), Session().Text(L"IDCANCEL")});
  ::SetPropW(window_, kSelfProperty, this);
  staticProc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSilentMsgHanlder::WindowProc)));
  HICON big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(128), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON),
                                              ::GetSystemMetrics(SM_CYICON), 0));
  HICON small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(128), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON),
                                                ::GetSystemMetrics(SM_CYSMICON), 0));
  if (big) ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  if (small) ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  return true;
}

int CSilentMsgHanlder::Run() {
  if (updatePrompts_) {
    MarkTipsShownForOldProduct();
    AddTrayIcon();
    ::SetTimer(window_, kBlinkTimer, kBlinkMs, nullptr);
  }
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK CSilentMsgHanlder::WindowProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  auto* self = static_cast<CSilentMsgHanlder*>(::GetPropW(window, kSelfProperty));
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::RemovePropW(window, kSelfProperty);
    WNDPROC original = self->staticProc_;
    self->window_ = nullptr;
    return ::CallWindowProcW(original, window, message, wParam, lParam);
  }
  return self->Handle(message, wParam, lParam);
}

LRESULT CSilentMsgHanlder::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      if (!updatePrompts_) return TRUE;
      ShowPrompt((static_cast<DWORD>(lParam) & ENDSESSION_LOGOFF) != 0);
      return FALSE;
    case kShowPrompt: {
      const std::wstring text = WithoutLineMarks(
          Session().Text(wParam == 1 ? L"ID_UPDATE_PROMPT_LOGOFF" : L"ID_UPDATE_PROMPT"), 255);
      if (GetWindowsVersion().AtLeast(6, 0)) {
        notify_.uFlags = NIF_INFO;
        notify_.dwInfoFlags = NIIF_INFO;
        CopyText(notify_.szInfo, ARRAYSIZE(notify_.szInfo), text);
        if (trayIconAdded_) ::Shell_NotifyIconW(NIM_MODIFY, &notify_);
      } else if (!messageBoxOpen_) {
        messageBoxOpen_ = true;
        // Owned by the desktop: no owner, since a modal box disables its owner.
        ShowMessageBox(nullptr, PopLogoId(), text, MB_OK, IDOK);
        messageBoxOpen_ = false;
      }
      return 0;
    }
    case kSilentDone:
      log::Note(kLog, L"install body finished");
      ::KillTimer(window_, kBlinkTimer);
      if (promptShown_) {
        if (GetWindowsVersion().AtLeast(6, 0)) DestroyShutdownBlock(window_);
        notify_.uFlags = NIF_INFO;
        notify_.dwInfoFlags = NIIF_INFO;
        CopyText(notify_.szInfo, ARRAYSIZE(notify_.szInfo),
                 WithoutLineMarks(Session().Text(L"ID_UPDATE_PROMPT_DONE"), 255));
        if (trayIconAdded_) ::Shell_NotifyIconW(NIM_MODIFY, &notify_);
      }
      ::SetTimer(window_, kQuitTimer, quitDelayMs_, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kBlinkTimer) {
        iconIndex_ ^= 1;
        notify_.uFlags = NIF_ICON;
        notify_.hIcon = icons_[iconIndex_];
        if (trayIconAdded_) ::Shell_NotifyIconW(NIM_MODIFY, &notify_);
        ::SetTimer(window_, kBlinkTimer, kBlinkMs, nullptr);
        return 0;
      }
      if (wParam == kQuitTimer) {
        ::KillTimer(window_, kQuitTimer);
        log::Note(kLog, PrescribedWaitText(L"quit delay after the install", quitDelayMs_));
        RemoveTrayIcon();
        ::PostQuitMessage(0);
        return 0;
      }
      break;
    default:
      break;
  }
  return ::CallWindowProcW(staticProc_, window_, message, wParam, lParam);
}

void CSilentMsgHanlder::ShowPrompt(bool logoff) {
  if (!promptShown_) {
    promptShown_ = true;
    if (GetWindowsVersion().AtLeast(6, 0)) {
      blockReason_ = WithLineBreaks(
          Session().Text(logoff ? L"ID_UPDATE_PROMPT_LOGOFF" : L"ID_UPDATE_PROMPT"));
      CreateShutdownBlock(window_, blockReason_);
    }
  }
  ::PostMessageW(window_, kShowPrompt, logoff ? 1 : 0, 0);
}

void CSilentMsgHanlder::AddTrayIcon() {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Scaled displays get the 48-pixel image rather than a blurred small one.
  const int size = Dpi().Active() ? 48 : ::GetSystemMetrics(SM_CXSMICON);
  for (int i = 0; i < 2; ++i)
    icons_[i] = static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(509 + i), IMAGE_ICON, size, size, 0));
  // Windows XP's shell takes no larger structure than this; nothing later
  // in it (the balloon's own icon) is used.
  notify_.cbSize = NOTIFYICONDATAW_V3_SIZE;
  notify_.hWnd = window_;
  notify_.uID = 1;
  notify_.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  notify_.uCallbackMessage = kTrayCallback;
  notify_.hIcon = icons_[0];
  notify_.uTimeout = 5000;
  CopyText(notify_.szTip, ARRAYSIZE(notify_.szTip),
           WithoutLineMarks(Session().Text(L"ID_UPDATE_PROMPT"), 127));
  CopyText(notify_.szInfoTitle, ARRAYSIZE(notify_.szInfoTitle), Session().Text(L"title"));
  trayIconAdded_ = ::Shell_NotifyIconW(NIM_ADD, &notify_) != FALSE;
  log::Action(kLog, L"add update tray icon", L"", trayIconAdded_ ? 0 : 1);
}

void CSilentMsgHanlder::RemoveTrayIcon() {
  if (!trayIconAdded_) return;
  notify_.uFlags = 0;
  ::Shell_NotifyIconW(NIM_DELETE, &notify_);
  trayIconAdded_ = false;
}

}  // namespace lum
