#include "SystemState.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <wincrypt.h>

#include "base/com_ptr.h"
#include "base/platform.h"
#include "base/text.h"
#include "base/unique_any.h"

namespace sample {

namespace {

constexpr DWORD kForceStopControl = 200;  // the service stand-in stops on it in every mode
constexpr DWORD kServiceWaitMs = 10000;
constexpr DWORD kTerminateWaitMs = 5000;
constexpr DWORD kMd5Bytes = 16;

bool IsUnder(const std::wstring& path, const std::wstring& dir) {
    return path.size() > dir.size() && base::StartsWithNoCase(path, dir);
}

}  // namespace

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    base::unique_hfile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::wstring& path) {
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

std::wstring FileMd5(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return {};
    std::wstring text;
    HCRYPTHASH hash = 0;
    if (::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        BYTE digest[kMd5Bytes];
        DWORD size = kMd5Bytes;
        if (::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
            ::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            static const wchar_t kHex[] = L"0123456789abcdef";
            for (DWORD i = 0; i < size; ++i) {
                text.push_back(kHex[digest[i] >> 4]);
                text.push_back(kHex[digest[i] & 0xF]);
            }
        }
        ::CryptDestroyHash(hash);
    }
    ::CryptReleaseContext(provider, 0);
    return text;
}

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

bool SetRegDword(HKEY root, const std::wstring& path, const wchar_t* name, uint32_t value, REGSAM view) {
    base::unique_hkey key;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const DWORD data = value;
    return ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value, REGSAM view) {
    base::unique_hkey key;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegKeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    base::unique_hkey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

bool GetRegDword(HKEY root, const std::wstring& path, const wchar_t* name, uint32_t& value, REGSAM view) {
    DWORD data = 0;
    DWORD size = sizeof(data);
    DWORD type = 0;
    base::unique_hkey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return false;
    if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data)) {
        return false;
    }
    value = data;
    return true;
}

std::vector<std::wstring> RegValueNames(HKEY root, const std::wstring& path, REGSAM view) {
    std::vector<std::wstring> names;
    base::unique_hkey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD length = static_cast<DWORD>(std::size(name));
        if (::RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

void DeleteRegTree(HKEY root, const std::wstring& path, REGSAM view) {
    const size_t cut = path.find_last_of(L'\\');
    const std::wstring parentPath = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
    const std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    base::unique_hkey parent;
    if (::RegOpenKeyExW(root, parentPath.c_str(), 0, KEY_ALL_ACCESS | view, parent.put()) != ERROR_SUCCESS) return;
    ::RegDeleteTreeW(parent.get(), name.c_str());
    ::RegDeleteKeyExW(parent.get(), name.c_str(), view, 0);
}

std::wstring FolderPath(Folder folder) {
    int csidl = CSIDL_DESKTOPDIRECTORY;
    if (folder == Folder::CommonDesktop) csidl = CSIDL_COMMON_DESKTOPDIRECTORY;
    if (folder == Folder::CommonPrograms) csidl = CSIDL_COMMON_PROGRAMS;
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_DEFAULT, path))) return {};
    std::wstring out = path;
    if (!out.empty() && out.back() != L'\\') out.push_back(L'\\');
    return out;
}

bool MakeShortcut(const std::wstring& linkPath, const std::wstring& target) {
    base::com_apartment apartment(COINIT_APARTMENTTHREADED);
    base::com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.put())))) {
        return false;
    }
    link->SetPath(target.c_str());
    const std::wstring workDir = target.substr(0, target.find_last_of(L'\\'));
    link->SetWorkingDirectory(workDir.c_str());
    base::com_ptr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return false;
    return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

std::wstring ServiceStateName(const wchar_t* name) {
    base::unique_sc_handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return L"unknown";
    base::unique_sc_handle service(::OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS));
    if (!service) return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? L"absent" : L"unknown";
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.get(), &status)) return L"unknown";
    switch (status.dwCurrentState) {
    case SERVICE_STOPPED: return L"stopped";
    case SERVICE_START_PENDING: return L"start-pending";
    case SERVICE_STOP_PENDING: return L"stop-pending";
    case SERVICE_RUNNING: return L"running";
    default: return L"other";
    }
}

bool InstallAndStartService(const wchar_t* name, const wchar_t* displayName, const std::wstring& binary) {
    base::unique_sc_handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    const std::wstring command = L"\"" + binary + L"\"";
    base::unique_sc_handle service(::CreateServiceW(manager.get(), name, displayName, SERVICE_ALL_ACCESS,
                                                    SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                    SERVICE_ERROR_IGNORE, command.c_str(), nullptr, nullptr, nullptr,
                                                    nullptr, nullptr));
    if (!service) return false;
    if (!::StartServiceW(service.get(), 0, nullptr)) return false;
    return WaitUntil([&] { return ServiceStateName(name) == L"running"; }, kServiceWaitMs);
}

void RemoveServiceForcibly(const wchar_t* name) {
    base::unique_sc_handle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return;
    base::unique_sc_handle service(::OpenServiceW(manager.get(), name, SERVICE_ALL_ACCESS));
    if (!service) return;
    SERVICE_STATUS status = {};
    if (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
        ::ControlService(service.get(), kForceStopControl, &status);
        WaitUntil([&] { return ServiceStateName(name) == L"stopped"; }, kServiceWaitMs);
    }
    ::DeleteService(service.get());
}

std::vector<DWORD> ProcessesUnder(const std::wstring& dir) {
    std::vector<DWORD> ids;
    base::unique_hfile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        base::unique_handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process) continue;
        wchar_t image[MAX_PATH * 2] = {};
        DWORD size = static_cast<DWORD>(std::size(image));
        if (::QueryFullProcessImageNameW(process.get(), 0, image, &size) && IsUnder(std::wstring(image, size), dir)) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    return ids;
}

void TerminateProcessesUnder(const std::wstring& dir) {
    for (DWORD id : ProcessesUnder(dir)) {
        base::unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), kTerminateWaitMs);
    }
}

bool StartDetached(const std::wstring& program, const std::wstring& arguments) {
    // No handle is inherited: under Wine an inherited standard handle keeps the
    // pipe of whoever started the installer open for as long as the child lives.
    std::wstring line = L"\"" + program + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const std::wstring workDir = program.substr(0, program.find_last_of(L'\\'));
    if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                          workDir.c_str(), &si, &pi)) {
        return false;
    }
    base::unique_handle process(pi.hProcess);
    base::unique_handle thread(pi.hThread);
    return true;
}

size_t CountWindowsOfClass(const wchar_t* className) {
    size_t count = 0;
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, className, nullptr)) != nullptr) ++count;
    return count;
}

}  // namespace sample
