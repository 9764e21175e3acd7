// Whole-file reads and writes for the install engine's small text files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lum {

// Reads the whole file. False (and GetLastError) when it cannot be opened or
// read completely.
bool ReadFileBytes(const std::wstring& path, std::vector<uint8_t>* bytes);
// Creates or truncates `path`, writes `bytes` and flushes them to the disk.
// False (and GetLastError) unless every byte was written and flushed.
bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

}  // namespace lum
