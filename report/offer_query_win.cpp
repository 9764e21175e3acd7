#include "report/offer_query_win.h"

#include <windows.h>

#include <ctime>
#include <memory>
#include <mutex>

#include "base/install_log.h"
#include "report/http_get_win.h"
#include "report/report_config_win.h"
#include "report/reports_win.h"
#include "session/session_settings.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "offer";

// Shared by the caller and the request thread; whichever ends last frees it.
struct OfferRequest {
  std::wstring url;
  std::mutex lock;
  bool done = false;
  int requestStatus = kOfferRequestFailed;
  std::string body;
};

DWORD WINAPI OfferThread(void* parameter) {
  std::shared_ptr<OfferRequest> request(*static_cast<std::shared_ptr<OfferRequest>*>(parameter));
  delete static_cast<std::shared_ptr<OfferRequest>*>(parameter);
  // The first machine identifier of a run queries devices, which may take
  // their time: it is made here, inside the query's bounded wait.
  const std::wstring url =
      OfferQueryUrl(OfferHost(), ReportCommonParams(), static_cast<int64_t>(std::time(nullptr)));
  {
    std::lock_guard<std::mutex> hold(request->lock);
    request->url = url;
  }
  std::string body;
  unsigned status = 0;
  const bool ok = HttpGet(url, kRequestTimeoutMs, &body, kOfferAnswerMaxBytes, &status) == 0;
  // A 2xx whose body could not be read whole (too long, too slow) failed to read.
  const bool badStatus = status != 0 && (status < 200 || status > 299);
  std::lock_guard<std::mutex> hold(request->lock);
  request->done = true;
  request->requestStatus = ok ? 0 : (badStatus ? kOfferBadStatus : kOfferRequestFailed);
  request->body = std::move(body);
  return 0;
}

OfferOutcome Ask() {
  OfferOutcome outcome;
  std::wstring url;
  auto request = std::make_shared<OfferRequest>();
  const ULONGLONG started = ::GetTickCount64();
  auto* handOver = new std::shared_ptr<OfferRequest>(request);
  UniqueHandle thread(::CreateThread(nullptr, 0, OfferThread, handOver, 0, nullptr));
  if (!thread) {
    delete handOver;
    outcome.status = kOfferRequestFailed;
  } else {
    const DWORD waited = ::WaitForSingleObject(thread.Get(), kOfferWaitMs);
    std::lock_guard<std::mutex> hold(request->lock);
    url = request->url;
    if (waited != WAIT_OBJECT_0 || !request->done) {
      outcome.status = kOfferTimedOut;
    } else if (request->requestStatus != 0) {
      outcome.status = request->requestStatus;
    } else {
      ParseOfferAnswer(request->body, &outcome);
    }
  }
  outcome.elapsedMs = static_cast<uint32_t>(::GetTickCount64() - started);
  log::Action(kLog,
              L"offer query: status " + std::to_wstring(outcome.status) + L" after " +
                  std::to_wstring(outcome.elapsedMs) + L" ms (wait " +
                  std::to_wstring(kOfferWaitMs) + L" ms)",
              url.empty() ? std::wstring(L"(query not formed within the wait)") : url,
              outcome.answered ? 0 : outcome.status);
  return outcome;
}

}  // namespace

OfferOutcome QueryOffer(bool apply) {
  static std::once_flag once;
  static OfferOutcome outcome;
  std::call_once(once, [] { outcome = Ask(); });
  if (apply) {
    SessionSettings& session = Session();
    const OfferFields fields = OfferFieldsFrom(outcome, session.channel);
    session.offerValueA = fields.offerValueA;
    session.offerValueB = fields.offerValueB;
    session.offerMode = fields.offerMode;
    session.offerChecked = fields.offerChecked;
    log::Note(kLog, L"offer mode " + std::to_wstring(fields.offerMode) +
                        (fields.offerChecked ? L", checked" : L", not checked"));
  }
  return outcome;
}

}  // namespace lum
