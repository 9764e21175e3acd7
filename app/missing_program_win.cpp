#include "app/missing_program_win.h"

#include <windows.h>

#include <atomic>
#include <memory>

#include "base/install_log.h"
#include "browser/open_link_win.h"
#include "i18n/damaged_file_message_win.h"
#include "report/damaged_file_report_win.h"
#include "session/session_settings.h"
#include "system/product_location_win.h"
#include "ui/msg_box_win.h"

namespace lum {

namespace {

constexpr UINT kShowMessage = WM_APP + 0x31;
constexpr const wchar_t kWindowClass[] = L"LumMissingProgramRequests";
std::atomic<HWND> g_window{nullptr};
std::atomic<DWORD> g_thread{0};

void ShowNow(const std::wstring& program) {
  const SessionSettings& session = Session();
  const DamagedFilePrompt reporting = DamagedFilePromptWithReport();
  if (session.silent) {
    log::Note("install", L"damaged-file message not shown in a silent run: " + program);
    if (UserExperienceEnabled()) reporting.report(program, false);
    return;
  }
  DamagedFilePrompt prompt = SkinnedDamagedFilePrompt();
  prompt.report = reporting.report;
  // The download page opens in the user's browser with the user's rights.
  prompt.openAddress = [](const std::wstring& address) {
    return OpenLink(address, kOpenLinkDefaultBrowser);
  };
  std::wstring folder = ReadProductFolder();
  if (folder.empty()) folder = session.installDir;
  // No owner: the box is a window of its own above whatever page is shown.
  ShowDamagedFileMessage(nullptr, folder, program, prompt);
}

LRESULT CALLBACK RequestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kShowMessage) {
    std::unique_ptr<std::wstring> program(reinterpret_cast<std::wstring*>(lParam));
    ShowNow(*program);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool ShowMissingProgramOnThisThread() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = RequestProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kWindowClass;
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
  if (!window) {
    log::Action("install", L"damaged-file message window not created", kWindowClass,
                static_cast<long>(::GetLastError()));
    return false;
  }
  g_thread = ::GetCurrentThreadId();
  g_window = window;
  return true;
}

void OnMissingProgram(const std::wstring& program) {
  HWND window = g_window.load();
  if (!window || ::GetCurrentThreadId() == g_thread.load() || Session().silent) {
    ShowNow(program);
    return;
  }
  auto request = std::make_unique<std::wstring>(program);
  if (::PostMessageW(window, kShowMessage, 0, reinterpret_cast<LPARAM>(request.get()))) {
    request.release();
    log::Note("install", L"damaged-file message handed to the interface thread: " + program);
    return;
  }
  log::Action("install", L"damaged-file message not shown: the interface thread is gone", program,
              static_cast<long>(::GetLastError()));
}

}  // namespace lum
