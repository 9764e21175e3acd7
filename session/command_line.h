// The installer's switches: /name or /name:value. The parser keeps a map of
// lower-cased names to values; start-up then asks for each known option in a
// fixed order and writes the results into the session record.
//
// Portable: the command line arrives already split into arguments (the Win32
// start-up splits it with CommandLineToArgvW, which knows the shell's quoting
// rules). Not thread-safe; built and read on the main thread only.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "session/session_settings.h"

namespace lum {

class CommandLineOptions {
 public:
  using OptionMap = std::map<std::wstring, std::wstring>;

  // Every argument that starts with '/' becomes one option: the text before
  // the first `separator` is the name (A-Z lower-cased), everything after it
  // the value, less any leading and trailing '"'. A later duplicate name
  // replaces the earlier value; arguments without '/' are ignored. Returns
  // true: a split argument list cannot fail on content.
  bool Parse(const std::vector<std::wstring>& args, wchar_t separator);

  // True when the option was given; its value (possibly empty) is copied to
  // `value`. `value` is untouched when the option is absent or `name` is null.
  // The name is looked up unchanged (callers pass lower-case names).
  bool Get(const wchar_t* name, std::wstring& value) const;
  bool Has(const wchar_t* name) const;

  bool Empty() const { return options_.empty(); }
  const OptionMap& Options() const { return options_; }

 private:
  OptionMap options_;
};

// Asks for the known options in start-up order ("s", "c", "sc", "pmode" with
// "regmode", "show", "post" with "wait", "ent", "autodeploy", "campaign",
// "syncid0_0/1/2", "promo", "clientid") and applies them to the session.
// `waitQuiet` waits until the system is quiet for "/post:wait"; it may be
// empty (then nothing is waited for, but postWait is still set). Does nothing
// when no option was given.
void ApplyCommandLine(const CommandLineOptions& options, SessionSettings& session,
                      SessionEnvironment& env, const std::function<void()>& waitQuiet = {});

// The value of "/log:<path>" (the log file the Win32 start-up opens), empty
// when the option is absent.
std::wstring LogPathOption(const CommandLineOptions& options);
// The value of "/result:<path>" (the result file for deployment tools),
// empty when the option is absent.
std::wstring ResultPathOption(const CommandLineOptions& options);

}  // namespace lum
