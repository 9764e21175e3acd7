#include "system/handle_tree_win.h"

#include <winternl.h>

#include "base/install_log.h"
#include "base/text.h"
#include "system/file_ops_win.h"
#include "system/link_rule.h"

namespace lum {

namespace {

// The native calls, from ntdll (loaded in every process).
using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtQueryDirectoryFileFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK,
                                                PVOID, ULONG, ULONG, BOOLEAN, PUNICODE_STRING,
                                                BOOLEAN);
using NtFileInformationFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NTSTATUS);

struct Native {
  NtCreateFileFn create = nullptr;
  NtQueryDirectoryFileFn queryDirectory = nullptr;
  NtFileInformationFn queryInformation = nullptr;
  NtFileInformationFn setInformation = nullptr;
  RtlNtStatusToDosErrorFn toDosError = nullptr;
  bool Ready() const {
    return create && queryDirectory && queryInformation && setInformation && toDosError;
  }
};

const Native& Nt() {
  static const Native native = [] {
    Native n;
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return n;
    auto find = [&](const char* name) {
      return reinterpret_cast<void*>(::GetProcAddress(ntdll, name));
    };
    n.create = reinterpret_cast<NtCreateFileFn>(find("NtCreateFile"));
    n.queryDirectory = reinterpret_cast<NtQueryDirectoryFileFn>(find("NtQueryDirectoryFile"));
    n.queryInformation = reinterpret_cast<NtFileInformationFn>(find("NtQueryInformationFile"));
    n.setInformation = reinterpret_cast<NtFileInformationFn>(find("NtSetInformationFile"));
    n.toDosError = reinterpret_cast<RtlNtStatusToDosErrorFn>(find("RtlNtStatusToDosError"));
    return n;
  }();
  return native;
}

constexpr NTSTATUS kStatusSuccess = 0;
constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
constexpr NTSTATUS kStatusNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kStatusPathNotFound = static_cast<NTSTATUS>(0xC000003AL);

constexpr ULONG kFileOpen = 1;                      // FILE_OPEN
constexpr ULONG kFileCreate = 2;                    // FILE_CREATE
constexpr ULONG kOptDirectory = 0x00000001;         // FILE_DIRECTORY_FILE
constexpr ULONG kOptSynchronous = 0x00000020;       // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kOptNonDirectory = 0x00000040;      // FILE_NON_DIRECTORY_FILE
constexpr ULONG kOptBackupIntent = 0x00004000;      // FILE_OPEN_FOR_BACKUP_INTENT
constexpr ULONG kOptOpenReparse = 0x00200000;       // FILE_OPEN_REPARSE_POINT
constexpr ULONG kClassDirectoryInformation = 1;     // FileDirectoryInformation
constexpr ULONG kClassBasicInformation = 4;         // FileBasicInformation
constexpr ULONG kClassDispositionInformation = 13;  // FileDispositionInformation

// The fixed head of FILE_DIRECTORY_INFORMATION; the name follows it.
struct DirectoryInformation {
  ULONG nextEntryOffset;
  ULONG fileIndex;
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  LARGE_INTEGER endOfFile, allocationSize;
  ULONG fileAttributes;
  ULONG fileNameLength;
  WCHAR fileName[1];
};

struct BasicInformation {
  LARGE_INTEGER creationTime, lastAccessTime, lastWriteTime, changeTime;
  ULONG fileAttributes;
};

DWORD ToWin32(NTSTATUS status) {
  if (status == kStatusSuccess) return 0;
  const DWORD error = Nt().toDosError ? Nt().toDosError(status) : ERROR_GEN_FAILURE;
  return error ? error : ERROR_GEN_FAILURE;
}

bool IsNotFound(NTSTATUS status) {
  return status == kStatusNameNotFound || status == kStatusPathNotFound ||
         status == kStatusNoSuchFile;
}

// The share mode of the folders of a way: no delete sharing, so that none
// of them is renamed, deleted or replaced while it is held.
constexpr ULONG kWayShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kEntryShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// NtCreateFile of `name` relative to `root` (or a full NT path with no
// root), never following a reparse point at `name` itself.
NTSTATUS OpenRelative(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, ULONG attributes, UniqueHandle* out) {
  if (!Nt().Ready()) return static_cast<NTSTATUS>(0xC0000002L);  // STATUS_NOT_IMPLEMENTED
  UNICODE_STRING text;
  text.Buffer = const_cast<PWSTR>(name.c_str());
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io = {};
  HANDLE handle = nullptr;
  const NTSTATUS status = Nt().create(
      &handle, access | SYNCHRONIZE, &object, &io, nullptr, attributes, share, disposition,
      options | kOptSynchronous | kOptOpenReparse | kOptBackupIntent, nullptr, 0);
  if (status == kStatusSuccess) out->Reset(handle);
  return status;
}

bool HandleAttributes(HANDLE handle, uint32_t* attributes) {
  BasicInformation basic = {};
  IO_STATUS_BLOCK io = {};
  if (Nt().queryInformation(handle, &io, &basic, sizeof(basic), kClassBasicInformation) !=
      kStatusSuccess)
    return false;
  *attributes = basic.fileAttributes;
  return true;
}

// Reads listing entries of `folder` matching `mask` (all when empty) into
// `entries`; false when the listing did not end normally.
bool QueryEntries(HANDLE folder, const std::wstring& mask, std::vector<FolderEntry>* entries) {
  if (!Nt().Ready()) return false;
  std::vector<ULONGLONG> buffer(8192);  // 64 KB, aligned for the entries
  UNICODE_STRING pattern;
  pattern.Buffer = const_cast<PWSTR>(mask.c_str());
  pattern.Length = pattern.MaximumLength = static_cast<USHORT>(mask.size() * sizeof(wchar_t));
  bool first = true;
  for (;;) {
    IO_STATUS_BLOCK io = {};
    const NTSTATUS status = Nt().queryDirectory(
        folder, nullptr, nullptr, nullptr, &io, buffer.data(),
        static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG)), kClassDirectoryInformation, FALSE,
        first && !mask.empty() ? &pattern : nullptr, first ? TRUE : FALSE);
    first = false;
    if (status == kStatusNoMoreFiles) return true;
    if (status == kStatusNoSuchFile) return true;  // the mask matched nothing
    if (status != kStatusSuccess) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.data());
    for (size_t at = 0;;) {
      const auto* info = reinterpret_cast<const DirectoryInformation*>(bytes + at);
      std::wstring name(info->fileName, info->fileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..")
        entries->push_back(
            {name, info->fileAttributes, static_cast<uint64_t>(info->endOfFile.QuadPart)});
      if (info->nextEntryOffset == 0) break;
      at += info->nextEntryOffset;
    }
  }
}

// The attributes of `name` as the folder lists it; kAttributesInvalid when
// it is not listed. The lookup goes through a handle of its own, since a
// folder handle keeps the first search mask it was given, and with a
// wildcard in the mask, so that the entry's own attributes are read: some
// file systems (Wine's view of a host link, for one) report a link only
// there, and resolve an exact name through it.
uint32_t ListedAttributes(HANDLE folder, const std::wstring& name) {
  UniqueHandle lookup;
  if (OpenRelative(folder, L"", FILE_LIST_DIRECTORY, kEntryShare, kFileOpen, kOptDirectory, 0,
                   &lookup) != kStatusSuccess)
    return kAttributesInvalid;
  std::wstring mask = name;
  if (!mask.empty()) mask.back() = L'?';
  std::vector<FolderEntry> entries;
  if (!QueryEntries(lookup.Get(), mask, &entries)) return kAttributesInvalid;
  for (const FolderEntry& entry : entries)
    if (EqualsNoCase(entry.name, name)) return entry.attributes;
  return kAttributesInvalid;
}

// The NT name of the volume root of a full path and the names below it;
// false for what FoldersOnTheWay refuses.
bool SplitWay(const std::wstring& path, std::wstring* root, std::vector<std::wstring>* names) {
  // The way to an entry one step below `path`, that step left out: so a
  // volume root (the parent of C:\x) is a way of no folders.
  std::vector<std::wstring> folders = FoldersOnTheWay(WithTrailingSlash(path) + L"x");
  if (folders.empty()) return false;
  const size_t cut = folders.front().find_last_of(L"\\/");
  if (cut == std::wstring::npos) return false;
  std::wstring volume = folders.front().substr(0, cut + 1);
  folders.pop_back();
  for (wchar_t& c : volume)
    if (c == L'/') c = L'\\';
  if (volume.compare(0, 4, L"\\\\?\\") == 0) {
    volume = volume.substr(4);
    if (volume.compare(0, 4, L"UNC\\") == 0 || volume.compare(0, 4, L"unc\\") == 0)
      volume = L"UNC\\" + volume.substr(4);
  } else if (volume.compare(0, 2, L"\\\\") == 0) {
    volume = L"UNC\\" + volume.substr(2);
  }
  *root = L"\\??\\" + volume;
  names->clear();
  for (const std::wstring& folder : folders) names->push_back(FileNamePart(folder));
  return true;
}

bool MarkForDeletion(HANDLE handle, DWORD* error) {
  IO_STATUS_BLOCK io = {};
  BOOLEAN remove = TRUE;
  const NTSTATUS status =
      Nt().setInformation(handle, &io, &remove, sizeof(remove), kClassDispositionInformation);
  *error = ToWin32(status);
  return status == kStatusSuccess;
}

void ClearReadOnly(HANDLE handle, uint32_t attributes) {
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return;
  BasicInformation basic = {};  // zero times: unchanged
  basic.fileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) & ~kAttributeReparsePoint;
  if (basic.fileAttributes == 0) basic.fileAttributes = FILE_ATTRIBUTE_NORMAL;
  IO_STATUS_BLOCK io = {};
  Nt().setInformation(handle, &io, &basic, sizeof(basic), kClassBasicInformation);
}

constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr ACCESS_MASK kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

}  // namespace

WayResult OpenFolderNoLinks(const std::wstring& path, UniqueHandle* folder, bool createMissing,
                            bool forDelete) {
  WayResult result;
  std::wstring root;
  std::vector<std::wstring> names;
  if (!SplitWay(path, &root, &names)) {
    result.open = WayOpen::kNotFullPath;
    return result;
  }
  UniqueHandle current;
  NTSTATUS status = OpenRelative(nullptr, root, kFolderAccess, kEntryShare, kFileOpen,
                                 kOptDirectory, 0, &current);
  if (status != kStatusSuccess) {
    result.error = ToWin32(status);
    result.at = root.substr(4);
    return result;
  }
  std::wstring reached = root.substr(4);
  if (reached.compare(0, 4, L"UNC\\") == 0) reached = L"\\\\" + reached.substr(4);
  reached.pop_back();
  for (size_t i = 0; i < names.size(); ++i) {
    reached += L"\\" + names[i];
    const bool last = i + 1 == names.size();
    const ACCESS_MASK access = kFolderAccess | (last && forDelete ? DELETE : 0);
    UniqueHandle next;
    status = OpenRelative(current.Get(), names[i], access, kWayShare, kFileOpen, 0, 0, &next);
    if (IsNotFound(status) && createMissing) {
      status = OpenRelative(current.Get(), names[i], access, kWayShare, kFileCreate, kOptDirectory,
                            FILE_ATTRIBUTE_NORMAL, &next);
      log::Action("files", L"create folder", reached, static_cast<long>(ToWin32(status)));
      if (status == kStatusSuccess) {
        current = std::move(next);
        continue;
      }
    }
    if (IsNotFound(status)) {
      result.open = WayOpen::kMissing;
      result.at = reached;
      return result;
    }
    if (status != kStatusSuccess) {
      result.error = ToWin32(status);
      result.at = reached;
      return result;
    }
    uint32_t own = 0;
    if (!HandleAttributes(next.Get(), &own)) {
      result.error = ERROR_CANT_ACCESS_FILE;
      result.at = reached;
      return result;
    }
    if (IsLink(own) || IsLink(ListedAttributes(current.Get(), names[i]))) {
      result.open = last ? WayOpen::kTopIsLink : WayOpen::kLinkOnWay;
      result.at = reached;
      return result;
    }
    if (!(own & FILE_ATTRIBUTE_DIRECTORY)) {
      result.error = ERROR_DIRECTORY;
      result.at = reached;
      return result;
    }
    current = std::move(next);
  }
  result.open = WayOpen::kOpened;
  *folder = std::move(current);
  return result;
}

bool ListFolderEntries(HANDLE folder, std::vector<FolderEntry>* entries) {
  UniqueHandle listing;
  // A handle of its own: the search state is kept per handle.
  if (OpenRelative(folder, L"", FILE_LIST_DIRECTORY, kEntryShare, kFileOpen, kOptDirectory, 0,
                   &listing) != kStatusSuccess)
    return false;
  return QueryEntries(listing.Get(), std::wstring(), entries);
}

EntryKind OpenEntry(HANDLE folder, const std::wstring& name, uint32_t listed, UniqueHandle* entry,
                    DWORD* error) {
  DWORD ignored = 0;
  if (!error) error = &ignored;
  *error = 0;
  if (name.empty() || name == L"." || name == L".." ||
      name.find_first_of(L"\\/:") != std::wstring::npos) {
    *error = ERROR_INVALID_NAME;
    return EntryKind::kFailed;
  }
  const NTSTATUS status = OpenRelative(folder, name, kDeleteAccess | kFolderAccess, kEntryShare,
                                       kFileOpen, 0, 0, entry);
  NTSTATUS opened = status;
  if (status != kStatusSuccess && !IsNotFound(status)) {
    // A file may refuse listing access (a running program); delete access
    // alone is enough to remove it.
    opened = OpenRelative(folder, name, kDeleteAccess, kEntryShare, kFileOpen, 0, 0, entry);
  }
  if (IsNotFound(opened)) return EntryKind::kMissing;
  if (opened != kStatusSuccess) {
    *error = ToWin32(opened);
    return EntryKind::kFailed;
  }
  uint32_t own = 0;
  if (!HandleAttributes(entry->Get(), &own)) {
    *error = ERROR_CANT_ACCESS_FILE;
    return EntryKind::kFailed;
  }
  if (IsLink(own)) return EntryKind::kLink;
  if (listed == kAttributesInvalid) listed = ListedAttributes(folder, name);
  if (IsLink(listed)) {
    // Listed as a link, yet the handle is not one: the file system followed
    // it, and the handle is its target. Nothing may be done through it.
    entry->Reset();
    *error = ERROR_CANT_ACCESS_FILE;
    return EntryKind::kLink;
  }
  return (own & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::kFolder : EntryKind::kFile;
}

DWORD DeleteOpenedEntry(HANDLE entry) {
  if (!entry) return ERROR_CANT_ACCESS_FILE;  // a link whose own handle could not be had
  uint32_t attributes = 0;
  if (HandleAttributes(entry, &attributes)) ClearReadOnly(entry, attributes);
  DWORD error = 0;
  MarkForDeletion(entry, &error);
  return error;
}

DWORD DeleteEntry(HANDLE folder, const std::wstring& name) {
  UniqueHandle entry;
  DWORD error = 0;
  const EntryKind kind = OpenEntry(folder, name, kAttributesInvalid, &entry, &error);
  if (kind == EntryKind::kMissing) return 0;
  if (kind == EntryKind::kFailed) return error;
  return DeleteOpenedEntry(entry.Get());
}

DWORD DeleteFileNoLinks(const char* category, const std::wstring& what, const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return ERROR_INVALID_NAME;
  UniqueHandle folder;
  const WayResult way = OpenFolderNoLinks(path.substr(0, slash), &folder);
  if (way.open == WayOpen::kMissing) return 0;
  if (way.open == WayOpen::kLinkOnWay || way.open == WayOpen::kTopIsLink) {
    log::Action(category, what + L" refused: link on the way", way.at, ERROR_CANT_ACCESS_FILE);
    return ERROR_CANT_ACCESS_FILE;
  }
  if (way.open != WayOpen::kOpened) {
    const DWORD error = way.error ? way.error : ERROR_BAD_PATHNAME;
    log::Action(category, what + L" refused: folder not opened", path, static_cast<long>(error));
    return error;
  }
  UniqueHandle entry;
  DWORD error = 0;
  const EntryKind kind =
      OpenEntry(folder.Get(), path.substr(slash + 1), kAttributesInvalid, &entry, &error);
  if (kind == EntryKind::kMissing) return 0;
  if (kind == EntryKind::kFolder) error = ERROR_DIRECTORY;
  if (kind == EntryKind::kFile || kind == EntryKind::kLink) error = DeleteOpenedEntry(entry.Get());
  entry.Reset();
  log::Action(category, kind == EntryKind::kLink ? what + L" (a link: the link only)" : what, path,
              static_cast<long>(error));
  return error;
}

DWORD WriteNewFileIn(HANDLE folder, const std::wstring& name, const std::string& bytes) {
  DWORD error = DeleteEntry(folder, name);
  if (error) return error;
  UniqueHandle file;
  const NTSTATUS status =
      OpenRelative(folder, name, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                   kFileCreate, kOptNonDirectory, FILE_ATTRIBUTE_NORMAL, &file);
  if (status != kStatusSuccess) return ToWin32(status);
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  if (ok) return 0;
  error = ::GetLastError();
  DWORD ignored = 0;
  MarkForDeletion(file.Get(), &ignored);  // nothing half-written stays
  return error ? error : ERROR_WRITE_FAULT;
}

DWORD CreateNewFileIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access,
                      UniqueHandle* file) {
  if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos) return ERROR_INVALID_NAME;
  return ToWin32(OpenRelative(folder, name, access | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, kFileCreate, kOptNonDirectory,
                              FILE_ATTRIBUTE_NORMAL, file));
}

namespace {

struct TreeWalk {
  const char* category;
  const TreeDeleteRules& rules;
  bool partly = false;

  void Left(const std::wstring& path, DWORD error) {
    partly = true;
    log::Action(category, L"not deleted", path, static_cast<long>(error));
    if (rules.left) rules.left(path, error);
  }

  // Deletes what is inside the open folder `folder` (at `path`); true when
  // it is empty afterwards.
  bool Below(HANDLE folder, const std::wstring& path) {
    std::vector<FolderEntry> entries;
    if (!ListFolderEntries(folder, &entries)) {
      Left(path, ERROR_CANT_ACCESS_FILE);
      return false;
    }
    bool empty = true;
    for (const FolderEntry& listed : entries) {
      const std::wstring child = path + L"\\" + listed.name;
      UniqueHandle entry;
      DWORD error = 0;
      const EntryKind kind = OpenEntry(folder, listed.name, listed.attributes, &entry, &error);
      switch (kind) {
        case EntryKind::kMissing:
          break;
        case EntryKind::kFailed:
          Left(child, error);
          empty = false;
          break;
        case EntryKind::kLink:
          error = DeleteOpenedEntry(entry.Get());
          entry.Reset();
          log::Action(category, L"remove link", child, static_cast<long>(error));
          if (error) empty = false;
          break;
        case EntryKind::kFolder:
          if (!Remove(entry, child)) empty = false;
          break;
        case EntryKind::kFile:
          if (rules.keep && rules.keep(child)) {
            log::Action(category, L"kept", child, 0);
            partly = true;
            empty = false;
            break;
          }
          if (!Remove(entry, child)) empty = false;
          break;
      }
    }
    return empty;
  }

  // Empties a folder (when it is one) and deletes it through `entry`.
  bool Remove(UniqueHandle& entry, const std::wstring& path) {
    uint32_t attributes = 0;
    HandleAttributes(entry.Get(), &attributes);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !Below(entry.Get(), path)) {
      entry.Reset();
      Left(path, ERROR_DIR_NOT_EMPTY);
      return false;
    }
    const DWORD error = DeleteOpenedEntry(entry.Get());
    entry.Reset();  // the deletion happens as the last handle closes
    if (error) {
      Left(path, error);
      return false;
    }
    log::Action(category, L"delete", path, 0);
    return true;
  }
};

}  // namespace

TreeDelete DeleteTreeNoLinks(const char* category, const std::wstring& what,
                             const std::wstring& path, const TreeDeleteRules& rules) {
  std::wstring top = path;
  while (top.size() > 3 && (top.back() == L'\\' || top.back() == L'/')) top.pop_back();
  const size_t slash = top.find_last_of(L"\\/");
  UniqueHandle parent;
  WayResult way;
  way.open = WayOpen::kNotFullPath;
  if (slash != std::wstring::npos) way = OpenFolderNoLinks(top.substr(0, slash), &parent);
  if (way.open == WayOpen::kMissing) return TreeDelete::kGone;
  if (way.open != WayOpen::kOpened || FoldersOnTheWay(top).empty()) {
    const bool linked = way.open == WayOpen::kLinkOnWay || way.open == WayOpen::kTopIsLink;
    log::Action(category,
                what + (linked ? L" refused: link on the way" : L" refused: not a full path"),
                linked ? way.at : top, ERROR_CANT_ACCESS_FILE);
    return linked || way.open == WayOpen::kNotFullPath ? TreeDelete::kRefused : TreeDelete::kFailed;
  }
  UniqueHandle entry;
  DWORD error = 0;
  const EntryKind kind =
      OpenEntry(parent.Get(), top.substr(slash + 1), kAttributesInvalid, &entry, &error);
  switch (kind) {
    case EntryKind::kMissing:
      return TreeDelete::kGone;
    case EntryKind::kFailed:
      log::Action(category, what, top, static_cast<long>(error));
      return TreeDelete::kFailed;
    case EntryKind::kLink:
      // The folder itself is a link: only the link goes, never what it points to.
      error = DeleteOpenedEntry(entry.Get());
      entry.Reset();
      log::Action(category, L"remove link", top, static_cast<long>(error));
      return error ? TreeDelete::kFailed : TreeDelete::kTopLinkGone;
    case EntryKind::kFile:
      log::Action(category, what + L": not a folder", top, ERROR_DIRECTORY);
      return TreeDelete::kFailed;
    case EntryKind::kFolder:
      break;
  }
  TreeWalk walk{category, rules};
  const bool gone = walk.Remove(entry, top);
  return gone && !walk.partly ? TreeDelete::kGone : TreeDelete::kPartly;
}

}  // namespace lum
