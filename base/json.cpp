#include "base/json.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lum {

namespace {

const JsonValue& NullValue() {
  static const JsonValue null;
  return null;
}

// 2^63 and 2^64 as doubles: the bounds for reals that read as integers.
constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo64 = 18446744073709551616.0;

bool Whole(double d) { return std::isfinite(d) && std::floor(d) == d; }

}  // namespace

JsonValue JsonValue::Object() {
  JsonValue v;
  v.type_ = Type::kObject;
  return v;
}

JsonValue JsonValue::Array() {
  JsonValue v;
  v.type_ = Type::kArray;
  return v;
}

bool JsonValue::IsInt() const {
  switch (type_) {
    case Type::kInt: return int_ >= INT32_MIN && int_ <= INT32_MAX;
    case Type::kReal: return Whole(real_) && real_ >= INT32_MIN && real_ <= INT32_MAX;
    default: return false;
  }
}

bool JsonValue::IsUInt64() const {
  switch (type_) {
    case Type::kInt: return int_ >= 0;
    case Type::kUInt: return true;
    case Type::kReal: return Whole(real_) && real_ >= 0 && real_ < kTwo64;
    default: return false;
  }
}

bool JsonValue::IsIntegral() const {
  switch (type_) {
    case Type::kInt:
    case Type::kUInt: return true;
    case Type::kReal: return Whole(real_) && real_ >= -kTwo63 && real_ < kTwo64;
    default: return false;
  }
}

bool JsonValue::AsBool() const {
  switch (type_) {
    case Type::kBool: return bool_;
    case Type::kInt: return int_ != 0;
    case Type::kUInt: return true;
    case Type::kReal: return real_ != 0;
    default: return false;
  }
}

int64_t JsonValue::AsInt64() const {
  switch (type_) {
    case Type::kBool: return bool_ ? 1 : 0;
    case Type::kInt: return int_;
    case Type::kUInt: return INT64_MAX;
    case Type::kReal:
      if (std::isnan(real_)) return 0;
      if (real_ >= kTwo63) return INT64_MAX;
      if (real_ < -kTwo63) return INT64_MIN;
      return static_cast<int64_t>(real_);
    default: return 0;
  }
}

int JsonValue::AsInt() const {
  const int64_t v = AsInt64();
  return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int>(v);
}

uint64_t JsonValue::AsUInt64() const {
  switch (type_) {
    case Type::kBool: return bool_ ? 1 : 0;
    case Type::kInt: return int_ < 0 ? 0 : static_cast<uint64_t>(int_);
    case Type::kUInt: return uint_;
    case Type::kReal:
      if (std::isnan(real_) || real_ <= 0) return 0;
      if (real_ >= kTwo64) return UINT64_MAX;
      return static_cast<uint64_t>(real_);
    default: return 0;
  }
}

double JsonValue::AsDouble() const {
  switch (type_) {
    case Type::kBool: return bool_ ? 1 : 0;
    case Type::kInt: return static_cast<double>(int_);
    case Type::kUInt: return static_cast<double>(uint_);
    case Type::kReal: return real_;
    default: return 0;
  }
}

std::string JsonValue::AsString() const {
  switch (type_) {
    case Type::kString: return text_;
    case Type::kBool: return bool_ ? "true" : "false";
    case Type::kInt: return std::to_string(int_);
    case Type::kUInt: return std::to_string(uint_);
    case Type::kReal: return WriteJson(*this);
    default: return std::string();  // null, and containers have no scalar text
  }
}

bool JsonValue::Has(const std::string& name) const {
  return type_ == Type::kObject && members_.count(name) != 0;
}

const JsonValue& JsonValue::operator[](const std::string& name) const {
  if (type_ != Type::kObject) return NullValue();
  const auto found = members_.find(name);
  return found == members_.end() ? NullValue() : found->second;
}

const JsonValue& JsonValue::operator[](size_t index) const {
  return type_ == Type::kArray && index < items_.size() ? items_[index] : NullValue();
}

JsonValue& JsonValue::operator[](const std::string& name) {
  if (type_ != Type::kObject) *this = Object();
  return members_[name];
}

void JsonValue::Append(JsonValue item) {
  if (type_ != Type::kArray) *this = Array();
  items_.push_back(std::move(item));
}

size_t JsonValue::size() const {
  if (type_ == Type::kArray) return items_.size();
  if (type_ == Type::kObject) return members_.size();
  return 0;
}

std::vector<std::string> JsonValue::MemberNames() const {
  std::vector<std::string> names;
  names.reserve(members_.size());
  for (const auto& member : members_) names.push_back(member.first);
  return names;
}

// ---- reading ----

namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : p_(text.data()), begin_(p_), end_(p_ + text.size()) {}

  bool Document(JsonValue* root) {
    if (end_ - p_ >= 3 && static_cast<unsigned char>(p_[0]) == 0xEF &&
        static_cast<unsigned char>(p_[1]) == 0xBB && static_cast<unsigned char>(p_[2]) == 0xBF)
      p_ += 3;
    if (!Value(root, 0)) return false;
    if (!Space()) return false;
    return p_ == end_ || Fail("text after the document");
  }

  std::string Error() const {
    return "at byte " + std::to_string(errorAt_ - begin_) + ": " + error_;
  }

 private:
  bool Fail(const char* what) {
    if (error_.empty()) {
      error_ = what;
      errorAt_ = p_;
    }
    return false;
  }

  // Whitespace and comments; false only for an unclosed block comment.
  bool Space() {
    while (p_ < end_) {
      const char c = *p_;
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
        ++p_;
      } else if (c == '/' && end_ - p_ >= 2 && p_[1] == '/') {
        while (p_ < end_ && *p_ != '\n') ++p_;
      } else if (c == '/' && end_ - p_ >= 2 && p_[1] == '*') {
        const char* at = p_;
        p_ += 2;
        while (end_ - p_ >= 2 && !(p_[0] == '*' && p_[1] == '/')) ++p_;
        if (end_ - p_ < 2) {
          p_ = at;
          return Fail("unclosed comment");
        }
        p_ += 2;
      } else {
        break;
      }
    }
    return true;
  }

  bool Literal(const char* word) {
    const char* q = p_;
    for (; *word; ++word, ++q)
      if (q == end_ || *q != *word) return Fail("unknown word");
    p_ = q;
    return true;
  }

  bool Value(JsonValue* out, int depth) {
    if (!Space()) return false;
    if (p_ == end_) return Fail("a value is missing");
    switch (*p_) {
      case '{': return ObjectValue(out, depth + 1);
      case '[': return ArrayValue(out, depth + 1);
      case '"': {
        std::string text;
        if (!String(&text)) return false;
        *out = JsonValue(std::move(text));
        return true;
      }
      case 't': return Literal("true") && (*out = JsonValue(true), true);
      case 'f': return Literal("false") && (*out = JsonValue(false), true);
      case 'n': return Literal("null") && (*out = JsonValue(), true);
      default: return Number(out);
    }
  }

  bool ObjectValue(JsonValue* out, int depth) {
    if (depth > kJsonMaxDepth) return Fail("nested too deeply");
    ++p_;
    *out = JsonValue::Object();
    if (!Space()) return false;
    if (p_ < end_ && *p_ == '}') return ++p_, true;
    for (;;) {
      if (!Space()) return false;
      if (p_ == end_ || *p_ != '"') return Fail("a member name is missing");
      std::string name;
      if (!String(&name) || !Space()) return false;
      if (p_ == end_ || *p_ != ':') return Fail("':' is missing");
      ++p_;
      JsonValue member;
      if (!Value(&member, depth)) return false;
      (*out)[name] = std::move(member);
      if (!Space()) return false;
      if (p_ == end_) return Fail("the object is not closed");
      if (*p_ == '}') return ++p_, true;
      if (*p_ != ',') return Fail("',' or '}' is missing");
      ++p_;
    }
  }

  bool ArrayValue(JsonValue* out, int depth) {
    if (depth > kJsonMaxDepth) return Fail("nested too deeply");
    ++p_;
    *out = JsonValue::Array();
    if (!Space()) return false;
    if (p_ < end_ && *p_ == ']') return ++p_, true;
    for (;;) {
      JsonValue item;
      if (!Value(&item, depth)) return false;
      out->Append(std::move(item));
      if (!Space()) return false;
      if (p_ == end_) return Fail("the array is not closed");
      if (*p_ == ']') return ++p_, true;
      if (*p_ != ',') return Fail("',' or ']' is missing");
      ++p_;
    }
  }

  bool Hex4(unsigned* unit) {
    if (end_ - p_ < 4) return Fail("a \\u escape is cut short");
    unsigned v = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = p_[i];
      v <<= 4;
      if (c >= '0' && c <= '9') v |= c - '0';
      else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
      else return Fail("a \\u escape has a non-hex digit");
    }
    p_ += 4;
    *unit = v;
    return true;
  }

  static void PutUtf8(unsigned cp, std::string* out) {
    if (cp < 0x80) {
      *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      *out += static_cast<char>(0xC0 | (cp >> 6));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *out += static_cast<char>(0xE0 | (cp >> 12));
      *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (cp >> 18));
      *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  bool String(std::string* out) {
    ++p_;  // the opening quote
    for (;;) {
      if (p_ == end_) return Fail("the string is not closed");
      const char c = *p_;
      if (c == '"') return ++p_, true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character in a string");
      if (c != '\\') {
        *out += c;
        ++p_;
        continue;
      }
      if (++p_ == end_) return Fail("the string is not closed");
      const char e = *p_++;
      switch (e) {
        case '"': *out += '"'; break;
        case '\\': *out += '\\'; break;
        case '/': *out += '/'; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u': {
          unsigned cp = 0;
          if (!Hex4(&cp)) return false;
          if (cp >= 0xDC00 && cp <= 0xDFFF) return Fail("a lone low surrogate");
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            unsigned low = 0;
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u')
              return Fail("a high surrogate without its low half");
            p_ += 2;
            if (!Hex4(&low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("a high surrogate without its low half");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          PutUtf8(cp, out);
          break;
        }
        default: --p_; return Fail("an unknown escape");
      }
    }
  }

  static bool Digit(char c) { return c >= '0' && c <= '9'; }

  bool Number(JsonValue* out) {
    const char* start = p_;
    const char* q = p_;
    if (q < end_ && *q == '-') ++q;
    if (q == end_ || !Digit(*q)) return Fail("not a value");
    if (*q == '0') {
      ++q;
    } else {
      while (q < end_ && Digit(*q)) ++q;
    }
    bool whole = true;
    if (q < end_ && *q == '.') {
      whole = false;
      ++q;
      if (q == end_ || !Digit(*q)) return p_ = q, Fail("a digit must follow '.'");
      while (q < end_ && Digit(*q)) ++q;
    }
    if (q < end_ && (*q == 'e' || *q == 'E')) {
      whole = false;
      ++q;
      if (q < end_ && (*q == '+' || *q == '-')) ++q;
      if (q == end_ || !Digit(*q)) return p_ = q, Fail("an exponent has no digits");
      while (q < end_ && Digit(*q)) ++q;
    }
    // The C library reads from a terminated copy: the input need not be.
    const std::string digits(start, q);
    p_ = q;
    if (whole) {
      errno = 0;
      char* stop = nullptr;
      if (digits[0] == '-') {
        const long long v = std::strtoll(digits.c_str(), &stop, 10);
        if (errno == 0) return *out = JsonValue(static_cast<int64_t>(v)), true;
      } else {
        const unsigned long long v = std::strtoull(digits.c_str(), &stop, 10);
        if (errno == 0) return *out = JsonValue(static_cast<uint64_t>(v)), true;
      }
    }
    errno = 0;
    const double d = std::strtod(digits.c_str(), nullptr);
    if (!std::isfinite(d)) return p_ = start, Fail("a number beyond a double's range");
    *out = JsonValue(d);
    return true;
  }

  const char* p_;
  const char* const begin_;
  const char* const end_;
  std::string error_;
  const char* errorAt_ = nullptr;
};

}  // namespace

bool ParseJson(const std::string& text, JsonValue* root, std::string* error) {
  Parser parser(text);
  JsonValue parsed;
  if (!parser.Document(&parsed)) {
    *root = JsonValue();
    if (error) *error = parser.Error();
    return false;
  }
  *root = std::move(parsed);
  return true;
}

// ---- writing ----

namespace {

void PutEscape(unsigned unit, std::string* out) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", unit & 0xFFFF);
  *out += buf;
}

// Length of the well-formed UTF-8 sequence at s (0 when it is not one) and its code point.
size_t Utf8Sequence(const unsigned char* s, size_t left, unsigned* cp) {
  const unsigned c = s[0];
  size_t n = 0;
  unsigned v = 0;
  if (c >= 0xC2 && c <= 0xDF) n = 2, v = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, v = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, v = c & 0x07;
  else return 0;
  if (left < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    v = (v << 6) | (s[i] & 0x3F);
  }
  const bool overlong = (n == 3 && v < 0x800) || (n == 4 && v < 0x10000);
  if (overlong || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return n;
}

void PutString(const std::string& text, JsonText mode, std::string* out) {
  *out += '"';
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    const unsigned c = s[i];
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += static_cast<char>(c);
    } else if (c == '\b') {
      *out += "\\b";
    } else if (c == '\f') {
      *out += "\\f";
    } else if (c == '\n') {
      *out += "\\n";
    } else if (c == '\r') {
      *out += "\\r";
    } else if (c == '\t') {
      *out += "\\t";
    } else if (c < 0x20) {
      PutEscape(c, out);
    } else if (c < 0x80 || mode == JsonText::kUtf8) {
      *out += static_cast<char>(c);
    } else {
      unsigned cp = 0;
      const size_t n = Utf8Sequence(s + i, size - i, &cp);
      if (n == 0) {
        PutEscape(0xFFFD, out);  // a stray byte: text must stay valid JSON
        ++i;
        continue;
      }
      if (cp >= 0x10000) {
        PutEscape(0xD800 + ((cp - 0x10000) >> 10), out);
        PutEscape(0xDC00 + ((cp - 0x10000) & 0x3FF), out);
      } else {
        PutEscape(cp, out);
      }
      i += n;
      continue;
    }
    ++i;
  }
  *out += '"';
}

void Put(const JsonValue& value, JsonText mode, std::string* out) {
  switch (value.type()) {
    case JsonValue::Type::kNull: *out += "null"; break;
    case JsonValue::Type::kBool: *out += value.AsBool() ? "true" : "false"; break;
    case JsonValue::Type::kInt:
    case JsonValue::Type::kUInt: *out += value.AsString(); break;
    case JsonValue::Type::kReal: {
      const double d = value.AsDouble();
      if (!std::isfinite(d)) {
        *out += "null";  // JSON has no spelling for these
        break;
      }
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g", d);
      std::string text(buf);
      if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
      *out += text;
      break;
    }
    case JsonValue::Type::kString: PutString(value.AsString(), mode, out); break;
    case JsonValue::Type::kArray: {
      *out += '[';
      bool first = true;
      for (const JsonValue& item : value) {
        if (!first) *out += ',';
        first = false;
        Put(item, mode, out);
      }
      *out += ']';
      break;
    }
    case JsonValue::Type::kObject: {
      *out += '{';
      bool first = true;
      for (const auto& member : value.Members()) {
        if (!first) *out += ',';
        first = false;
        PutString(member.first, mode, out);
        *out += ':';
        Put(member.second, mode, out);
      }
      *out += '}';
      break;
    }
  }
}

}  // namespace

std::string WriteJson(const JsonValue& value, JsonText text) {
  std::string out;
  Put(value, text, &out);
  return out;
}

}  // namespace lum
