// The record of an installation's options (one argument a line, UTF-8) and
// console output.
#include <windows.h>

#include "Setup.h"
#include "SystemState.h"
#include "base/text.h"

namespace sample {

bool SaveSetupRecord(const std::wstring& installDir, const SetupOptions& options) {
    std::string text;
    for (const std::wstring& arg : SetupOptionArguments(options)) text += base::WideToUtf8(arg) + "\r\n";
    return WriteFileBytes(SetupRecordPath(installDir), text);
}

bool LoadSetupRecord(const std::wstring& installDir, SetupOptions& options) {
    const std::string text = ReadFileBytes(SetupRecordPath(installDir));
    if (text.empty()) return false;
    std::vector<std::wstring> args;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        args.push_back(base::Utf8ToWide(line));
        start = end + 1;
    }
    std::wstring error;
    return ParseSetupOptions(args, options, error);
}

void PrintLine(const std::wstring& text) {
    const std::string line = base::WideToUtf8(text) + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace sample
