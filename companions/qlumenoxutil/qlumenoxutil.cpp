// Stand-in for the viewer's utility library qlumenoxutil.dll.
//
// Every call appends one line to "qlumenoxutil.log" (see CompanionLog.h: beside
// this DLL or in the redirected log directory):
//   "A.Run <arg>", "A.Release", "B.Run", "B.Release", and "unload" when the
//   library is freed (not at process exit).
// Answers come from the optional "qlumenoxutil_config.txt" beside this DLL,
// read at each object creation. Format: ASCII, one "key=value" per line;
// blank lines and lines starting with '#' are ignored; the last line for a key
// wins. Keys:
//   A.Run=<decimal>   what A.Run returns (default 0, success)
//   B.Run=<decimal>   what B.Run returns (default 0)
//   refuse=<A|B|AB>   DllGetClassObject hands out no object for these
//                     interfaces (answers CLASS_E_CLASSNOTAVAILABLE)
//   B.hold=<path>     B.Run returns only once that file is gone (at most a
//                     minute): a test holds the removal in its step
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>

#include "../common/CompanionLog.h"
#include "removal/UtilAbi.h"

namespace {

HMODULE g_self = nullptr;

void Log(const std::string& line) { companion::AppendLogBytes(g_self, L"qlumenoxutil.log", line + "\n"); }

std::map<std::string, std::string> ReadConfig() {
    std::map<std::string, std::string> values;
    std::ifstream in((companion::ModuleDirectory(g_self) + L"qlumenoxutil_config.txt").c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

int32_t ConfiguredResult(const std::map<std::string, std::string>& config, const char* key) {
    const auto it = config.find(key);
    return it == config.end() ? 0 : static_cast<int32_t>(std::strtol(it->second.c_str(), nullptr, 10));
}

bool Refused(const std::map<std::string, std::string>& config, char which) {
    const auto it = config.find("refuse");
    return it != config.end() && it->second.find(which) != std::string::npos;
}

class UtilA final : public util::IUtilA {
public:
    explicit UtilA(int32_t result) : result_(result) {}
    void __stdcall Reserved0() override {}
    void __stdcall Release() override {
        Log("A.Release");
        delete this;
    }
    int32_t __stdcall Run(int32_t argument) override {
        Log("A.Run " + std::to_string(argument));
        return result_;
    }

private:
    int32_t result_;
};

constexpr DWORD kHoldLimitMs = 60000;
constexpr DWORD kHoldPollMs = 20;

void WaitWhileFileExists(const std::string& path) {
    const DWORD start = ::GetTickCount();
    while (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES && ::GetTickCount() - start < kHoldLimitMs) {
        ::Sleep(kHoldPollMs);
    }
}

class UtilB final : public util::IUtilB {
public:
    UtilB(int32_t result, std::string hold) : result_(result), hold_(std::move(hold)) {}
    void __stdcall Reserved0() override {}
    void __stdcall Release() override {
        Log("B.Release");
        delete this;
    }
    void __stdcall Reserved2() override {}
    int32_t __stdcall Run() override {
        Log("B.Run");
        if (!hold_.empty()) WaitWhileFileExists(hold_);
        return result_;
    }

private:
    int32_t result_;
    std::string hold_;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(clsid, util::kUtilClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    const auto config = ReadConfig();
    if (IsEqualGUID(iid, util::kUtilInterfaceAId)) {
        if (Refused(config, 'A')) return CLASS_E_CLASSNOTAVAILABLE;
        *out = static_cast<util::IUtilA*>(new UtilA(ConfiguredResult(config, "A.Run")));
        return S_OK;
    }
    if (IsEqualGUID(iid, util::kUtilInterfaceBId)) {
        if (Refused(config, 'B')) return CLASS_E_CLASSNOTAVAILABLE;
        *out = static_cast<util::IUtilB*>(new UtilB(ConfiguredResult(config, "B.Run"), config.count("B.hold") ? config.at("B.hold") : std::string()));
        return S_OK;
    }
    return E_NOINTERFACE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    // A null reserved pointer means FreeLibrary, not process exit.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) Log("unload");
    return TRUE;
}
