// Stand-in for the SDK base library qsdxbase.dll.
//
// Product value lookup: answers from "qsdxbase_values.txt" beside this DLL,
// read at Init. Format: UTF-8 text, one "key=value" per line; blank lines and
// lines starting with '#' are ignored; the last line for a key wins. A key
// that is not listed has no value (null). The special key "!report_switch"
// gives the report sender's switch (default "1").
//
// Report sender: every Send appends one JSON line to "qsdxbase_reports.jsonl"
// beside this DLL: {"table":"<decl>","fields":[{"name":"n","int":5},
// {"name":"m","text":"..."}]} with the fields in the order they were set.
// Every call on the sender is also appended, one word a line, to
// "qsdxbase_calls.log": init, shutdown, switch, create, send.
// The special key "!log_dir" puts both files into that directory instead, so
// that they outlive an uninstall of the directory holding this DLL (once the
// values file is gone, the last directory it named stays in use).
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "../common/CompanionLog.h"
#include "base/SdkAbi.h"

namespace {

HMODULE g_self = nullptr;
std::mutex g_fileLock;

std::wstring SelfDirectory() { return companion::ModuleDirectory(g_self); }

std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string JsonString(const std::wstring& text) {
    std::string out = "\"";
    for (const char c : ToUtf8(text)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            wsprintfA(buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::map<std::wstring, std::wstring> ReadValues();

// Guarded by g_fileLock. An uninstall deletes the values file while the
// library is still loaded; its last calls keep going where the earlier ones went.
// A plain array: the uninstaller's last call (shutdown) may come at process exit.
wchar_t g_lastLogDir[MAX_PATH] = {};

std::wstring LogDirectory() {
    if (::GetFileAttributesW((SelfDirectory() + L"qsdxbase_values.txt").c_str()) == INVALID_FILE_ATTRIBUTES &&
        g_lastLogDir[0] != L'\0') {
        return g_lastLogDir;
    }
    const auto values = ReadValues();
    const auto it = values.find(L"!log_dir");
    if (it == values.end() || it->second.empty()) {
        g_lastLogDir[0] = L'\0';
        return SelfDirectory();
    }
    std::wstring dir = it->second;
    if (dir.back() != L'\\' && dir.back() != L'/') dir.push_back(L'\\');
    if (dir.size() < MAX_PATH) ::lstrcpynW(g_lastLogDir, dir.c_str(), MAX_PATH);
    return dir;
}

void AppendLine(const wchar_t* fileName, const std::string& line) {
    std::lock_guard<std::mutex> guard(g_fileLock);
    const std::wstring path = LogDirectory() + fileName;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::map<std::wstring, std::wstring> ReadValues() {
    std::map<std::wstring, std::wstring> values;
    std::ifstream in((SelfDirectory() + L"qsdxbase_values.txt").c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        values[FromUtf8(line.substr(0, eq))] = FromUtf8(line.substr(eq + 1));
    }
    return values;
}

template <typename Interface>
class RefCounted : public Interface {
public:
    HRESULT __stdcall QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG __stdcall Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }
    virtual ~RefCounted() = default;

private:
    LONG refs_ = 1;
};

class Lookup final : public RefCounted<sdk::IProductValueLookup> {
public:
    HRESULT __stdcall Init() override {
        values_ = ReadValues();
        return S_OK;
    }
    HRESULT __stdcall Reserved4() override { return E_NOTIMPL; }
    HRESULT __stdcall Reserved5() override { return E_NOTIMPL; }
    HRESULT __stdcall Reserved6() override { return E_NOTIMPL; }
    HRESULT __stdcall Reserved7() override { return E_NOTIMPL; }
    const wchar_t* __stdcall GetValue(const wchar_t* section, const wchar_t* key, const wchar_t* field) override {
        if (section == nullptr || key == nullptr || field == nullptr) return nullptr;
        if (std::wstring(section) != L"product" || std::wstring(field) != L"value") return nullptr;
        const auto it = values_.find(key);
        if (it == values_.end()) return nullptr;
        answer_ = it->second;
        return answer_.c_str();
    }

private:
    std::map<std::wstring, std::wstring> values_;
    std::wstring answer_;
};

class Record final : public sdk::IReportRecord {
public:
    void __stdcall SetTableDecl(const wchar_t* decl) override { table_ = decl ? decl : L""; }
    void __stdcall SetText(const wchar_t* name, const wchar_t* value) override {
        fields_.push_back("{\"name\":" + JsonString(name ? name : L"") + ",\"text\":" +
                          JsonString(value ? value : L"") + "}");
    }
    void __stdcall SetInt(const wchar_t* name, int32_t value) override {
        fields_.push_back("{\"name\":" + JsonString(name ? name : L"") + ",\"int\":" + std::to_string(value) + "}");
    }
    std::string ToJson() const {
        std::string out = "{\"table\":" + JsonString(table_) + ",\"fields\":[";
        for (size_t i = 0; i < fields_.size(); ++i) out += (i ? "," : "") + fields_[i];
        return out + "]}";
    }

private:
    std::wstring table_;
    std::vector<std::string> fields_;
};

class Sender final : public RefCounted<sdk::IReportSender> {
public:
    HRESULT __stdcall Init() override {
        AppendLine(L"qsdxbase_calls.log", "init");
        const auto values = ReadValues();
        const auto it = values.find(L"!report_switch");
        switch_ = it == values.end() ? L"1" : it->second;
        return S_OK;
    }
    void __stdcall Shutdown() override { AppendLine(L"qsdxbase_calls.log", "shutdown"); }
    HRESULT __stdcall Reserved5() override { return E_NOTIMPL; }
    const wchar_t* __stdcall GetReportSwitch() override {
        AppendLine(L"qsdxbase_calls.log", "switch");
        return switch_.c_str();
    }
    sdk::IReportRecord* __stdcall CreateRecord() override {
        AppendLine(L"qsdxbase_calls.log", "create");
        records_.emplace_back(new Record());  // records live as long as the sender
        return records_.back();
    }
    HRESULT __stdcall Send(sdk::IReportRecord* record) override {
        AppendLine(L"qsdxbase_calls.log", "send");
        if (record == nullptr) return E_POINTER;
        AppendLine(L"qsdxbase_reports.jsonl", static_cast<Record*>(record)->ToJson());
        return S_OK;
    }
    ~Sender() override {
        for (Record* r : records_) delete r;
    }

private:
    std::wstring switch_ = L"1";
    std::vector<Record*> records_;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT __stdcall QSDllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualGUID(clsid, iid)) return E_NOINTERFACE;
    if (IsEqualGUID(clsid, sdk::kProductValueLookupId)) {
        *out = static_cast<sdk::IProductValueLookup*>(new Lookup());
        return S_OK;
    }
    if (IsEqualGUID(clsid, sdk::kReportSenderId)) {
        *out = static_cast<sdk::IReportSender*>(new Sender());
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}
