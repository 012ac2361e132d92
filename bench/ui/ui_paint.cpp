// bench_ui_paint.exe: what one repaint costs in a real host window, as a ratio
// to one BitBlt of the same size measured in the same run: a progress-bar
// repaint of the 530 x 400 wizard (its update region only) against a full
// redraw of the whole layout. Each figure is the median of several batches.
// Both are measured twice: rendering into the back buffer only, and the whole
// paint message (rendering and presenting to the window).
//
// Prints a table and the line
//   ui-paint: full / progress render xR (goal at least x5)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../BenchCommon.h"
#include "ui/LxGdi.h"
#include "ui/host/LxDialogView.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

namespace {
constexpr int kProgressPage = 200;
constexpr int kConfirmPage = 100;
constexpr int kProgressBar = 206;
constexpr int kBatches = 7;
constexpr int kPerBatch = 200;
constexpr double kGoal = 5.0;

// Median over batches of the time of one call, in microseconds.
double Time(const std::function<void(int)>& once) {
    std::vector<double> batches;
    int n = 0;
    once(n++);  // warm-up
    for (int b = 0; b < kBatches; ++b) {
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        for (int i = 0; i < kPerBatch; ++i) once(n++);
        ::GdiFlush();
        ::QueryPerformanceCounter(&end);
        batches.push_back(bench::Microseconds(start.QuadPart, end.QuadPart) / kPerBatch);
    }
    std::sort(batches.begin(), batches.end());
    return batches[batches.size() / 2];
}

double BlitOf(SIZE size) {
    ui::LxDib from(size.cx, size.cy, true);
    ui::LxDib to(size.cx, size.cy, true);
    from.Fill(0xFF336699);
    return Time([&](int) { ::BitBlt(to.dc(), 0, 0, size.cx, size.cy, from.dc(), 0, 0, SRCCOPY); });
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}
}  // namespace

int wmain() {
    ui::LoadSkins();
    ui::LoadStyles();
    ui::LoadStrings();
    ui::CLxDialogViewImplEx host(ui::kWizardLayoutId);
    const RECT place = {100, 100, 101, 101};
    if (!host.Create(nullptr, &place)) {
        std::fprintf(stderr, "ui-paint: the host window could not be created\n");
        return 1;
    }
    host.SetItemVisible(kConfirmPage, false);
    host.SetItemVisible(kProgressPage, true);
    ::ShowWindow(host.hwnd(), SW_SHOW);
    ::UpdateWindow(host.hwnd());
    Pump();

    const RECT bar = host.FindChildById(kProgressBar)->Rect();
    const SIZE barSize = {ui::RectWidth(bar), ui::RectHeight(bar)};
    RECT client;
    ::GetClientRect(host.hwnd(), &client);
    const SIZE whole = {ui::RectWidth(client), ui::RectHeight(client)};

    const auto setValue = [&](int i) { host.SetItemAttribute(kProgressBar, "value", std::to_string(i % 101)); };
    const double blitBar = BlitOf(barSize);
    const double blitWhole = BlitOf(whole);
    const double progressRender = Time([&](int i) {
        setValue(i);
        host.Render();
    });
    const double fullRender = Time([&](int) {
        host.RedrawAll();
        host.Render();
    });
    const double progressPaint = Time([&](int i) {
        setValue(i);
        ::UpdateWindow(host.hwnd());
    });
    const double fullPaint = Time([&](int) {
        host.RedrawAll();
        ::UpdateWindow(host.hwnd());
    });
    Pump();

    std::printf("%-44s %10s %12s\n", "", "us", "x BitBlt");
    std::printf("%-44s %10.2f %12s\n",
                ("one BitBlt " + std::to_string(barSize.cx) + " x " + std::to_string(barSize.cy)).c_str(), blitBar,
                "1");
    std::printf("%-44s %10.2f %12s\n",
                ("one BitBlt " + std::to_string(whole.cx) + " x " + std::to_string(whole.cy)).c_str(), blitWhole, "1");
    std::printf("%-44s %10.2f %12.1f\n", "progress repaint, render", progressRender, progressRender / blitBar);
    std::printf("%-44s %10.2f %12.1f\n", "progress repaint, paint message", progressPaint, progressPaint / blitBar);
    std::printf("%-44s %10.2f %12.1f\n", "full redraw, render", fullRender, fullRender / blitWhole);
    std::printf("%-44s %10.2f %12.1f\n", "full redraw, paint message", fullPaint, fullPaint / blitWhole);
    const double ratio = fullRender / progressRender;
    std::printf("ui-paint: full / progress render x%.1f, paint message x%.1f (goal at least x%.0f): %s\n", ratio,
                fullPaint / progressPaint, kGoal, ratio >= kGoal ? "within" : "NOT within");
    host.DestroyNative();
    return 0;
}
