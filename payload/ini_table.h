// A parsed UTF-16 INI resource: ordered sections, each a key -> value map.
// Names and keys are case-sensitive; a later duplicate key wins; keys before
// the first section belong to the section with the empty name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lum {

class IniTable {
 public:
  using KeyMap = std::map<std::wstring, std::wstring>;

  // Resource size limit in bytes: input whose size plus one exceeds it is refused.
  static constexpr size_t kMaxBytes = 1000000;

  // Parses UTF-16LE bytes (with or without a leading BOM). Returns true when
  // at least one section was read; false also for input of kMaxBytes or more.
  bool Parse(const uint8_t* data, size_t size);

#ifdef _WIN32
  // Loads resource `type`/`id` of the running module and parses it.
  bool LoadFromResource(const wchar_t* type, int id);
  // Loads the resource into a fresh table and tells whether `name` exists.
  static bool HasSection(const wchar_t* type, int id, const std::wstring& name);
#endif

  std::wstring Value(const std::wstring& section, const std::wstring& key,
                     const std::wstring& def = std::wstring()) const;
  // Decimal like _wtoi (optional sign, leading digits, 0 when none), or `def`
  // when the section or key is missing.
  int IntValue(const std::wstring& section, const std::wstring& key, int def) const;
  // Copies the section's key/value map into `out`; false when it is missing.
  bool Section(const std::wstring& name, KeyMap& out) const;
  bool HasSection(const std::wstring& name) const;
  bool Contains(const std::wstring& section, const std::wstring& key) const;
  const std::vector<std::wstring>& SectionNames() const { return order_; }
  bool Empty() const { return order_.empty(); }
  void Clear();

 private:
  std::vector<std::wstring> order_;
  std::map<std::wstring, KeyMap> sections_;
};

// _wtoi semantics on a wide string: leading blanks, optional sign, digits.
int ParseDecimal(const std::wstring& text);

}  // namespace lum
