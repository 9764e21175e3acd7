// The statistics reports of a run and the referral link. Each report runs on
// a thread of its own; the calling thread waits for it with the bound given
// and then goes on (a late report finishes on its own).
#pragma once
#include <string>

#include "report/report_urls.h"

namespace lum {

// What the caller knows of the run that this folder does not see.
struct RunReportFacts {
  int procedureCode = 0;          // rc: the install procedure's result code
  bool extractionFailed = false;  // uz_err
  std::wstring browser = L"unkn"; // br: the default browser's short name
};

// mid (profile identity), ver (the installer's own version), lan, os, ch, sch;
// read once, at the first report.
const CommonParams& ReportCommonParams();

// The sealed environment string to "query_env.htm?"; waits at most `waitMs`.
void SendEnvironmentReport(unsigned waitMs);
// The sealed environment string with "&clientid=" to the channel host, with
// "&ref=bn"; waits at most `waitMs`.
void SendChannelReport(unsigned waitMs);
// Non-zero code: the error form to the language table's "err_link" (nothing
// when it is empty). Zero: "up.htm?" in update mode, else "ins.htm?" with the
// machine's processor and memory. Signed, sent with three attempts; the
// caller waits at most 10 s.
void SendResultReport(int code, const RunReportFacts& facts);
// After a successful install run: the result report with 0 and (fresh
// installs only) the install report, side by side, both together waited for
// at most `waitMs`.
void SendInstallReports(const RunReportFacts& facts, unsigned waitMs);
// The damaged-file event: the statistics base followed by `query`, 4 s wait.
void SendDamagedFileReport(const std::wstring& query);

// From the language keys "ref_link" and "key"; empty when either is missing.
std::wstring GetReferralLink();

}  // namespace lum
