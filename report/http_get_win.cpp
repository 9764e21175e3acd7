#include "report/http_get_win.h"

#include <windows.h>
// wininet.h builds on windows.h.
#include <wininet.h>

#include <memory>
#include <vector>

#include "base/install_log.h"
#include "base/system_dll_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "report";
constexpr const wchar_t kAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

// The internet library, loaded from the system folder when first needed; the
// members carry the functions' own names and types.
struct WinInetApi {
  decltype(&::InternetCloseHandle) InternetCloseHandle = nullptr;
  decltype(&::InternetSetOptionW) InternetSetOptionW = nullptr;
  decltype(&::InternetCrackUrlW) InternetCrackUrlW = nullptr;
  decltype(&::InternetConnectW) InternetConnectW = nullptr;
  decltype(&::HttpOpenRequestW) HttpOpenRequestW = nullptr;
  decltype(&::HttpSendRequestW) HttpSendRequestW = nullptr;
  decltype(&::InternetOpenW) InternetOpenW = nullptr;
  decltype(&::HttpQueryInfoW) HttpQueryInfoW = nullptr;
  decltype(&::InternetReadFile) InternetReadFile = nullptr;
  decltype(&::DeleteUrlCacheEntryW) DeleteUrlCacheEntryW = nullptr;
  bool Ready() const {
    return InternetCloseHandle && InternetSetOptionW && InternetCrackUrlW && InternetConnectW &&
           HttpOpenRequestW && HttpSendRequestW && InternetOpenW && HttpQueryInfoW &&
           InternetReadFile && DeleteUrlCacheEntryW;
  }
};

const WinInetApi& Net() {
  static const WinInetApi api = [] {
    WinInetApi a;
#define LUM_WININET(name) a.name = SystemExport<decltype(a.name)>(L"wininet.dll", #name)
    LUM_WININET(InternetCloseHandle);
    LUM_WININET(InternetSetOptionW);
    LUM_WININET(InternetCrackUrlW);
    LUM_WININET(InternetConnectW);
    LUM_WININET(HttpOpenRequestW);
    LUM_WININET(HttpSendRequestW);
    LUM_WININET(InternetOpenW);
    LUM_WININET(HttpQueryInfoW);
    LUM_WININET(InternetReadFile);
    LUM_WININET(DeleteUrlCacheEntryW);
#undef LUM_WININET
    return a;
  }();
  return api;
}

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { Net().InternetCloseHandle(h); }
};
using UniqueInternet = UniqueWinHandle<InternetHandleTraits>;

void SetTimeouts(HINTERNET handle, DWORD ms) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    Net().InternetSetOptionW(handle, option, &ms, sizeof(ms));
}

// Opens the request: for http and https by connection and request handles,
// so that the time-outs sit on the request itself before anything is sent.
HINTERNET OpenRequest(HINTERNET session, const std::wstring& url, DWORD timeoutMs,
                      UniqueInternet* connection) {
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  wchar_t host[256] = {};
  std::vector<wchar_t> path(url.size() + 2);
  std::vector<wchar_t> extra(url.size() + 2);
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
  if (!Net().InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
    return nullptr;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    ::SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return nullptr;
  }
  connection->Reset(Net().InternetConnectW(session, host, parts.nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
  if (!*connection) return nullptr;
  SetTimeouts(connection->Get(), timeoutMs);
  const std::wstring object = std::wstring(path.data()) + extra.data();
  HINTERNET request = Net().HttpOpenRequestW(
      connection->Get(), L"GET", object.c_str(), nullptr, nullptr, nullptr,
      flags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0), 0);
  if (!request) return nullptr;
  SetTimeouts(request, timeoutMs);
  if (!Net().HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
    const DWORD error = ::GetLastError();
    Net().InternetCloseHandle(request);
    ::SetLastError(error);
    return nullptr;
  }
  return request;
}

std::wstring Outcome(unsigned status, DWORD error) {
  if (status != 0) return L"status " + std::to_wstring(status);
  if (error == ERROR_INTERNET_TIMEOUT) return L"timed out";
  const wchar_t* why = error == ERROR_INSUFFICIENT_BUFFER     ? L"body above its limit, "
                       : error == ERROR_INTERNET_CANNOT_CONNECT ? L"could not connect, "
                       : error == ERROR_INTERNET_CONNECTION_ABORTED
                           ? L"connection closed without an answer, "
                       : error == ERROR_INTERNET_NAME_NOT_RESOLVED ? L"host name not resolved, "
                                                                   : L"";
  return L"failed (" + std::wstring(why) + L"error " + std::to_wstring(error) + L")";
}

DWORD WINAPI BoundedThread(void* parameter) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
  (*work)();
  return 0;
}

// Reads the body into `body`, at most `limit` bytes, all of it within
// `timeoutMs`. 0, or the error that ended the read.
DWORD ReadBody(HINTERNET request, size_t limit, DWORD timeoutMs, std::string* body) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  char chunk[1024];
  for (;;) {
    DWORD read = 0;
    if (!Net().InternetReadFile(request, chunk, sizeof(chunk), &read)) return ::GetLastError();
    if (read == 0) return 0;
    const size_t kept = strnlen(chunk, read);
    if (body->size() + kept > limit) return ERROR_INSUFFICIENT_BUFFER;
    body->append(chunk, kept);
    if (::GetTickCount64() > deadline) return ERROR_INTERNET_TIMEOUT;
  }
}

}  // namespace

int HttpGet(const std::wstring& url, unsigned timeoutMs, std::string* body, size_t bodyLimit,
            unsigned* statusOut, unsigned long* errorOut) {
  unsigned status = 0;
  DWORD error = 0;
  bool ok = false;
  if (!Net().Ready()) {
    error = ::GetLastError();
    log::Action(kLog, L"load the internet library", L"wininet.dll", static_cast<long>(error));
    if (statusOut) *statusOut = 0;
    if (errorOut) *errorOut = error;
    return 1;
  }
  Net().DeleteUrlCacheEntryW(url.c_str());
  UniqueInternet session(
      Net().InternetOpenW(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) {
    error = ::GetLastError();
  } else {
    SetTimeouts(session.Get(), timeoutMs);
    UniqueInternet connection;
    UniqueInternet request(OpenRequest(session.Get(), url, timeoutMs, &connection));
    if (!request) {
      error = ::GetLastError();
    } else {
      DWORD code = 0;
      DWORD size = sizeof(code);
      if (Net().HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                               &code, &size, nullptr))
        status = code;
      if (status >= 200 && status <= 299) {
        if (body) error = ReadBody(request.Get(), bodyLimit, timeoutMs, body);
        ok = error == 0;
        if (!ok && body) body->clear();
      }
    }
    // The handles close here, whatever of the body is still on its way.
  }
  log::Action(kLog, L"HTTP GET, time-out " + std::to_wstring(timeoutMs) + L" ms: " +
                        Outcome(error == 0 ? status : 0, error),
              url, ok ? 0 : (error == 0 ? static_cast<long>(status) : static_cast<long>(error)));
  if (statusOut) *statusOut = status;
  if (errorOut) *errorOut = error;
  return ok ? 0 : 1;
}

namespace {

HANDLE StartBounded(std::function<void()> work, const std::wstring& what) {
  auto* owned = new std::function<void()>(std::move(work));
  HANDLE thread = ::CreateThread(nullptr, 0, BoundedThread, owned, 0, nullptr);
  if (!thread) {
    delete owned;
    log::Action(kLog, L"report thread not started", what, static_cast<long>(::GetLastError()));
  }
  return thread;
}

void NoteWait(bool done, unsigned waitMs, const std::wstring& what) {
  if (done) {
    log::Note(kLog, L"report done within the wait of " + std::to_wstring(waitMs) + L" ms: " + what);
  } else {
    log::Note(kLog, L"report still running after the wait of " + std::to_wstring(waitMs) +
                        L" ms; it finishes on its own: " + what);
  }
}

}  // namespace

bool RunBounded(std::function<void()> work, unsigned waitMs, const std::wstring& what) {
  UniqueHandle thread(StartBounded(std::move(work), what));
  if (!thread) return false;
  NoteWait(::WaitForSingleObject(thread.Get(), waitMs) == WAIT_OBJECT_0, waitMs, what);
  return true;
}

void RunBoundedTogether(std::vector<BoundedWork> works, unsigned waitMs) {
  std::vector<UniqueHandle> threads;
  for (BoundedWork& w : works) threads.emplace_back(StartBounded(std::move(w.work), w.what));
  const ULONGLONG deadline = ::GetTickCount64() + waitMs;
  for (size_t i = 0; i < threads.size(); ++i) {
    if (!threads[i]) continue;
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    NoteWait(::WaitForSingleObject(threads[i].Get(), left) == WAIT_OBJECT_0, waitMs, works[i].what);
  }
}

bool SendAsync(const std::wstring& url, unsigned waitMs) {
  return RunBounded([url] { HttpGet(url, kRequestTimeoutMs); }, waitMs, url);
}

bool SendWithRetry(const std::wstring& url) {
  for (int attempt = 1; attempt <= 3; ++attempt) {
    if (HttpGet(url, kRequestTimeoutMs) == 0) return true;
  }
  log::Note(kLog, L"report failed three times: " + url);
  return false;
}

}  // namespace lum
