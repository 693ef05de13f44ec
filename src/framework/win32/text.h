// Text conversions at the edge of the wide-character Windows calls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qd::win32 {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// Splits a command line by the C runtime's rules: blanks and tabs separate arguments,
// double quotes group, 2n backslashes before a quote give n and open or close a group,
// 2n+1 give n and a literal quote, "" inside a group gives a literal quote. The first
// argument (the program) is taken verbatim up to its closing quote or first blank.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// A short tag for a name claimed by one program at a time (a settings file's path): the
// same for any case of its letters, as the file system takes them. Kernel object names
// allow no '\\' and no more than MAX_PATH characters; a path may have both.
std::wstring InstanceTag(std::string_view name);

}  // namespace qd::win32
