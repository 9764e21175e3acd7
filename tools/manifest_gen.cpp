// manifest_gen [--tree <folder>] <files.lst> <manifest.ini>
//
// Makes the component manifest (UTF-8 INI; the build converts it to UTF-16)
// from the product's file list. Each list line is
//   <path inside the install folder>|<version a.b.c.d>|<origin>[,<flag>...]
// with origin "tree" or "built" and the optional flag "local" (installed, but
// not listed in the manifest). Blank lines and lines starting with '#' are
// skipped. The manifest holds [iniopt] ver=2 and one section per listed file,
// named by the file name, with ver, path (%productpath%\<path>) and an empty
// md5. With --tree, every "tree" file must exist in that folder and every
// file in the folder must be listed. Any error in the list fails the run.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace lum {
namespace {

struct ListedFile {
  std::string path;  // backslash-separated
  std::string version;
  bool fromTree = false;
  bool local = false;
  int line = 0;
};

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  const size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> SplitAt(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string piece;
  std::istringstream in(s);
  while (std::getline(in, piece, sep)) out.push_back(Trim(piece));
  if (!s.empty() && s.back() == sep) out.push_back(std::string());
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Four dot-separated decimal numbers, each fitting a 16-bit version field.
bool IsVersion(const std::string& v) {
  const std::vector<std::string> parts = SplitAt(v, '.');
  if (parts.size() != 4) return false;
  for (const std::string& p : parts) {
    if (p.empty() || p.size() > 5) return false;
    for (char c : p) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    if (std::stoul(p) > 65535) return false;
  }
  return true;
}

// A relative path below the install folder: no root, drive, '/', empty,
// "." or ".." component, nothing an INI line could misread.
bool IsRelativePath(const std::string& path) {
  if (path.empty() || path.size() >= 200) return false;
  if (path.find_first_of("/:*?\"<>|[]=\r\n") != std::string::npos) return false;
  for (const std::string& part : SplitAt(path, '\\')) {
    if (part.empty() || part == "." || part == "..") return false;
  }
  return true;
}

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Fail(const std::string& where, int line, const std::string& what) {
  std::fprintf(stderr, "manifest_gen: %s:%d: %s\n", where.c_str(), line, what.c_str());
  return false;
}

bool ReadList(const std::string& listPath, std::vector<ListedFile>& files) {
  std::ifstream in(listPath, std::ios::binary);
  if (!in) return Fail(listPath, 0, "cannot read the file list");
  std::set<std::string> paths, sections;
  std::string raw;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = SplitAt(line, '|');
    if (fields.size() != 3) return Fail(listPath, lineNo, "expected path|version|origin");
    ListedFile f;
    f.path = fields[0];
    f.version = fields[1];
    f.line = lineNo;
    if (!IsRelativePath(f.path)) return Fail(listPath, lineNo, "bad path '" + f.path + "'");
    if (!IsVersion(f.version)) return Fail(listPath, lineNo, "bad version '" + f.version + "'");
    const std::vector<std::string> flags = SplitAt(fields[2], ',');
    if (flags.empty()) return Fail(listPath, lineNo, "origin missing");
    if (flags[0] == "tree") {
      f.fromTree = true;
    } else if (flags[0] != "built") {
      return Fail(listPath, lineNo, "origin must be 'tree' or 'built'");
    }
    for (size_t i = 1; i < flags.size(); ++i) {
      if (flags[i] != "local") return Fail(listPath, lineNo, "unknown flag '" + flags[i] + "'");
      f.local = true;
    }
    // The installed system compares paths and INI sections without case.
    if (!paths.insert(Lower(f.path)).second) return Fail(listPath, lineNo, "path listed twice");
    if (!f.local && !sections.insert(Lower(FileName(f.path))).second) {
      return Fail(listPath, lineNo,
                  "file name '" + FileName(f.path) +
                      "' already names a manifest section (mark one 'local')");
    }
    files.push_back(f);
  }
  if (files.empty()) return Fail(listPath, lineNo, "the list names no file");
  return true;
}

// Tree and list must agree both ways, so that the archive carries exactly the listed files.
bool CheckTree(const std::string& tree, const std::vector<ListedFile>& files) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(tree, ec)) return Fail(tree, 0, "not a folder");
  std::set<std::string> listed;
  for (const ListedFile& f : files) {
    if (!f.fromTree) continue;
    std::string rel = f.path;
    for (char& c : rel) c = c == '\\' ? '/' : c;
    if (!fs::is_regular_file(fs::path(tree) / rel, ec)) {
      return Fail("files.lst", f.line, "'" + f.path + "' is missing from " + tree);
    }
    listed.insert(rel);
  }
  for (auto it = fs::recursive_directory_iterator(tree, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string rel = fs::relative(it->path(), tree, ec).generic_string();
    if (listed.count(rel) == 0)
      return Fail(tree, 0, "'" + rel + "' is not in the file list as 'tree'");
  }
  return !ec || Fail(tree, 0, "cannot list the folder");
}

std::string Manifest(const std::vector<ListedFile>& files) {
  std::string out = "[iniopt]\r\nver=2\r\n";
  for (const ListedFile& f : files) {
    if (f.local) continue;
    out += "[" + FileName(f.path) + "]\r\n";
    out += "ver=" + f.version + "\r\n";
    out += "path=%productpath%\\" + f.path + "\r\n";
    out += "md5=\r\n";
  }
  return out;
}

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string tree;
  if (args.size() == 4 && args[0] == "--tree") {
    tree = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: manifest_gen [--tree <folder>] <files.lst> <manifest.ini>\n");
    return 2;
  }
  std::vector<ListedFile> files;
  if (!ReadList(args[0], files)) return 1;
  if (!tree.empty() && !CheckTree(tree, files)) return 1;
  const std::string text = Manifest(files);
  std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) {
    std::fprintf(stderr, "manifest_gen: cannot write %s\n", args[1].c_str());
    return 1;
  }
  size_t sections = 0;
  for (const ListedFile& f : files) sections += f.local ? 0 : 1;
  std::printf("manifest_gen: %zu files, %zu manifest sections -> %s\n", files.size(), sections + 1,
              args[1].c_str());
  return 0;
}

}  // namespace
}  // namespace lum

int main(int argc, char** argv) { return lum::Run(argc, argv); }
