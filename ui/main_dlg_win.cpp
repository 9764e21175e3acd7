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


}  // namespace

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
  log::Note(kLog, L"creating the main window");
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

  int code = 0;
  if (!RunWindowStartupChecks(window_, &code)) {
    // A 0 here is a run after the restart that handed over to its waiting copy.
    if (code == 0) NoteZeroExit(ZeroExit::kHandedToWaitingCopy);
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
  log::Note(kLog, L"welcome page laid out");
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

void CMainDlg::CloseBeforeInstall() {
  if (finished_) return;
  // Callers rely on the 0; what it means is said in the log and result file.
  NoteZeroExit(ZeroExit::kClosedByUser);
  log::Note(kLog, L"window closed by the user before installing: nothing installed");
  FinishWith(0);
}

void CMainDlg::OnCommand(int id, int) {
  if (id >= kLanguageMenuBase && id < kLanguageMenuBase + 1000) {
    SwitchLanguage(static_cast<size_t>(id - kLanguageMenuBase));
    return;
  }
  switch (id) {
    case kClose:
      if (!installing_) CloseBeforeInstall();
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

bool CMainDlg::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) {
  if (message == WM_CREATE) {
    // The manager adopts its host with the first message it sees.
    ProcessSkinMessage(window, message, wParam, lParam, &result);
    OnCreate();
    result = 0;
    return true;
  }
  if (message == WM_PAINT && !painted_ && ::IsWindowVisible(window)) {
    // The first paint the user sees: background, images and controls at once.
    ProcessSkinMessage(window, message, wParam, lParam, &result);
    painted_ = true;
    log::Note(kLog, L"first paint of the welcome page");
    if (CInstallProc* procedure = InstallProcIfCreated()) procedure->ReleaseExtraction();
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
        CloseBeforeInstall();
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
    case CConfigDlg::kFolderChangedMessage:
      // The options strip took a new folder: its drive's figures are read
      // again now, so the page shows the space of the folder Install uses.
      strip_.CheckDrive(false);
      log::Note(kLog, L"install folder now " + strip_.GetFolder());
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace lum
