// Stand-in for the lock library Pavrenkit.dll.
//
// Every call on its object appends one line to "Pavrenkit.log" (see
// CompanionLog.h): "SetParams <count> [s0|s1|...]", "Query a tid1 tid2 kind -> r",
// "Act a tid1 tid2 kind", and "release" when the object goes.
// What Query answers comes from "Pavrenkit_config.txt" beside the DLL, the line
// "query=<decimal>" (default 1, which makes the caller go on to Act).
#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "../common/CompanionLog.h"

namespace {

// {F3978773-1845-4B00-83A1-ACE193598A6B}, both class and interface identifier.
constexpr GUID kLockKitId = {0xF3978773, 0x1845, 0x4B00, {0x83, 0xA1, 0xAC, 0xE1, 0x93, 0x59, 0x8A, 0x6B}};
// IUnknown's identifier, spelled out: the library links no uuid library.
constexpr GUID kUnknownId = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr wchar_t kLogName[] = L"Pavrenkit.log";
constexpr wchar_t kConfigName[] = L"Pavrenkit_config.txt";
constexpr char kQueryKey[] = "query=";
constexpr int32_t kDefaultQueryAnswer = 1;

HMODULE g_self = nullptr;

// Written out here rather than taken from the uninstaller's app/LockAbi.h: the
// stand-in is another vendor's library, so a slot the uninstaller gets wrong
// shows up as a wrong call instead of moving both sides together.
struct ILockKit : public IUnknown {
    virtual HRESULT __stdcall Reserved3() = 0;
    virtual HRESULT __stdcall Reserved4() = 0;
    virtual HRESULT __stdcall Reserved5() = 0;
    virtual int32_t __stdcall Query(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) = 0;  // slot 6
    virtual int32_t __stdcall Act(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) = 0;    // slot 7
    virtual HRESULT __stdcall Reserved8() = 0;
    virtual void __stdcall SetParams(const wchar_t* const* items, uint32_t count) = 0;          // slot 9
};

int32_t ConfiguredQueryAnswer() {
    const std::string text = companion::ReadSmallFile(companion::ModuleDirectory(g_self) + kConfigName);
    const size_t at = text.find(kQueryKey);
    if (at == std::string::npos) return kDefaultQueryAnswer;
    return static_cast<int32_t>(std::strtol(text.c_str() + at + sizeof(kQueryKey) - 1, nullptr, 10));
}

std::wstring Arguments(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) {
    return std::to_wstring(a) + L" " + std::to_wstring(tid1) + L" " + std::to_wstring(tid2) + L" " +
           std::to_wstring(kind);
}

class LockKit final : public ILockKit {
public:
    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualGUID(iid, kLockKitId) || IsEqualGUID(iid, kUnknownId)) {
            AddRef();
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG __stdcall Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) {
            companion::AppendLogLine(g_self, kLogName, L"release");
            delete this;
        }
        return static_cast<ULONG>(n);
    }
    HRESULT __stdcall Reserved3() override { return E_NOTIMPL; }
    HRESULT __stdcall Reserved4() override { return E_NOTIMPL; }
    HRESULT __stdcall Reserved5() override { return E_NOTIMPL; }
    int32_t __stdcall Query(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) override {
        const int32_t answer = ConfiguredQueryAnswer();
        companion::AppendLogLine(g_self, kLogName,
                                 L"Query " + Arguments(a, tid1, tid2, kind) + L" -> " + std::to_wstring(answer));
        return answer;
    }
    int32_t __stdcall Act(int32_t a, uint32_t tid1, uint32_t tid2, int32_t kind) override {
        companion::AppendLogLine(g_self, kLogName, L"Act " + Arguments(a, tid1, tid2, kind));
        return 0;
    }
    HRESULT __stdcall Reserved8() override { return E_NOTIMPL; }
    void __stdcall SetParams(const wchar_t* const* items, uint32_t count) override {
        std::wstring line = L"SetParams " + std::to_wstring(count) + L" [";
        for (uint32_t i = 0; items != nullptr && i < count; ++i) {
            if (i > 0) line += L"|";
            line += items[i] != nullptr ? items[i] : L"(null)";
        }
        companion::AppendLogLine(g_self, kLogName, line + L"]");
    }

private:
    LONG refs_ = 1;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall QSDllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(clsid, kLockKitId)) return CLASS_E_CLASSNOTAVAILABLE;
    if (!IsEqualGUID(iid, kLockKitId)) return E_NOINTERFACE;
    *out = static_cast<ILockKit*>(new LockKit());
    return S_OK;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}
