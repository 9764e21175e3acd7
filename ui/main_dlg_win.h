// The interactive installer's one top-level window: the welcome page (fresh
// install or update), the options strip under it, the progress page while the
// install worker runs, then the notice page, the restart prompts and the
// product start. Every text comes from the language table by key.
//
// Threading: the interface thread only. The install worker reaches the
// window only through posted WM_COMMAND 0xFFFF messages; the end of the
// install is decided here, on timer 1001, once the worker's run has really
// ended (CInstallProc::RunFinished).
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "ui/config_dlg_win.h"
#include "ui/progress_bar_win.h"
#include "ui/shadow_win.h"
#include "ui/skin/som_bitmap_win.h"
#include "ui/skin/som_button_win.h"
#include "ui/skin/som_check_box_win.h"
#include "ui/skin/som_text_wnd_win.h"
#include "ui/skin/som_window_win.h"
#include "ui/skin/som_wnd_manager_win.h"

namespace lum {

class CPagePolicyNotice;

// The single-instance step of start-up finds the running installer by it.
constexpr const wchar_t* kMainWindowClass = L"ZLumInstallerClass";
// Posted by the notice page (or to itself in update mode): finish now.
constexpr UINT kFinishMessage = WM_USER + 1000;

class CMainDlg : public CSomWindow, public CSomWndManager, public CMessageFilter {
 public:
  // 96-DPI lengths of the two page sizes.
  static constexpr int kWidth = 552;
  static constexpr int kHeight = 450;
  static constexpr int kProgressHeight = 366;
  static constexpr int kBannerHeight = 276;
  static constexpr int kProgressTop = 272;
  static constexpr UINT_PTR kEndTimer = 1001;
  static constexpr UINT kEndTimerMs = 200;
  static constexpr int kLanguageMenuBase = 10000;

  enum CommandId : int {
    kClose = 8,
    kInstall = 5000,
    kOptions = 5001,
    kAccept = 5002,
    kLicenceLink = 5006,
    kPrivacyLink = 5007,
    kLanguage = 5008,
    kCloudBox = 5012,
    kOfferBox = 5013,
    kCloudLink = 5016,
  };

  // The options button: text and icon side by side, the text also its tip.
  class CIconButton : public CSomWndTipImpl<CSomButton4> {
   public:
    void SetText(const std::wstring& text) override;
    void SetIcon(CSomBitmap* icon, int frame) override { SetIcon(icon, frame, false); }
    void SetIcon(CSomBitmap* icon, int frame, bool iconLeft);
    void OnPaint(HDC dc, int limit, int part) override;

   private:
    void Fit();
    bool iconLeft_ = false;
  };

  // The language button: its arrow is part of the background image.
  class CDropDownButton : public CSomWndTipImpl<CSomButton4> {
   public:
    void OnPaint(HDC dc, int limit, int part) override;
  };

  CMainDlg();
  ~CMainDlg() override;

  // Creates the window centred on the work area and shows it with
  // `showCommand`. False when it could not be created or a creation check
  // ended it; ExitCode() then says with which code.
  bool Create(int showCommand);
  // The code the window finished with (0 while it runs).
  int ExitCode() const { return exitCode_; }
  bool Finished() const { return finished_; }

  BOOL PreTranslateMessage(MSG* msg) override;
  void EraseBackground(HDC dc, const RECT* rect) override;
  void OnLayoutChanged(const RECT& area) override;
  // Turns the window into the progress page (Install does this once the
  // worker has the folder).
  void ShowProgressPage();

  // What a test of the window measures.
  bool Installing() const { return installing_; }
  bool OnProgressPage() const { return progressPage_; }
  bool StripVisible() const;
  int ProgressPercent() const { return percent_; }
  CSomButton4& InstallButton() { return installButton_; }
  CLFCheckBoxBlue& AcceptBox() { return acceptBox_; }
  CIconButton& OptionsButton() { return optionsButton_; }
  CDropDownButton& LanguageButton() { return languageButton_; }
  CSomTextWnd& LicenceText() { return licenceText_; }
  CSomTextWnd& LicenceLink() { return licenceLink_; }
  CSomTextWnd& InstallingText() { return installingText_; }
  C2LayerProgressBar& ProgressBar() { return progressBar_; }
  CConfigDlg& OptionsStrip() { return strip_; }
  CPagePolicyNotice* NoticePage() { return notice_.get(); }

 protected:
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

 private:
  bool OnCreate();
  void CreateControls();
  void ApplyLanguage();
  void Layout();
  void LayoutFresh(int width);
  void LayoutUpdate(int width);
  void ResizeClient(int width, int height);
  void OnCommand(int id, int code);
  void ToggleOptions();
  void ShowLanguageMenu();
  void SwitchLanguage(size_t index);
  void OnInstall();
  void OnProgress(int position, int maximum);
  void OnEndOfInstall();
  void OnFinish();
  void FinishWith(int code);
  // The close button or WM_CLOSE on the welcome page: ends with 0, nothing installed.
  void CloseBeforeInstall();
  void FitShadow();
  void PlaceStrip();
  bool CloudAnalysisEnabled() const;
  CSomBitmap* Banner();
  void OpenTableLink(const wchar_t* key, const wchar_t* suffix = L"");

  CConfigDlg strip_;
  CSomWndTipImpl<CSomButton3> closeButton_;
  std::map<int, std::unique_ptr<CSomBitmap>> bannerCache_;
  CSomButton4 installButton_;
  CLFCheckBoxBlue acceptBox_;
  CSomTextWnd acceptLabel_;
  CLFCheckBoxBlue cloudBox_;
  CSomTextWnd cloudLabel_;
  CLFCheckBoxBlue offerBox_;
  CSomTextWnd offerLabel_;
  C2LayerProgressBar progressBar_;
  CSomTextWnd installingText_;
  CSomTextWnd licenceText_;
  CSomTextWnd licenceLink_;
  CShadow shadow_;
  std::unique_ptr<CPagePolicyNotice> notice_;
  CIconButton optionsButton_;
  CDropDownButton languageButton_;

  HBRUSH whiteBrush_ = nullptr;
  bool updateMode_ = false;
  bool installing_ = false;
  bool progressPage_ = false;
  bool cloudTouched_ = false;
  bool cloudEnabled_ = false;
  bool offerShown_ = false;
  bool finished_ = false;
  bool inCreate_ = false;
  bool painted_ = false;  // the page has been on screen
  int percent_ = 0;
  int exitCode_ = 0;
};

}  // namespace lum
