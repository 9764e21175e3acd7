// The silent run's hidden window driven through its own messages: the tray
// icon blinks between its two images, a refused log-off shows the log-off
// text in the balloon, and completion shows the done text and ends the loop.
#include "ui/silent_handler_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "session/session_settings.h"
#include "ui/msg_box_win.h"

namespace lum {
namespace {

// A message-only window that runs the next step of a test from the queue,
// so each step sees what the messages before it did.
class Steps {
 public:
  Steps() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Steps::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumSilentTestSteps";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Steps() { ::DestroyWindow(window_); }
  void Add(std::function<void()> step) { steps_.push_back(std::move(step)); }
  void Next() { ::PostMessageW(window_, WM_APP, 0, 0); }
  size_t Done() const { return done_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Steps*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_APP && self->done_ < self->steps_.size()) {
      self->steps_[self->done_++]();
      return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window_ = nullptr;
  std::vector<std::function<void()>> steps_;
  size_t done_ = 0;
};

// The texts of an update run, with the two-character line marks of the table.
void UseUpdateTexts() {
  SessionSettings& session = Session();
  session.texts[L"title"] = L"Lum Bastion";
  session.texts[L"IDOK"] = L"OK";
  session.texts[L"IDCANCEL"] = L"Cancel";
  session.texts[L"ID_UPDATE_PROMPT"] = L"Lum Bastion is being updated.\\nPlease do not shut down.";
  session.texts[L"ID_UPDATE_PROMPT_LOGOFF"] = L"Lum Bastion is being updated.\\nPlease do not log off.";
  session.texts[L"ID_UPDATE_PROMPT_DONE"] = L"Lum Bastion has been updated.";
}

TEST(SilentHandler, BlinksRefusesLogOffWithItsTextAndSaysWhenDone) {
  UseUpdateTexts();

  CSilentMsgHanlder handler;
  ASSERT_TRUE(handler.Create(true));
  handler.SetQuitDelay(10);
  HWND window = handler.Window();
  Steps steps;
  HICON first = nullptr;
  steps.Add([&] {
    // The loop has added the tray icon: both images are there, the first shown.
    first = handler.TrayIcon(0);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, handler.TrayIcon(1));
    EXPECT_NE(first, handler.TrayIcon(1));
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(first, &info));
    BITMAP bm = {};
    ::GetObjectW(info.hbmColor, sizeof(bm), &bm);
    EXPECT_EQ(::GetSystemMetrics(SM_CXSMICON), bm.bmWidth);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    EXPECT_EQ(std::wstring(L"Lum Bastion is being updated.Please do not shut down."),
              handler.TrayData().szTip);
    EXPECT_EQ(FALSE, ::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    steps.Next();  // runs after the prompt message the refusal posted
  });
  steps.Add([&] {
    EXPECT_EQ(std::wstring(L"Lum Bastion is being updated.Please do not log off."),
              handler.TrayData().szInfo);
    EXPECT_EQ(std::wstring(L"Lum Bastion"), handler.TrayData().szInfoTitle);
    EXPECT_EQ(FALSE, ::SendMessageW(window, WM_QUERYENDSESSION, 0, 0));  // shutdown
    steps.Next();
  });
  steps.Add([&] {
    EXPECT_EQ(std::wstring(L"Lum Bastion is being updated.Please do not shut down."),
              handler.TrayData().szInfo);
    ::SendMessageW(window, WM_TIMER, CSilentMsgHanlder::kBlinkTimer, 0);
    EXPECT_EQ(handler.TrayIcon(1), handler.TrayData().hIcon);
    ::SendMessageW(window, WM_TIMER, CSilentMsgHanlder::kBlinkTimer, 0);
    EXPECT_EQ(first, handler.TrayData().hIcon);
    ::PostMessageW(window, CSilentMsgHanlder::kSilentDone, 0, 0);
  });
  steps.Next();
  EXPECT_EQ(0, handler.Run());
  EXPECT_EQ(3u, steps.Done());
  EXPECT_EQ(std::wstring(L"Lum Bastion has been updated."), handler.TrayData().szInfo);
}

// What the shell and the prompts get from the handler: the tray structure in
// the size the oldest supported shell accepts, a block reason with real line
// breaks, and message-box captions although a silent run never prepared the
// skin (the pre-Vista prompt is a box with an OK button).
TEST(SilentHandler, TrayStructureBlockReasonAndPromptCaptionsAreWhatTheSystemShows) {
  UseUpdateTexts();
  SetButtonCaptions(L"", {L"", L""});

  CSilentMsgHanlder handler;
  ASSERT_TRUE(handler.Create(true));
  EXPECT_EQ(L"OK", ButtonCaption(IDOK));
  EXPECT_EQ(L"Cancel", ButtonCaption(IDCANCEL));
  handler.SetQuitDelay(10);
  Steps steps;
  steps.Add([&] {
    // Windows XP's shell refuses anything but the sizes it knows.
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAW_V3_SIZE), handler.TrayData().cbSize);
#ifndef _WIN64
    EXPECT_EQ(952u, handler.TrayData().cbSize);
#endif
    EXPECT_EQ(FALSE, ::SendMessageW(handler.Window(), WM_QUERYENDSESSION, 0, 0));
    EXPECT_EQ(L"Lum Bastion is being updated.\nPlease do not shut down.", handler.BlockReason());
    ::PostMessageW(handler.Window(), CSilentMsgHanlder::kSilentDone, 0, 0);
  });
  steps.Next();
  EXPECT_EQ(0, handler.Run());
  EXPECT_EQ(1u, steps.Done());
}

}  // namespace
}  // namespace lum
