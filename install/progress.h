// Portable rules of the install run: the progress positions the main window
// sees, the choice of the private work folder, and which extracted items are
// copied into the install folder.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace lum {

// Progress only moves forward: a position is accepted when it is above the
// highest accepted so far (which starts at 0). Thread-safe, though only the
// thread that runs the install reports.
class ProgressRule {
 public:
  // True when `position` is new (and is now the highest).
  bool Accept(int position);
  int Highest() const { return highest_.load(); }
  void Reset() { highest_.store(0); }

 private:
  std::atomic<int> highest_{0};
};

// The lParam of the progress message: position in the low word, 100 above.
uint32_t ProgressLParam(int position);
// Position of file i of n in the placement loop: floor(70 * i / n); 0 for n = 0.
int PlacementPosition(uint64_t index, uint64_t count);

// "Lum_install_<yyyymmddhhmmss>_<ticks>".
std::wstring WorkFolderName(const std::wstring& timestamp, uint32_t ticks);

// Inputs of the work-folder choice; `check` answers the temp-folder check
// (0 or a procedure code) for a candidate folder ending with a backslash,
// and on 0 may have changed the candidate to the name it really created.
struct WorkFolderFacts {
  std::wstring tempPath;  // empty when the system temporary path cannot be read
  std::wstring name;      // WorkFolderName(...)
  bool silent = false;
  bool installDirExplicit = false;
  std::wstring installDir;
  std::function<int(std::wstring* candidate)> check;
};
struct WorkFolderChoice {
  int code = 101;          // 0 when `folder` was chosen
  std::wstring folder;     // ends with a backslash
  std::wstring installDir; // non-empty when the silent install folder follows a drive fallback
};
// Temp folder first; then, for an explicit silent folder, the install
// folder's drive; otherwise the drives A..Z in order. A fallback that passes
// answers 0; when every candidate fails the temp folder's code is kept.
WorkFolderChoice ChooseWorkFolder(const WorkFolderFacts& facts);

// An extracted item is copied into the install folder unless it is a folder
// or is listed among the reinstall exclusions (compared without case, with
// '/' read as '\').
bool ShouldCopyItem(const std::wstring& relativePath, bool isDirectory,
                    const std::set<std::wstring>& reinstallIgnored);

}  // namespace lum
