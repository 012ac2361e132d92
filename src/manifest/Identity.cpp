#include "manifest/Identity.h"

#include <cstdio>
#include <ctime>

#include "base/platform.h"
#include "base/unique_any.h"
#include "manifest/Settings.h"
#include "removal/Registry.h"

namespace manifest {
namespace {

constexpr uint32_t kRandMultiplier = 214013;
constexpr uint32_t kRandIncrement = 2531011;
constexpr unsigned kRandShift = 16;
constexpr uint32_t kRandMask = 0x7FFF;
constexpr DWORD kMaxTidTextChars = 128;  // terminator included
// Identity strings are short (a uuid has fewer than a hundred characters); a
// longer value is not one of them and reads as absent.
constexpr DWORD kMaxIdentityTextChars = 4096;

std::wstring AnsiToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return {};
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (needed <= 0) return {};
    std::wstring out(static_cast<size_t>(needed), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), needed);
    return out;
}

std::string WideToAnsi(const std::wstring& text, UINT codePage) {
    if (text.empty()) return {};
    const int needed = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), needed, nullptr,
                          nullptr);
    return out;
}

// Plain or expandable string, not expanded; at most maxChars characters with
// the terminator. False when absent, too long or of another type.
bool ReadIdentityText(HKEY key, const wchar_t* name, std::wstring& out, DWORD maxChars = kMaxIdentityTextChars) {
    out.clear();
    return base::ReadRegistryString(key, name, maxChars * sizeof(wchar_t), out);
}

void WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

int RuntimeRandom::Next() noexcept {
    state_ = state_ * kRandMultiplier + kRandIncrement;
    return static_cast<int>((state_ >> kRandShift) & kRandMask);
}

UuidClock SystemUuidClock() {
    UuidClock clock;
    clock.secondsSince1970 = [] { return static_cast<int64_t>(std::time(nullptr)); };
    clock.localTime = [] {
        SYSTEMTIME now = {};
        ::GetLocalTime(&now);
        return now;
    };
    return clock;
}

std::wstring FormatUuidRandomPart(int value) {
    char text[16] = {};
    std::snprintf(text, sizeof(text), "%05ld", static_cast<long>(value));
    return AnsiToWide(text, CP_THREAD_ACP);
}

std::wstring FormatUuidGuidPart(const GUID& guid) {
    static const GUID kZero = {};
    if (::IsEqualGUID(guid, kZero)) return {};
    char text[40] = {};
    std::snprintf(text, sizeof(text), "%08lX%04X%04x%02X%02X%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return AnsiToWide(text, CP_THREAD_ACP);
}

std::wstring FormatUuidTimePart(const SYSTEMTIME& t) {
    char text[64] = {};
    std::snprintf(text, sizeof(text), "%03d%02d%02d%04d%02d%02d%02d", t.wMilliseconds, t.wMinute, t.wDay, t.wYear,
                  t.wHour, t.wSecond, t.wMonth);
    return AnsiToWide(text, CP_THREAD_ACP);
}

std::wstring FormatUuidFreeBytesPart(bool queried, uint64_t freeBytes) {
    const unsigned long low = queried ? static_cast<unsigned long>(freeBytes & 0xFFFFFFFFu) : 0;
    char text[16] = {};
    std::snprintf(text, sizeof(text), "%010lu", low);
    return AnsiToWide(text, CP_THREAD_ACP);
}

std::wstring FormatSignedId(uint32_t value) {
    wchar_t text[16] = {};
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%d", static_cast<int32_t>(value));
    return text;
}

std::wstring GenerateInstallUuid(const UuidClock& clock) {
    RuntimeRandom random(static_cast<uint32_t>(clock.secondsSince1970()));
    std::wstring uuid = FormatUuidRandomPart(random.Next());

    GUID guid = {};
    if (SUCCEEDED(::CoCreateGuid(&guid))) uuid += FormatUuidGuidPart(guid);

    uuid += FormatUuidTimePart(clock.localTime());

    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerChars = sizeof(computer);
    if (::GetComputerNameA(computer, &computerChars)) uuid += AnsiToWide(std::string(computer, computerChars), CP_ACP);

    wchar_t systemDir[MAX_PATH] = {};
    ULARGE_INTEGER totalFree = {};
    const UINT dirChars = ::GetSystemDirectoryW(systemDir, MAX_PATH);
    const bool queried = dirChars > 0 && dirChars < MAX_PATH &&
                         ::GetDiskFreeSpaceExW(systemDir, nullptr, nullptr, &totalFree);
    uuid += FormatUuidFreeBytesPart(queried, totalFree.QuadPart);

    return AnsiToWide(WideToAnsi(uuid, CP_THREAD_ACP), CP_THREAD_ACP);
}

std::wstring GenerateInstallUuid() { return GenerateInstallUuid(SystemUuidClock()); }

void LoadIdentity(ViewerSettings& settings) {
    {
        base::unique_hkey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
            base::ReadRegistryDword(key.get(), L"tid1", settings.tid1);
            base::ReadRegistryDword(key.get(), L"tid2", settings.tid2);
            base::ReadRegistryDword(key.get(), L"id", settings.id);
            base::ReadRegistryDword(key.get(), L"installtime", settings.installtime);
            ReadIdentityText(key.get(), L"uuid", settings.uuid);
        }
    }

    if (settings.uuid.empty()) {
        const HKEY root = base::ParseRootKeyName(L"HKEY_CURRENT_USER");
        base::unique_hkey key;
        if (root != nullptr && ::RegOpenKeyExW(root, removal::kProductKeyPath, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
            ReadIdentityText(key.get(), L"uuid", settings.uuid);
        }
        if (settings.uuid.empty()) {
            settings.uuid = GenerateInstallUuid();
            base::unique_hkey writable;
            if (root != nullptr &&
                ::RegCreateKeyExW(root, removal::kProductKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  writable.put(), nullptr) == ERROR_SUCCESS) {
                WriteString(writable.get(), L"uuid", settings.uuid);
            }
        }
    }

    base::unique_hkey key32;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, removal::kProductKeyPath, 0, KEY_READ | KEY_WRITE | KEY_WOW64_32KEY,
                        key32.put()) != ERROR_SUCCESS) {
        return;
    }
    std::wstring tid1Text;
    if (ReadIdentityText(key32.get(), kTid1TextValue, tid1Text, kMaxTidTextChars) && !tid1Text.empty()) return;
    WriteString(key32.get(), kTid1TextValue, FormatSignedId(settings.tid1));
    WriteString(key32.get(), kTid2TextValue, FormatSignedId(settings.tid2));
}

}  // namespace manifest
