// Placing files as one transaction: every file that a placement replaces is
// renamed aside beside itself first (never deleted), the new file is moved
// in (a rename, where the source lies on the destination's volume), copied
// in or staged for the restart, and only Commit deletes the originals. When
// a later file cannot be placed, Rollback puts every original back, deletes
// files that had no original and takes this journal's restart-time
// replacements out of the system's list again. So a failed placement leaves
// the installed product's files as they were; what a run changed before its
// placement is the install procedure's to undo (install/README.md).
//
// A run cut off between setting an original aside and committing leaves it
// beside its file as "X.lumprev" (or "X.lumprevN"), which no record of this
// run names. The next placement of X adopts it as its own original, so its
// rollback puts it back and its commit deletes it:
//  - only "X.lumprev" exists (cut between the set-aside and the placement):
//    it is X's original; the new file goes to the free name X.
//  - both exist (cut after the placement): X is the cut-off run's file,
//    possibly half written, and never the installed product's; it is
//    deleted and the aside file is X's original. When X cannot be deleted
//    (a program holds it) nothing is adopted and X is placed as any held
//    file; the aside file stays until a commit settles X.
// Of several aside names, the lowest one not waiting for deletion at the
// restart is the original (names are taken in order, so later ones hold
// files of later cut-off runs; a committed run schedules the originals it
// could not delete, and those are never taken back). A run cut off inside
// its commit leaves originals of a settled placement: adopting them is the
// one wrong guess, and a rollback then brings back that older file.
//
// The journal holds the decisions only; the file system is reached through
// PlacementFiles (system/placement_files_win.h on Windows), so the order of
// renames, copies and undo steps is tested without Windows. Every step is
// logged.
//
// Threading: one journal per placement, used by one thread.
#pragma once
#include <string>
#include <vector>

namespace lum {

// An original waits beside itself under its own name plus this suffix until
// the placement is committed or rolled back; the product names no file so.
constexpr const wchar_t* kAsideSuffix = L".lumprev";

// The file system as the journal needs it. Each operation leaves its error
// for LastError() when it fails.
class PlacementFiles {
 public:
  virtual ~PlacementFiles() = default;
  virtual bool Exists(const std::wstring& path) = 0;
  // Creates the folder that is to hold `path`, with its parents.
  virtual void CreateFolderFor(const std::wstring& path) = 0;
  // Another program holds the file so that it could not be renamed.
  virtual bool InUse(const std::wstring& path) = 0;
  virtual bool Move(const std::wstring& from, const std::wstring& to, bool replace) = 0;
  virtual bool Copy(const std::wstring& from, const std::wstring& to) = 0;
  // Renames `from` to the free name `to` (never over an existing file) and
  // gives it the rights of its new folder; when those cannot be given it is
  // renamed back and the call fails.
  virtual bool MoveIn(const std::wstring& from, const std::wstring& to) = 0;
  // `path` is waiting in the system's restart list to be deleted.
  virtual bool DeletionScheduled(const std::wstring& path) = 0;
  // Writes what the system still holds of the file to the disk.
  virtual bool Flush(const std::wstring& path) = 0;
  virtual bool Delete(const std::wstring& path) = 0;
  // Both non-empty with the same bytes.
  virtual bool SameContent(const std::wstring& a, const std::wstring& b) = 0;
  // A copy of `source` in a fresh temporary file of `destination`'s folder;
  // empty when none could be made.
  virtual std::wstring StageCopy(const std::wstring& source, const std::wstring& destination) = 0;
  virtual bool ScheduleReplace(const std::wstring& staged, const std::wstring& destination) = 0;
  virtual bool ScheduleDelete(const std::wstring& path) = 0;
  // Takes the restart-time operation whose source is `staged` out of the
  // system's list again.
  virtual bool Unschedule(const std::wstring& staged) = 0;
  virtual unsigned long LastError() = 0;
};

enum class FilePlacement {
  kCopied,         // the destination holds the source now (copied or moved in)
  kUpToDate,       // the destination is held and already byte-identical
  kScheduled,      // a staged copy replaces the destination at the next restart
  kSourceMissing,  // nothing done
  kFailed,         // neither copied nor scheduled; the destination is as it was
};

struct PlacementOptions {
  bool allowRestart = true;  // stage a copy for the restart when the copy fails
  bool renameHeld = true;    // a held destination may be renamed aside (guard modules: no)
  // The source is the run's own extracted file on the destination's volume:
  // it is moved in rather than copied (a copy when the move fails).
  bool moveSource = false;
};

struct PlacementResult {
  FilePlacement outcome = FilePlacement::kFailed;
  unsigned long error = 0;  // the system error that made a placement fail
  std::wstring reason;      // what failed, for the log
};

class PlacementJournal {
 public:
  explicit PlacementJournal(PlacementFiles& files) : files_(files) {}
  // Forgets what an earlier placement recorded (it must be settled first).
  void Begin();
  // Places one file and records how to undo it. A failed placement leaves
  // its destination as it was and records nothing.
  PlacementResult Place(const std::wstring& source, const std::wstring& destination,
                        const PlacementOptions& options);
  // Deletes the originals set aside (scheduling those still held for
  // deletion at the restart), and the originals that a run cut off before
  // its commit left beside the files placed now. The placement stays. Each
  // new file is on the disk before its original goes: one that cannot be
  // flushed keeps its original beside it (a later commit removes it).
  void Commit();
  // Undoes every recorded placement, the last first. The journal is empty
  // afterwards. False when some original could not be put back (logged);
  // NotRestored() then names each destination that did not go back to what
  // it was.
  bool Rollback();
  size_t Recorded() const { return entries_.size(); }
  const std::vector<std::wstring>& NotRestored() const { return notRestored_; }

 private:
  struct Entry {
    std::wstring destination;
    std::wstring original;  // the original set aside; empty when there was none
    std::wstring staged;    // set for a replacement at the restart
  };
  std::wstring FreeAsideName(const std::wstring& destination);
  std::wstring AsideName(const std::wstring& destination, int n) const;
  // The original a cut-off run left beside `destination`, adopted (and the
  // cut-off run's own file at `destination` deleted); empty when none.
  std::wstring AdoptLeftOriginal(const std::wstring& destination);
  bool PutBack(const std::wstring& original, const std::wstring& destination);

  PlacementFiles& files_;
  std::vector<Entry> entries_;
  // Every destination placed, scheduled or found up to date.
  std::vector<std::wstring> settled_;
  std::vector<std::wstring> notRestored_;
};

}  // namespace lum
