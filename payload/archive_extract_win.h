// Extraction of the product archive with the carried archive library.
//
// Threading: the library state is process-wide and is touched only by the
// thread that runs the install procedure's extraction.
#pragma once
#include <string>

#include "payload/extract_callback.h"

namespace lum {

// Procedure error codes of the extraction step.
enum ExtractCode : int {
  kExtractOk = 0,
  kExtractFolderUnwritable = 108,  // "temp_files" cannot be created or written
  kExtractLibraryFailed = 116,     // archive library could not be written or loaded
  kExtractArchiveFailed = 117,     // opening or extracting failed, or the sink cancelled
  kExtractPayloadWriteFailed = 118,  // FILE 501 could not be written to "temp.7z"
};

// Writes FILE 500 as workDir + "7z.dll" and loads it; true at once when
// `libraryReady` is already set, which it sets on success. `workDir` ends
// with a backslash and must be a folder this run made with
// CreateProtectedFolder; any other folder is refused.
bool LoadArchiveLibrary(const std::wstring& workDir, bool& libraryReady);
// False when nothing was loaded or FreeLibrary failed; clears `libraryReady`
// callers keep themselves.
bool UnloadArchiveLibrary();

// 0 on success, -1 on any failure (a cancel from the sink included).
int ExtractArchive(const std::wstring& archivePath, const std::wstring& outputFolder,
                   IExtractCallback* sink);

// The whole extraction step: library, writability of workDir\temp_files,
// FILE 501 -> workDir\temp.7z, extraction. Returns an ExtractCode.
int ExtractPayload(const std::wstring& workDir, bool& libraryReady, IExtractCallback* sink);

}  // namespace lum
