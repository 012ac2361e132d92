#include "app/Options.h"

#include <windows.h>
#include <shellapi.h>

#include <cwctype>
#include <string_view>

#include "base/XmlConfigDocument.h"
#include "base/platform.h"
#include "base/unique_any.h"
#include "removal/Paths.h"
#include "removal/SelfRemovalScript.h"

namespace app {

namespace {
constexpr char kPacketPath[] = "packet";
constexpr char kSliceAttr[] = "slice";
constexpr char kSkipAttr[] = "skip";
constexpr char kMsgTipAttr[] = "MsgTip";
constexpr char kRegStateAttr[] = "reg_state";

// Loads the manifest and selects its packet element, unless its bytes cannot
// hold the attribute `name`: an attribute name is the same plain bytes in
// every encoding the reader accepts (and never a character reference), so the
// whole parse of a large manifest is spared when it is absent.
bool SelectPacketHolding(const std::wstring& installDir, std::string_view name, base::XmlConfigDocument& doc) {
    std::string bytes;
    if (!base::ReadConfigFile(installDir + removal::kManifestFileName, bytes)) return false;
    if (bytes.find(name) == std::string::npos) return false;
    return doc.LoadText(bytes) && doc.SelectPath(kPacketPath);
}

bool IsPacketFlagOn(const std::wstring& installDir, const char* name) {
    std::wstring value;
    return ReadPacketAttribute(installDir, name, value) && IsFlagOn(value);
}
}  // namespace

OptionSource OptionSource::Current() {
    const wchar_t* line = ::GetCommandLineW();
    return OptionSource{line ? line : L"", base::GetExeDirectoryWithSeparator()};
}

bool HasSilentSwitch(std::wstring_view commandLine) {
    const size_t at = commandLine.find(kSilentSwitch);
    if (at == std::wstring_view::npos) return false;
    const size_t after = at + std::char_traits<wchar_t>::length(kSilentSwitch);
    return after == commandLine.size() || std::iswspace(commandLine[after]);
}

bool HasUnchangeRegSwitch(std::wstring_view commandLine) {
    return commandLine.find(kUnchangeRegSwitch) != std::wstring_view::npos;
}

int CountArguments(const std::wstring& commandLine) {
    int count = 0;
    base::unique_local argv(reinterpret_cast<HLOCAL>(::CommandLineToArgvW(commandLine.c_str(), &count)));
    return argv ? count : -1;
}

bool IsFlagOn(const std::wstring& value) { return value == L"1"; }

bool ReadPacketAttribute(const std::wstring& installDir, const char* name, std::wstring& value) {
    value.clear();
    base::XmlConfigDocument doc;
    return SelectPacketHolding(installDir, name, doc) && doc.GetWideAttribute(name, value);
}

bool IsSilentRun(const OptionSource& source) {
    return HasSilentSwitch(source.commandLine) || IsPacketFlagOn(source.installDir, kSliceAttr);
}

bool IsSkipRun(const OptionSource& source) {
    base::XmlConfigDocument doc;
    if (!SelectPacketHolding(source.installDir, kSkipAttr, doc)) return false;
    // The flag first: counting the arguments loads the shell library, which a
    // run without the flag does not need before its first window.
    std::wstring value;
    if (!doc.GetWideAttribute(kSkipAttr, value) || !IsFlagOn(value)) return false;
    const int count = CountArguments(source.commandLine);
    return count == 1 || count == -1;
}

std::wstring ReadProductName(const OptionSource& source) {
    std::wstring value;
    ReadPacketAttribute(source.installDir, kMsgTipAttr, value);
    return value;
}

bool IsRegistrationStateOn(const OptionSource& source) {
    if (HasUnchangeRegSwitch(source.commandLine)) return false;
    return IsPacketFlagOn(source.installDir, kRegStateAttr);
}

}  // namespace app
