// lumenox_setup.exe: lays down a sample installation of the viewer for the
// uninstaller to remove, and takes inventory of it. See SampleLayout.h.
#include <windows.h>

#include <string>
#include <vector>

#include "Setup.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.empty()) {
        sample::PrintLine(sample::SetupUsage());
        return sample::kExitFailed;
    }
    const std::wstring& first = args[0];
    if (first == L"--inventory" || first == L"--check-removed" || first == L"--cleanup") {
        if (args.size() != 2) {
            sample::PrintLine(sample::SetupUsage());
            return sample::kExitFailed;
        }
        if (first == L"--inventory") return sample::PrintInventory(args[1]);
        if (first == L"--check-removed") return sample::CheckRemoved(args[1]);
        return sample::Cleanup(args[1]);
    }
    if (first.rfind(L"--", 0) == 0) {
        sample::PrintLine(sample::SetupUsage());
        return sample::kExitFailed;
    }
    sample::SetupOptions options;
    std::wstring error;
    if (!sample::ParseSetupOptions(std::vector<std::wstring>(args.begin() + 1, args.end()), options, error)) {
        sample::PrintLine(L"error: " + error);
        sample::PrintLine(sample::SetupUsage());
        return sample::kExitFailed;
    }
    return sample::Install(first, options);
}
