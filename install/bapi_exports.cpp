#include "install/bapi_exports.h"

namespace lum {

const char* const kBapiExportNames[kBapiExportCount] = {
    // Engine set-up (required).
    "InitEngine", "UninitEngine", "InitRegEngine", "UninitRegEngine", "SetupInstall", "Install",
    "Uninstall",
    // File system (41).
    "FSCreateFile", "FSCreateFileW", "FSReadFile", "FSWriteFile", "FSCloseHandle",
    "FSSetFilePointer", "FSGetFileSize", "FSFlushFileBuffers", "FSSetEndOfFile",
    "FSGetFileAttributesW", "FSSetFileAttributesW", "FSDeleteFile", "FSDeleteFileW", "FSMoveFileW",
    "FSMoveFileExW", "FSCopyFileW", "FSCreateDirectoryW", "FSRemoveDirectoryW", "FSFindFirstFileW",
    "FSFindNextFileW", "FSFindClose", "FSGetFileTime", "FSSetFileTime",
    "FSGetFileInformationByHandle", "FSDeviceIoControl", "FSLockFile", "FSUnlockFile",
    "FSGetFullPathNameW", "FSGetShortPathNameW", "FSGetLongPathNameW", "FSGetVolumeInformationW",
    "FSGetDiskFreeSpaceExW", "FSQueryDosDeviceW", "FSCreateHardLinkW", "FSReplaceFileW",
    "FSGetCompressedFileSizeW", "FSSetFileSecurityW", "FSGetFileSecurityW", "FSOpenFileById",
    "FSLockAll", "FSUnlockAll",
    // Registry (25).
    "BRegOpenKey", "BRegOpenKeyExW", "BRegCreateKeyExW", "BRegCloseKey", "BRegQueryValueExW",
    "BRegSetValueExW", "BRegDeleteValueW", "BRegEnumKeyExW", "BRegEnumValueW", "BRegQueryInfoKeyW",
    "BRegFlushKey", "BRegGetKeySecurity", "BRegSetKeySecurity", "BRegSaveKeyW", "BRegRestoreKeyW",
    "BRegLoadKeyW", "BRegUnLoadKeyW", "BRegNotifyChangeKeyValue", "BRegRenameKey", "BRegCopyTreeW",
    "BRegDeleteTreeW", "BRegGetValueW", "BRegSetKeyValueW", "BRegDeleteKeyW", "BRegDeleteKeyExW",
    // Locks and access.
    "FsForceKill", "DsFileUnlock", "DsGetFileLockType", "DsSetTargetAccess", "QueryFileLock",
    "QueryFileLockEx"};

}  // namespace lum
