#include "payload/archive_streams_win.h"

#include "base/install_log.h"
#include "payload/item_path.h"
#include "system/folder_tree_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "payload";
constexpr const wchar_t* kNamelessItem = L"[Content]";

HRESULT LastErrorResult() {
  const DWORD error = ::GetLastError();
  return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT SeekFile(HANDLE file, INT64 offset, UINT32 origin, UINT64* newPosition) {
  if (origin > arc::kSeekEnd) return STG_E_INVALIDFUNCTION;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!::SetFilePointerEx(file, distance, &position, origin)) return LastErrorResult();
  if (newPosition != nullptr) *newPosition = static_cast<UINT64>(position.QuadPart);
  return S_OK;
}

// Both callbacks refuse the question unless a password was set.
HRESULT AnswerPassword(bool defined, const std::wstring& password, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!defined) return E_ABORT;
  *out = ::SysAllocString(password.c_str());
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

// ---- CInFileStream ---------------------------------------------------------

bool CInFileStream::Open(const std::wstring& path) {
  file_.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.Valid();
}

HRESULT CInFileStream::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == arc::kIidSequentialInStream || iid == arc::kIidInStream) {
    *object = static_cast<arc::IInStream*>(this);
  } else if (iid == arc::kIidStreamGetSize) {
    *object = static_cast<arc::IStreamGetSize*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CInFileStream::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG CInFileStream::Release() {
  const LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CInFileStream::Read(void* data, UINT32 size, UINT32* processed) {
  if (processed != nullptr) *processed = 0;
  DWORD read = 0;
  if (!::ReadFile(file_.Get(), data, size, &read, nullptr)) return LastErrorResult();
  if (processed != nullptr) *processed = read;
  return S_OK;
}

HRESULT CInFileStream::Seek(INT64 offset, UINT32 origin, UINT64* newPosition) {
  return SeekFile(file_.Get(), offset, origin, newPosition);
}

HRESULT CInFileStream::GetSize(UINT64* size) {
  if (size == nullptr) return E_POINTER;
  LARGE_INTEGER value;
  if (!::GetFileSizeEx(file_.Get(), &value)) return LastErrorResult();
  *size = static_cast<UINT64>(value.QuadPart);
  return S_OK;
}

// ---- COutFileStream --------------------------------------------------------

bool COutFileStream::Create(const std::wstring& path) {
  file_.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.Valid();
}

bool COutFileStream::SetTimes(const FILETIME& time) {
  return ::SetFileTime(file_.Get(), &time, nullptr, &time) != FALSE;
}

HRESULT COutFileStream::Close() {
  if (!file_) return S_OK;
  if (!::CloseHandle(file_.Release())) return LastErrorResult();
  return S_OK;
}

HRESULT COutFileStream::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == arc::kIidSequentialOutStream || iid == arc::kIidOutStream) {
    *object = static_cast<arc::IOutStream*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG COutFileStream::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG COutFileStream::Release() {
  const LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT COutFileStream::Write(const void* data, UINT32 size, UINT32* processed) {
  if (processed != nullptr) *processed = 0;
  DWORD written = 0;
  if (!::WriteFile(file_.Get(), data, size, &written, nullptr)) return LastErrorResult();
  if (processed != nullptr) *processed = written;
  return S_OK;
}

HRESULT COutFileStream::Seek(INT64 offset, UINT32 origin, UINT64* newPosition) {
  return SeekFile(file_.Get(), offset, origin, newPosition);
}

HRESULT COutFileStream::SetSize(UINT64 newSize) {
  UINT64 current = 0;
  HRESULT hr = SeekFile(file_.Get(), 0, arc::kSeekCur, &current);
  if (FAILED(hr)) return hr;
  hr = SeekFile(file_.Get(), static_cast<INT64>(newSize), arc::kSeekSet, nullptr);
  if (FAILED(hr)) return hr;
  const bool ended = ::SetEndOfFile(file_.Get()) != FALSE;
  const HRESULT endResult = ended ? S_OK : LastErrorResult();
  hr = SeekFile(file_.Get(), static_cast<INT64>(current), arc::kSeekSet, nullptr);
  return FAILED(endResult) ? endResult : hr;
}

// ---- CArchiveOpenCallback --------------------------------------------------

HRESULT CArchiveOpenCallback::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == arc::kIidArchiveOpenCallback) {
    *object = static_cast<arc::IArchiveOpenCallback*>(this);
  } else if (iid == arc::kIidCryptoGetTextPassword) {
    *object = static_cast<arc::ICryptoGetTextPassword*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CArchiveOpenCallback::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG CArchiveOpenCallback::Release() {
  const LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CArchiveOpenCallback::SetTotal(const UINT64*, const UINT64*) { return S_OK; }
HRESULT CArchiveOpenCallback::SetCompleted(const UINT64*, const UINT64*) { return S_OK; }

HRESULT CArchiveOpenCallback::CryptoGetTextPassword(BSTR* password) {
  if (!passwordDefined_) log::Note(kLog, L"archive asks for a password: refused");
  return AnswerPassword(passwordDefined_, password_, password);
}

// ---- CArchiveExtractCallback -----------------------------------------------

void CArchiveExtractCallback::Init(arc::IInArchive* archive, const std::wstring& outputFolder,
                                   IExtractCallback* sink) {
  archive_ = ComRef<arc::IInArchive>::Share(archive);
  outputFolder_ = outputFolder;
  if (!outputFolder_.empty() && outputFolder_.back() != L'\\') outputFolder_.push_back(L'\\');
  sink_ = sink;
  passwordDefined_ = false;
  password_.clear();
  errorCount_ = 0;
}

HRESULT CArchiveExtractCallback::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == arc::kIidProgress || iid == arc::kIidArchiveExtractCallback) {
    *object = static_cast<arc::IArchiveExtractCallback*>(this);
  } else if (iid == arc::kIidCryptoGetTextPassword) {
    *object = static_cast<arc::ICryptoGetTextPassword*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CArchiveExtractCallback::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG CArchiveExtractCallback::Release() {
  const LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CArchiveExtractCallback::SetTotal(UINT64) { return S_OK; }
HRESULT CArchiveExtractCallback::SetCompleted(const UINT64*) { return S_OK; }

HRESULT CArchiveExtractCallback::ReadItemProperties(UINT32 index) {
  PROPVARIANT value;
  ::PropVariantInit(&value);
  HRESULT hr = archive_->GetProperty(index, arc::kpidAttrib, &value);
  if (FAILED(hr)) return hr;
  attributesDefined_ = value.vt == VT_UI4;
  attributes_ = attributesDefined_ ? value.ulVal : 0;
  const bool attributesOk = value.vt == VT_EMPTY || value.vt == VT_UI4;
  ::PropVariantClear(&value);
  if (!attributesOk) return E_FAIL;

  hr = archive_->GetNumberOfItems(&itemCount_);
  if (FAILED(hr)) return hr;

  hr = archive_->GetProperty(index, arc::kpidIsDir, &value);
  if (FAILED(hr)) return hr;
  isDirectory_ = value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
  const bool kindOk = value.vt == VT_EMPTY || value.vt == VT_BOOL;
  ::PropVariantClear(&value);
  if (!kindOk) return E_FAIL;

  hr = archive_->GetProperty(index, arc::kpidMTime, &value);
  if (FAILED(hr)) return hr;
  modifiedDefined_ = value.vt == VT_FILETIME;
  modified_ = modifiedDefined_ ? value.filetime : FILETIME{};
  const bool timeOk = value.vt == VT_EMPTY || value.vt == VT_FILETIME;
  ::PropVariantClear(&value);
  return timeOk ? S_OK : E_FAIL;
}

HRESULT CArchiveExtractCallback::GetStream(UINT32 index, arc::ISequentialOutStream** stream,
                                           INT32 askExtractMode) {
  if (stream == nullptr) return E_POINTER;
  *stream = nullptr;
  outStream_.Reset();
  index_ = index;
  itemPlaced_ = false;
  sinkAnswer_ = IExtractCallback::kExtractItem;
  outputPath_.clear();

  PROPVARIANT value;
  ::PropVariantInit(&value);
  HRESULT hr = archive_->GetProperty(index, arc::kpidPath, &value);
  if (FAILED(hr)) return hr;
  if (value.vt == VT_EMPTY) {
    itemPath_ = kNamelessItem;
  } else if (value.vt == VT_BSTR) {
    itemPath_.assign(value.bstrVal != nullptr ? value.bstrVal : L"");
  } else {
    ::PropVariantClear(&value);
    return E_FAIL;
  }
  ::PropVariantClear(&value);

  if (askExtractMode != arc::kAskExtract) return S_OK;  // test or skip: no stream

  hr = ReadItemProperties(index);
  if (FAILED(hr)) return hr;

  // The library passes paths through as stored; a path that leaves the
  // output folder is refused before anything is created.
  std::wstring relative;
  if (!SanitizeItemPath(itemPath_, relative)) {
    ++errorCount_;
    log::Action(kLog, L"extract item: path refused", itemPath_, static_cast<long>(index));
    return S_OK;
  }
  itemPath_ = relative;

  const uint64_t time =
      (static_cast<uint64_t>(modified_.dwHighDateTime) << 32) | modified_.dwLowDateTime;
  sinkAnswer_ = sink_ != nullptr ? ForwardItem(index, itemCount_, itemPath_.c_str(), isDirectory_,
                                               modifiedDefined_ ? &time : nullptr)
                                 : IExtractCallback::kExtractItem;
  if (sinkAnswer_ == IExtractCallback::kSkipItem) return S_OK;
  if (sinkAnswer_ == IExtractCallback::kCancelExtraction) {
    log::Action(kLog, L"extract: cancelled before item", itemPath_, static_cast<long>(index));
    return E_ABORT;
  }

  const size_t lastSeparator = itemPath_.rfind(L'\\');
  if (lastSeparator != std::wstring::npos) {
    CreateFolderTree(outputFolder_ + itemPath_.substr(0, lastSeparator));
  }
  outputPath_ = outputFolder_ + itemPath_;

  if (isDirectory_) {
    if (!CreateFolderTree(outputPath_)) {
      log::Action(kLog, L"extract folder: create failed", outputPath_,
                  static_cast<long>(::GetLastError()));
    }
    itemPlaced_ = true;
    return S_OK;
  }
  return OpenOutputFile(stream);
}

HRESULT CArchiveExtractCallback::OpenOutputFile(arc::ISequentialOutStream** stream) {
  if (::GetFileAttributesW(outputPath_.c_str()) != INVALID_FILE_ATTRIBUTES) {
    ::SetFileAttributesW(outputPath_.c_str(), 0);  // a read-only file is replaced too
    if (!::DeleteFileW(outputPath_.c_str())) {
      log::Action(kLog, L"extract file: cannot replace", outputPath_,
                  static_cast<long>(::GetLastError()));
      return E_ABORT;
    }
  }
  ComRef<COutFileStream> file = ComRef<COutFileStream>::Adopt(new COutFileStream());
  if (!file->Create(outputPath_)) {
    log::Action(kLog, L"extract file: create failed", outputPath_,
                static_cast<long>(::GetLastError()));
    return E_ABORT;
  }
  outStream_ = std::move(file);
  *stream = ComRef<arc::ISequentialOutStream>::Share(outStream_.Get()).Detach();
  itemPlaced_ = true;
  return S_OK;
}

HRESULT CArchiveExtractCallback::PrepareOperation(INT32 askExtractMode) {
  extractMode_ = askExtractMode == arc::kAskExtract;
  return S_OK;
}

HRESULT CArchiveExtractCallback::SetOperationResult(INT32 result) {
  if (result != arc::kOpOk) {
    ++errorCount_;
    log::Action(kLog, L"extract item: data error", itemPath_, static_cast<long>(result));
  }
  if (outStream_) {
    if (modifiedDefined_) outStream_->SetTimes(modified_);
    const HRESULT closed = outStream_->Close();
    outStream_.Reset();
    if (FAILED(closed)) {
      log::Action(kLog, L"extract file: close failed", outputPath_, static_cast<long>(closed));
      return closed;
    }
  }
  if (extractMode_ && attributesDefined_ && itemPlaced_) {
    DWORD attributes = MaskItemAttributes(attributes_);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileAttributesW(outputPath_.c_str(), attributes);
  }
  if (itemPlaced_ && sinkAnswer_ != IExtractCallback::kSkipItem) {
    ForwardItemDone(index_, itemCount_, itemPath_.c_str(), isDirectory_);
  }
  return S_OK;
}

HRESULT CArchiveExtractCallback::CryptoGetTextPassword(BSTR* password) {
  if (!passwordDefined_) log::Note(kLog, L"archive item asks for a password: refused");
  return AnswerPassword(passwordDefined_, password_, password);
}

int CArchiveExtractCallback::ForwardItem(uint32_t index, uint32_t count, const wchar_t* path,
                                         bool isDirectory, const uint64_t* fileTime) {
  return sink_ != nullptr ? sink_->OnItem(index, count, path, isDirectory, fileTime) : -1;
}

int CArchiveExtractCallback::ForwardItemDone(uint32_t index, uint32_t count, const wchar_t* path,
                                             bool isDirectory) {
  return sink_ != nullptr ? sink_->OnItemDone(index, count, path, isDirectory) : -1;
}

}  // namespace lum
