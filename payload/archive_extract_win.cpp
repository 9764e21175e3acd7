#include "payload/archive_extract_win.h"

#include <windows.h>
// These build on windows.h.

#include "base/install_log.h"
#include "payload/archive_interfaces_win.h"
#include "payload/archive_streams_win.h"
#include "payload/resource_file_win.h"
#include "system/com_ref_win.h"
#include "system/file_ops_win.h"
#include "system/folder_tree_win.h"
#include "system/held_file_win.h"
#include "system/win_handle_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "payload";
constexpr const wchar_t* kLibraryName = L"7z.dll";
constexpr const wchar_t* kArchiveName = L"temp.7z";
constexpr const wchar_t* kOutputName = L"temp_files";

// The loaded archive library. Process-wide and touched only by the thread
// that extracts; it stays loaded until UnloadArchiveLibrary.
HMODULE g_library = nullptr;

int Fail(const wchar_t* what, const std::wstring& where, long code) {
  log::Action(kLog, what, where, code);
  return -1;
}

}  // namespace

bool LoadArchiveLibrary(const std::wstring& workDir, bool& libraryReady) {
  if (libraryReady) return true;
  if (g_library != nullptr) {  // loaded by an earlier procedure of this process
    libraryReady = true;
    return true;
  }
  if (!IsProtectedFolderOfThisRun(workDir)) {
    // A folder that was there before this run, or that others may write
    // into, could hand us their module in place of ours.
    log::Action(kLog, L"load archive library: not a protected folder made by this run", workDir,
                ERROR_ACCESS_DENIED);
    return false;
  }
  const std::wstring path = workDir + kLibraryName;
  if (!WriteResourceToFile(kFileResourceType, kResArchiveLibrary, path)) {
    log::Action(kLog, L"load archive library: write failed", path,
                static_cast<long>(::GetLastError()));
    return false;
  }
  // Held open, sharing reading only, until the loader has mapped it: what
  // was written is what is loaded.
  UniqueFileHandle held;
  if (!OpenHeldFile(path, &held)) {
    log::Action(kLog, L"load archive library: written file not held, refused", path,
                static_cast<long>(::GetLastError()));
    return false;
  }
  g_library = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const long error = g_library != nullptr ? 0 : static_cast<long>(::GetLastError());
  held.Reset();
  log::Action(kLog, L"load archive library", path, error);
  if (g_library == nullptr) return false;
  libraryReady = true;
  return true;
}

bool UnloadArchiveLibrary() {
  if (g_library == nullptr) return false;
  const bool freed = ::FreeLibrary(g_library) != FALSE;
  log::Action(kLog, L"unload archive library", kLibraryName,
              freed ? 0 : static_cast<long>(::GetLastError()));
  g_library = nullptr;
  return freed;
}

int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder,
                   IExtractCallback* sink) {
  if (!CreateFolderTree(outputFolder)) {
    return Fail(L"extract archive: output folder missing", outputFolder,
                static_cast<long>(::GetLastError()));
  }
  if (g_library == nullptr) return Fail(L"extract archive: library not loaded", archivePath, 0);
  auto createObject =
      reinterpret_cast<arc::CreateObjectFunc>(::GetProcAddress(g_library, "CreateObject"));
  if (createObject == nullptr) {
    return Fail(L"extract archive: no CreateObject", kLibraryName,
                static_cast<long>(::GetLastError()));
  }

  ComRef<arc::IInArchive> archive;
  HRESULT hr = createObject(&arc::kClsid7zFormat, &arc::kIidInArchive, archive.PutVoid());
  if (FAILED(hr) || !archive) return Fail(L"extract archive: CreateObject", kLibraryName, hr);

  ComRef<CInFileStream> input = ComRef<CInFileStream>::Adopt(new CInFileStream());
  if (!input->Open(archivePath)) {
    return Fail(L"extract archive: open failed", archivePath, static_cast<long>(::GetLastError()));
  }
  ComRef<CArchiveOpenCallback> openCallback =
      ComRef<CArchiveOpenCallback>::Adopt(new CArchiveOpenCallback());
  hr = archive->Open(input.Get(), nullptr, openCallback.Get());
  if (hr != S_OK) return Fail(L"extract archive: not a readable archive", archivePath, hr);

  ComRef<CArchiveExtractCallback> extractCallback =
      ComRef<CArchiveExtractCallback>::Adopt(new CArchiveExtractCallback());
  extractCallback->Init(archive.Get(), outputFolder, sink);

  if (sink != nullptr) sink->OnBegin(archivePath.c_str(), outputFolder.c_str());
  hr = archive->Extract(nullptr, 0xFFFFFFFFu, 0, extractCallback.Get());
  if (sink != nullptr) sink->OnEnd(hr == S_OK);

  const uint64_t errors = extractCallback->ErrorCount();
  log::Action(kLog,
              L"extract archive into " + outputFolder + L", item errors " + std::to_wstring(errors),
              archivePath, hr);
  archive->Close();
  return hr == S_OK ? 0 : -1;
}

int ExtractPayload(const std::wstring& workDir, bool& libraryReady, IExtractCallback* sink) {
  if (!LoadArchiveLibrary(workDir, libraryReady)) return kExtractLibraryFailed;

  const std::wstring archivePath = workDir + kArchiveName;
  const std::wstring outputFolder = workDir + kOutputName;
  if (!CreateFolderTree(outputFolder) || !IsWritableFolder(outputFolder)) {
    log::Action(kLog, L"extract payload: output folder not writable", outputFolder,
                static_cast<long>(::GetLastError()));
    return kExtractFolderUnwritable;
  }
  if (!WriteResourceToFile(kFileResourceType, kResPayloadArchive, archivePath)) {
    return kExtractPayloadWriteFailed;
  }
  if (ExtractArchive(archivePath, outputFolder, sink) != 0) return kExtractArchiveFailed;
  return kExtractOk;
}

}  // namespace lum
