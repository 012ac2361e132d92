// bench_ui_load.exe: how long the UI library takes to load the program's three
// pool documents (skins, styles, strings) and build and lay out both layouts,
// as the program does before its first window. With "--empty" it returns at
// once: the start-up baseline that bench/ui-load.sh measures in the same run.
//
// Prints one line:
//   ui-load: pools P us, layouts L us, total T us, repaint fonts F images I, elements E
// The counts come from painting both layouts once into a memory bitmap
// afterwards (fonts created and images decoded for that paint).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "../BenchCommon.h"
#include "ui/LxGdi.h"
#include "ui/layout/LxLayout.h"
#include "ui/pools/LxFontPool.h"
#include "ui/pools/LxImagePool.h"
#include "ui/pools/LxSkinPool.h"
#include "ui/pools/LxStringPool.h"
#include "ui/pools/LxStyle.h"

namespace {
using bench::kWizardHeight;
using bench::kWizardWidth;
constexpr int kBoxWidth = 354;
constexpr int kBoxHeight = 180;
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wcscmp(argv[1], L"--empty") == 0) return 0;
    LARGE_INTEGER start, pools, done;
    ::QueryPerformanceCounter(&start);
    ui::LoadSkins();
    ui::LoadStyles();
    ui::LoadStrings();
    ::QueryPerformanceCounter(&pools);
    ui::LxLayout wizard(ui::LxHostKind::Extended);
    wizard.LoadLayoutResource(ui::kWizardLayoutId);
    wizard.Arrange({0, 0, kWizardWidth, kWizardHeight});
    ui::LxLayout box(ui::LxHostKind::Plain);
    box.LoadLayoutResource(ui::kMessageBoxLayoutId);
    box.Arrange({0, 0, kBoxWidth, kBoxHeight});
    ::QueryPerformanceCounter(&done);

    ui::LxDib wizardCanvas(kWizardWidth, kWizardHeight);
    ui::LxDib boxCanvas(kBoxWidth, kBoxHeight);
    wizard.Paint(wizardCanvas.dc(), nullptr);
    box.Paint(boxCanvas.dc(), nullptr);
    int elements = 0;
    auto count = [&elements](ui::CLxWindow&) { ++elements; };
    wizard.VisitElements(count);
    box.VisitElements(count);
    std::printf("ui-load: pools %.0f us, layouts %.0f us, total %.0f us, repaint fonts %zu images %zu, elements %d\n",
                bench::Microseconds(start.QuadPart, pools.QuadPart), bench::Microseconds(pools.QuadPart, done.QuadPart),
                bench::Microseconds(start.QuadPart, done.QuadPart), ui::LxFontPool::Global().CreatedCount(),
                ui::LxImagePool::Png().DecodedCount() + ui::LxImagePool::Jpg().DecodedCount(), elements);
    return 0;
}
