#include "system/placement_journal.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "system/pending_renames.h"

namespace lum {
namespace {

// Files as names and contents. A held file can be read but neither renamed,
// deleted nor written; an unreadable one cannot be copied from.
class FakeFiles : public PlacementFiles {
 public:
  std::map<std::wstring, std::string> files;
  std::set<std::wstring> held, unreadable, unflushable, immovable;
  std::vector<std::wstring> flushed, movedIn;
  std::vector<PendingRename> restart;  // the system's restart list
  bool stagingWorks = true;

  bool Exists(const std::wstring& path) override { return files.count(path) != 0; }
  void CreateFolderFor(const std::wstring&) override {}
  bool InUse(const std::wstring& path) override { return held.count(path) != 0; }
  bool Move(const std::wstring& from, const std::wstring& to, bool replace) override {
    if (!Exists(from) || held.count(from) || held.count(to) || (Exists(to) && !replace))
      return Fail(32);
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  bool Copy(const std::wstring& from, const std::wstring& to) override {
    if (!Exists(from) || unreadable.count(from) || Exists(to)) return Fail(32);
    files[to] = files[from];
    return true;
  }
  bool MoveIn(const std::wstring& from, const std::wstring& to) override {
    if (immovable.count(from)) return Fail(17);  // ERROR_NOT_SAME_DEVICE
    if (!Move(from, to, false)) return false;
    movedIn.push_back(to);
    return true;
  }
  bool DeletionScheduled(const std::wstring& path) override {
    for (const PendingRename& entry : restart)
      if (entry.destination.empty() && entry.source == L"\\??\\" + path) return true;
    return false;
  }
  bool Flush(const std::wstring& path) override {
    if (!Exists(path) || unflushable.count(path)) return Fail(1117);
    flushed.push_back(path);
    return true;
  }
  bool Delete(const std::wstring& path) override {
    if (!Exists(path) || held.count(path)) return Fail(5);
    files.erase(path);
    return true;
  }
  bool SameContent(const std::wstring& a, const std::wstring& b) override {
    return Exists(a) && Exists(b) && !files[a].empty() && files[a] == files[b];
  }
  std::wstring StageCopy(const std::wstring& source, const std::wstring& destination) override {
    if (!stagingWorks || unreadable.count(source)) {
      Fail(112);
      return std::wstring();
    }
    const std::wstring staged = destination + L".Lum" + std::to_wstring(++staged_) + L".tmp";
    files[staged] = files[source];
    return staged;
  }
  bool ScheduleReplace(const std::wstring& staged, const std::wstring& destination) override {
    restart.push_back({L"\\??\\" + staged, L"!\\??\\" + destination});
    return true;
  }
  bool ScheduleDelete(const std::wstring& path) override {
    restart.push_back({L"\\??\\" + path, L""});
    return true;
  }
  bool Unschedule(const std::wstring& staged) override {
    return RemovePendingSource(&restart, staged) != 0 || Fail(1168);
  }
  unsigned long LastError() override { return error_; }

 private:
  bool Fail(unsigned long error) {
    error_ = error;
    return false;
  }
  unsigned long error_ = 0;
  int staged_ = 0;
};

// A product of four files: two replaced, one held (replaced at the restart),
// one new; then a fifth whose source cannot be read.
class PlacementJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs_.files = {{L"S\\a", "new a"},        {L"S\\b", "new b"},   {L"S\\held", "new held"},
                 {L"S\\fresh", "new fresh"}, {L"S\\bad", "new bad"}, {L"P\\a", "old a"},
                 {L"P\\b", "old b"},         {L"P\\held", "old held"}, {L"P\\bad", "old bad"},
                 {L"P\\other", "not ours"}};
    fs_.held = {L"P\\held"};
    fs_.restart = {{L"\\??\\X\\earlier.tmp", L"!\\??\\X\\earlier"}};
    original_ = fs_.files;
    journal_.Begin();
    for (const wchar_t* name : {L"a", L"held", L"fresh", L"b"})
      outcomes_.push_back(
          journal_.Place(std::wstring(L"S\\") + name, std::wstring(L"P\\") + name, {}).outcome);
  }

  FakeFiles fs_;
  PlacementJournal journal_{fs_};
  std::map<std::wstring, std::string> original_;
  std::vector<FilePlacement> outcomes_;
};

TEST_F(PlacementJournalTest, FailureRestoresEveryOriginalAndCancelsTheRestartReplacement) {
  EXPECT_EQ((std::vector<FilePlacement>{FilePlacement::kCopied, FilePlacement::kScheduled,
                                        FilePlacement::kCopied, FilePlacement::kCopied}),
            outcomes_);
  // Until it is settled, each original waits beside its file.
  EXPECT_EQ("old a", fs_.files[std::wstring(L"P\\a") + kAsideSuffix]);
  EXPECT_EQ("new a", fs_.files[L"P\\a"]);
  ASSERT_EQ(2u, fs_.restart.size());

  fs_.unreadable = {L"S\\bad"};
  const PlacementResult failed = journal_.Place(L"S\\bad", L"P\\bad", {});
  EXPECT_EQ(FilePlacement::kFailed, failed.outcome);
  EXPECT_EQ(32u, failed.error);
  EXPECT_NE(std::wstring::npos, failed.reason.find(L"copy failed")) << failed.reason;
  EXPECT_EQ("old bad", fs_.files[L"P\\bad"]);  // the failed file's own original is back at once

  EXPECT_TRUE(journal_.Rollback());
  EXPECT_EQ(original_, fs_.files);  // byte for byte, no aside, staged or new file left
  ASSERT_EQ(1u, fs_.restart.size());  // only what was there before this run
  EXPECT_EQ(L"\\??\\X\\earlier.tmp", fs_.restart[0].source);
  EXPECT_EQ(0u, journal_.Recorded());
}

// A rollback that meets a file held open cannot put it back: it says so and
// names every file that stayed new or set aside, and restores the rest.
TEST_F(PlacementJournalTest, RollbackThatCannotPutAFileBackNamesIt) {
  fs_.held.insert(L"P\\a");       // the new "a" is held: its original cannot return
  fs_.held.insert(L"P\\fresh");   // the new file cannot be deleted
  EXPECT_FALSE(journal_.Rollback());
  EXPECT_EQ((std::vector<std::wstring>{L"P\\fresh", L"P\\a"}), journal_.NotRestored());
  EXPECT_EQ("new a", fs_.files[L"P\\a"]);
  EXPECT_EQ("old a", fs_.files[std::wstring(L"P\\a") + kAsideSuffix]);  // kept, not lost
  EXPECT_EQ("old b", fs_.files[L"P\\b"]);                               // the others went back
}

TEST_F(PlacementJournalTest, CommitDeletesTheOriginalsAndLeavesHeldOnesForTheRestart) {
  // A program keeps running from its renamed original.
  fs_.held.insert(std::wstring(L"P\\b") + kAsideSuffix);
  journal_.Commit();
  EXPECT_EQ("new a", fs_.files[L"P\\a"]);
  EXPECT_EQ("new b", fs_.files[L"P\\b"]);
  EXPECT_EQ("new fresh", fs_.files[L"P\\fresh"]);
  EXPECT_EQ("old held", fs_.files[L"P\\held"]);  // replaced at the restart
  EXPECT_EQ(0u, fs_.files.count(std::wstring(L"P\\a") + kAsideSuffix));
  EXPECT_EQ(1u, fs_.files.count(std::wstring(L"P\\b") + kAsideSuffix));
  ASSERT_EQ(3u, fs_.restart.size());
  EXPECT_EQ(L"\\??\\P\\b" + std::wstring(kAsideSuffix), fs_.restart[2].source);
  EXPECT_EQ(L"", fs_.restart[2].destination);
  // Each copied file was on the disk before its original went.
  EXPECT_EQ((std::vector<std::wstring>{L"P\\a", L"P\\b"}), fs_.flushed);
  // Settled: a rollback now changes nothing.
  const auto committed = fs_.files;
  EXPECT_TRUE(journal_.Rollback());
  EXPECT_EQ(committed, fs_.files);
}

// A new file that cannot be flushed keeps its original beside it: a crash
// before the bytes reach the disk must not leave the file with neither.
TEST_F(PlacementJournalTest, CommitKeepsTheOriginalOfAFileNotOnTheDiskYet) {
  fs_.unflushable.insert(L"P\\a");
  journal_.Commit();
  EXPECT_EQ("old a", fs_.files[std::wstring(L"P\\a") + kAsideSuffix]);
  EXPECT_EQ(0u, fs_.files.count(std::wstring(L"P\\b") + kAsideSuffix));
}

TEST(PlacementJournalRulesTest, HeldGuardIsNeverRenamedAndLeftoverAsideNamesAreKept) {
  FakeFiles fs;
  fs.files = {{L"S\\g", "new"}, {L"P\\g", "old"}, {L"S\\x", "new x"}, {L"P\\x", "old x"},
              {std::wstring(L"P\\x") + kAsideSuffix, "left by a run that was cut off"}};
  fs.held = {L"P\\g"};
  // A committed run could not delete it: it waits for the restart, and is
  // no original of the file in place.
  fs.restart = {{L"\\??\\P\\x" + std::wstring(kAsideSuffix), L""}};
  PlacementJournal journal(fs);
  journal.Begin();
  PlacementOptions guard;
  guard.renameHeld = false;
  EXPECT_EQ(FilePlacement::kScheduled, journal.Place(L"S\\g", L"P\\g", guard).outcome);
  EXPECT_EQ(0u, fs.files.count(std::wstring(L"P\\g") + kAsideSuffix));
  // An aside name in use is not overwritten: the next free one is taken.
  EXPECT_EQ(FilePlacement::kCopied, journal.Place(L"S\\x", L"P\\x", {}).outcome);
  EXPECT_EQ("left by a run that was cut off", fs.files[std::wstring(L"P\\x") + kAsideSuffix]);
  EXPECT_EQ("old x", fs.files[std::wstring(L"P\\x") + kAsideSuffix + L"1"]);
  // A held file that cannot even be staged fails and stays as it was.
  fs.stagingWorks = false;
  fs.files[L"S\\g2"] = "new";
  fs.files[L"P\\g2"] = "old";
  fs.held.insert(L"P\\g2");
  const PlacementResult failed = journal.Place(L"S\\g2", L"P\\g2", {});
  EXPECT_EQ(FilePlacement::kFailed, failed.outcome);
  EXPECT_EQ(112u, failed.error);
  EXPECT_EQ("old", fs.files[L"P\\g2"]);
  EXPECT_TRUE(journal.Rollback());
  EXPECT_EQ("old x", fs.files[L"P\\x"]);
  EXPECT_EQ(1u, fs.restart.size());  // only the deletion that was there before
  // The leftover of the run that was cut off survives a rollback...
  EXPECT_EQ("left by a run that was cut off", fs.files[std::wstring(L"P\\x") + kAsideSuffix]);
}

// A run cut off before its commit leaves originals beside files it had
// placed; the next placement that settles those files removes them, also
// where its own file was already up to date, and leaves other files' alone.
TEST(PlacementJournalRulesTest, CommitRemovesOriginalsThatACutOffRunLeft) {
  FakeFiles fs;
  const std::wstring aside = kAsideSuffix;
  fs.files = {{L"S\\x", "new x"},           {L"P\\x", "new x"},
              {L"P\\x" + aside, "old x"},     {L"P\\x" + aside + L"3", "older x"},
              {L"S\\y", "new y"},           {L"P\\y" + aside, "old y"},
              {L"P\\z" + aside, "not placed now"}};
  PlacementJournal journal(fs);
  journal.Begin();
  EXPECT_EQ(FilePlacement::kCopied, journal.Place(L"S\\x", L"P\\x", {}).outcome);
  EXPECT_EQ(FilePlacement::kCopied, journal.Place(L"S\\y", L"P\\y", {}).outcome);
  journal.Commit();
  EXPECT_EQ((std::map<std::wstring, std::string>{{L"S\\x", "new x"},
                                                 {L"P\\x", "new x"},
                                                 {L"S\\y", "new y"},
                                                 {L"P\\y", "new y"},
                                                 {L"P\\z" + aside, "not placed now"}}),
            fs.files);
  EXPECT_TRUE(fs.restart.empty());
}

// Originals that a run cut off before its commit left beside their files
// (after the set-aside, or after the placement too) become this run's: its
// rollback brings back the product as it was before the cut-off run, its
// commit deletes them. Extracted files are moved in; one that cannot be
// moved (another volume) is copied.
TEST(PlacementJournalRulesTest, OriginalsOfACutOffRunAreAdoptedAndPutBackOrDeleted) {
  const std::wstring aside = kAsideSuffix;
  const std::map<std::wstring, std::string> cutOff = {
      {L"P\\x" + aside, "old x"},                               // cut before x was placed
      {L"P\\y", "half of the cut-off run's y"}, {L"P\\y" + aside, "old y"},  // cut after
      {L"P\\z" + aside, "old z"},  {L"P\\z" + aside + L"1", "z of a second cut-off run"},
      {L"P\\w", "w of a committed run"}, {L"P\\w" + aside, "held old w"},  // waits for restart
      {L"P\\v", "held v of the cut-off run"}, {L"P\\v" + aside, "old v"}};
  const std::vector<PendingRename> restartBefore = {{L"\\??\\P\\w" + aside, L""}};
  auto setUp = [&](FakeFiles* fs) {
    fs->files = cutOff;
    for (const wchar_t* name : {L"x", L"y", L"z", L"w", L"v"})
      fs->files[std::wstring(L"S\\") + name] = std::string("new ") + static_cast<char>(*name);
    fs->held = {L"P\\v"};
    fs->immovable = {L"S\\z"};
    fs->restart = restartBefore;
  };
  auto placeAll = [](FakeFiles* fs, PlacementJournal* journal) {
    journal->Begin();
    PlacementOptions move;
    move.moveSource = true;
    for (const wchar_t* name : {L"x", L"y", L"z", L"w"})
      EXPECT_EQ(FilePlacement::kCopied,
                journal->Place(std::wstring(L"S\\") + name, std::wstring(L"P\\") + name, move)
                    .outcome)
          << static_cast<char>(*name);
    // Held, so not adopted: replaced at the restart like any held file.
    EXPECT_EQ(FilePlacement::kScheduled, journal->Place(L"S\\v", L"P\\v", move).outcome);
    EXPECT_EQ((std::vector<std::wstring>{L"P\\x", L"P\\y", L"P\\w"}), fs->movedIn);
    EXPECT_EQ(0u, fs->files.count(L"S\\x"));  // moved, not copied
    EXPECT_EQ("new z", fs->files[L"S\\z"]);   // copied
  };

  {
    FakeFiles fs;
    setUp(&fs);
    PlacementJournal journal(fs);
    placeAll(&fs, &journal);
    EXPECT_EQ("old x", fs.files[L"P\\x" + aside]);  // adopted, not renamed again
    EXPECT_EQ(0u, fs.files.count(L"P\\x" + aside + L"1"));
    EXPECT_EQ("w of a committed run", fs.files[L"P\\w" + aside + L"1"]);
    EXPECT_TRUE(journal.Rollback());
    // Each file as the product had it before the cut-off run; the waiting
    // deletion and the later cut-off run's z are no originals and stay.
    EXPECT_EQ("old x", fs.files[L"P\\x"]);
    EXPECT_EQ("old y", fs.files[L"P\\y"]);
    EXPECT_EQ("old z", fs.files[L"P\\z"]);
    EXPECT_EQ("w of a committed run", fs.files[L"P\\w"]);
    EXPECT_EQ("held old w", fs.files[L"P\\w" + aside]);
    EXPECT_EQ("held v of the cut-off run", fs.files[L"P\\v"]);
    EXPECT_EQ("old v", fs.files[L"P\\v" + aside]);
    for (const wchar_t* name : {L"x", L"y", L"z"})
      EXPECT_EQ(0u, fs.files.count(std::wstring(L"P\\") + name + aside)) << static_cast<char>(*name);
    ASSERT_EQ(1u, fs.restart.size());
    EXPECT_EQ(restartBefore[0].source, fs.restart[0].source);
  }
  {
    FakeFiles fs;
    setUp(&fs);
    PlacementJournal journal(fs);
    placeAll(&fs, &journal);
    journal.Commit();
    for (const wchar_t* name : {L"x", L"y", L"z", L"w"}) {
      EXPECT_EQ(std::string("new ") + static_cast<char>(*name), fs.files[std::wstring(L"P\\") + name]);
      EXPECT_EQ(0u, fs.files.count(std::wstring(L"P\\") + name + aside + L"1"));
    }
    for (const wchar_t* name : {L"x", L"y", L"z"})
      EXPECT_EQ(0u, fs.files.count(std::wstring(L"P\\") + name + aside));
    // Each new file reached the disk before the original it replaces went.
    EXPECT_EQ((std::vector<std::wstring>{L"P\\x", L"P\\y", L"P\\z", L"P\\w"}), fs.flushed);
  }
}

}  // namespace
}  // namespace lum
