// Readers of the command-line switches and of the manifest's packet flags.
// There is no parser object: each reader reads its source afresh when asked.
#pragma once

#include <string>
#include <string_view>

namespace app {

constexpr wchar_t kSilentSwitch[] = L"/s";
constexpr wchar_t kUnchangeRegSwitch[] = L"/unchange_reg";

// Where the readers look: the raw command line and the installation directory
// (ending in a backslash). Production passes the process's own; tests pass theirs.
struct OptionSource {
    std::wstring commandLine;
    std::wstring installDir;

    static OptionSource Current();
};

// Only the first "/s" of the whole line (program path included) is examined.
bool HasSilentSwitch(std::wstring_view commandLine);
bool HasUnchangeRegSwitch(std::wstring_view commandLine);
// Number of arguments by the platform's splitting; -1 when it cannot split.
int CountArguments(const std::wstring& commandLine);
// Flag values count only as exactly "1".
bool IsFlagOn(const std::wstring& value);

// Attribute of the manifest's root packet element; false when the manifest,
// the element or the attribute is missing.
bool ReadPacketAttribute(const std::wstring& installDir, const char* name, std::wstring& value);

bool IsSilentRun(const OptionSource& source);
bool IsSkipRun(const OptionSource& source);
std::wstring ReadProductName(const OptionSource& source);
bool IsRegistrationStateOn(const OptionSource& source);

}  // namespace app
