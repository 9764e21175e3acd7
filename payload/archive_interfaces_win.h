// The archive library's COM-style interfaces, declared from their documented
// layout: each derives from the system IUnknown (no virtual destructor) and
// lists its __stdcall methods in vtable order. Only what extraction needs is
// declared; the order is the binary contract and must not change.
//
// Threading (the library's contract): GetStream, PrepareOperation and
// SetOperationResult of one extraction are never called concurrently; the
// progress methods may come from the library's own threads.
#pragma once
#include <windows.h>
// These build on windows.h.
#include <oleauto.h>
#include <unknwn.h>

#include <cstdint>

namespace lum {
namespace arc {

// {23170F69-40C1-278A-0000-00gg00ss0000}: group and sub id of an interface.
constexpr GUID MakeIid(uint8_t group, uint8_t sub) {
  return GUID{0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, sub, 0x00, 0x00}};
}

constexpr GUID kIidProgress = MakeIid(0x00, 0x05);
constexpr GUID kIidSequentialInStream = MakeIid(0x03, 0x01);
constexpr GUID kIidSequentialOutStream = MakeIid(0x03, 0x02);
constexpr GUID kIidInStream = MakeIid(0x03, 0x03);
constexpr GUID kIidOutStream = MakeIid(0x03, 0x04);
constexpr GUID kIidStreamGetSize = MakeIid(0x03, 0x06);
constexpr GUID kIidCryptoGetTextPassword = MakeIid(0x05, 0x10);
constexpr GUID kIidArchiveOpenCallback = MakeIid(0x06, 0x10);
constexpr GUID kIidArchiveExtractCallback = MakeIid(0x06, 0x20);
constexpr GUID kIidInArchive = MakeIid(0x06, 0x60);

// Class id of the 7z format handler.
constexpr GUID kClsid7zFormat = {
    0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};

// Item property ids.
enum PropId : PROPID {
  kpidPath = 3,
  kpidIsDir = 6,
  kpidAttrib = 9,
  kpidMTime = 12,
};

// askExtractMode of GetStream and PrepareOperation.
enum AskMode : int32_t { kAskExtract = 0, kAskTest = 1, kAskSkip = 2 };
// opRes of SetOperationResult.
enum OperationResult : int32_t { kOpOk = 0 };

// STREAM_SEEK_SET/CUR/END.
enum SeekOrigin : uint32_t { kSeekSet = 0, kSeekCur = 1, kSeekEnd = 2 };

struct ISequentialInStream : public IUnknown {
  virtual HRESULT __stdcall Read(void* data, UINT32 size, UINT32* processed) = 0;
};
struct IInStream : public ISequentialInStream {
  virtual HRESULT __stdcall Seek(INT64 offset, UINT32 origin, UINT64* newPosition) = 0;
};
struct IStreamGetSize : public IUnknown {
  virtual HRESULT __stdcall GetSize(UINT64* size) = 0;
};
struct ISequentialOutStream : public IUnknown {
  virtual HRESULT __stdcall Write(const void* data, UINT32 size, UINT32* processed) = 0;
};
struct IOutStream : public ISequentialOutStream {
  virtual HRESULT __stdcall Seek(INT64 offset, UINT32 origin, UINT64* newPosition) = 0;
  virtual HRESULT __stdcall SetSize(UINT64 newSize) = 0;
};

struct IProgress : public IUnknown {
  virtual HRESULT __stdcall SetTotal(UINT64 total) = 0;
  virtual HRESULT __stdcall SetCompleted(const UINT64* completed) = 0;
};

struct ICryptoGetTextPassword : public IUnknown {
  virtual HRESULT __stdcall CryptoGetTextPassword(BSTR* password) = 0;
};

struct IArchiveOpenCallback : public IUnknown {
  virtual HRESULT __stdcall SetTotal(const UINT64* files, const UINT64* bytes) = 0;
  virtual HRESULT __stdcall SetCompleted(const UINT64* files, const UINT64* bytes) = 0;
};

struct IArchiveExtractCallback : public IProgress {
  virtual HRESULT __stdcall GetStream(UINT32 index, ISequentialOutStream** stream,
                                      INT32 askExtractMode) = 0;
  virtual HRESULT __stdcall PrepareOperation(INT32 askExtractMode) = 0;
  virtual HRESULT __stdcall SetOperationResult(INT32 result) = 0;
};

struct IInArchive : public IUnknown {
  virtual HRESULT __stdcall Open(IInStream* stream, const UINT64* maxCheckStartPosition,
                                 IArchiveOpenCallback* callback) = 0;
  virtual HRESULT __stdcall Close() = 0;
  virtual HRESULT __stdcall GetNumberOfItems(UINT32* count) = 0;
  virtual HRESULT __stdcall GetProperty(UINT32 index, PROPID id, PROPVARIANT* value) = 0;
  virtual HRESULT __stdcall Extract(const UINT32* indices, UINT32 count, INT32 testMode,
                                    IArchiveExtractCallback* callback) = 0;
  virtual HRESULT __stdcall GetArchiveProperty(PROPID id, PROPVARIANT* value) = 0;
  virtual HRESULT __stdcall GetNumberOfProperties(UINT32* count) = 0;
  virtual HRESULT __stdcall GetPropertyInfo(UINT32 index, BSTR* name, PROPID* id,
                                            VARTYPE* type) = 0;
  virtual HRESULT __stdcall GetNumberOfArchiveProperties(UINT32* count) = 0;
  virtual HRESULT __stdcall GetArchivePropertyInfo(UINT32 index, BSTR* name, PROPID* id,
                                                   VARTYPE* type) = 0;
};

// The library's "CreateObject" export.
using CreateObjectFunc = HRESULT(__stdcall*)(const GUID* clsid, const GUID* iid, void** object);

}  // namespace arc
}  // namespace lum
