// demo_driver.exe [--shots FOLDER] UNINSTALLER: starts UNINSTALLER plainly
// and goes through it as a person does, with mouse messages at the centres of
// its controls: answers the running-viewer question with 确定 when it comes,
// presses the uninstall button, waits for the farewell page and presses its
// button. Each step waits for what the screen shows, with a time limit. With
// --shots, what the screen shows of each window is saved in FOLDER:
// msgbox.png, wizard-confirm.png, wizard-progress.png, wizard-farewell.png.
// Exit code: 0 when the uninstaller went through and exited with 0; 1 when a
// step failed (the uninstaller is ended then); 2 on a usage error; 3 when the
// uninstaller itself exited with another code.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <utility>

#include "ScreenShot.h"
#include "base/unique_any.h"
#include "support/FileSystemSupport.h"
#include "support/WizardDriver.h"

namespace {

using namespace wizard_driver;
using testing_support::WaitUntil;

constexpr DWORD kWindowWaitMs = 30000;    // the first window after the start, the wizard after the question
constexpr DWORD kPaintWaitMs = 15000;     // a window's first steady paint
constexpr DWORD kRemovalWaitMs = 90000;   // from the uninstall button to the farewell page
constexpr DWORD kExitWaitMs = 30000;      // from the farewell button to the process's end
constexpr DWORD kEndWaitMs = 5000;        // a failed run's uninstaller after TerminateProcess
constexpr DWORD kSteadyGapMs = 100;       // a frame equal to the one this long before is fully painted
constexpr int kProgressShotPercent = 50;  // the progress shot is the last frame at or below this fill
constexpr int kPercent = 100;
constexpr int kStepFailed = 1;
constexpr int kUsage = 2;
constexpr int kUninstallerFailed = 3;
// Rows of the white panels, white once a window has painted: above the wizard's
// bottom frame, and the message box's body near its bottom.
constexpr POINT kWizardPainted = {265, 398};
constexpr POINT kBoxPainted = {kBoxIconCentre.x, kBoxSize.cy - 2};

enum class Page { Unpainted, Confirm, Progress, Farewell };

bool IsWhite(uint32_t pixel) { return NearColour(pixel, kWhite); }
// The points judged lie inside a frame of the window's size.
bool HasSize(const shots::Frame& frame, SIZE size) { return frame.width == size.cx && frame.height == size.cy; }

// The page a frame of the wizard shows, by the points its buttons cover: the
// farewell button covers the gap between the first page's buttons and the
// uninstall button's centre; the progress page has neither.
Page PageOf(const shots::Frame& frame) {
    if (!HasSize(frame, kWizardSize) || !IsWhite(frame.At(kWizardPainted))) return Page::Unpainted;
    if (!IsWhite(frame.At(kFarewellButton))) return Page::Farewell;
    if (!IsWhite(frame.At(kUninstallButton))) return Page::Confirm;
    return Page::Progress;
}

int FillPercent(const shots::Frame& frame) {
    int filled = 0;
    for (int x = 0; x < kProgressBarLength; ++x) {
        if (NearColour(frame.At({kProgressBarStart.x + x, kProgressBarStart.y}), kProgressFillColour)) ++filled;
    }
    return (filled * kPercent + kProgressBarLength / 2) / kProgressBarLength;
}

// The client area of `window` as the screen shows it.
shots::Frame Capture(HWND window) {
    RECT client = {};
    if (!::GetClientRect(window, &client)) return {};
    POINT origin = {0, 0};
    ::ClientToScreen(window, &origin);
    const RECT area = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return shots::CaptureScreen(area);
}

class Driver {
public:
    explicit Driver(std::wstring shots) : shots_(std::move(shots)), start_(::GetTickCount()) {}
    ~Driver() {
        if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.get(), kStepFailed);
            ::WaitForSingleObject(process_.get(), kEndWaitMs);
        }
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    int Run(const std::wstring& uninstaller) {
        if (!Start(uninstaller)) return Fail("cannot start %ls (error %lu)", uninstaller.c_str(), ::GetLastError());
        HWND box = nullptr;
        HWND wizard = nullptr;
        WaitUntil(
            [&] {
                box = WaitForWindow(pid_, kBoxSize, 0);
                if (!box) wizard = WaitForWindow(pid_, kWizardSize, 0);
                return box || wizard || Ended();
            },
            kWindowWaitMs);
        if (!box && !wizard) {
            if (Ended()) return Fail("the uninstaller ended with code %lu before showing a window", ExitCode());
            return Fail("no window of the uninstaller within %lu s", kWindowWaitMs / 1000);
        }
        if (box && !AnswerTheQuestion(box, wizard)) return kStepFailed;

        shots::Frame confirm;
        if (!WaitSteady(
                wizard, [](const shots::Frame& f) { return PageOf(f) == Page::Confirm; }, confirm)) {
            return Fail("the wizard's confirmation page was not painted within %lu s", kPaintWaitMs / 1000);
        }
        Note("the confirmation page is shown");
        Save(confirm, L"wizard-confirm");

        Note("pressing the uninstall button");
        Click(wizard, kUninstallButton);
        ParkPointer();
        shots::Frame progress;
        int progressPercent = -1;
        const bool farewell = WaitUntil(
            [&] {
                if (Ended()) return true;
                const shots::Frame frame = Capture(wizard);
                const Page page = PageOf(frame);
                if (page == Page::Progress) {
                    const int percent = FillPercent(frame);
                    if (percent != progressPercent) Note("progress page, bar at %d%%", percent);
                    if (percent <= kProgressShotPercent) progress = frame;
                    progressPercent = percent;
                }
                return page == Page::Farewell;
            },
            kRemovalWaitMs);
        if (Ended()) return Fail("the uninstaller ended with code %lu during the removal", ExitCode());
        if (!farewell) return Fail("no farewell page within %lu s of the uninstall button", kRemovalWaitMs / 1000);
        if (progress.empty()) {
            Note("the progress page was never seen with its bar at %d%% or less: no progress shot",
                 kProgressShotPercent);
        } else {
            Save(progress, L"wizard-progress");
        }

        shots::Frame last;
        if (!WaitSteady(
                wizard, [](const shots::Frame& f) { return PageOf(f) == Page::Farewell; }, last)) {
            return Fail("the farewell page did not settle within %lu s", kPaintWaitMs / 1000);
        }
        Note("the farewell page is shown");
        Save(last, L"wizard-farewell");

        Note("pressing the farewell button");
        Click(wizard, kFarewellButton);
        if (::WaitForSingleObject(process_.get(), kExitWaitMs) != WAIT_OBJECT_0) {
            return Fail("the uninstaller still runs %lu s after the farewell button", kExitWaitMs / 1000);
        }
        Note("the uninstaller exited with code %lu", ExitCode());
        if (!saved_) return kStepFailed;
        return ExitCode() == 0 ? 0 : kUninstallerFailed;
    }

private:
    // The uninstaller's standard handles are the null device, not the
    // driver's: the programs it leaves running (the self-removal script) would
    // otherwise hold the caller's pipe open after both have ended.
    bool Start(const std::wstring& program) {
        std::wstring line = L"\"" + program + L"\"";
        base::unique_hfile null(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = null.get();
        si.hStdOutput = null.get();
        si.hStdError = null.get();
        PROCESS_INFORMATION pi = {};
        if (!null ||
            !::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return false;
        }
        process_.reset(pi.hProcess);
        base::unique_handle thread(pi.hThread);
        pid_ = pi.dwProcessId;
        Note("started %ls (process %lu)", program.c_str(), pid_);
        return true;
    }

    // The running-viewer question: saved, then answered with 确定, after which the wizard comes.
    bool AnswerTheQuestion(HWND box, HWND& wizard) {
        shots::Frame frame;
        if (!WaitSteady(
                box, [](const shots::Frame& f) { return HasSize(f, kBoxSize) && IsWhite(f.At(kBoxPainted)); }, frame)) {
            Fail("the message box was not painted within %lu s", kPaintWaitMs / 1000);
            return false;
        }
        Note("the running-viewer question is shown");
        Save(frame, L"msgbox");
        Note("answering 确定");
        Click(BoxView(box), kBoxYesButton);
        ParkPointer();
        wizard = WaitForWindow(pid_, kWizardSize, kWindowWaitMs);
        if (!wizard) {
            if (Ended())
                Fail("the uninstaller ended with code %lu after the question", ExitCode());
            else
                Fail("no wizard within %lu s of the answer", kWindowWaitMs / 1000);
            return false;
        }
        return true;
    }

    // Waits until the window shows the same frame twice in a row and `ready`
    // holds for it; that frame is `frame`.
    template <typename Ready>
    bool WaitSteady(HWND window, Ready ready, shots::Frame& frame) {
        shots::Frame previous;
        return WaitUntil(
            [&] {
                frame = Capture(window);
                const bool steady = !frame.empty() && frame == previous && ready(frame);
                previous = frame;
                if (!steady) ::Sleep(kSteadyGapMs);
                return steady;
            },
            kPaintWaitMs);
    }

    // The pointer leaves the windows, so that no button shows its hover state.
    static void ParkPointer() { ::SetCursorPos(0, 0); }

    void Save(const shots::Frame& frame, const wchar_t* name) {
        if (shots_.empty()) return;
        const std::wstring path = shots_ + L"\\" + name + L".png";
        if (shots::SavePng(frame, path)) {
            Note("saved %ls", path.c_str());
        } else {
            Note("FAILED to save %ls", path.c_str());
            saved_ = false;
        }
    }

    bool Ended() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return code;
    }

    void Print(FILE* out, const char* format, va_list args) const {
        std::fprintf(out, "%6.1f s  ", (::GetTickCount() - start_) / 1000.0);
        std::vfprintf(out, format, args);
        std::fputc('\n', out);
        std::fflush(out);
    }
    void Note(const char* format, ...) const {
        va_list args;
        va_start(args, format);
        Print(stdout, format, args);
        va_end(args);
    }
    int Fail(const char* format, ...) const {
        va_list args;
        va_start(args, format);
        std::fputs("demo_driver: ", stderr);
        Print(stderr, format, args);
        va_end(args);
        return kStepFailed;
    }

    std::wstring shots_;
    DWORD start_;
    base::unique_handle process_;
    DWORD pid_ = 0;
    bool saved_ = true;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring shots;
    std::wstring uninstaller;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--shots" && i + 1 < argc) {
            shots = argv[++i];
        } else if (uninstaller.empty() && arg.rfind(L"--", 0) != 0) {
            uninstaller = arg;
        } else {
            uninstaller.clear();
            break;
        }
    }
    if (uninstaller.empty()) {
        std::fprintf(stderr, "usage: demo_driver.exe [--shots FOLDER] UNINSTALLER\n");
        return kUsage;
    }
    if (!shots.empty() && !::CreateDirectoryW(shots.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        std::fprintf(stderr, "demo_driver: cannot make %ls\n", shots.c_str());
        return kUsage;
    }
    Driver driver(shots);
    return driver.Run(uninstaller);
}
