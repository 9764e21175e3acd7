// ini_convert [--bom] [--require SECTION[,SECTION...]] <input.utf8.ini> <output.utf16le.ini>
//
// Turns an INI source kept in UTF-8 into the UTF-16LE resource the installer
// carries, and refuses anything the installer could not read: malformed
// UTF-8, NUL characters, bare CR line ends, a result at or above the INI size
// limit, no section at all, or a missing required section. Nothing is written
// unless every check passes.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/text.h"
#include "payload/ini_table.h"

namespace {

struct Options {
  bool bom = false;
  std::vector<std::string> required;
  const char* input = nullptr;
  const char* output = nullptr;
};

int Usage() {
  std::fprintf(stderr,
               "usage: ini_convert [--bom] [--require SECTION[,SECTION...]] "
               "<input.utf8.ini> <output.utf16le.ini>\n");
  return 2;
}

bool ParseArgs(int argc, char** argv, Options& options) {
  std::vector<const char*> positional;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--bom") == 0) {
      options.bom = true;
    } else if (std::strcmp(argv[i], "--require") == 0) {
      if (++i >= argc) return false;
      std::string list = argv[i];
      size_t start = 0;
      while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma - start);
        if (!name.empty()) options.required.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      return false;
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() != 2) return false;
  options.input = positional[0];
  options.output = positional[1];
  return true;
}

// Checks the text and rewrites its line ends as CRLF. On failure `problem`
// says what is wrong and `line` where (1-based).
bool Normalise(const std::vector<uint8_t>& in, std::string& out, std::string& problem,
               size_t& line) {
  size_t i = 0;
  // A UTF-8 signature says nothing the UTF-16 output does not say itself.
  if (in.size() >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF) i = 3;
  line = 1;
  out.clear();
  out.reserve(in.size() + in.size() / 16);
  while (i < in.size()) {
    const uint8_t b = in[i];
    if (b == 0) {
      problem = "NUL character";
      return false;
    }
    if (b == '\r') {
      if (i + 1 >= in.size() || in[i + 1] != '\n') {
        problem = "carriage return without line feed";
        return false;
      }
      ++i;
      continue;  // the LF that follows writes the CRLF
    }
    if (b == '\n') {
      out += "\r\n";
      ++line;
      ++i;
      continue;
    }
    char32_t cp = 0;
    size_t len = 0;
    if (!lum::DecodeUtf8(&in[i], in.size() - i, &cp, &len)) {
      char text[64];
      std::snprintf(text, sizeof(text), "malformed UTF-8 (byte 0x%02X at offset %zu)", b, i);
      problem = text;
      return false;
    }
    out.append(reinterpret_cast<const char*>(&in[i]), len);
    i += len;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, options)) return Usage();

  std::ifstream in(options.input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ini_convert: cannot read %s\n", options.input);
    return 1;
  }
  const std::vector<uint8_t> source((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());

  std::string text;
  std::string problem;
  size_t line = 0;
  if (!Normalise(source, text, problem, line)) {
    std::fprintf(stderr, "%s:%zu: %s\n", options.input, line, problem.c_str());
    return 1;
  }

  const std::vector<uint8_t> utf16 = lum::WideToUtf16Le(lum::Utf8ToWide(text), options.bom);
  if (utf16.size() + 1 > lum::IniTable::kMaxBytes) {
    std::fprintf(stderr, "%s: %zu bytes as UTF-16LE; the installer refuses %zu or more\n",
                 options.input, utf16.size(), lum::IniTable::kMaxBytes);
    return 1;
  }
  lum::IniTable table;
  if (!table.Parse(utf16.data(), utf16.size())) {
    std::fprintf(stderr, "%s: no [section] found; the installer would reject the table\n",
                 options.input);
    return 1;
  }
  bool missing = false;
  for (const std::string& name : options.required) {
    if (!table.HasSection(lum::Utf8ToWide(name))) {
      std::fprintf(stderr, "%s: required section [%s] is missing\n", options.input, name.c_str());
      missing = true;
    }
  }
  if (missing) return 1;

  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(utf16.data()),
            static_cast<std::streamsize>(utf16.size()));
  out.close();
  if (out.fail()) {
    std::fprintf(stderr, "ini_convert: cannot write %s\n", options.output);
    std::remove(options.output);
    return 1;
  }
  std::printf("ini_convert: %s -> %s: %zu sections, %zu bytes\n", options.input, options.output,
              table.SectionNames().size(), utf16.size());
  return 0;
}
