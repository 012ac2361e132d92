#include "removal/PathContainment.h"

#include <windows.h>

#include <vector>

#include "base/platform.h"
#include "removal/Paths.h"

namespace removal {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The platform strips trailing dots and blanks from path segments, so a
// segment made only of them could mean ".." or nothing at all: refuse it
// unless it is exactly "." or "..".
bool IsDotsAndBlanksOnly(const std::wstring& segment) {
    for (const wchar_t c : segment) {
        if (c != L'.' && c != L' ') return false;
    }
    return true;
}

}  // namespace

bool JoinInsideDirectory(const std::wstring& directory, const std::wstring& relative, std::wstring& joined) {
    joined.clear();
    if (directory.empty() || relative.empty()) return false;
    // Rooted ("\x", "/x"), UNC ("\\server") and device ("\\?\", "\\.\") paths all start with a separator.
    if (IsSeparator(relative.front())) return false;
    // Drive letters ("C:x", "C:\x") and stream names; no installed item needs a colon.
    if (relative.find(L':') != std::wstring::npos) return false;

    std::vector<std::wstring> segments;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = start;
        while (end < relative.size() && !IsSeparator(relative[end])) ++end;
        const std::wstring segment = relative.substr(start, end - start);
        if (segment.empty() || segment == L".") {
            // doubled separators and "." name the same directory
        } else if (segment == L"..") {
            if (segments.empty()) return false;
            segments.pop_back();
        } else if (IsDotsAndBlanksOnly(segment)) {
            return false;
        } else {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    if (segments.empty()) return false;

    std::wstring result = directory;
    base::EnsureTrailingSeparator(result);
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) result.push_back(L'\\');
        result += segments[i];
    }
    if (IsSeparator(relative.back())) result.push_back(L'\\');
    joined = std::move(result);
    return true;
}

bool PassesThroughLink(const std::wstring& directory, const std::wstring& item) {
    std::wstring trimmed = item;
    while (!trimmed.empty() && IsSeparator(trimmed.back())) trimmed.pop_back();
    std::wstring base = directory;
    base::EnsureTrailingSeparator(base);
    for (size_t pos = base.size();; ++pos) {
        pos = trimmed.find(L'\\', pos);
        if (pos == std::wstring::npos) return false;
        if (IsLink(::GetFileAttributesW(trimmed.substr(0, pos).c_str()))) return true;
    }
}

bool JoinInsideDirectoryWithoutLinks(const std::wstring& directory, const std::wstring& relative,
                                     std::wstring& joined) {
    if (!JoinInsideDirectory(directory, relative, joined)) return false;
    if (!PassesThroughLink(directory, joined)) return true;
    joined.clear();
    return false;
}

}  // namespace removal
