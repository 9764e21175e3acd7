// Binary interface of the vendor modules (base, utility, configuration),
// shared by the modules and the installer's bridge. 32-bit Windows only.
//
// Export table, filled by InitLibs (all fields 32-bit on i686):
//
//   offset 0   uint32  capacity   set by the caller: number of entry slots (256)
//   offset 4   uint32  count      set by the module: number of slots it filled
//   offset 8   void*   entries[capacity]
//
// The module writes at most `capacity` slots and leaves the rest alone; a slot
// it has no function for holds nullptr. InitLibs returns 0 on success and
// non-zero (without touching `count`) when the table is too small.
//
// Objects come from CreateObject(iid, out): 0 and an AddRef'ed object in *out
// on success, non-zero and *out = nullptr otherwise. Interfaces are COM-style:
// IUnknown first, __stdcall methods, no virtual destructor.
#pragma once
#include <unknwn.h>
#include <windows.h>

#include <cstdint>

namespace lum {

constexpr uint32_t kExportTableCapacity = 256;

struct LumExportTable {
  uint32_t capacity;
  uint32_t count;
  void* entries[kExportTableCapacity];
};

using InitLibsFn = int(__stdcall*)(LumExportTable* table);
using CreateObjectFn = int(__stdcall*)(const GUID* iid, void** out);

// Base module entries.
constexpr uint32_t kBaseEntryVerifyFile = 10;
constexpr uint32_t kBaseEntryEdition = 11;
constexpr uint32_t kBaseEntryCount = 12;
// Non-zero when `path` is a trusted vendor image; *kind is -1 unless trusted.
using VerifyFileFn = int(__stdcall*)(const wchar_t* path, int* kind);
// The installed product's edition as the vendor knows it (0 when none).
using EditionFn = int(__stdcall*)();

// Utility module entries.
constexpr uint32_t kUtilEntryOpenLink = 3;
constexpr uint32_t kUtilEntryCount = 4;
// Opens `file` with `verb` for the user with lowered rights; above 32 on
// success (ShellExecute's answers).
using OpenLinkFn = int(__stdcall*)(HWND window, const wchar_t* verb, const wchar_t* file,
                                   const wchar_t* parameters, const wchar_t* folder, int show);

// The product's common module is bound by export name; "GetEdition"(nullptr,
// 0) answers the installed edition.
using CommonGetEditionFn = int(__stdcall*)(void* reserved, int flags);

// Kinds a trusted file can have; the module's own check vouches with kind 1.
constexpr int kTrustKindNone = -1;
constexpr int kTrustKindVendorSignature = 1;
constexpr int kTrustKindCatalog = 3;
constexpr int kTrustKindPublisher = 4;

// {EF9547D2-97F6-412F-A886-BABD7005A4D8}: properties of one file.
//   property 1, 2: file size, low and high 32 bits
//   property 3: bits 8-11 = 3 when a security catalog vouches for the file
//   property 4: bits 12-15 = vendor signature state: 0 none, 1 signed with
//               another key or altered, 2 signed with the pinned key
//   property 5: bits 16-19 = 3 when the publisher's certificate vouches
// The stand-in module has no catalog or certificate store: properties 3 and
// 5 are always 0 there. Unknown ids answer E_INVALIDARG.
constexpr GUID kIidFileProperties = {
    0xEF9547D2, 0x97F6, 0x412F, {0xA8, 0x86, 0xBA, 0xBD, 0x70, 0x05, 0xA4, 0xD8}};
constexpr ULONG kFilePropertySizeLow = 1;
constexpr ULONG kFilePropertySizeHigh = 2;
constexpr ULONG kFilePropertyCatalog = 3;
constexpr ULONG kFilePropertySignature = 4;
constexpr ULONG kFilePropertyPublisher = 5;
constexpr ULONG kSignatureStateNone = 0;
constexpr ULONG kSignatureStateInvalid = 1;
constexpr ULONG kSignatureStateTrusted = 2;

struct ILumFileProperties : public IUnknown {
  // S_OK when the file was opened and examined; properties describe it then.
  virtual HRESULT __stdcall Open(const wchar_t* path) = 0;
  virtual HRESULT __stdcall GetProperty(ULONG id, ULONG* value) = 0;
};

// {110696FA-5EAB-4dfd-A465-9FA1A1C86F7F}: this machine's identity.
constexpr GUID kIidIdentity = {
    0x110696FA, 0x5EAB, 0x4DFD, {0xA4, 0x65, 0x9F, 0xA1, 0xA1, 0xC8, 0x6F, 0x7F}};
constexpr ULONG kIdentityTextMax = 260;  // characters, terminator included

struct ILumIdentity : public IUnknown {
  virtual HRESULT __stdcall GetVolumeSerial(DWORD* serial) = 0;
  virtual HRESULT __stdcall GetMachineName(wchar_t* name, ULONG capacity) = 0;
  // Stable per machine: upper-case hex; `capacity` counts characters and may
  // be at most kIdentityTextMax. E_INVALIDARG when the text does not fit.
  virtual HRESULT __stdcall GetIdentityText(wchar_t* text, ULONG capacity) = 0;
};

// {7A42074F-34D0-4032-8484-F61D0EB5BCD1}: file-signature verifier.
constexpr GUID kIidFileVerifier = {
    0x7A42074F, 0x34D0, 0x4032, {0x84, 0x84, 0xF6, 0x1D, 0x0E, 0xB5, 0xBC, 0xD1}};

struct ILumFileVerifier : public IUnknown {
  // Same contract as the base entry VerifyFile.
  virtual int __stdcall VerifyFile(const wchar_t* path, int* kind) = 0;
};

}  // namespace lum
