#include "system/placement_journal.h"

#include <set>

#include "base/install_log.h"

namespace lum {

namespace {

constexpr const char* kLog = "placement";
// Names tried beside a destination before giving up on setting it aside:
// earlier runs that were cut off may have left some.
constexpr int kAsideNames = 16;

long Code(bool ok, unsigned long error) { return ok ? 0 : static_cast<long>(error); }

}  // namespace

void PlacementJournal::Begin() {
  if (!entries_.empty())
    log::Note(kLog, L"journal begun again with " + std::to_wstring(entries_.size()) +
                        L" unsettled entries");
  entries_.clear();
  settled_.clear();
  log::Note(kLog, L"placement begins");
}

std::wstring PlacementJournal::AsideName(const std::wstring& destination, int n) const {
  std::wstring name = destination + kAsideSuffix;
  if (n > 0) name += std::to_wstring(n);
  return name;
}

std::wstring PlacementJournal::FreeAsideName(const std::wstring& destination) {
  for (int n = 0; n < kAsideNames; ++n) {
    const std::wstring name = AsideName(destination, n);
    if (!files_.Exists(name)) return name;
  }
  return std::wstring();
}

std::wstring PlacementJournal::AdoptLeftOriginal(const std::wstring& destination) {
  std::wstring left;
  for (int n = 0; n < kAsideNames && left.empty(); ++n) {
    const std::wstring name = AsideName(destination, n);
    if (files_.Exists(name) && !files_.DeletionScheduled(name)) left = name;
  }
  if (left.empty()) return left;
  if (files_.Exists(destination)) {
    // What lies at the destination was placed by the run that was cut off:
    // not the product's file, maybe not even whole.
    if (!files_.Delete(destination)) {
      log::Action(kLog, L"original left by a cut-off run not adopted: its file is held", left,
                  static_cast<long>(files_.LastError()));
      return std::wstring();
    }
    log::Action(kLog, L"delete file of a cut-off run", destination, 0);
  }
  log::Action(kLog, L"adopt original left by a cut-off run", left + L" -> " + destination, 0);
  return left;
}

bool PlacementJournal::PutBack(const std::wstring& original, const std::wstring& destination) {
  const bool back = files_.Move(original, destination, true);
  log::Action(kLog, L"put the original back", original + L" -> " + destination,
              Code(back, files_.LastError()));
  return back;
}

PlacementResult PlacementJournal::Place(const std::wstring& source,
                                        const std::wstring& destination,
                                        const PlacementOptions& options) {
  PlacementResult result;
  files_.CreateFolderFor(destination);
  if (!files_.Exists(source)) {
    result.outcome = FilePlacement::kSourceMissing;
    result.error = 2;  // ERROR_FILE_NOT_FOUND
    result.reason = L"source missing";
    log::Action(kLog, L"place file: source missing", source, static_cast<long>(result.error));
    return result;
  }

  std::wstring original = AdoptLeftOriginal(destination);
  bool held = false;
  if (original.empty() && files_.Exists(destination)) {
    const std::wstring aside = FreeAsideName(destination);
    if (!options.renameHeld && files_.InUse(destination)) {
      // A guard module stays loaded by the running guard: it is replaced at
      // the restart, never renamed under it.
      held = true;
      log::Action(kLog, L"destination in use, not renamed", destination, 32);
    } else if (!aside.empty() && files_.Move(destination, aside, false)) {
      original = aside;
      log::Action(kLog, L"set original aside", destination + L" -> " + aside, 0);
    } else {
      held = true;
      log::Action(kLog, L"destination in use", destination,
                  static_cast<long>(aside.empty() ? 183 : files_.LastError()));
    }
  }

  if (!held) {
    bool placed = false;
    if (options.moveSource) {
      placed = files_.MoveIn(source, destination);
      log::Action(kLog, L"move file in", destination, Code(placed, files_.LastError()));
    }
    if (!placed) {
      placed = files_.Copy(source, destination);
      log::Action(kLog, L"copy file", destination, Code(placed, files_.LastError()));
    }
    if (placed) {
      entries_.push_back({destination, original, std::wstring()});
      settled_.push_back(destination);
      result.outcome = FilePlacement::kCopied;
      return result;
    }
    result.error = files_.LastError();
    result.reason = L"copy failed";
    // A partial copy is no file of ours: remove it before the original
    // returns (or so that nothing half-written stays where none was).
    files_.Delete(destination);
    if (!original.empty()) {
      if (!PutBack(original, destination)) {
        // The original keeps its aside name: recorded, so that the
        // rollback that follows a failure tries again.
        entries_.push_back({destination, original, std::wstring()});
        result.reason = L"copy failed and the original could not be put back";
        return result;
      }
      original.clear();
    }
    held = files_.Exists(destination);
  }

  if (held && files_.SameContent(source, destination)) {
    log::Action(kLog, L"destination already up to date", destination, 0);
    settled_.push_back(destination);
    result.outcome = FilePlacement::kUpToDate;
    result.error = 0;
    result.reason.clear();
    return result;
  }
  if (options.allowRestart) {
    const std::wstring staged = files_.StageCopy(source, destination);
    const unsigned long stageError = staged.empty() ? files_.LastError() : 0;
    log::Action(kLog, L"stage copy for the restart", staged.empty() ? destination : staged,
                static_cast<long>(stageError));
    if (!staged.empty() && files_.ScheduleReplace(staged, destination)) {
      entries_.push_back({destination, std::wstring(), staged});
      settled_.push_back(destination);
      result.outcome = FilePlacement::kScheduled;
      result.error = 0;
      result.reason.clear();
      return result;
    }
    if (!staged.empty()) {
      const unsigned long scheduleError = files_.LastError();
      // A staged copy that nothing will move is only litter.
      files_.Delete(staged);
      if (result.error == 0) result.error = scheduleError;
      result.reason += result.reason.empty() ? L"restart replacement could not be scheduled"
                                             : L"; restart replacement could not be scheduled";
    } else {
      if (result.error == 0) result.error = stageError;
      result.reason += result.reason.empty() ? L"staged copy failed" : L"; staged copy failed";
    }
  } else if (result.reason.empty()) {
    result.reason = L"destination in use";
    result.error = 32;  // ERROR_SHARING_VIOLATION
  }
  if (result.error == 0) result.error = 1;
  log::Action(kLog, L"file neither copied nor scheduled (" + result.reason + L")", destination,
              static_cast<long>(result.error));
  return result;
}

void PlacementJournal::Commit() {
  size_t deleted = 0;
  for (const Entry& entry : entries_) {
    if (entry.original.empty()) continue;
    if (entry.staged.empty() && !files_.Flush(entry.destination)) {
      log::Action(kLog, L"new file not flushed to disk: original kept", entry.original,
                  static_cast<long>(files_.LastError()));
      continue;
    }
    if (files_.Delete(entry.original)) {
      ++deleted;
      log::Action(kLog, L"delete original", entry.original, 0);
    } else {
      // Still held by a program: it goes at the restart, which needs none
      // of its own (the new file is in place already).
      log::Action(kLog, L"delete original", entry.original,
                  static_cast<long>(files_.LastError()));
      const bool scheduled = files_.ScheduleDelete(entry.original);
      log::Action(kLog, L"schedule delete at restart", entry.original,
                  Code(scheduled, files_.LastError()));
    }
  }
  // Originals that a run cut off before its commit left beside files this
  // placement has now settled: the new file is in place, so they are only
  // litter (and would crowd out the aside names of later runs).
  std::set<std::wstring> own;  // settled above, held ones already scheduled
  for (const Entry& entry : entries_) own.insert(entry.original);
  for (const std::wstring& destination : settled_) {
    for (int n = 0; n < kAsideNames; ++n) {
      const std::wstring name = AsideName(destination, n);
      if (own.count(name) || !files_.Exists(name)) continue;
      if (files_.Delete(name)) {
        log::Action(kLog, L"delete original left by an earlier run", name, 0);
      } else {
        log::Action(kLog, L"delete original left by an earlier run", name,
                    static_cast<long>(files_.LastError()));
        const bool scheduled = files_.ScheduleDelete(name);
        log::Action(kLog, L"schedule delete at restart", name, Code(scheduled, files_.LastError()));
      }
    }
  }
  log::Action(kLog,
              L"placement committed (" + std::to_wstring(entries_.size()) + L" files, " +
                  std::to_wstring(deleted) + L" originals deleted)",
              L"", 0);
  entries_.clear();
  settled_.clear();
}

bool PlacementJournal::Rollback() {
  notRestored_.clear();
  const size_t count = entries_.size();
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    bool restored = true;
    if (!entry->staged.empty()) {
      restored = files_.Unschedule(entry->staged);
      log::Action(kLog, L"cancel restart replacement", entry->staged + L" -> " + entry->destination,
                  Code(restored, files_.LastError()));
      const bool gone = files_.Delete(entry->staged);
      log::Action(kLog, L"delete staged copy", entry->staged, Code(gone, files_.LastError()));
    } else if (!entry->original.empty()) {
      restored = PutBack(entry->original, entry->destination);
    } else {
      restored = files_.Delete(entry->destination);
      log::Action(kLog, L"delete placed file that had no original", entry->destination,
                  Code(restored, files_.LastError()));
    }
    if (!restored) notRestored_.push_back(entry->destination);
  }
  const bool all = notRestored_.empty();
  entries_.clear();
  settled_.clear();
  log::Action(kLog, L"placement rolled back (" + std::to_wstring(count) + L" files)", L"",
              all ? 0 : 1);
  return all;
}

}  // namespace lum
