// The built-in "files damaged" message. It is shown when a program the
// installer is about to start is missing, which is exactly when the language
// table cannot be trusted either, so its texts are compiled in.
//
// Portable: text choice, the config.ini places, the download address and the
// report query. The box itself is damaged_file_message_win.cpp.
#pragma once
#include <string>
#include <vector>

namespace lum {

struct DamagedFileText {
  std::wstring caption;
  std::wstring text;  // ends with the missing file's name
  std::wstring yes, no;  // the box's two buttons, in the same language
};

// The message in the language `code` of the installed product's config.ini
// (compared without regard to case: "zh-tw"/"cht", "zh-cn"/"chs",
// "ru"/"rus", "pt-br"/"pt", "es-419"/"es", "tr"/"trk", "vi", "hi", "ar",
// "ko", "de", "ja", "fr", "it"; English for "en", "eng" and anything else).
DamagedFileText DamagedFileMessage(const std::wstring& code, const std::wstring& missingFile);

// Where the installed product's config.ini may be, in the order they are
// tried: the product folder itself (callers sometimes hand over the file),
// the folder's config.ini, then the parent folder's.
std::vector<std::wstring> ConfigIniCandidates(const std::wstring& productFolder);

// The vendor's download page for `language` and `channel` (lower-cased);
// empty when either is empty, and then nothing is opened.
std::wstring DamagedFileDownloadAddress(const std::wstring& language, const std::wstring& channel);

// The common report parameters of a statistics request.
struct ReportCommon {
  std::wstring mid, ver, lan, os, ch;
};

// "nosign.htm?f=<file name>&re=<y|n>&mid=..&ver=..&lan=..&os=..&ch=.." for
// the statistics base; the file's folder is stripped.
std::wstring DamagedFileReportQuery(const std::wstring& missingFile, bool answeredYes,
                                    const ReportCommon& common);

}  // namespace lum
