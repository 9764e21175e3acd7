#include "report/damaged_file_report_win.h"

#include "i18n/damaged_file_message.h"
#include "report/reports_win.h"

namespace lum {

DamagedFilePrompt DamagedFilePromptWithReport() {
  DamagedFilePrompt prompt = SystemDamagedFilePrompt();
  prompt.report = [](const std::wstring& missingFile, bool answeredYes) {
    const CommonParams& params = ReportCommonParams();
    ReportCommon common;
    common.mid = params.mid;
    common.ver = params.ver;
    common.lan = params.lan;
    common.os = params.os;
    common.ch = params.ch;
    SendDamagedFileReport(DamagedFileReportQuery(missingFile, answeredYes, common));
  };
  return prompt;
}

}  // namespace lum
