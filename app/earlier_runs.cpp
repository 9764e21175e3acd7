#include "app/earlier_runs.h"

#include "base/text.h"

namespace lum {

namespace {

// A decimal number at `at` (with a leading '-' when `signedNumber`: tick
// counts are written as signed); moves `at` past it. False when none.
bool TakeNumber(const std::wstring& name, size_t* at, bool signedNumber) {
  size_t i = *at;
  if (signedNumber && i < name.size() && name[i] == L'-') ++i;
  const size_t digits = i;
  while (i < name.size() && name[i] >= L'0' && name[i] <= L'9') ++i;
  if (i == digits) return false;
  *at = i;
  return true;
}

bool Take(const std::wstring& name, size_t* at, const std::wstring& text) {
  if (name.compare(*at, text.size(), text) != 0) return false;
  *at += text.size();
  return true;
}

// "[_<n>]" and the end of the name: the suffix a taken name gets.
bool EndsWithOptionalCounter(const std::wstring& name, size_t at) {
  if (at == name.size()) return true;
  return Take(name, &at, L"_") && TakeNumber(name, &at, false) && at == name.size();
}

}  // namespace

EarlierRunFolder KindOfEarlierRunFolder(const std::wstring& name, bool inProgramFiles) {
  size_t at = 0;
  if (inProgramFiles) {
    return TakeNumber(name, &at, false) && Take(name, &at, L"_") && TakeNumber(name, &at, false) &&
                   at == name.size()
               ? EarlierRunFolder::kRelocation
               : EarlierRunFolder::kNone;
  }
  if (StartsWithNoCase(name, L"Lum_install_")) {
    at = 12;
    return TakeNumber(name, &at, false) && Take(name, &at, L"_") && TakeNumber(name, &at, true) &&
                   EndsWithOptionalCounter(name, at)
               ? EarlierRunFolder::kWork
               : EarlierRunFolder::kNone;
  }
  return TakeNumber(name, &at, true) && Take(name, &at, L"_") && TakeNumber(name, &at, true) &&
                 Take(name, &at, L"_base") && EndsWithOptionalCounter(name, at)
             ? EarlierRunFolder::kBaseModule
             : EarlierRunFolder::kNone;
}

}  // namespace lum
