// bench_empty_gui.exe: the baseline of the start-up benchmark (bench/startup.sh).
// A windowed program built and linked the way uninst.exe is (static run-time,
// GUI subsystem, wide entry) that does nothing: what any program of ours pays
// to start and exit under Wine.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
