// The progress sink of archive extraction: sees every item and may skip it or
// cancel the whole extraction. Portable; the install procedure implements it.
//
// Threading: every operation is called on the thread that runs the
// extraction, never concurrently; an implementation that reads state written
// by other threads (a cancel flag) must guard it itself.
#pragma once
#include <cstdint>

namespace lum {

class IExtractCallback {
 public:
  // Answers of OnItem.
  enum ItemAnswer : int { kExtractItem = 0, kSkipItem = 1, kCancelExtraction = 2 };

  virtual int OnBegin(const wchar_t* archive, const wchar_t* destination) = 0;
  // `fileTime` is the item's modification time as a FILETIME value (100 ns
  // since 1601), or null when the archive does not define it.
  virtual int OnItem(uint32_t index, uint32_t itemCount, const wchar_t* path, bool isDirectory,
                     const uint64_t* fileTime) = 0;
  virtual int OnItemDone(uint32_t index, uint32_t itemCount, const wchar_t* path,
                         bool isDirectory) = 0;
  virtual void OnEnd(bool succeeded) = 0;

 protected:
  ~IExtractCallback() = default;
};

}  // namespace lum
