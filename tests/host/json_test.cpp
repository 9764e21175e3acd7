#include "base/json.h"

#include <gtest/gtest.h>

#include <string>

namespace lum {
namespace {

std::string Nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(JsonTest, MalformedOrHostileTextIsRefusedWithAReason) {
  const char* const bad[] = {
      "",                       // nothing
      "{\"a\":1",               // truncated object
      "[1,2",                   // truncated array
      "{\"a\":\"xy",            // truncated string
      "{\"a\" 1}",              // no colon
      "{a:1}",                  // bare name
      "[1,]",                   // trailing comma
      "[01]",                   // leading zero
      "[1.]",                   // fraction without digits
      "[-]",                    // sign alone
      "[1e]",                   // exponent without digits
      "[1e999]",                // beyond a double
      "[tru]",                  // cut word
      "[\"\\x\"]",              // unknown escape
      "[\"\\u12\"]",            // short \u
      "[\"\\u12G4\"]",          // non-hex \u
      "[\"\\udc00\"]",          // lone low surrogate
      "[\"\\ud800\"]",          // high surrogate alone
      "[\"\\ud800\\u0041\"]",   // high surrogate with a non-surrogate
      "[\"a\nb\"]",             // raw control character
      "{} {}",                  // a second document
      "{}/* open",              // unclosed comment
      "\xEF\xBB",               // half a byte order mark
  };
  for (const char* text : bad) {
    JsonValue root(true);
    std::string error;
    EXPECT_FALSE(ParseJson(text, &root, &error)) << text;
    EXPECT_TRUE(root.IsNull()) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  // Embedded NUL: the parser honours the length it is given, not C strings.
  JsonValue root;
  EXPECT_FALSE(ParseJson(std::string("[1]\0[2]", 7), &root));
  EXPECT_FALSE(ParseJson(std::string("[\"a\0\"]", 6), &root));

  // Nesting is bounded: the limit itself parses, one more level is refused
  // with an error (no crash, no exception), and so is a hostile 100000 levels.
  EXPECT_TRUE(ParseJson(Nested(kJsonMaxDepth), &root));
  std::string error;
  EXPECT_FALSE(ParseJson(Nested(kJsonMaxDepth + 1), &root, &error));
  EXPECT_NE(std::string::npos, error.find("deep")) << error;
  EXPECT_FALSE(ParseJson(std::string(100000, '[') , &root));
  EXPECT_FALSE(ParseJson(std::string(50000, '{') , &root));
}

TEST(JsonTest, ReadsWhatPeersWriteWithCommentsEscapesAndLargeNumbers) {
  JsonValue root;
  std::string error;
  const std::string text =
      "\xEF\xBB\xBF // the answer\n"
      "{ /* block */ \"s\": \"\\\"q\\\\ \\/ \\b\\f\\n\\r\\t \\u00e9 \\u20AC \\ud83d\\ude00 \\u0000\",\n"
      "  \"dup\": 1, \"dup\": \"last\",\n"
      "  \"i32\": 2147483647, \"past32\": 2147483648, \"neg\": -9223372036854775808,\n"
      "  \"u64\": 18446744073709551615, \"past64\": 18446744073709551616,\n"
      "  \"whole\": 3.0, \"frac\": -1.25e1, \"tiny\": 1e-400,\n"
      "  \"t\": true, \"n\": null, \"a\": [1, [], {}], \"o\": {\"k\": false} }  // end";
  ASSERT_TRUE(ParseJson(text, &root, &error)) << error;
  ASSERT_TRUE(root.IsObject());
  EXPECT_EQ(std::string("\"q\\ / \b\f\n\r\t \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \0", 25),
            root["s"].AsString());
  EXPECT_EQ("last", root["dup"].AsString());
  EXPECT_EQ(14u, root.size());

  EXPECT_TRUE(root["i32"].IsInt());
  EXPECT_EQ(2147483647, root["i32"].AsInt());
  EXPECT_FALSE(root["past32"].IsInt());
  EXPECT_TRUE(root["past32"].IsIntegral());
  EXPECT_EQ(INT64_MIN, root["neg"].AsInt64());
  EXPECT_FALSE(root["neg"].IsUInt64());
  EXPECT_TRUE(root["u64"].IsUInt64());
  EXPECT_EQ(UINT64_MAX, root["u64"].AsUInt64());
  EXPECT_EQ("18446744073709551615", root["u64"].AsString());
  EXPECT_EQ(INT64_MAX, root["u64"].AsInt64());  // saturates
  EXPECT_FALSE(root["past64"].IsUInt64());
  EXPECT_FALSE(root["past64"].IsIntegral());
  EXPECT_EQ(UINT64_MAX, root["past64"].AsUInt64());
  EXPECT_TRUE(root["whole"].IsInt());
  EXPECT_EQ(3, root["whole"].AsInt());
  EXPECT_FALSE(root["frac"].IsIntegral());
  EXPECT_EQ(-12.5, root["frac"].AsDouble());
  EXPECT_EQ(0.0, root["tiny"].AsDouble());

  EXPECT_TRUE(root["t"].IsBool() && root["t"].AsBool());
  EXPECT_EQ("true", root["t"].AsString());
  EXPECT_TRUE(root.Has("n") && root["n"].IsNull());
  EXPECT_FALSE(root.Has("missing"));
  EXPECT_TRUE(root["missing"]["deeper"][3].IsNull());
  ASSERT_TRUE(root["a"].IsArray());
  EXPECT_EQ(3u, root["a"].size());
  EXPECT_TRUE(root["a"][1].IsArray() && root["a"][2].IsObject());
  EXPECT_TRUE(root["a"][7].IsNull());
  EXPECT_EQ("", root["o"].AsString());  // containers have no scalar text
  EXPECT_FALSE(root["o"]["k"].AsBool());
}

TEST(JsonTest, WrittenTextIsCompactOrderedAndReadsBackTheSame) {
  JsonValue root = JsonValue::Object();
  root["z"] = 1;
  root["a"] = "C:\\Program Files (x86)\\\xD0\x9B\xD1\x83\xD0\xBC \"Bastion\" \xF0\x9F\x98\x80";
  root["m"] = true;
  root["n"] = JsonValue();
  root["u"] = static_cast<uint64_t>(1) << 63;
  root["neg"] = -7;
  root["r"] = 0.5;
  root["ctl"] = std::string("\x01\t\x7F", 3);
  root["list"].Append(JsonValue::Object());
  root["list"].Append(2.0);

  const std::string ascii = WriteJson(root, JsonText::kAsciiOnly);
  EXPECT_EQ(
      "{\"a\":\"C:\\\\Program Files (x86)\\\\\\u041b\\u0443\\u043c \\\"Bastion\\\" "
      "\\ud83d\\ude00\",\"ctl\":\"\\u0001\\t\x7F\",\"list\":[{},2.0],\"m\":true,\"n\":null,"
      "\"neg\":-7,\"r\":0.5,\"u\":9223372036854775808,\"z\":1}",
      ascii);
  const std::string utf8 = WriteJson(root);
  EXPECT_NE(std::string::npos, utf8.find("\xD0\x9B\xD1\x83\xD0\xBC \\\"Bastion\\\" \xF0\x9F\x98\x80"));

  for (const std::string& text : {ascii, utf8}) {
    JsonValue back;
    ASSERT_TRUE(ParseJson(text, &back)) << text;
    EXPECT_EQ(text, WriteJson(back, text == ascii ? JsonText::kAsciiOnly : JsonText::kUtf8));
    EXPECT_EQ(root["a"].AsString(), back["a"].AsString());
    EXPECT_EQ(root["ctl"].AsString(), back["ctl"].AsString());
    EXPECT_TRUE(back["u"].IsUInt64() && back["u"].AsUInt64() == (static_cast<uint64_t>(1) << 63));
  }

  // A stray byte in text that should be UTF-8 still writes valid JSON.
  JsonValue stray(std::string("a\xFF" "b\xC3"));
  const std::string written = WriteJson(stray, JsonText::kAsciiOnly);
  EXPECT_EQ("\"a\\ufffdb\\ufffd\"", written);
  JsonValue back;
  EXPECT_TRUE(ParseJson(written, &back));
}

}  // namespace
}  // namespace lum
