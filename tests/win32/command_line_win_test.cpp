// The command line as Windows splits it (CommandLineToArgvW), through the
// parser into the session record: quoted folders, and the trap of a
// backslash right before the closing quote, which escapes the quote.
#include "session/command_line_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace lum {
namespace {

// Nothing on the machine is asked for by "/s" and "/c".
class NoMachine : public SessionEnvironment {
 public:
  ConflictInfo FindConflictingProduct() override { return {}; }
  bool LoadLanguageTable(IniTable&) override { return false; }
  bool ActionScriptHasSection(const std::wstring&) override { return false; }
  uint64_t PhysicalMemoryBytes() override { return 0; }
  std::wstring ProductFolder() override { return L""; }
  SystemLanguageFacts SystemLanguage() override { return {}; }
  std::wstring InstalledProductLanguage(const std::wstring&) override { return L""; }
  std::wstring InstalledVersion(const std::wstring&) override { return L""; }
};

SessionSettings Applied(const std::wstring& tail) {
  SessionSettings session;
  session.channel = L"101";
  CommandLineOptions options;
  EXPECT_TRUE(ParseCommandLineTail(tail, L':', options)) << tail.size();
  NoMachine machine;
  ApplyCommandLine(options, session, machine);
  return session;
}

std::vector<std::wstring> SplitTail(const std::wstring& tail) {
  std::vector<std::wstring> args;
  EXPECT_TRUE(SplitCommandLineTail(tail, &args));
  return args;
}

TEST(CommandLineWin, QuotedFolderWithDoubledTrailingBackslash) {
  // "\\" + quote: one backslash, and the quote closes.
  EXPECT_EQ(SplitTail(L"/s:\"C:\\My Tools\\\\\""), std::vector<std::wstring>{L"/s:C:\\My Tools\\"});
  SessionSettings session = Applied(L"/s:\"C:\\My Tools\\\\\"");
  EXPECT_TRUE(session.silent);
  EXPECT_TRUE(session.installDirExplicit);
  EXPECT_EQ(session.installDir, L"C:\\My Tools\\Bastion");

  session = Applied(L"/s:\"C:\\Program Files\\Lum\\Bastion\\\\\" /c:ab");
  EXPECT_EQ(session.installDir, L"C:\\Program Files\\Lum\\Bastion");
  EXPECT_EQ(session.channel, L"ab");
}

TEST(CommandLineWin, SingleTrailingBackslashEscapesTheClosingQuote) {
  // The shell's rule: "\" + quote is a literal quote, so the quoted part runs
  // on to the end and swallows the next switch. The folder keeps a quote
  // character, which no folder can have, so the silent run fails its
  // writable-folder check instead of installing somewhere unexpected.
  EXPECT_EQ(SplitTail(L"/s:\"C:\\Program Files\\Lum\\\" /c:ab"),
            std::vector<std::wstring>{L"/s:C:\\Program Files\\Lum\" /c:ab"});
  const SessionSettings session = Applied(L"/s:\"C:\\Program Files\\Lum\\\" /c:ab");
  EXPECT_EQ(session.channel, L"101");
  EXPECT_EQ(session.installDir, L"C:\\Program Files\\Lum\" /c:ab\\Bastion");
}

TEST(CommandLineWin, QuotesAroundWholeArgumentAndInsideValue) {
  // Quotes may enclose the whole switch, part of it, or sit in the middle.
  EXPECT_EQ(SplitTail(L"\"/s:C:\\A B\" /C:\"x y\" /campaign:a\"b c\"d"),
            (std::vector<std::wstring>{L"/s:C:\\A B", L"/C:x y", L"/campaign:ab cd"}));
  const SessionSettings session = Applied(L"\"/s:C:\\A B\" /C:\"x y\" /sc:\" \"");
  EXPECT_EQ(session.installDir, L"C:\\A B\\Bastion");
  EXPECT_EQ(session.channel, L"x y");
  EXPECT_EQ(session.subChannel, L"0");
  // Backslashes not followed by a quote are plain characters.
  EXPECT_EQ(SplitTail(L"/s:\\\\server\\share\\"),
            std::vector<std::wstring>{L"/s:\\\\server\\share\\"});
}

}  // namespace
}  // namespace lum
