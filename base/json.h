// JSON documents: what peers answer (servers, browser files, stored records)
// and what the installer writes for them. Built on the C library alone, so
// the installer carries no stream or locale code for it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace lum {

class JsonValue {
 public:
  enum class Type : uint8_t { kNull, kBool, kInt, kUInt, kReal, kString, kArray, kObject };

  JsonValue() = default;
  JsonValue(bool value) : type_(Type::kBool), bool_(value) {}
  JsonValue(double value) : type_(Type::kReal), real_(value) {}
  JsonValue(const char* text) : type_(Type::kString), text_(text) {}
  JsonValue(std::string text) : type_(Type::kString), text_(std::move(text)) {}
  // kInt holds every integer that fits int64; kUInt only those above it.
  template <typename T, typename std::enable_if<std::is_integral<T>::value &&
                                                    !std::is_same<T, bool>::value,
                                                int>::type = 0>
  JsonValue(T value) {
    if (std::is_signed<T>::value || static_cast<uint64_t>(value) <= INT64_MAX) {
      type_ = Type::kInt;
      int_ = static_cast<int64_t>(value);
    } else {
      type_ = Type::kUInt;
      uint_ = static_cast<uint64_t>(value);
    }
  }
  static JsonValue Object();
  static JsonValue Array();

  Type type() const { return type_; }
  bool IsNull() const { return type_ == Type::kNull; }
  bool IsBool() const { return type_ == Type::kBool; }
  bool IsString() const { return type_ == Type::kString; }
  bool IsArray() const { return type_ == Type::kArray; }
  bool IsObject() const { return type_ == Type::kObject; }
  bool IsNumber() const { return type_ == Type::kInt || type_ == Type::kUInt || type_ == Type::kReal; }
  // A whole number (a real one counts when it has no fraction) in range.
  bool IsInt() const;
  bool IsUInt64() const;
  bool IsIntegral() const;

  // Conversions never fail: a value of another type gives 0, false or "";
  // a number out of range saturates.
  bool AsBool() const;
  int AsInt() const;
  int64_t AsInt64() const;
  uint64_t AsUInt64() const;
  double AsDouble() const;
  // Text of a scalar: strings as they are, numbers in decimal, "true"/"false".
  std::string AsString() const;

  // Members and items; a missing one reads as null.
  bool Has(const std::string& name) const;
  const JsonValue& operator[](const std::string& name) const;
  const JsonValue& operator[](const char* name) const { return (*this)[std::string(name)]; }
  const JsonValue& operator[](size_t index) const;
  const JsonValue& operator[](int index) const { return (*this)[static_cast<size_t>(index)]; }
  // Makes this an object when it is null; adds the member when missing.
  JsonValue& operator[](const std::string& name);
  JsonValue& operator[](const char* name) { return (*this)[std::string(name)]; }
  void Append(JsonValue item);
  // Items of an array, members of an object; 0 for anything else.
  size_t size() const;
  const std::map<std::string, JsonValue>& Members() const { return members_; }
  std::vector<std::string> MemberNames() const;
  std::vector<JsonValue>::const_iterator begin() const { return items_.begin(); }
  std::vector<JsonValue>::const_iterator end() const { return items_.end(); }

 private:
  Type type_ = Type::kNull;
  bool bool_ = false;
  int64_t int_ = 0;
  uint64_t uint_ = 0;
  double real_ = 0;
  std::string text_;
  std::vector<JsonValue> items_;
  std::map<std::string, JsonValue> members_;  // written in key order
};

// Deeper nesting than this is refused: a hostile peer must not exhaust the stack.
constexpr int kJsonMaxDepth = 200;

// Strict JSON, plus // and /* */ comments and a leading UTF-8 byte order mark.
// A repeated member keeps its last value. On failure *root is null and *error
// (when given) says what was wrong where.
bool ParseJson(const std::string& text, JsonValue* root, std::string* error = nullptr);

enum class JsonText { kUtf8, kAsciiOnly };
// Compact text, members in key order. kAsciiOnly writes every non-ASCII
// character as \u escapes (UTF-16 pairs beyond the BMP).
std::string WriteJson(const JsonValue& value, JsonText text = JsonText::kUtf8);

}  // namespace lum
