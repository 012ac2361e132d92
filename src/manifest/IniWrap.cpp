#include "manifest/IniWrap.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "base/text.h"
#include "base/unique_any.h"

namespace manifest {
namespace {

constexpr wchar_t kWhiteSpace[] = L" \t\r\n\v\f";
constexpr wchar_t kBlank = L' ';

std::wstring_view TrimSet(std::wstring_view text, const wchar_t* set) {
    const size_t first = text.find_first_not_of(set);
    if (first == std::wstring_view::npos) return {};
    const size_t last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

std::wstring_view TrimBlanksLeft(std::wstring_view text) {
    const size_t first = text.find_first_not_of(kBlank);
    return first == std::wstring_view::npos ? std::wstring_view() : text.substr(first);
}

std::wstring_view TrimBlanksRight(std::wstring_view text) {
    const size_t last = text.find_last_not_of(kBlank);
    return last == std::wstring_view::npos ? std::wstring_view() : text.substr(0, last + 1);
}

// Creates every missing directory above the file; existing ones are fine.
void CreateParentDirectories(const std::wstring& filePath) {
    const size_t lastSlash = filePath.rfind(L'\\');
    if (lastSlash == std::wstring::npos) return;
    size_t pos = filePath.find(L'\\');
    while (pos != std::wstring::npos && pos <= lastSlash) {
        const std::wstring prefix = filePath.substr(0, pos);
        // Drive roots ("C:") and the empty prefix of UNC paths are not directories to create.
        if (!prefix.empty() && prefix.back() != L':' && prefix.back() != L'\\') {
            ::CreateDirectoryW(prefix.c_str(), nullptr);
        }
        pos = filePath.find(L'\\', pos + 1);
    }
}

}  // namespace

std::wstring DecodeIniBytes(std::string_view bytes) {
    std::wstring text = base::Utf8ToWide(bytes.substr(0, bytes.find('\0')));
    for (wchar_t& c : text) {
        if (c == L'\r') c = L'\n';
    }
    return text;
}

bool QIniWrapEx::Load(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Clear();
        if (path.find(L'\\') == std::wstring::npos) return false;
        CreateParentDirectories(path);
        base::unique_hfile created(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        return created.valid();
    }

    Clear();
    base::unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxIniFileBytes) {
        return false;
    }
    const DWORD length = static_cast<DWORD>(size.QuadPart);
    std::string bytes(length, '\0');
    DWORD read = 0;
    if (length > 0 && (!::ReadFile(file.get(), bytes.data(), length, &read, nullptr) || read != length)) {
        return false;
    }
    Parse(DecodeIniBytes(bytes));
    return true;
}

bool QIniWrapEx::Parse(const std::wstring& text) {
    current_section_.clear();
    const size_t start = text.find(L'[');
    if (start == std::wstring::npos) return false;

    const std::wstring_view body = std::wstring_view(text).substr(start);
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t end = body.find(L'\n', pos);
        if (end == std::wstring_view::npos) end = body.size();
        const std::wstring_view line = TrimSet(TrimSet(body.substr(pos, end - pos), kWhiteSpace), L" ");
        pos = end + 1;
        if (line.empty()) continue;

        if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
            const std::wstring_view name = TrimSet(line.substr(1, line.size() - 2), L" ");
            if (name.empty()) return false;
            current_section_ = base::ToLowerInvariant(name);
            sections_[current_section_];  // a section without pairs still exists
            continue;
        }

        const size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos) return false;
        const std::wstring_view key = TrimBlanksRight(line.substr(0, equals));
        if (key.empty()) return false;
        const std::wstring_view value = TrimBlanksLeft(line.substr(equals + 1));
        sections_[current_section_][base::ToLowerInvariant(key)] = std::wstring(value);
    }
    return true;
}

bool QIniWrapEx::Serialize(std::wstring& out) const {
    out.clear();
    for (const auto& [name, pairs] : sections_) {
        out += L"[" + name + L"]\r\n";
        for (const auto& [key, value] : pairs) out += key + L"=" + value + L"\r\n";
    }
    return true;
}

const std::wstring* QIniWrapEx::Find(const std::wstring& section, const std::wstring& key) const {
    const auto s = sections_.find(base::ToLowerInvariant(section));
    if (s == sections_.end()) return nullptr;
    const auto k = s->second.find(base::ToLowerInvariant(key));
    return k == s->second.end() ? nullptr : &k->second;
}

int QIniWrapEx::GetInt(const std::wstring& section, const std::wstring& key, int defaultValue) const {
    const std::wstring* value = Find(section, key);
    return value ? _wtoi(value->c_str()) : defaultValue;
}

std::wstring QIniWrapEx::GetString(const std::wstring& section, const std::wstring& key) const {
    const std::wstring* value = Find(section, key);
    return value ? *value : std::wstring();
}

bool QIniWrapEx::Has(const std::wstring& section, const std::wstring& key) const {
    return Find(section, key) != nullptr;
}

void QIniWrapEx::Clear() {
    current_section_.clear();
    sections_.clear();
}

}  // namespace manifest
