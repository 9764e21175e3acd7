// The file streams and callbacks that the archive library asks for while it
// opens and extracts an archive. Each object is reference counted the COM way
// and is created with one reference owned by its creator.
//
// Threading: an extraction's callbacks are called by the library on the
// thread that called Extract, never concurrently (progress calls aside, which
// do nothing here).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "payload/archive_interfaces_win.h"
#include "payload/extract_callback.h"
#include "system/com_ref_win.h"
#include "system/win_handle_win.h"

namespace lum {

// Read access to the archive file.
class CInFileStream final : public arc::IInStream, public arc::IStreamGetSize {
 public:
  CInFileStream() = default;
  // Opens `path` for reading, shared with other readers.
  bool Open(const std::wstring& path);

  HRESULT __stdcall QueryInterface(REFIID iid, void** object) override;
  ULONG __stdcall AddRef() override;
  ULONG __stdcall Release() override;
  HRESULT __stdcall Read(void* data, UINT32 size, UINT32* processed) override;
  HRESULT __stdcall Seek(INT64 offset, UINT32 origin, UINT64* newPosition) override;
  HRESULT __stdcall GetSize(UINT64* size) override;

 private:
  ~CInFileStream() = default;
  LONG references_ = 1;
  UniqueFileHandle file_;
};

// Write access to one extracted file.
class COutFileStream final : public arc::IOutStream {
 public:
  COutFileStream() = default;
  // Creates (or truncates) `path`; readers may share it.
  bool Create(const std::wstring& path);
  // Creation and last-write time; the last-access time is left alone.
  bool SetTimes(const FILETIME& time);
  // Closes the file; the result of CloseHandle as an HRESULT.
  HRESULT Close();

  HRESULT __stdcall QueryInterface(REFIID iid, void** object) override;
  ULONG __stdcall AddRef() override;
  ULONG __stdcall Release() override;
  HRESULT __stdcall Write(const void* data, UINT32 size, UINT32* processed) override;
  HRESULT __stdcall Seek(INT64 offset, UINT32 origin, UINT64* newPosition) override;
  HRESULT __stdcall SetSize(UINT64 newSize) override;

 private:
  ~COutFileStream() = default;
  LONG references_ = 1;
  UniqueFileHandle file_;
};

// Progress of opening (ignored) and the password question (refused: the
// payload is never encrypted, so an encrypted archive is not ours).
class CArchiveOpenCallback final : public arc::IArchiveOpenCallback,
                                   public arc::ICryptoGetTextPassword {
 public:
  CArchiveOpenCallback() = default;

  HRESULT __stdcall QueryInterface(REFIID iid, void** object) override;
  ULONG __stdcall AddRef() override;
  ULONG __stdcall Release() override;
  HRESULT __stdcall SetTotal(const UINT64* files, const UINT64* bytes) override;
  HRESULT __stdcall SetCompleted(const UINT64* files, const UINT64* bytes) override;
  HRESULT __stdcall CryptoGetTextPassword(BSTR* password) override;

 private:
  ~CArchiveOpenCallback() = default;
  LONG references_ = 1;
  bool passwordDefined_ = false;
  std::wstring password_;
};

// Decides for every item where it goes, asks the sink, and hands the library
// an output stream. Item paths are checked before anything is created: an
// item that would land outside the output folder is refused, counted as an
// error and skipped, and the extraction goes on.
class CArchiveExtractCallback final : public arc::IArchiveExtractCallback,
                                      public arc::ICryptoGetTextPassword {
 public:
  CArchiveExtractCallback() = default;
  // `archive` gets a reference of this callback's own; `sink` may be null.
  void Init(arc::IInArchive* archive, const std::wstring& outputFolder, IExtractCallback* sink);
  // Items that failed: data errors reported by the library and refused paths.
  uint64_t ErrorCount() const { return errorCount_; }

  HRESULT __stdcall QueryInterface(REFIID iid, void** object) override;
  ULONG __stdcall AddRef() override;
  ULONG __stdcall Release() override;
  HRESULT __stdcall SetTotal(UINT64 total) override;
  HRESULT __stdcall SetCompleted(const UINT64* completed) override;
  HRESULT __stdcall GetStream(UINT32 index, arc::ISequentialOutStream** stream,
                              INT32 askExtractMode) override;
  HRESULT __stdcall PrepareOperation(INT32 askExtractMode) override;
  HRESULT __stdcall SetOperationResult(INT32 result) override;
  HRESULT __stdcall CryptoGetTextPassword(BSTR* password) override;

 private:
  ~CArchiveExtractCallback() = default;
  // OnItem and OnItemDone of the sink; -1 without a sink.
  int ForwardItem(uint32_t index, uint32_t count, const wchar_t* path, bool isDirectory,
                  const uint64_t* fileTime);
  int ForwardItemDone(uint32_t index, uint32_t count, const wchar_t* path, bool isDirectory);
  // Reads the item's attributes, kind and time; E_FAIL on an unexpected type.
  HRESULT ReadItemProperties(UINT32 index);
  // Creates the item's file: replaces an existing one (read-only included).
  HRESULT OpenOutputFile(arc::ISequentialOutStream** stream);

  LONG references_ = 1;
  ComRef<arc::IInArchive> archive_;
  std::wstring outputFolder_;  // ends with '\'
  std::wstring itemPath_;      // relative, '\'-separated once checked
  std::wstring outputPath_;
  bool extractMode_ = false;
  FILETIME modified_ = {};
  bool modifiedDefined_ = false;
  uint32_t attributes_ = 0;
  bool attributesDefined_ = false;
  bool isDirectory_ = false;
  ComRef<COutFileStream> outStream_;
  bool passwordDefined_ = false;
  std::wstring password_;
  uint64_t errorCount_ = 0;
  IExtractCallback* sink_ = nullptr;
  int sinkAnswer_ = IExtractCallback::kExtractItem;
  uint32_t index_ = 0;
  uint32_t itemCount_ = 0;
  // The item was handed to the file system (a stream or a folder); only then
  // are attributes applied and the sink told that it is done.
  bool itemPlaced_ = false;
};

}  // namespace lum
