// lang_check <language.ini>
//
// Refuses a language table (the UTF-8 source of resource FILE 502) in which a
// language section misses a key the installer reads, a translation's printf
// placeholders differ from the English text, or the rich-text markup is
// broken or differs from the English text. Each problem is printed as
// "file: [section] key: what"; the exit code is 1 when there is any.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/text.h"
#include "i18n/language_table_check.h"
#include "payload/ini_table.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lang_check <language.ini>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "lang_check: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Read the table exactly as the installer will: as UTF-16LE through the
  // INI reader, so that key spelling and duplicate handling are the same.
  const std::vector<uint8_t> utf16 = lum::WideToUtf16Le(lum::Utf8ToWide(source), true);
  lum::IniTable table;
  if (!table.Parse(utf16.data(), utf16.size())) {
    std::fprintf(stderr, "%s: no [section] found\n", argv[1]);
    return 1;
  }
  const std::vector<lum::LanguageTableProblem> problems = lum::CheckLanguageTable(table);
  for (const lum::LanguageTableProblem& problem : problems) {
    std::fprintf(stderr, "%s: [%s] %s%s%s\n", argv[1], lum::WideToUtf8(problem.section).c_str(),
                 lum::WideToUtf8(problem.key).c_str(), problem.key.empty() ? "" : ": ",
                 lum::WideToUtf8(problem.message).c_str());
  }
  if (!problems.empty()) {
    std::fprintf(stderr, "lang_check: %zu problem(s) in %s\n", problems.size(), argv[1]);
    return 1;
  }
  std::printf("lang_check: %s: %zu sections checked\n", argv[1], table.SectionNames().size());
  return 0;
}
