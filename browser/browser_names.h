// What the installer knows about browsers without asking Windows: the kinds
// and their short names (the statistics' "br"), the launch rules by
// executable name and the publishers each signer kind accepts.
#pragma once
#include <string>
#include <vector>

namespace lum {

// Browser kinds. Any other value (kUnknownBrowser by convention) is named
// from its executable.
constexpr int kBrowserIe = 1;
constexpr int kBrowserLumse6 = 2;
constexpr int kBrowserLumse = 3;
constexpr int kBrowserLumChrome = 4;
constexpr int kUnknownBrowser = 5;
constexpr int kBrowserChrome = 100;
constexpr int kBrowserOpera = 101;
constexpr int kBrowserYandex = 102;
constexpr int kBrowserFirefox = 103;
constexpr int kBrowserEdge = 104;
constexpr int kBrowserAmigo = 105;
constexpr int kBrowserPartnerOpera = 106;

// "ie", "googlechrome", ...; for any other kind "unkn_" + the file name of
// `path` when it has one with an extension, else "unkn".
std::wstring BrowserShortName(int kind, const std::wstring& path);

// The executable of a shell open command: the first token when it is quoted,
// else the text up to and including the first ".exe"; else the first
// blank-separated token.
std::wstring ExecutableOfCommand(const std::wstring& command);

// How a browser is started for a link.
enum class StartMode { kDirect, kMediumIntegrity, kRunningOrMedium, kChromeRule };

// Signer kinds of the launcher (not browser kinds).
constexpr int kSignerNone = 0;
constexpr int kSignerGoogle = 1;
constexpr int kSignerOpera = 2;
constexpr int kSignerYandex = 3;
constexpr int kSignerMicrosoft = 4;
constexpr int kSignerMaker = 5;
constexpr int kSignerMozilla = 6;
constexpr int kSignerMailRu = 8;

struct LaunchRule {
  StartMode mode = StartMode::kMediumIntegrity;
  int signer = kSignerNone;
  std::wstring runningName;  // process looked for by kRunningOrMedium
};

// The rule of the executable's file name (any case, quotes ignored); any
// other name starts at medium integrity unchecked.
LaunchRule LaunchRuleFor(const std::wstring& executable);

// The publisher names a signer kind accepts (empty for kSignerNone or an
// unknown kind).
const std::vector<std::wstring>& SignerPublishers(int signerKind);
// Whether the certificate's subject name belongs to one of the kind's
// publishers: it is a listed name, or begins with one followed by a blank or
// a comma ("Google LLC"), case-insensitively.
bool SignerNameMatches(int signerKind, const std::wstring& subjectName);

// The command line "<exe> <"url">": the URL quoted when not empty, the
// executable quoted unless it already begins with a quote.
std::wstring BrowserCommandLine(const std::wstring& executable, const std::wstring& url);

}  // namespace lum
