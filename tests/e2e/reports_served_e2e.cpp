// What the installer reports, seen from the statistics and offer service: the
// loopback server (tests/report_server) records every request, checks its
// signature and opens every envelope; these tests ask it what arrived.
//
// Each test uses a channel of its own ("/c:rpt...") and reads only the
// requests of that channel, so that installers of other test files that report
// to the same server at the same time cannot disturb it. The server's answer
// mode (ok, 302, 404, hang, drip) is set per channel.
#include <gtest/gtest.h>
#include <windows.h>
// psapi.h builds on windows.h.
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/missing_program_win.h"
#include "app/session_environment_win.h"
#include "base/json.h"
#include "base/text.h"
#include "i18n/damaged_file_message_win.h"
#include "report/damaged_file_report_win.h"
#include "report/document_versions_win.h"
#include "report/http_get_win.h"
#include "report/machine_id_win.h"
#include "report/offer_query_win.h"
#include "report/reports_win.h"
#include "session/session_settings.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/shell_start_win.h"
#include "ui/msg_box_win.h"
#include "tests/e2e/e2e_support.h"

namespace lum {
namespace {

using e2e::InstallerPath;
using e2e::ReadText;
using e2e::RunProgram;

const std::wstring kServer = LUM_REPORT_CONTROL;

std::string Control(const std::wstring& request) {
  std::string body;
  EXPECT_EQ(0, HttpGet(kServer + request, 5000, &body, 64u << 20)) << WideToUtf8(request);
  return body;
}

void SetMode(const std::wstring& channel, const wchar_t* mode) {
  Control(L"mode?m=" + std::wstring(mode) + L"&ch=" + channel);
}

std::wstring Encoded(const std::string& text) { return QueryValue(Utf8ToWide(text)); }

JsonValue Requests(const std::wstring& channel) {
  const std::string body = Control(L"requests?ch=" + channel);
  JsonValue root;
  std::string errors;
  EXPECT_TRUE(ParseJson(body, &root, &errors)) << errors;
  return root;
}

std::vector<JsonValue> OnPath(const JsonValue& requests, const std::string& path) {
  std::vector<JsonValue> out;
  for (const JsonValue& r : requests)
    if (r["path"].AsString() == path) out.push_back(r);
  return out;
}

std::string Describe(const JsonValue& requests) {
  std::string text;
  for (const JsonValue& r : requests)
    text += r["answered"].AsString() + " " + r["signature"].AsString() + " " +
            r["target"].AsString().substr(0, 200) + "\n";
  return text;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

class ReportsE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(InstallerPath().empty()) << "LUM_INSTALLER is not set";
    ASSERT_EQ("pong", Control(L"ping")) << "the loopback report server is not running";
    CreateDirectoryW(dir_.c_str(), nullptr);
  }
  std::wstring dir_ = L"C:\\lum_e2e_reports";
};

TEST_F(ReportsE2E, SilentFreshInstallSendsEveryReportSealedAndSigned) {
  const std::wstring log = dir_ + L"\\fresh.log";
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(0, RunProgram(InstallerPath(), L"/s /log:" + log + L" /c:rptA /clientid:cid-7"));
  printf("[figure] silent fresh install with the server answering: %.1f s\n", Seconds(started));
  const JsonValue requests = Requests(L"rptA");
  SCOPED_TRACE(Describe(requests));

  // The offer query of the cloud-analysis step, unsigned, with every key the offer query carries.
  const auto offers = OnPath(requests, "/promo/opera");
  ASSERT_EQ(1u, offers.size());
  for (const char* key : {"ch", "sch", "ver", "lan", "os", "mid", "time"})
    EXPECT_TRUE(offers[0]["params"].Has(key)) << key;
  EXPECT_EQ("0", offers[0]["params"]["sch"].AsString());

  RegKey liveup;
  std::wstring stored;
  ASSERT_TRUE(liveup.Open(HKEY_LOCAL_MACHINE, kMidKey, KEY_QUERY_VALUE) &&
              liveup.ReadString(L"mid", &stored));
  const std::string mid = WideToUtf8(stored.substr(0, 32));

  // The environment report: sealed, signed, every parameter present.
  const auto environment = OnPath(requests, "/safei18n/query_env.htm");
  ASSERT_EQ(1u, environment.size());
  EXPECT_EQ("valid", environment[0]["signature"].AsString());
  const JsonValue& env = environment[0]["envelope"];
  ASSERT_TRUE(env.Has("params")) << WriteJson(env);
  for (const char* key : {"mid", "ver", "lan", "os", "ch", "sch", "env", "vm", "parent", "company",
                          "signature", "ui", "timestamp"})
    EXPECT_TRUE(env["params"].Has(key)) << key;
  EXPECT_EQ("install", env["params"]["env"].AsString());
  EXPECT_EQ("rptA", env["params"]["ch"].AsString());
  EXPECT_EQ("0", env["params"]["sch"].AsString());
  EXPECT_EQ("en", env["params"]["lan"].AsString());
  EXPECT_EQ(0u, env["params"]["mid"].AsString().rfind(mid, 0));
  EXPECT_GT(env["params"]["mid"].AsString().size(), 32u);  // the base module's identity follows
  EXPECT_NE(std::string::npos, env["params"]["parent"].AsString().find("LumBastionSetup.exe"));
  EXPECT_GT(std::stoll(env["params"]["timestamp"].AsString()), 1700000000LL);

  // The result report (success form, with processor and memory) and the
  // install report, both signed.
  const auto ins = OnPath(requests, "/safei18n/ins.htm");
  ASSERT_EQ(2u, ins.size());
  int withCpu = 0;
  for (const JsonValue& r : ins) {
    EXPECT_EQ("valid", r["signature"].AsString());
    EXPECT_EQ(mid, r["params"]["mid"].AsString().substr(0, 32));
    EXPECT_EQ("1", r["params"]["ue"].AsString());
    for (const char* key : {"ver", "lan", "os", "ACP", "GEOID", "br", "promo_opr", "rule_opr",
                            "param_opr", "tt_opr", "rr_opr"})
      EXPECT_TRUE(r["params"].Has(key)) << key;
    // The prefix's only browser is Wine's own, named from its file.
    EXPECT_EQ("unkn_winebrowser.exe", r["params"]["br"].AsString());
    if (r["params"].Has("cpu")) {
      ++withCpu;
      EXPECT_EQ("0", r["params"]["rc"].AsString());
      EXPECT_TRUE(r["params"].Has("ram"));
    }
  }
  EXPECT_EQ(1, withCpu);

  // The channel report of a run with a client identifier.
  const auto channel = OnPath(requests, "/ins");
  ASSERT_EQ(1u, channel.size());
  EXPECT_EQ("valid", channel[0]["signature"].AsString());
  EXPECT_EQ("bn", channel[0]["params"]["ref"].AsString());
  EXPECT_EQ("rptA", channel[0]["params"]["ch"].AsString());
  EXPECT_EQ("0", channel[0]["params"]["sch"].AsString());
  EXPECT_EQ("cid-7", channel[0]["envelope"]["params"]["clientid"].AsString());
  EXPECT_EQ("install", channel[0]["envelope"]["params"]["env"].AsString());
  // Two envelopes of one process: sequences 1 and 2.
  EXPECT_EQ(1, env["sequence"].AsInt());
  EXPECT_EQ(2, channel[0]["envelope"]["sequence"].AsInt());

  // The log names every request with its time-out and outcome.
  const std::wstring text = ReadText(log);
  for (const JsonValue& r : requests) {
    const std::wstring url = L"http://127.0.0.1:18611" + Utf8ToWide(r["target"].AsString());
    EXPECT_NE(std::wstring::npos, text.find(L"HTTP GET, time-out 5000 ms: status 200 | " + url))
        << r["target"].AsString();
  }
  EXPECT_NE(std::wstring::npos, text.find(L"offer query: status 1 after "));
  EXPECT_NE(std::wstring::npos, text.find(L"report done within the wait of 4000 ms: environment report"));
  EXPECT_NE(std::wstring::npos, text.find(L"report done within the wait of 10000 ms: install report"));
}

// A copy of the installer whose payload archive is damaged (the run ends with
// 117 after a failed extraction); with `emptyErrorLink` its language table's
// "err_link" is emptied too. Empty when made, else what went wrong.
std::wstring DamagedCopy(const std::wstring& copy, bool emptyErrorLink) {
  std::wstring table;
  if (emptyErrorLink) {
    UniqueModule image(LoadLibraryExW(InstallerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!image) return L"no image";
    HRSRC found = FindResourceW(image.Get(), MAKEINTRESOURCEW(502), L"FILE");
    if (!found) return L"no table";
    const auto* data = static_cast<const wchar_t*>(LockResource(LoadResource(image.Get(), found)));
    table.assign(data, SizeofResource(image.Get(), found) / sizeof(wchar_t));
    const size_t at = table.find(L"err_link=");
    if (at == std::wstring::npos) return L"no err_link";
    table.replace(at, table.find(L"\r\n", at) - at, L"err_link=");
  }
  if (!CopyFileW(InstallerPath().c_str(), copy.c_str(), FALSE)) return L"no copy";
  HANDLE update = BeginUpdateResourceW(copy.c_str(), FALSE);
  if (!update) return L"no update";
  // A 7z signature and a header's length of bytes that make no archive.
  std::string archive("7z\xBC\xAF\x27\x1C this is not an archive");
  archive.resize(32, '\0');
  const WORD language = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  BOOL ok = UpdateResourceW(update, L"FILE", MAKEINTRESOURCEW(501), language, &archive[0],
                            static_cast<DWORD>(archive.size()));
  if (ok && emptyErrorLink)
    ok = UpdateResourceW(update, L"FILE", MAKEINTRESOURCEW(502), language, &table[0],
                         static_cast<DWORD>(table.size() * sizeof(wchar_t)));
  return EndUpdateResourceW(update, !ok) && ok ? L"" : L"update failed";
}

TEST_F(ReportsE2E, FailedRunSendsTheErrorFormAndRetriesOnlyItThreeTimes) {
  const std::wstring copy = dir_ + L"\\Damaged.exe";
  ASSERT_EQ(L"", DamagedCopy(copy, false));
  // 404 for one channel, 302 for another: both are failures, and the
  // redirect is never followed.
  SetMode(L"rptB", L"404");
  SetMode(L"rptC", L"302");
  for (const wchar_t* channel : {L"rptB", L"rptC"}) {
    const std::wstring log = dir_ + L"\\" + channel + L".log";
    EXPECT_EQ(117, RunProgram(copy, L"/s /BNinstall /log:" + log + L" /c:" + channel));
    const JsonValue requests = Requests(channel);
    SCOPED_TRACE(Describe(requests));
    const auto errors = OnPath(requests, "/safei18n/ins_err.htm");
    ASSERT_EQ(3u, errors.size());  // three attempts, each refused
    for (const JsonValue& r : errors) {
      EXPECT_EQ("valid", r["signature"].AsString());
      const std::string target = r["target"].AsString();
      EXPECT_EQ(0u, target.rfind("/safei18n/ins_err.htm?id=117&mid=", 0)) << target;
      EXPECT_NE(std::string::npos, target.find("&rc=117&&uz_err=1&ref=bn&toat=v1&madt=")) << target;
      for (const char* key : {"ver", "lan", "os", "ch", "sch", "lver", "mver", "ledition", "ri",
                              "si", "ad"})
        EXPECT_TRUE(r["params"].Has(key)) << key;
      EXPECT_EQ("0", r["params"]["sch"].AsString());
      EXPECT_EQ("10.0.0.1", r["params"]["mver"].AsString());
    }
    // The environment report is sent once: it is not retried.
    EXPECT_EQ(1u, OnPath(requests, "/safei18n/query_env.htm").size());
    EXPECT_TRUE(OnPath(requests, "/safei18n/ins.htm").empty());
    const std::wstring text = ReadText(log);
    const std::wstring status =
        std::wstring(L"status ") + (channel == std::wstring(L"rptB") ? L"404" : L"302");
    // The offer query, the environment report and the three attempts.
    EXPECT_EQ(5u, e2e::Count(text, status)) << WideToUtf8(text);
    EXPECT_NE(std::wstring::npos, text.find(L"report failed three times"));
  }
}

TEST_F(ReportsE2E, EmptyErrorLinkSendsNoFailureReport) {
  const std::wstring copy = dir_ + L"\\NoErrLink.exe";
  ASSERT_EQ(L"", DamagedCopy(copy, true));
  const std::wstring log = dir_ + L"\\noerrlink.log";
  EXPECT_EQ(117, RunProgram(copy, L"/s /BNinstall /log:" + log + L" /c:rptD"));
  const JsonValue requests = Requests(L"rptD");
  SCOPED_TRACE(Describe(requests));
  EXPECT_EQ(1u, OnPath(requests, "/safei18n/query_env.htm").size());  // the run did report
  EXPECT_TRUE(OnPath(requests, "/safei18n/ins_err.htm").empty());
  EXPECT_EQ(1u, requests.size() - OnPath(requests, "/promo/opera").size());
  EXPECT_NE(std::wstring::npos, ReadText(log).find(L"failure 117 not reported"));
}

// Runs in a child process (a death test), where the process-wide offer query
// and report parameters are still unasked: `check` gets the outcome and
// returns what is wrong, empty when all is right.
template <typename Check>
void InFreshProcess(const wchar_t* channel, const wchar_t* sessionChannel, Check check) {
  EXPECT_EXIT(
      {
        reportChannel = channel;
        Session().channel = sessionChannel;
        const std::string wrong = check();
        if (!wrong.empty()) fprintf(stderr, "%s\n", wrong.c_str());
        fflush(stderr);
        ExitProcess(wrong.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

std::string OfferState(const OfferOutcome& o) {
  const SessionSettings& s = Session();
  return "status " + std::to_string(o.status) + " after " + std::to_string(o.elapsedMs) +
         " ms, offerMode " + std::to_string(s.offerMode) + ", checked " +
         std::to_string(s.offerChecked) + ", valueA " + std::to_string(s.offerValueA) +
         ", valueB " + std::to_string(s.offerValueB);
}

TEST_F(ReportsE2E, OfferServerThatNeverFinishesGivesMinus3AfterTheWait) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  // A server that never finishes its answer: the 7,000 ms wait ends first.
  SetMode(L"rptE", L"drip");
  const auto started = std::chrono::steady_clock::now();
  InFreshProcess(L"rptE", L"101", [] {
    const OfferOutcome o = QueryOffer(true);
    const SessionSettings& s = Session();
    const bool ok = o.status == kOfferTimedOut && s.offerMode == 2 && s.offerChecked &&
                    s.offerValueB == kOfferTimedOut && o.elapsedMs >= kOfferWaitMs - 20;
    return ok ? std::string() : OfferState(o);
  });
  printf("[figure] child process asking a server that never finishes its answer: %.1f s\n",
         Seconds(started));
  EXPECT_EQ(1u, Requests(L"rptE").size());

}

TEST_F(ReportsE2E, LicenceAndPrivacyVersionsAreTheServicesTextsOrADash) {
  const wchar_t* key = L"SOFTWARE\\LumBastionTest\\Profile";
  const auto value = [key](const wchar_t* name) {
    RegKey reg;
    std::wstring text = L"<none>";
    if (reg.Open(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE)) reg.ReadString(name, &text);
    return text;
  };
  SessionSettings& session = Session();
  const std::wstring channel = session.channel, language = session.language;
  session.channel = L"rptV";
  session.language = L"de";
  RecordDocumentVersions(key);
  EXPECT_EQ(L"2026-03-01", value(L"LicenseDateVer"));
  EXPECT_EQ(L"2026-04-15 r2", value(L"PrivacyDateVer"));
  const JsonValue asked = Requests(L"rptV");
  ASSERT_EQ(2u, asked.size()) << Describe(asked);
  EXPECT_EQ("/safei18n/legal/version", asked[0]["path"].AsString());
  EXPECT_EQ("license", asked[0]["params"]["doc"].AsString());
  EXPECT_EQ("privacy", asked[1]["params"]["doc"].AsString());
  EXPECT_EQ("de", asked[1]["params"]["lang"].AsString());

  // An error page, an answer that never ends, no answer in time: "-".
  for (const wchar_t* mode : {L"404", L"endless", L"hang"}) {
    SetMode(L"rptV", mode);
    const auto started = std::chrono::steady_clock::now();
    RecordDocumentVersions(key);
    printf("[figure] document versions with the service answering \"%ls\": %.1f s\n", mode,
           Seconds(started));
    EXPECT_EQ(L"-", value(L"LicenseDateVer")) << mode;
    EXPECT_EQ(L"-", value(L"PrivacyDateVer")) << mode;
  }
  SetMode(L"rptV", L"ok");
  session.channel = channel;
  session.language = language;
  RegKey::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastionTest");
}

TEST_F(ReportsE2E, OfferQueryStatusesAndWhatTheyMakeOfTheOffer) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  Control(L"offer?ch=rptF&body=" + Encoded("<html>not an answer</html>"));
  InFreshProcess(L"rptF", L"7", [] {
    const OfferOutcome o = QueryOffer(true);
    const SessionSettings& s = Session();
    const bool ok = o.status == kOfferUnparsable && s.offerMode == 2 && !s.offerChecked &&
                    s.offerValueB == kOfferUnparsable;
    return ok ? std::string() : OfferState(o);
  });

  Control(L"offer?ch=rptG&body=" + Encoded(R"({"value": 1, "checked": 1})"));
  InFreshProcess(L"rptG", L"101", [] {
    const OfferOutcome o = QueryOffer(true);
    const SessionSettings& s = Session();
    const bool ok = o.status == 1 && s.offerMode == 1 && s.offerChecked && s.offerValueB == 1 &&
                    s.offerValueA == static_cast<int32_t>(o.elapsedMs);
    return ok ? std::string() : OfferState(o);
  });

  Control(L"offer?ch=rptH&body=" + Encoded(R"({"value": 0, "checked": 1})"));
  SetMode(L"rptI", L"404");
  for (const wchar_t* channel : {L"rptH", L"rptI"}) {
    InFreshProcess(channel, L"101", [channel] {
      const OfferOutcome o = QueryOffer(true);
      const SessionSettings& s = Session();
      // "off" switches the offer off; a 404 is no answer at all.
      const bool ok = channel == std::wstring(L"rptH")
                          ? o.status == 0 && s.offerMode == 0 && !s.offerChecked
                          : o.status == kOfferBadStatus && s.offerMode == 2 && s.offerChecked;
      return ok ? std::string() : OfferState(o);
    });
  }
}

TEST_F(ReportsE2E, DamagedFileMessageReportsTheAnswer) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  InFreshProcess(L"rptJ", L"rptJ", [] {
    DamagedFilePrompt prompt = DamagedFilePromptWithReport();
    prompt.showBox = [](HWND, const DamagedFileText&) { return IDNO; };
    prompt.openAddress = [](const std::wstring&) { return false; };
    ShowDamagedFileMessage(nullptr, L"C:\\lum_e2e_reports\\nowhere", L"C:\\x\\ZVSafeMain.exe", prompt);
    return std::string();
  });
  const auto events = OnPath(Requests(L"rptJ"), "/safei18n/nosign.htm");
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ("valid", events[0]["signature"].AsString());
  EXPECT_EQ("ZVSafeMain.exe", events[0]["params"]["f"].AsString());
  EXPECT_EQ("n", events[0]["params"]["re"].AsString());
  for (const char* key : {"mid", "ver", "lan", "os"})
    EXPECT_FALSE(events[0]["params"][key].AsString().empty()) << key;
}

// EnumWindows calls back with the system's calling convention (__stdcall on
// i686), which a lambda does not have: a function of its own.
BOOL CALLBACK FindVisibleWindowOfThisProcess(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The first visible top-level window of this process.
HWND VisibleWindowOfThisProcess() {
  HWND found = nullptr;
  EnumWindows(FindVisibleWindowOfThisProcess, reinterpret_cast<LPARAM>(&found));
  return found;
}

// What the screen shows of `window`, as a 24-bit BMP; the count of distinct
// colours seen (a drawn box has many, an unpainted one one or two).
size_t SaveWindowShot(HWND window, const std::wstring& path) {
  RECT r = {};
  GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return 0;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;  // bottom-up, as a BMP file keeps it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  const DWORD size = stride * static_cast<DWORD>(h);
  std::vector<uint32_t> colours;
  const auto* p = static_cast<const uint8_t*>(bits);
  for (DWORD y = 0; y < static_cast<DWORD>(h); y += 2)
    for (DWORD x = 0; x < static_cast<DWORD>(w); x += 2) {
      const uint8_t* q = p + y * stride + x * 3;
      const uint32_t c = q[0] | (q[1] << 8) | (q[2] << 16);
      if (std::find(colours.begin(), colours.end(), c) == colours.end() && colours.size() < 64)
        colours.push_back(c);
    }
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
  file.bfSize = file.bfOffBits + size;
  info.bmiHeader.biSizeImage = size;
  HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (out != INVALID_HANDLE_VALUE) {
    WriteFile(out, &file, sizeof(file), &written, nullptr);
    WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr);
    WriteFile(out, bits, size, &written, nullptr);
    CloseHandle(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return colours.size();
}

TEST_F(ReportsE2E, MissingProgramAtAShellStartShowsTheDamagedFileMessageAndReportsIt) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  wchar_t buildValue[1024] = {};
  const DWORD buildLength = GetEnvironmentVariableW(L"LUM_BUILD_DIR", buildValue, 1023);
  ASSERT_TRUE(buildLength > 0 && buildLength < 1023);
  const std::wstring build(buildValue, buildLength);
  const std::wstring shot = build + L"\\screenshots\\damaged-file-message-de.bmp";
  CreateDirectoryW((build + L"\\screenshots").c_str(), nullptr);
  DeleteFileW(shot.c_str());
  static std::wstring shotPath;
  shotPath = shot;
  InFreshProcess(L"rptM", L"rptM", [] {
    // An interactive run over a product installed in German, whose
    // power-saver program has gone.
    SessionSettings& session = Session();
    WinSessionEnvironment env;
    if (!env.LoadLanguageTable(session.table)) return std::string("no language table");
    IniTable::KeyMap english;
    if (!session.table.Section(L"en", english)) return std::string("no English texts");
    session.texts = english;
    session.language = L"en";
    session.silent = false;
    PrepareSkinForLanguage();
    const std::wstring product = L"C:\\lum_e2e_reports\\damaged";
    CreateDirectoryW(product.c_str(), nullptr);
    WritePrivateProfileStringW(L"UI", L"language", L"de", (product + L"\\config.ini").c_str());
    // The installed product's folder is what App Paths names.
    RegKey paths;
    std::wstring installed;
    if (!paths.Create(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      RegView::k32))
      return std::string("App Paths not opened");
    const bool hadPath = paths.ReadString(L"Path", &installed);
    paths.WriteString(L"Path", product);
    SetMissingProgramHandler(&OnMissingProgram);
    // This thread is the interface thread; the start comes from a worker, as
    // the install run's starts do, and the box must come up here.
    if (!ShowMissingProgramOnThisThread()) return std::string("no request window");
    const DWORD interfaceThread = GetCurrentThreadId();

    // The person sees the box and presses Escape ("no").
    std::string seen;
    auto look = [&seen, interfaceThread] {
      HWND box = nullptr;
      for (int i = 0; i < 200 && !(box = VisibleWindowOfThisProcess()); ++i) Sleep(100);
      if (!box) {
        seen = "no message box";
        return;
      }
      if (GetWindowThreadProcessId(box, nullptr) != interfaceThread)
        seen += " the box belongs to another thread than the interface's";
      Sleep(800);  // painted
      const size_t colours = SaveWindowShot(box, shotPath);
      if (colours < 3) seen = "the box shows " + std::to_string(colours) + " colours";
      SetForegroundWindow(box);
      INPUT keys[2] = {};
      keys[0].type = keys[1].type = INPUT_KEYBOARD;
      keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
      keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
      SendInput(2, keys, sizeof(INPUT));
      for (int i = 0; i < 50 && IsWindow(box); ++i) Sleep(100);
      if (IsWindow(box)) PostMessageW(box, WM_COMMAND, IDCANCEL, 0), seen += " Escape did not close it";
    };
    HANDLE looked = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread person([&] {
      look();
      SetEvent(looked);
    });
    ShellStartRequest start;
    start.program = product + L"\\Utils\\PowerSaver.exe";
    start.parameters = L"/flightsigning";
    bool started = true;
    DWORD error = 0;
    std::thread worker([&] {
      started = StartThroughShell(start);
      error = GetLastError();
    });
    worker.join();  // the worker does not wait for the person's answer
    // The interface thread's loop shows the box until the person answers.
    while (MsgWaitForMultipleObjects(1, &looked, FALSE, 30000, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    person.join();
    CloseHandle(looked);
    if (hadPath) paths.WriteString(L"Path", installed);
    if (started || error != ERROR_FILE_NOT_FOUND) seen += " the missing program counted as started";
    return seen;
  });
  const auto events = OnPath(Requests(L"rptM"), "/safei18n/nosign.htm");
  ASSERT_EQ(1u, events.size()) << Describe(Requests(L"rptM"));
  EXPECT_EQ("valid", events[0]["signature"].AsString());
  EXPECT_EQ("PowerSaver.exe", events[0]["params"]["f"].AsString());
  EXPECT_EQ("n", events[0]["params"]["re"].AsString());
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(shot.c_str()));
}

TEST_F(ReportsE2E, ServerThatNeverAnswersDelaysTheRunOnlyByTheBoundedWaits) {
  // Every request of this channel is accepted and never answered.
  SetMode(L"rptK", L"hang");
  const std::wstring log = dir_ + L"\\hang.log";
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(0, RunProgram(InstallerPath(), L"/s /log:" + log + L" /c:rptK /clientid:cid-8"));
  printf("[figure] silent reinstall against a server that never answers: %.1f s\n",
         Seconds(started));
  const std::wstring text = ReadText(log);
  // Each request ended by its own 5 s time-out, or was left behind by its wait.
  EXPECT_EQ(0u, e2e::Count(text, L"status 200"));
  EXPECT_LE(4u, e2e::Count(text, L"HTTP GET, time-out 5000 ms: failed") +
                    e2e::Count(text, L"HTTP GET, time-out 5000 ms: timed out"))
      << WideToUtf8(text);
  EXPECT_NE(std::wstring::npos, text.find(L"report still running after the wait of 4000 ms"));
  EXPECT_NE(std::wstring::npos, text.find(L"report still running after the wait of 10000 ms"));
}


// Runs `exe` and samples its memory every 50 ms until it ends, as a watcher
// outside the installer reads it; the exit code, and in `peakBytes` the
// highest of PeakPagefileUsage, PrivateUsage and PeakWorkingSetSize seen.
// (Wine gives PrivateUsage as 0 and PeakPagefileUsage as the current
// figure, hence the sampling; its PeakWorkingSetSize is a true peak.)
int RunWatchingMemory(const std::wstring& exe, const std::wstring& args, SIZE_T* peakBytes) {
  std::wstring line = L"\"" + exe + L"\" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  *peakBytes = 0;
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    return -1;
  UniqueHandle process(info.hProcess), thread(info.hThread);
  const auto started = std::chrono::steady_clock::now();
  DWORD waited = WAIT_TIMEOUT;
  while (waited == WAIT_TIMEOUT && Seconds(started) < 300) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(process.Get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters))) {
      *peakBytes = std::max({*peakBytes, counters.PeakPagefileUsage, counters.PrivateUsage,
                             counters.PeakWorkingSetSize});
    }
    waited = WaitForSingleObject(process.Get(), 50);
  }
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 1);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  return static_cast<int>(code);
}

TEST_F(ReportsE2E, EndlessOfferAnswerCostsTheInstallNeitherItsEndNorItsMemory) {
  // Every answer of this channel is a 200 whose body never ends, sent as fast
  // as the installer reads: the offer answer is cut at its limit, the reports
  // read no body at all.
  // A normal install peaks near 70 MB under Wine; the body read without a cap
  // took it past 170 MB in the same time.
  constexpr SIZE_T kPeakBound = 120u << 20;
  SetMode(L"rptL", L"endless");
  const std::wstring log = dir_ + L"\\endless.log";
  SIZE_T peak = 0;
  const auto started = std::chrono::steady_clock::now();
  // /BNinstall: this process does the work itself, so its memory is the one watched.
  EXPECT_EQ(0, RunWatchingMemory(InstallerPath(),
                                 L"/s /BNinstall /log:" + log + L" /c:rptL /clientid:cid-9", &peak));
  printf("[figure] silent install against endless answers: %.1f s, peak memory %.1f MB\n",
         Seconds(started), static_cast<double>(peak) / (1 << 20));
  const std::wstring text = ReadText(log);
  EXPECT_NE(0u, peak);
  EXPECT_LT(peak, kPeakBound);
  EXPECT_EQ(1u, OnPath(Requests(L"rptL"), "/promo/opera").size());
  EXPECT_EQ(1u, e2e::Count(text, L"failed (body above its limit, error 122)")) << WideToUtf8(text);
  EXPECT_NE(std::wstring::npos, text.find(L"offer query: status -1")) << WideToUtf8(text);
  // The reports took the status and left the body unread.
  EXPECT_LE(1u, e2e::Count(text, L"HTTP GET, time-out 5000 ms: status 200")) << WideToUtf8(text);
}

}  // namespace
}  // namespace lum
