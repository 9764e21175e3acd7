// HTTP GET over WinINet for the statistics and the offer query. Every request
// is written to the installer's log: the full URL, its time-out and the
// outcome (status code, time-out or failure).
//
// Threads: any thread may call these; SendAsync's thread owns a copy of the
// URL and finishes on its own when the caller stops waiting for it.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace lum {

constexpr unsigned kRequestTimeoutMs = 5000;

// 0 on success (status 200-299, and the whole body read when one is asked
// for), 1 on failure. The connect, send and receive time-outs are
// `timeoutMs`, set on the session and on the request handle (which Wine does
// not let inherit them). Redirects are not followed: a 302 is a failure, and
// a report never goes anywhere else. Without `body` nothing of the body is
// read: the request ends with the status. With `body`, at most `bodyLimit`
// bytes are kept and the whole body must arrive within `timeoutMs` of the
// answer's start: a longer or slower one is a failure (ERROR_INSUFFICIENT_BUFFER,
// ERROR_INTERNET_TIMEOUT) and the connection is closed, so a server can cost
// neither memory nor time without end. `status` receives the HTTP status (0
// when none arrived) and `error` the Win32 error of a failed request.
int HttpGet(const std::wstring& url, unsigned timeoutMs, std::string* body = nullptr,
            size_t bodyLimit = 0, unsigned* status = nullptr, unsigned long* error = nullptr);

// Starts a thread that calls HttpGet(url, 5000), waits for it at most
// `waitMs` and lets it go; true when the thread started.
bool SendAsync(const std::wstring& url, unsigned waitMs);

// Runs `work` on a thread of its own and waits for it at most `waitMs`; a
// late thread finishes on its own. False when the thread could not start.
bool RunBounded(std::function<void()> work, unsigned waitMs, const std::wstring& what);

struct BoundedWork {
  std::function<void()> work;
  std::wstring what;
};

// Runs every piece of work on a thread of its own, side by side, and waits for
// all of them under one bound of `waitMs` in all: a finish with no network then
// costs one wait, not one per report. Late threads finish on their own.
void RunBoundedTogether(std::vector<BoundedWork> works, unsigned waitMs);

// HttpGet(url, 5000) up to three times until one succeeds; true on success.
bool SendWithRetry(const std::wstring& url);

}  // namespace lum
