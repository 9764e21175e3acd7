#include "report/report_urls.h"

#include <cstdio>

#include "base/text.h"

namespace lum {
namespace {

std::wstring Num(long long value) { return std::to_wstring(value); }

std::wstring Hex8(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"%08x", value);
  return text;
}

}  // namespace

std::wstring ReportSubChannel(const std::wstring& subChannel) {
  return subChannel.empty() || subChannel == L" " ? std::wstring(L"0") : subChannel;
}

std::wstring CommonQuery(const CommonParams& c) {
  return L"mid=" + c.mid + L"&ver=" + c.ver + L"&lan=" + c.lan + L"&os=" + c.os + L"&ch=" + c.ch +
         L"&sch=" + ReportSubChannel(c.sch);
}

std::wstring EnvironmentString(const CommonParams& common, const EnvironmentFacts& f) {
  return CommonQuery(common) + L"&env=install&vm=" + Num(f.virtualMachine ? 1 : 0) +
         L"&parent=" + f.parent + L"&company=" + f.company + L"&signature=" + f.signature +
         L"&ui=" + Num(f.parentHasWindow ? 1 : 0) + L"&timestamp=" + Num(f.timestamp);
}

std::wstring EnvironmentReportUrl(const std::wstring& statsBase, const std::string& sealed) {
  return statsBase + L"query_env.htm?v611=" + Utf8ToWide(sealed);
}

std::wstring ChannelReportUrl(const std::wstring& channelHost, const std::string& sealed,
                              const std::wstring& ch, const std::wstring& sch) {
  return channelHost + L"ins?v611=" + Utf8ToWide(sealed) + L"&ch=" + ch + L"&sch=" +
         ReportSubChannel(sch) + L"&ref=bn";
}

std::wstring ErrorReportUrl(const std::wstring& errLink, int code, const CommonParams& c,
                            const ErrorReportFacts& f) {
  // The doubled "&&" before uz_err is what the service parses.
  return errLink + L"id=" + Num(code) + L"&" + CommonQuery(c) + L"&lver=" +
         QueryValue(f.installedVersion) + L"&mver=" + QueryValue(f.installerVersion) +
         L"&ledition=" + QueryValue(f.edition) + L"&ri=" + Num(f.updateMode) + L"&si=" +
         Num(f.offerRule) + L"&ad=" + Num(f.autoInstall) + L"&rc=" + Num(f.procedureCode) +
         L"&&uz_err=" + Num(f.extractionError) + L"&ref=bn";
}

std::wstring UserExperienceText(const UserExperience& ue) {
  return std::wstring(ue.enabled ? L"1" : L"0") + L"&ACP=" + Num(ue.acp) + L"&GEOID=" +
         Num(ue.geoId) + L"&br=" + QueryValue(ue.browser);
}

std::wstring OfferTexts(const OfferFlags& o) {
  std::wstring text = L"&promo_opr=" + Num(o.browserOffer ? 1 : 0) + L"&rule_opr=" +
                      Num(o.offerRule) + L"&param_opr=" + Num(o.offerParam);
  if (o.offerParam) return text + L"&tt_opr=0&rr_opr=0x0";
  return text + L"&tt_opr=" + Num(o.valueA) + L"&rr_opr=0x" + Hex8(static_cast<uint32_t>(o.valueB));
}

std::wstring InstallReportUrl(const std::wstring& statsBase, const CommonParams& common,
                              const UserExperience& ue, const OfferFlags& offer) {
  return statsBase + L"ins.htm?" + CommonQuery(common) + L"&ue=" + UserExperienceText(ue) +
         OfferTexts(offer);
}

std::wstring FreshResultUrl(const std::wstring& statsBase, const CommonParams& common,
                            const UserExperience& ue, const OfferFlags& offer,
                            const std::wstring& cpuName, uint64_t memoryBytes, int procedureCode) {
  wchar_t ram[32];
  swprintf(ram, 32, L"%0.2f", static_cast<double>(memoryBytes) / (1024.0 * 1024.0 * 1024.0));
  return InstallReportUrl(statsBase, common, ue, offer) + L"&cpu=" +
         QueryValue(cpuName.empty() ? std::wstring(L"unkn") : cpuName) + L"&ram=" + ram +
         L"&rc=" + Num(procedureCode);
}

std::wstring UpdateResultUrl(const std::wstring& statsBase, const CommonParams& c,
                             const UserExperience& ue, int procedureCode) {
  return statsBase + L"up.htm?mid=" + c.mid + L"&ver=" + c.ver + L"&lan=" + c.lan + L"&os=" +
         c.os + L"&ch=" + c.ch + L"&ACP=" + Num(ue.acp) + L"&GEOID=" + Num(ue.geoId) + L"&br=" +
         QueryValue(ue.browser) + L"&rc=" + Num(procedureCode);
}

std::wstring OfferQueryUrl(const std::wstring& offerHost, const CommonParams& c,
                           int64_t timestamp) {
  return offerHost + L"promo/opera?ch=" + c.ch + L"&sch=" + ReportSubChannel(c.sch) + L"&ver=" +
         c.ver + L"&lan=" + c.lan + L"&os=" + c.os + L"&mid=" + c.mid + L"&time=" + Num(timestamp);
}

std::wstring QueryValue(const std::wstring& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::wstring out;
  for (char c : WideToUtf8(text)) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
        b == '.' || b == '_' || b == '~') {
      out += static_cast<wchar_t>(b);
    } else {
      out += L'%';
      out += static_cast<wchar_t>(kHex[b >> 4]);
      out += static_cast<wchar_t>(kHex[b & 15]);
    }
  }
  return out;
}

}  // namespace lum
