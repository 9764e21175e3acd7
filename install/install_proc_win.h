// CInstallProc: one installation from start to end. It chooses a private work
// folder, extracts the carried product archive into it, places the files in
// the install folder (files in use are replaced at the next restart), writes
// the configuration files and registry defaults, calls the system-integration
// steps in their fixed order and reports progress to the main window.
//
// Threading: exactly one object per process (GetInstallProc). The main thread
// constructs it and calls StartInstall, RequestCancel and RunSilent. The
// extraction and the install run happen on the worker thread (interactive)
// or on the silent body thread (silent), never on both. The cancel flag is
// guarded by `lock_`. The error code is written by the worker and read by
// the main window, and whether the worker's run has ended is read there too:
// both are atomic. Progress reaches the main window only as posted messages.
#pragma once
#include <windows.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "base/exit_codes.h"
#include "install/worker_thread_win.h"
#include "payload/extract_callback.h"
#include "install/silent_loop_win.h"
#include "system/placement_journal.h"
#include "system/win_handle_win.h"

namespace lum {

// Procedure codes beyond those of the extraction step (archive_extract_win.h).
enum ProcedureCode : int {
  kProcOk = 0,
  kProcTempNotAvailable = 101,
  kProcTempUnwritable = 108,
  kProcExtractedFileMissing = 110,
  kProcTempNoDiskSpace = 111,
  kProcTempUnsuitableDrive = 112,
  // A payload file could be neither copied nor scheduled for the restart;
  // every file placed before it was put back.
  kProcFileNotPlaced = kExitFileNotPlaced,
  // That placement's rollback could not put every original back either: the
  // folder holds new and old files side by side, so nothing of it is started.
  kProcRollbackIncomplete = kExitRollbackIncomplete,
};

// Command id of the start message the main window posts to the worker.
constexpr WPARAM kStartInstallCommand = 1;
// wParam of the progress WM_COMMAND posted to the main window.
constexpr WPARAM kProgressCommand = 0xFFFF;

class CInstallProc : public CSomWorkerThread<CInstallProc>, public IExtractCallback {
 public:
  CInstallProc();  // chooses the work folder; its result is ErrorCode()
  ~CInstallProc() override;

  int ErrorCode() const { return errorCode_.load(); }
  // Interactive: the worker has come back from the install run, its last
  // steps (firewall, completion) included. Progress 100 can be posted
  // before that, so the window ends the install only once this is true.
  bool RunFinished() const { return runFinished_.load(); }

  // Interactive: hands the chosen folder to the worker. Only once per process.
  bool StartInstall(HWND notifyWnd, const std::wstring& folder);
  // Silent: extraction and install run on a thread of their own while the
  // hidden handler window runs the message loop here. True on success.
  bool RunSilent(SilentLoop& loop);
  void RequestCancel();
  // Interactive: the worker extracts once this is called (the welcome page is
  // on screen, or the window is gone), at the latest kExtractionHoldMs after
  // its start, so that the window's start does not share the processor with
  // the extraction. Any thread, any number of times.
  void ReleaseExtraction();
  static constexpr DWORD kExtractionHoldMs = 2000;
  // Posts `position` to the main window when it is above every earlier one.
  void ReportProgress(int position, int maximum);

  // C: extraction into the work folder's temp_files. True when ErrorCode() is 0.
  bool Extract();
  // E: one install run into the install folder. True when ErrorCode() is 0.
  bool InstallRun(bool withCompletion);
  // Deletes the work folder whole; what is in use is deleted at the restart.
  void DeleteWorkFolder();

  // IExtractCallback (called on the extracting thread).
  int OnBegin(const wchar_t* archive, const wchar_t* destination) override;
  int OnItem(uint32_t index, uint32_t itemCount, const wchar_t* path, bool isDirectory,
             const uint64_t* fileTime) override;
  int OnItemDone(uint32_t index, uint32_t itemCount, const wchar_t* path,
                 bool isDirectory) override;
  void OnEnd(bool succeeded) override;

  // CSomWorkerThread
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;
  bool OnThreadInit() override { return true; }
  void OnThreadExit() override {}

 private:
  void ChooseWorkFolder();
  void OnCreate();
  void OnStartCommand(wchar_t* folder);
  void Completion();  // I
  // Places the copy list through `journal` as one transaction: committed
  // when every file is placed or scheduled, else rolled back (false, with
  // the error code set).
  bool PlaceFiles(PlacementJournal& journal);
  void WriteAccountMarker();
  void CopyLanguageFiles();
  void WaitForActiveDefense();
  static DWORD WINAPI SilentBody(void* parameter);

  std::vector<std::wstring> copyList_;
  std::set<std::wstring> reinstallIgnored_;
  bool archiveLibraryReady_ = false;
  // The last placement renamed the extracted files into the install folder
  // (the work folder is on its volume): they are no longer in the work folder.
  bool placedByRename_ = false;
  HWND notifyWnd_ = nullptr;
  std::wstring workDir_;
  std::wstring installDir_;
  std::atomic<int> errorCode_{0};
  std::atomic<bool> runFinished_{false};
  SilentLoop* silentLoop_ = nullptr;  // set for the length of RunSilent
  UniqueHandle startEvent_;
  UniqueHandle extractionReleased_;  // manual reset
  bool cancelRequested_ = false;
  CRITICAL_SECTION lock_;
  int retryCount_ = 0;
  bool notifySafeMon_ = false;
};

// The process's procedure, created on first call. Outside silent mode the
// first call starts the worker thread and waits up to 1000 ms for its
// window; when the thread cannot be started there is no procedure: null
// (the run ends with 333).
CInstallProc* GetInstallProc();
// The procedure when it was created, else null (never creates it).
CInstallProc* InstallProcIfCreated();
// Stops the worker (if any) and destroys the procedure.
void DestroyInstallProc();

// Process-wide: the archive extraction ended with a failure (reported as "uz_err").
bool ExtractionFailed();

}  // namespace lum
