#include "app/Options.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
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

// False only when the manifest's bytes cannot hold the attribute: an
// attribute name is the same plain bytes in every encoding the reader
// accepts (and never a character reference), so a manifest without them has
// no such attribute, and the whole parse of a large manifest is spared. What
// cannot be looked at (no file, an empty one, no mapping) is the reader's to
// decide.
bool ManifestMayHold(const std::wstring& manifestPath, std::string_view name) {
    base::unique_hfile file(::CreateFileW(manifestPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > base::kMaxConfigFileBytes) {
        return true;
    }
    base::unique_handle section(::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!section) return true;
    base::unique_view view(::MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return true;
    const std::string_view bytes(static_cast<const char*>(view.get()), static_cast<size_t>(size.QuadPart));
    return bytes.find(name) != std::string_view::npos;
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
    const std::wstring manifestPath = installDir + removal::kManifestFileName;
    if (!ManifestMayHold(manifestPath, name)) return false;
    base::XmlConfigDocument doc;
    if (!doc.LoadFile(manifestPath)) return false;
    if (!doc.SelectPath(kPacketPath)) return false;
    return doc.GetWideAttribute(name, value);
}

bool IsSilentRun(const OptionSource& source) {
    return HasSilentSwitch(source.commandLine) || IsPacketFlagOn(source.installDir, kSliceAttr);
}

bool IsSkipRun(const OptionSource& source) {
    const std::wstring manifestPath = source.installDir + removal::kManifestFileName;
    if (!ManifestMayHold(manifestPath, kSkipAttr)) return false;
    base::XmlConfigDocument doc;
    if (!doc.LoadFile(manifestPath) || !doc.SelectPath(kPacketPath)) return false;
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
