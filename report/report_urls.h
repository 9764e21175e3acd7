// The statistics requests as text: the common query, the environment string
// that is sealed, and the URL of every report. Portable: the facts come in
// as plain values (report_facts_win.cpp reads them from the machine).
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// The common parameters, prepared once per run.
struct CommonParams {
  std::wstring mid, ver, lan, os, ch, sch;
};

// "0" for an empty sub-channel or a single blank.
std::wstring ReportSubChannel(const std::wstring& subChannel);
// "mid=..&ver=..&lan=..&os=..&ch=..&sch=.."
std::wstring CommonQuery(const CommonParams& common);

// The environment of the run, read from the machine and the parent process.
struct EnvironmentFacts {
  bool virtualMachine = false;   // hypervisor bit of CPUID leaf 1
  std::wstring parent = L"unknown";
  std::wstring company = L"unknown";
  std::wstring signature = L"unknown";
  bool parentHasWindow = false;
  int64_t timestamp = 0;         // seconds since 1970
};

// The common query, then "&env=install&vm=..&parent=..&company=..&signature=..&ui=..&timestamp=..".
std::wstring EnvironmentString(const CommonParams& common, const EnvironmentFacts& facts);
// <base>query_env.htm?v611=<sealed>
std::wstring EnvironmentReportUrl(const std::wstring& statsBase, const std::string& sealed);
// <channel host>ins?v611=<sealed>&ch=..&sch=..&ref=bn
std::wstring ChannelReportUrl(const std::wstring& channelHost, const std::string& sealed,
                              const std::wstring& ch, const std::wstring& sch);

// What the failure report adds to the common parameters.
struct ErrorReportFacts {
  std::wstring installedVersion;  // lver: ZVVer.dll of the installed product
  std::wstring installerVersion;  // mver
  std::wstring edition;           // ledition: uninstall entry "Edition"
  int updateMode = 0;             // ri
  int offerRule = 0;              // si
  int autoInstall = 0;            // ad
  int procedureCode = 0;          // rc
  int extractionError = 0;        // uz_err
};
// <err_link>id=<code>&mid=..&sch=..&lver=..&mver=..&ledition=..&ri=..&si=..&ad=..&rc=..&&uz_err=..&ref=bn
std::wstring ErrorReportUrl(const std::wstring& errLink, int code, const CommonParams& common,
                            const ErrorReportFacts& facts);

struct UserExperience {
  bool enabled = true;   // "UserExperience" non-zero or absent
  unsigned acp = 0;
  long geoId = 0;
  std::wstring browser;  // default browser's short name, handed in by the caller
};
// "1&ACP=..&GEOID=..&br=.." ("0&..." when the user left the programme).
std::wstring UserExperienceText(const UserExperience& ue);

struct OfferFlags {
  int browserOffer = 0;   // promo_opr
  int offerRule = 0;      // rule_opr
  int offerParam = 0;     // param_opr
  int32_t valueA = 0;     // tt_opr
  int32_t valueB = 0;     // rr_opr
};
// "&promo_opr=..&rule_opr=..&param_opr=..&tt_opr=..&rr_opr=0x........"
std::wstring OfferTexts(const OfferFlags& offer);

// <base>ins.htm?<common>&ue=<ue><offer texts>
std::wstring InstallReportUrl(const std::wstring& statsBase, const CommonParams& common,
                              const UserExperience& ue, const OfferFlags& offer);
// <base>ins.htm?<common>&ue=<ue><offer texts>&cpu=..&ram=..&rc=..
std::wstring FreshResultUrl(const std::wstring& statsBase, const CommonParams& common,
                            const UserExperience& ue, const OfferFlags& offer,
                            const std::wstring& cpuName, uint64_t memoryBytes, int procedureCode);
// <base>up.htm?mid=..&ver=..&lan=..&os=..&ch=<ch>&ACP=..&GEOID=..&br=..&rc=..
std::wstring UpdateResultUrl(const std::wstring& statsBase, const CommonParams& common,
                             const UserExperience& ue, int procedureCode);

// <offer host>promo/opera?ch=..&sch=..&ver=..&lan=..&os=..&mid=..&time=..
std::wstring OfferQueryUrl(const std::wstring& offerHost, const CommonParams& common,
                           int64_t timestamp);

// A free text (a processor name, a path) made safe for a query value.
std::wstring QueryValue(const std::wstring& text);

}  // namespace lum
