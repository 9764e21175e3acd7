#include "ui/main_dlg_win.h"

#include <algorithm>

#include "base/exit_codes.h"
#include "base/install_log.h"
#include "browser/open_link_win.h"
#include "install/cloud_policy_win.h"
#include "install/install_proc_win.h"
#include "install/pre_install_checks.h"
#include "install/pre_install_checks_win.h"
#include "install/product_registry_win.h"
#include "install/restart_offer_win.h"
#include "install/self_protection_win.h"
#include "report/reports_win.h"
#include "session/session_settings.h"
#include "system/file_ops_win.h"
#include "system/reboot_flags.h"
#include "system/reboot_ops_win.h"
#include "system/registry_win.h"
#include "system/self_protection_device_win.h"
#include "system/windows_version_win.h"
#include "ui/msg_box_win.h"
#include "ui/policy_notice_win.h"
#include "ui/skin/dpi_scale_win.h"
#include "ui/skin/drawing_surfaces_win.h"
#include "ui/skin/skin_resources_win.h"
#include "ui/startup_checks_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "ui";
// No WS_VISIBLE: the window is shown with the caller's show command once its
// page is laid out.
constexpr DWORD kStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kOptionsTextColor = 0xFF9966;
constexpr int kMainIcon = 128;

void CentreAt(CSomWnd& control, int width, int y) {
  control.SetPos((width - control.Width()) / 2, y);
}

// A check box with its label to the right, vertically centred on one row.
int PlaceRow(CSomWnd& box, CSomWnd& label, int left, int y) {
  const int gap = Dpi().Scale(5);
  const int height = std::max(box.Height(), label.Height());
  box.SetPos(left, y + (height - box.Height()) / 2);
  label.SetPos(left + box.Width() + gap, y + (height - label.Height()) / 2);
  return height;
}

int RowWidth(const CSomWnd& box, const CSomWnd& label) { return box.Width() + label.Width(); }

}  // namespace

// --- CIconButton ---

void CMainDlg::CIconButton::SetText(const std::wstring& text) {
  SetTipText(text);
  text_ = text;
  Fit();
  Invalidate();
}

void CMainDlg::CIconButton::SetIcon(CSomBitmap* icon, int frame, bool iconLeft) {
  icon_ = icon;
  iconFrame_ = frame;
  iconLeft_ = iconLeft;
  Fit();
  Invalidate();
}

void CMainDlg::CIconButton::Fit() {
  if (!manager_ || !icon_ || text_.empty()) return;
  const int width = icon_->FrameWidth() +
                    MeasureText(SkinResources::Get().Font(0), text_).cx + Dpi().Scale(15);
  manager_->SetWndSize(this, width, Height());
}

void CMainDlg::CIconButton::OnPaint(HDC dc, int, int) {
  const DpiScale& dpi = Dpi();
  const int w = Width(), h = Height();
  const int state = press_.Frame(*this);
  if (background_) background_->DrawStretched(dc, 0, 0, w, h, linkMode_ ? 0 : state);
  int iconWidth = 0, iconX = 0;
  if (icon_ && icon_->FrameCount() > 0) {
    iconWidth = icon_->FrameWidth();
    iconX = iconLeft_ ? dpi.Scale(5) : w - iconWidth - dpi.Scale(5);
    icon_->DrawFrame(dc, iconX, (h - icon_->FrameHeight()) / 2,
                     std::min(state, icon_->FrameCount() - 1));
  }
  if (text_.empty()) return;
  RECT r = {dpi.Scale(2), dpi.Scale(2), w, h - dpi.Scale(2)};
  UINT flags = DT_PATH_ELLIPSIS | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  if (iconWidth && iconLeft_) r.left = iconX + iconWidth + dpi.Scale(5);
  if (iconWidth && !iconLeft_) {
    r.right = iconX - dpi.Scale(4);
    flags |= DT_RIGHT;
  }
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, IsEnabled() ? textColor_ : 0x808080);
  HGDIOBJ oldFont = ::SelectObject(dc, SkinResources::Get().Font(largeFont_ ? 5 : 0));
  ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r, flags);
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

// --- CDropDownButton ---

void CMainDlg::CDropDownButton::OnPaint(HDC dc, int, int) {
  const int w = Width(), h = Height();
  if (background_) background_->DrawStretched(dc, 0, 0, w, h, press_.Frame(*this));
  if (text_.empty()) return;
  RECT r = {0, 0, w - Dpi().Scale(25), h};
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor = ::SetTextColor(dc, IsEnabled() ? textColor_ : 0x808080);
  HGDIOBJ oldFont = ::SelectObject(dc, SkinResources::Get().Font(0));
  ::DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

// --- CMainDlg ---

CMainDlg::CMainDlg()
    : closeButton_(&SkinResources::Get().Image(SkinResources::kCloseButton)),
      installButton_(&SkinResources::Get().Image(SkinResources::kPrimaryButton)) {}

CMainDlg::~CMainDlg() {
  notice_.reset();
  shadow_.Destroy();
  DestroySomWindow();
  if (whiteBrush_) ::DeleteObject(whiteBrush_);
}

bool CMainDlg::Create(int showCommand) {
  const DpiScale& dpi = Dpi();
  RECT work = {0, 0, 1024, 768};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int w = dpi.Scale(kWidth), h = dpi.Scale(kHeight);
  const int x = work.left + ((work.right - work.left) - w) / 2;
  const int y = work.top + ((work.bottom - work.top) - h) / 2;
  const RECT rect = {x, y, x + w, y + h};
  inCreate_ = true;
  HWND window = CreateSomWindow(kMainWindowClass, nullptr, rect,
                                Session().Text(L"title").c_str(), kStyle, kExStyle);
  inCreate_ = false;
  if (!window) return false;
  if (finished_) {
    // A creation check ended the run; its message has been shown.
    DestroySomWindow();
    return false;
  }
  ::ShowWindow(window, showCommand);
  ::SetForegroundWindow(window);
  ::UpdateWindow(window);
  return true;
}

bool CMainDlg::OnCreate() {
  SessionSettings& session = Session();
  MessageLoop().AddMessageFilter(this);
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  auto icon = [&](int metricX, int metricY) {
    return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kMainIcon), IMAGE_ICON,
                                           ::GetSystemMetrics(metricX),
                                           ::GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
  };
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon(SM_CXICON, SM_CYICON)));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(icon(SM_CXSMICON, SM_CYSMICON)));
  ::SetWindowTextW(window_, session.Text(L"title").c_str());
  if (!whiteBrush_) whiteBrush_ = ::CreateSolidBrush(kWhite);
  updateMode_ = session.productInstalled;

  const int code = RunWindowStartupChecks(window_);
  if (code != 0) {
    FinishWith(code);
    return false;
  }

  const DpiScale& dpi = Dpi();
  ResizeClient(dpi.Scale(kWidth), dpi.Scale(kHeight));
  CreateControls();
  if (!strip_.Create(window_, updateMode_, session.installDir))
    log::Action(kLog, L"create options strip", L"", static_cast<long>(::GetLastError()));
  ApplyLanguage();
  if (finished_) return false;
  if (session.autoDeploy) {
    log::Note(kLog, L"automatic deployment: the install starts without a click");
    ::PostMessageW(window_, WM_COMMAND, MAKEWPARAM(kInstall, 0), 0);
  }
  return true;
}

void CMainDlg::CreateControls() {
  SessionSettings& session = Session();
  SkinResources& skin = SkinResources::Get();
  const uint32_t visible = CSomWnd::kVisible;
  const uint32_t autoSize = CSomWnd::kAutoSize;
  const uint32_t fresh = updateMode_ ? 0u : visible;
  const uint32_t update = updateMode_ ? visible : 0u;

  closeButton_.Create(this, 0, 0, 0, 0, kClose, visible | autoSize);

  installButton_.SetLargeFont(true);
  installButton_.SetTextColor(kWhite);
  installButton_.Create(this, 0, 0, 200, 32, kInstall, visible);

  acceptBox_.Create(this, 0, 0, 0, 0, kAccept, update | autoSize);
  acceptBox_.SetCheck(true);
  acceptLabel_.SetFont(skin.Font(0));
  acceptLabel_.Create(this, 0, 0, 0, 0, 0, update | autoSize);

  cloudBox_.Create(this, 0, 0, 0, 0, kCloudBox, visible | autoSize);
  cloudBox_.SetCheck(true);
  cloudLabel_.SetFont(skin.Font(0));
  cloudLabel_.Create(this, 0, 0, 0, 0, 0, visible | autoSize);

  offerShown_ = !updateMode_ && session.offerMode != 0;
  const uint32_t offer = offerShown_ ? visible : 0u;
  offerBox_.Create(this, 0, 0, 0, 0, kOfferBox, offer | autoSize);
  offerBox_.SetCheck(session.offerChecked);
  offerLabel_.SetFont(skin.Font(0));
  offerLabel_.Create(this, 0, 0, 0, 0, 0, offer | autoSize);

  progressBar_.Create(this, window_, C2LayerProgressBar::kTrackImage,
                      C2LayerProgressBar::kFillImage, C2LayerProgressBar::kTrackImageHiDpi,
                      C2LayerProgressBar::kFillImageHiDpi);

  installingText_.SetFont(skin.Font(5));
  installingText_.Create(this, 0, 0, 0, 0, 0, autoSize);

  licenceText_.SetFont(skin.Font(0));
  licenceText_.Create(this, 0, 0, 0, 0, 0, fresh | autoSize);
  licenceLink_.SetFont(skin.Font(0));
  licenceLink_.Create(this, 0, 0, 0, 0, 0, fresh | autoSize);

  optionsButton_.SetTextColor(kOptionsTextColor);
  optionsButton_.SetLinkMode(true);
  optionsButton_.Create(this, 0, 0, 80, 22, kOptions, fresh);
  optionsButton_.SetIcon(&skin.Image(SkinResources::kChevronDown), 0, false);

  languageButton_.SetBackground(&skin.Image(SkinResources::kDropDown));
  languageButton_.SetTextColor(kWhite);
  languageButton_.SetFont(skin.Font(0));
  const bool languageChoice = !session.forcedLanguage && !updateMode_;
  languageButton_.Create(this, 0, 0, 0, 0, kLanguage,
                         (languageChoice ? visible : 0u) | autoSize);
}

bool CMainDlg::CloudAnalysisEnabled() const {
  const SessionSettings& session = Session();
  CloudFacts facts = ReadDeepScanPolicy();
  // The product's own policy: uploads are skipped and nobody chose otherwise.
  if (session.productInstalled && facts.skipUpload && !facts.cloudValuePresent) return false;
  facts.language = session.language;
  facts.productInstalled = session.productInstalled;
  return DecideCloudAnalysis(facts) == CloudAnalysisDefault::kOn;
}

CSomBitmap* CMainDlg::Banner() {
  const int id = Session().TextInt(L"image");
  if (id <= 0) return nullptr;
  auto found = bannerCache_.find(id);
  if (found == bannerCache_.end()) {
    auto picture = std::make_unique<CSomBitmap>(static_cast<UINT_PTR>(id), 1, CSomBitmap::kPng,
                                                false, static_cast<UINT_PTR>(id + 50));
    found = bannerCache_.emplace(id, std::move(picture)).first;
  }
  return found->second->Loaded() ? found->second.get() : nullptr;
}

void CMainDlg::ApplyLanguage() {
  SessionSettings& session = Session();
  BeginDeferredUpdate();
  ::SetWindowTextW(window_, session.Text(L"title").c_str());
  languageButton_.SetText(session.Text(L"name"));
  installButton_.SetText(session.Text(L"install"));
  installingText_.SetText(session.Text(L"intstalling_text"));
  cloudLabel_.SetTextFormat((session.Text(L"check_cloudanalysis_desc") + L" ").c_str(), kCloudLink);
  cloudEnabled_ = CloudAnalysisEnabled();
  cloudBox_.Show(cloudEnabled_ && !progressPage_);
  cloudLabel_.Show(cloudEnabled_ && !progressPage_);
  if (!cloudTouched_) cloudBox_.SetCheck(cloudEnabled_);

  if (updateMode_) {
    acceptLabel_.SetTextFormat(session.Text(L"check").c_str(), kLicenceLink);
    const int compared = CompareWithInstalled();
    if (compared < 0) {
      EndDeferredUpdate();
      ShowMessageBox(window_, PopLogoId(), session.Text(L"ERROR_NEWER_VERSION_INSTALLED"), MB_OK,
                     IDOK);
      FinishWith(kExitNewerInstalled);
      return;
    }
    installButton_.SetText(session.Text(compared > 0 ? L"update" : L"fix"));
    installingText_.Show(false);
    languageButton_.Show(false);
  } else {
    licenceText_.SetTextFormat(session.Text(L"user_license_desc").c_str(), kLicenceLink);
    licenceLink_.SetTextFormat(session.Text(L"user_license_link").c_str(), kLicenceLink);
    if (offerShown_) offerLabel_.SetText(session.Text(L"ID_ENABLE_OPERA_PROMPT"));
    optionsButton_.SetText(session.Text(L"custom"));
    installButton_.SetText(session.Text(L"install"));
    WriteUserExperience(true);
  }
  Banner();
  strip_.ApplyLanguage();
  if (window_) {
    RECT client;
    ::GetClientRect(window_, &client);
    InvalidateOrBatch(client);
  }
  EndDeferredUpdate();
}

void CMainDlg::OnLayoutChanged(const RECT&) { Layout(); }

void CMainDlg::ResizeClient(int width, int height) {
  RECT now;
  ::GetWindowRect(window_, &now);
  if (now.right - now.left == width && now.bottom - now.top == height) return;
  ::SetWindowPos(window_, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::Layout() {
  if (!window_ || finished_ || !closeButton_.Manager()) return;
  RECT client;
  ::GetClientRect(window_, &client);
  const int width = client.right;
  const DpiScale& dpi = Dpi();
  closeButton_.SetPos(width - closeButton_.Width(), 0);
  languageButton_.SetPos(closeButton_.Rect().left - dpi.Scale(6) - languageButton_.Width(),
                         dpi.Scale(10));
  CentreAt(installingText_, width, dpi.Scale(311));
  if (progressPage_) {
    progressBar_.SetPos(0, dpi.Scale(kProgressTop));
    return;
  }
  if (updateMode_)
    LayoutUpdate(width);
  else
    LayoutFresh(width);
}

void CMainDlg::LayoutFresh(int width) {
  const DpiScale& dpi = Dpi();
  int y = dpi.Scale(kBannerHeight + 26);
  CentreAt(licenceText_, width, y);
  y += licenceText_.Height() + dpi.Scale(6);
  CentreAt(licenceLink_, width, y);
  y += licenceLink_.Height() + dpi.Scale(16);
  CentreAt(installButton_, width, y);
  y += installButton_.Height() + dpi.Scale(8);

  int rows = 0;
  if (cloudEnabled_) rows = std::max(rows, RowWidth(cloudBox_, cloudLabel_));
  if (offerShown_) rows = std::max(rows, RowWidth(offerBox_, offerLabel_));
  const int left = (width - rows - dpi.Scale(5)) / 2;
  if (cloudEnabled_) y += PlaceRow(cloudBox_, cloudLabel_, left, y);
  if (offerShown_) {
    y += dpi.Scale(6);
    y += PlaceRow(offerBox_, offerLabel_, left, y);
  }
  const int height = std::max(dpi.Scale(kHeight), y + dpi.Scale(30));
  optionsButton_.SetPos(width - optionsButton_.Width() - dpi.Scale(12),
                        height - optionsButton_.Height() - dpi.Scale(8));
  ResizeClient(dpi.Scale(kWidth), height);
}

void CMainDlg::LayoutUpdate(int width) {
  const DpiScale& dpi = Dpi();
  CentreAt(installButton_, width, dpi.Scale(316));
  const int rowWidth = RowWidth(acceptBox_, acceptLabel_) + dpi.Scale(5);
  const int left = (width - rowWidth) / 2;
  const int y = installButton_.Rect().bottom + dpi.Scale(18);
  const int rowHeight = PlaceRow(acceptBox_, acceptLabel_, left, y);
  if (cloudEnabled_) PlaceRow(cloudBox_, cloudLabel_, left, y + rowHeight + dpi.Scale(8));
  ResizeClient(dpi.Scale(kWidth), dpi.Scale(kHeight));
}

void CMainDlg::EraseBackground(HDC dc, const RECT*) {
  if (!window_) return;
  if (!painted_) {
    painted_ = true;
    log::Note(kLog, L"first paint of the welcome page");
  }
  RECT client;
  ::GetClientRect(window_, &client);
  ::FillRect(dc, &client, whiteBrush_);
  const DpiScale& dpi = Dpi();
  const int bannerHeight = dpi.Scale(kBannerHeight);
  SkinResources::Get().Image(SkinResources::kBannerBackground)
      .DrawStretched(dc, 0, 0, client.right, bannerHeight, 0);
  // The language's picture sits in the middle of the banner, above the
  // progress bar's line.
  if (CSomBitmap* picture = Banner()) {
    const int top = std::max(0, (dpi.Scale(kProgressTop) - picture->FrameHeight()) / 2);
    picture->DrawFrame(dc, (client.right - picture->FrameWidth()) / 2, top, 0);
  }
}

BOOL CMainDlg::PreTranslateMessage(MSG* msg) {
  if (!window_ || !msg) return FALSE;
  if (msg->hwnd != window_ && !::IsChild(window_, msg->hwnd)) return FALSE;
  return ::IsDialogMessageW(window_, msg);
}

bool CMainDlg::StripVisible() const {
  return strip_.Window() && ::IsWindowVisible(strip_.Window());
}

void CMainDlg::PlaceStrip() {
  if (!strip_.Window() || !window_) return;
  RECT main, strip;
  ::GetWindowRect(window_, &main);
  ::GetWindowRect(strip_.Window(), &strip);
  const int stripWidth = strip.right - strip.left;
  const int left = main.left + ((main.right - main.left) - stripWidth) / 2;
  ::SetWindowPos(strip_.Window(), nullptr, left, main.bottom, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::FitShadow() {
  if (!shadow_.Window() || !window_) return;
  RECT area;
  ::GetWindowRect(window_, &area);
  if (StripVisible()) {
    RECT strip;
    ::GetWindowRect(strip_.Window(), &strip);
    ::UnionRect(&area, &area, &strip);
  }
  shadow_.FitToRect(area);
}

void CMainDlg::ToggleOptions() {
  if (!strip_.Window()) return;
  SkinResources& skin = SkinResources::Get();
  if (StripVisible()) {
    ::ShowWindow(strip_.Window(), SW_HIDE);
    optionsButton_.SetIcon(&skin.Image(SkinResources::kChevronDown), 0, false);
  } else {
    RECT main;
    ::GetWindowRect(window_, &main);
    ::SetWindowPos(strip_.Window(), nullptr, main.left, main.bottom, main.right - main.left,
                   Dpi().Scale(CConfigDlg::kHeight), SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    optionsButton_.SetIcon(&skin.Image(SkinResources::kChevronUp), 0, false);
  }
  FitShadow();
}

void CMainDlg::ShowLanguageMenu() {
  const SessionSettings& session = Session();
  if (session.forcedLanguage || session.offeredLanguages.empty()) return;
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  const bool ownerDrawn = GetWindowsVersion().IsXp();
  for (size_t i = 0; i < session.offeredLanguages.size(); ++i) {
    const std::wstring& code = session.offeredLanguages[i];
    const std::wstring name = session.StringValue(code, L"name");
    UINT flags = MF_STRING | (code == session.language ? MF_CHECKED : MF_UNCHECKED);
    if (ownerDrawn) flags |= MFT_OWNERDRAW;
    ::AppendMenuW(menu, flags, kLanguageMenuBase + i, name.c_str());
    if (ownerDrawn) {
      // Owner-drawn items carry their text as item data for WM_DRAWITEM.
      MENUITEMINFOW info = {sizeof(info)};
      info.fMask = MIIM_DATA;
      info.dwItemData = reinterpret_cast<ULONG_PTR>(&session.offeredLanguages[i]);
      ::SetMenuItemInfoW(menu, static_cast<UINT>(kLanguageMenuBase + i), FALSE, &info);
    }
  }
  POINT corner = {languageButton_.Rect().left, languageButton_.Rect().bottom};
  ::ClientToScreen(window_, &corner);
  ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN, corner.x, corner.y, 0, window_, nullptr);
  ::DestroyMenu(menu);
}

void CMainDlg::SwitchLanguage(size_t index) {
  SessionSettings& session = Session();
  if (index >= session.offeredLanguages.size()) return;
  const std::wstring code = session.offeredLanguages[index];
  IniTable::KeyMap section;
  if (!session.table.Section(code, section)) {
    log::Action(kLog, L"switch language", code, 1);
    return;
  }
  session.texts = std::move(section);
  session.language = code;
  languageCode = code;
  PrepareSkinForLanguage();
  log::Note(kLog, L"language switched to " + code);
  ApplyLanguage();
}

void CMainDlg::OpenTableLink(const wchar_t* key, const wchar_t* suffix) {
  const std::wstring url = Session().Text(key) + suffix;
  const bool opened = OpenLink(url, kOpenLinkDefaultBrowser);
  log::Note(kLog, std::wstring(L"open link ") + key + (opened ? L"" : L" failed"));
}

void CMainDlg::OnCommand(int id, int) {
  if (id >= kLanguageMenuBase && id < kLanguageMenuBase + 1000) {
    SwitchLanguage(static_cast<size_t>(id - kLanguageMenuBase));
    return;
  }
  switch (id) {
    case kClose:
      if (!installing_) FinishWith(0);
      break;
    case kInstall:
      if (!installing_ && !finished_) OnInstall();
      break;
    case kOptions:
      ToggleOptions();
      break;
    case kAccept:
      installButton_.Enable(acceptBox_.Checked());
      break;
    case kLicenceLink:
      OpenTableLink(L"license_link");
      break;
    case kPrivacyLink:
      OpenTableLink(L"privacy_link");
      break;
    case kLanguage:
      ShowLanguageMenu();
      break;
    case kCloudBox:
      cloudTouched_ = true;
      break;
    case kOfferBox:
      Session().offerChecked = offerBox_.Checked();
      break;
    case kCloudLink:
      OpenTableLink(L"privacy_link", L"cloudanalysis");
      break;
    default:
      break;
  }
}

// --- install ---

void CMainDlg::OnInstall() {
  SessionSettings& session = Session();
  const int checked = RunInstallTimeChecks(window_);
  if (checked != 0) {
    FinishWith(checked);
    return;
  }
  if (strip_.Window()) strip_.CheckDrive(true);
  if (strip_.Window() && strip_.DriveState() != CConfigDlg::kDriveUsable) {
    if (updateMode_) {
      FinishWith(0);
    } else if (!StripVisible()) {
      ToggleOptions();
    }
    return;
  }
  if (cloudTouched_ || cloudBox_.Checked())
    cloudAnalysisDefault = cloudBox_.Checked() ? CloudAnalysisDefault::kOn : CloudAnalysisDefault::kOff;

  if (updateMode_) {
    ::ShowWindow(window_, SW_HIDE);
    bool usable = !session.installDir.empty() && FolderExists(session.installDir);
    if (usable && (GetWindowsVersion().IsXp() ||
                   AskSelfProtectionDriver() == SelfProtectionAnswer::kRefused)) {
      usable = DisableSelfProtection(session.installDir);
      log::Action(kLog, L"switch self-protection off", session.installDir,
                  usable ? 0 : kExitSelfProtection);
    }
    if (!usable) {
      FinishWith(kExitSelfProtection);
      return;
    }
    shadow_.Show(true);
  } else if (!strip_.GetFolder().empty()) {
    session.SetInstallDir(strip_.GetFolder(), true);
  }

  if (!IsWritableFolder(session.installDir)) {
    log::Action(kLog, L"install folder not writable", session.installDir, 1);
    ::ShowWindow(window_, SW_SHOW);
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ShowMessageBox(window_, PopLogoId(), session.Text(L"ERROR_NOTWRITEABLE"), MB_OK, IDOK);
    return;
  }

  CInstallProc* procedure = InstallProcIfCreated();
  installing_ = true;
  if (!procedure || !procedure->StartInstall(window_, session.installDir)) {
    // The worker no longer takes work: nothing can be installed.
    log::Action(kLog, L"hand the install to the worker", session.installDir, kExitWorkerThread);
    installing_ = false;
    ::ShowWindow(window_, SW_SHOW);
    ShowMessageBox(window_, PopLogoId(), session.Text(L"ERROR_TEMPNOTAVAILABLE"), MB_OK, IDOK);
    FinishWith(kExitWorkerThread);
    return;
  }
  log::Note(kLog, L"install started into " + session.installDir);
  ShowProgressPage();
}

void CMainDlg::ShowProgressPage() {
  const DpiScale& dpi = Dpi();
  progressPage_ = true;
  BeginDeferredUpdate();
  closeButton_.Enable(false);
  for (CSomWnd* control : std::initializer_list<CSomWnd*>{
           &installButton_, &acceptBox_, &acceptLabel_, &cloudBox_, &cloudLabel_, &offerBox_,
           &offerLabel_, &licenceText_, &licenceLink_, &optionsButton_, &languageButton_})
    control->Show(false);
  if (StripVisible()) ToggleOptions();
  installingText_.Show(true);
  progressBar_.SetPos(0, dpi.Scale(kProgressTop));
  progressBar_.SetPercent(percent_);
  progressBar_.Show(true);
  ResizeClient(dpi.Scale(kWidth), dpi.Scale(kProgressHeight));
  RECT client;
  ::GetClientRect(window_, &client);
  InvalidateOrBatch(client);
  EndDeferredUpdate();
  ::ShowWindow(window_, SW_SHOW);
  FitShadow();
  ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CMainDlg::OnProgress(int position, int maximum) {
  if (maximum <= 0) return;
  const int percent = std::min(100, position * 100 / maximum);
  // Out-of-order arrivals never move the bar back.
  if (percent > percent_) {
    percent_ = percent;
    progressBar_.SetPercent(percent_);
  }
  if (position == maximum) ::SetTimer(window_, kEndTimer, kEndTimerMs, nullptr);
}

void CMainDlg::OnEndOfInstall() {
  CInstallProc* procedure = InstallProcIfCreated();
  // Progress 100 can arrive while the run's last steps (firewall, completion
  // reports) still run; the page changes only once the worker is done.
  if (procedure && !procedure->RunFinished()) return;
  ::KillTimer(window_, kEndTimer);
  const int code = procedure ? procedure->ErrorCode() : kProcTempNotAvailable;
  log::Note(kLog, L"end of install, procedure code " + std::to_wstring(code));
  if (code != 0) {
    // The work-folder table names every code the procedure ends with.
    std::wstring key = WorkFolderMessageKey(code);
    if (key.empty()) key = kKeyTempNotAvailable;
    ShowMessageBox(window_, PopLogoId(), Session().Text(key), MB_OK, IDOK);
    FinishWith(code);
    return;
  }
  uninstallPending_ = FindPendingUninstall().kind != 0;
  if (updateMode_) {
    ::PostMessageW(window_, kFinishMessage, 0, 0);
    return;
  }
  notice_ = std::make_unique<CPagePolicyNotice>();
  if (!notice_->Create(window_, kFinishMessage)) {
    notice_.reset();
    ::PostMessageW(window_, kFinishMessage, 0, 0);
    return;
  }
  ::ShowWindow(window_, SW_HIDE);
  notice_->Show();
}

void CMainDlg::OnFinish() {
  if (finished_) return;
  HWND owner = notice_ && notice_->Window() ? notice_->Window() : window_;
  bool restartNow = false;
  if (uninstallPending_) {
    restartNow = ShowRestartPrompt(owner);
    if (restartNow) {
      SetRestartOnExit();
      log::Note(kLog, L"restart chosen to complete the pending removal");
    }
  }
  // The reboot-needed prompt, then the window is hidden and the product
  // started (unless its main program waits for the restart).
  if (!restartNow) OfferRestart(owner, 0);
  installing_ = false;
  FinishWith(0);
}

void CMainDlg::FinishWith(int code) {
  if (finished_) return;
  finished_ = true;
  exitCode_ = code;
  log::Note(kLog, L"main window finishes with code " + std::to_wstring(code));
  if (CInstallProc* procedure = InstallProcIfCreated()) {
    // An extraction still under way stops at its next item.
    if (!installing_) procedure->RequestCancel();
  }
  if (code != 0) {
    RunReportFacts facts;
    if (CInstallProc* procedure = InstallProcIfCreated()) facts.procedureCode = procedure->ErrorCode();
    facts.extractionFailed = ExtractionFailed();
    SendResultReport(code, facts);
  }
  if (notice_) notice_.reset();
  if (!inCreate_) DestroySomWindow();
  ::PostQuitMessage(code);
}

bool CMainDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) {
  if (message == WM_CREATE) {
    // The manager adopts its host with the first message it sees.
    ProcessSkinMessage(window, message, wParam, lParam, &result);
    OnCreate();
    result = 0;
    return true;
  }
  if (ProcessSkinMessage(window, message, wParam, lParam, &result)) return true;
  switch (message) {
    case WM_DESTROY:
      MessageLoop().RemoveMessageFilter(this);
      strip_.DestroySomWindow();
      shadow_.Destroy();
      notice_.reset();
      return false;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout();
      return false;
    case WM_CLOSE:
      if (installing_) {
        log::Note(kLog, L"close ignored while installing");
      } else {
        FinishWith(0);
      }
      result = 0;
      return true;
    case WM_SHOWWINDOW:
      if (!shadow_.Window()) shadow_.Create(window, false);
      FitShadow();
      shadow_.Show(wParam != 0);
      return false;
    case WM_WINDOWPOSCHANGED:
      PlaceStrip();
      FitShadow();
      return false;
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (!item || item->CtlType != ODT_MENU) return false;
      const auto* code = reinterpret_cast<const std::wstring*>(item->itemData);
      const std::wstring name = code ? Session().StringValue(*code, L"name") : std::wstring();
      const SIZE size = MeasureText(SkinResources::Get().Font(0), name);
      item->itemWidth = static_cast<UINT>(size.cx + 2 * ::GetSystemMetrics(SM_CXMENUCHECK));
      item->itemHeight = static_cast<UINT>(size.cy + Dpi().Scale(5));
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (!item || item->CtlType != ODT_MENU) return false;
      const auto* code = reinterpret_cast<const std::wstring*>(item->itemData);
      const std::wstring name = code ? Session().StringValue(*code, L"name") : std::wstring();
      const bool selected = (item->itemState & ODS_SELECTED) != 0;
      ::FillRect(item->hDC, &item->rcItem,
                 ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
      RECT text = item->rcItem;
      text.left += ::GetSystemMetrics(SM_CXMENUCHECK);
      if (item->itemState & ODS_CHECKED) {
        RECT mark = item->rcItem;
        mark.right = text.left;
        ::DrawTextW(item->hDC, L"\x2713", 1, &mark, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      }
      const int mode = ::SetBkMode(item->hDC, TRANSPARENT);
      const COLORREF color = ::SetTextColor(
          item->hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
      HGDIOBJ font = ::SelectObject(item->hDC, SkinResources::Get().Font(0));
      ::DrawTextW(item->hDC, name.c_str(), static_cast<int>(name.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      ::SelectObject(item->hDC, font);
      ::SetTextColor(item->hDC, color);
      ::SetBkMode(item->hDC, mode);
      result = TRUE;
      return true;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kProgressCommand && HIWORD(wParam) == 0) {
        OnProgress(LOWORD(lParam), HIWORD(lParam));
      } else {
        OnCommand(LOWORD(wParam), HIWORD(wParam));
      }
      result = 0;
      return true;
    case WM_TIMER:
      if (wParam != kEndTimer) return false;
      OnEndOfInstall();
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      ::SendMessageW(window, WM_SYSCOMMAND, 0xF012, 0);
      result = 0;
      return true;
    case kFinishMessage:
      OnFinish();
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace lum
