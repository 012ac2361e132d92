// The installation identity values under the product key of the current user.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace manifest {

class ViewerSettings;

constexpr wchar_t kTid1TextValue[] = L"tid1_fp";
constexpr wchar_t kTid2TextValue[] = L"tid2_fp";

// Reads tid1, tid2, id, installtime and uuid into the settings object; makes
// sure a uuid and the textual channel identifiers exist in the registry.
void LoadIdentity(ViewerSettings& settings);

// The runtime library's classic generator (msvcrt rand): same seed, same values.
class RuntimeRandom {
public:
    explicit RuntimeRandom(uint32_t seed) noexcept : state_(seed) {}
    int Next() noexcept;  // 0 to 32767

private:
    uint32_t state_;
};

// Where the uuid's time-dependent parts come from; replaceable for tests.
struct UuidClock {
    std::function<int64_t()> secondsSince1970;
    std::function<SYSTEMTIME()> localTime;
};
UuidClock SystemUuidClock();

std::wstring FormatUuidRandomPart(int value);
// Empty for the all-zero GUID.
std::wstring FormatUuidGuidPart(const GUID& guid);
// Milliseconds, minute, day, year, hour, second, month.
std::wstring FormatUuidTimePart(const SYSTEMTIME& time);
std::wstring FormatUuidFreeBytesPart(bool queried, uint64_t freeBytes);
// "%d" of the value taken as signed.
std::wstring FormatSignedId(uint32_t value);

std::wstring GenerateInstallUuid(const UuidClock& clock);
std::wstring GenerateInstallUuid();

}  // namespace manifest
