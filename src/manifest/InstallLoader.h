// The one run of the viewer's main program during a removal: it is started
// with "/setdefault:0" so that it gives up its file-type defaults itself.
#pragma once

#include <cstdint>
#include <string>

namespace manifest {

constexpr wchar_t kInstallLoaderKindExe[] = L"exe";
constexpr wchar_t kSetDefaultOffParameters[] = L"/setdefault:0";

// Results of QInstallLoader::Run.
constexpr int32_t kLoaderStarted = 0;
constexpr int32_t kLoaderAllLaunchesFailed = 313;
constexpr int32_t kLoaderEmptyPath = 314;
constexpr int32_t kLoaderFileMissing = 315;

class QInstallLoader {
public:
    virtual ~QInstallLoader() = default;

    // Stores kind and path; the parameters become "/setdefault:0".
    void Init(const std::wstring& kind, const std::wstring& path);
    // Starts the program through the launch chain (in the user's session
    // elevated, as the session user, plainly), hidden; each launch waits a
    // few seconds for the program.
    int32_t Run() const;

    const std::wstring& kind() const { return kind_; }
    const std::wstring& path() const { return path_; }
    const std::wstring& parameters() const { return parameters_; }

private:
    std::wstring kind_;
    std::wstring path_;
    std::wstring parameters_;
    bool show_ = false;
};

}  // namespace manifest
