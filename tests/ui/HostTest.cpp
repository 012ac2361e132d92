// Host windows under the test display: real windows, real mouse messages at
// control centres, pixels read back from the back buffer and the screen.
#include <gtest/gtest.h>
#include <windows.h>
// After the platform's types.
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UiSupport.h"
#include "ui/elements/LxNotify.h"
#include "ui/host/LxDialogImpl.h"
#include "ui/host/LxDialogView.h"
#include "ui/host/LxModal.h"

using namespace ui;
using namespace uitest;

namespace {
constexpr uint32_t kRedRgb = Rgb(kRed);
constexpr uint32_t kGreenRgb = Rgb(kGreen);
constexpr uint32_t kBlueRgb = Rgb(kBlue);
constexpr uint32_t kWhiteRgb = Rgb(kWhite);
constexpr POINT kOrigin = {100, 100};
const RECT kBackdropRect = {0, 0, 800, 700};

// A screen pixel as 0xRRGGBB, now or once it shows `want` (the last seen).
uint32_t ScreenPixel(POINT screen) {
    HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, screen.x, screen.y);
    ::ReleaseDC(nullptr, dc);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

uint32_t WaitForPixel(POINT screen, uint32_t want) {
    uint32_t seen = 0;
    PumpUntil([&] { return (seen = ScreenPixel(screen)) == want; });
    return seen;
}

size_t GdiObjects() {
    if (const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return counted;
    // Wine keeps no count; its handles carry their table slot in the low word,
    // so asking the type of every slot counts the live objects.
    constexpr ULONG_PTR kSlots = 0x10000;
    size_t live = 0;
    for (ULONG_PTR slot = 1; slot < kSlots; ++slot) live += ::GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) ? 1 : 0;
    return live;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

BOOL CALLBACK CountTop(HWND hwnd, LPARAM count) {
    ::EnumChildWindows(hwnd, CountChild, count);
    return CountChild(hwnd, count);
}

// Windows of this process.
size_t UserObjects() {
    if (const DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)) return counted;
    size_t count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountTop, reinterpret_cast<LPARAM>(&count));
    return count;
}

struct Notice {
    UINT_PTR sender;
    UINT code;
    int32_t id;
    std::string cls;
};

// A host (or dialog) that records notifications, system commands (swallowed:
// no native move or size loop starts) and mouse moves before the library
// handles the rest.
template <typename Base>
class Recorder : public Base {
public:
    using Base::Base;
    struct Seen {
        std::vector<Notice> notices;
        std::vector<WPARAM> sysCommands;
        int mouseMoves = 0;
        bool Clicked(int32_t id) const {
            return std::any_of(notices.begin(), notices.end(),
                               [&](const Notice& n) { return n.code == LXNM_CLICK && n.id == id; });
        }
        void Clear() { *this = Seen(); }
    } seen;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NOTIFY) {
            const auto* n = reinterpret_cast<const LxNotifyRecord*>(lParam);
            seen.notices.push_back({n->hdr.idFrom, n->hdr.code, n->id, n->className ? n->className : ""});
            return 0;
        }
        if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) != SC_CLOSE) {
            seen.sysCommands.push_back(wParam);
            return 0;
        }
        if (message == WM_MOUSEMOVE) ++seen.mouseMoves;
        return Base::HandleMessage(message, wParam, lParam);
    }
};
using View = Recorder<CLxDialogViewImplEx>;
using Dialog = Recorder<CLxDialogImpl>;

// Shows a host's window at `origin` and waits for its view's first paint.
bool Show(HWND window, const CLxDialogViewImpl& view, POINT origin) {
    ::SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    return PumpUntil([&] { return view.PaintStats().renders > 0; });
}
bool Open(CLxDialogViewImpl& host, POINT origin) { return host.Create(nullptr) && Show(host.hwnd(), host, origin); }
bool Open(CLxDialogViewImpl& host, const std::string& layout, POINT origin = kOrigin) {
    return host.LoadLayout(layout) && Open(host, origin);
}
bool Open(CLxDialogImpl& dialog, POINT origin) {
    return dialog.Create(nullptr) && Show(dialog.hwnd(), dialog.View(), origin);
}

POINT ScreenOf(const CLxDialogViewImpl& host, POINT client) {
    ::ClientToScreen(host.hwnd(), &client);
    return client;
}

// Real mouse input as a person gives it: the pointer moves there, then the
// message is posted to the host window at the client point.
void PostMouse(const CLxDialogViewImpl& host, UINT message, POINT client) {
    const POINT screen = ScreenOf(host, client);
    ::SetCursorPos(screen.x, screen.y);
    ::PostMessageW(host.hwnd(), message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(client.x, client.y));
}

// Skins made in the test: "tri" (three 40 by 40 slices red, green, blue),
// "solid" (60 by 80 blue), "dlg_shadow" (10 by 10 green, when asked), and
// the style class "tri" naming the skin "tri".
struct TestSkins {
    CleanPools clean;
    ServedSources served;
    explicit TestSkins(bool shadowSkin = false) {
        served.Add(1, L"png", EncodeImage(Bands({kRed, kGreen, kBlue}, 40, 40), 120, 40));
        served.Add(2, L"png", EncodeImage(Bands({kBlue}, 60, 80), 60, 80));
        served.Add(3, L"png", EncodeImage(Bands({kGreen}, 10, 10), 10, 10));
        std::string doc = "<skins><png name='tri' src='1' subwidth='40'/><png name='solid' src='2'/>";
        if (shadowSkin) doc += "<png name='dlg_shadow' src='3'/>";
        LxSkinPool::Global().LoadDocument(doc + "</skins>");
        LxStylePool::Global().LoadDocument("<style><class name='tri' skin='tri'/></style>");
    }
};
}  // namespace

TEST(UiHost, TwoRepaintsBeforeOnePaintRenderBothRectanglesAndNothingElse) {
    TestSkins skins;
    View host(0);
    ASSERT_TRUE(Open(host, "<layer width='200' height='100'><body crbg='ffffff'>"
                           "<dlg id='1' pos='10,10,40,40' crbg='ff0000'/><dlg id='2' pos='60,50,90,90' crbg='00ff00'/>"
                           "<dlg id='3' pos='110,10,140,40' crbg='0000ff'/></body></layer>"));
    const RECT r1 = host.FindChildById(1)->Rect();
    const RECT r2 = host.FindChildById(2)->Rect();
    LxDib& buffer = *host.BackBuffer();
    constexpr uint32_t kSentinel = 0xFF123456;
    buffer.Fill(kSentinel);
    const LxPaintStats before = host.PaintStats();

    host.RedrawItem(host.FindChildById(1));
    host.RedrawItem(host.FindChildById(2));
    ::UpdateWindow(host.hwnd());

    EXPECT_EQ(host.PaintStats().renders, before.renders + 1);
    EXPECT_EQ(host.PaintStats().fullRenders, before.fullRenders);
    int outsideTouched = 0;
    int insideKept = 0;
    for (int y = 0; y < buffer.height(); ++y) {
        for (int x = 0; x < buffer.width(); ++x) {
            const POINT p = {x, y};
            const bool inside = ::PtInRect(&r1, p) || ::PtInRect(&r2, p);
            const bool kept = buffer.At(x, y) == kSentinel;
            outsideTouched += !inside && !kept ? 1 : 0;
            insideKept += inside && kept ? 1 : 0;
        }
    }
    EXPECT_EQ(outsideTouched, 0);
    EXPECT_EQ(insideKept, 0);
    EXPECT_EQ(Rgb(buffer.At(25, 25)), kRedRgb);
    EXPECT_EQ(Rgb(buffer.At(75, 70)), kGreenRgb);
    // Only the repainted rectangles reach the screen as well.
    EXPECT_EQ(WaitForPixel(ScreenOf(host, {25, 25}), kRedRgb), kRedRgb);
    Pump();
    EXPECT_EQ(ScreenPixel(ScreenOf(host, {125, 25})), kBlueRgb);
    EXPECT_EQ(ScreenPixel(ScreenOf(host, {5, 95})), kWhiteRgb);
}

TEST(UiHost, LayeredHostPresentsOnlyThroughTheLayeredUpdate) {
    struct Case {
        int layered;
        uint32_t uncovered;  // where nothing is drawn: the backdrop shows through, or the cleared buffer
    };
    for (const Case c : {Case{1, kRedRgb}, Case{0, Rgb(kBlack)}}) {
        SCOPED_TRACE(c.layered);
        TestSkins skins;
        Backdrop backdrop(kBackdropRect, kRedRgb);
        View host(0);
        ASSERT_TRUE(Open(host, "<layer width='120' height='80' layered='" + std::to_string(c.layered) +
                               "'><body><img id='9' pos='0,0,60,80' skin='solid'/></body></layer>"));
        EXPECT_EQ(host.IsLayered(), c.layered == 1);
        EXPECT_EQ(WaitForPixel(ScreenOf(host, {30, 40}), kBlueRgb), kBlueRgb);
        EXPECT_EQ(WaitForPixel(ScreenOf(host, {90, 40}), c.uncovered), c.uncovered);
        host.RedrawItem(host.FindChildById(9));
        ::UpdateWindow(host.hwnd());
        host.RenderAndPresent();
        const LxPaintStats& stats = host.PaintStats();
        EXPECT_GE(stats.renders, 2u);
        EXPECT_EQ(c.layered ? stats.copyPresents : stats.layeredPresents, 0u);
        EXPECT_GE(c.layered ? stats.layeredPresents : stats.copyPresents, 2u);
        // A partial repaint of a layered window starts transparent where it repaints.
        EXPECT_EQ(WaitForPixel(ScreenOf(host, {30, 40}), kBlueRgb), kBlueRgb);
    }
}

// The tool tip carries the hovered element's tip, and none over one without.
TEST(UiHost, HoverAndPushShowTheirSlicesAndTipsOnScreen) {
    TestSkins skins;
    View host(0);
    ASSERT_TRUE(
        host.LoadLayout("<layer width='200' height='100'><body crbg='ffffff'>"
                        "<imgbtn id='5' pos='20,20' skin='tri' tip='first tip'/>"
                        "<dlgbtnEx2 id='6' pos='100,20,140,60' class='tri'><text pos='0,0,-0,-0'/></dlgbtnEx2>"
                        "</body></layer>"));
    ::SetCursorPos(kOrigin.x - 50, kOrigin.y - 50);  // not where an earlier test left it, over a button
    ASSERT_TRUE(Open(host, kOrigin));
    const POINT away = {180, 90};
    struct Step {
        const char* what;
        UINT message;  // 0: none; WM_MOUSELEAVE: the pointer leaves the window, the platform tells
        bool onButton;
        uint32_t slice;
    };
    const Step steps[] = {
        {"rest", 0, false, kRedRgb},
        {"hover", WM_MOUSEMOVE, true, kGreenRgb},
        {"push", WM_LBUTTONDOWN, true, kBlueRgb},
        {"release", WM_LBUTTONUP, true, kGreenRgb},
        {"elsewhere", WM_MOUSEMOVE, false, kRedRgb},
        {"hover again", WM_MOUSEMOVE, true, kGreenRgb},
        {"out of the window", WM_MOUSELEAVE, false, kRedRgb},
    };
    ASSERT_NE(host.ToolTipWindow(), nullptr);
    for (int id : {5, 6, 5}) {
        const POINT centre = Centre(*host.FindChildById(id));
        const POINT probe = {centre.x - 15, centre.y - 15};  // clear of any text
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(step.what) + " " + std::to_string(id));
            if (step.message == WM_MOUSELEAVE) {
                ::SetCursorPos(kOrigin.x - 50, kOrigin.y - 50);
            } else if (step.message) {
                PostMouse(host, step.message, step.onButton ? centre : away);
            }
            EXPECT_EQ(WaitForPixel(ScreenOf(host, probe), step.slice), step.slice);
            if (step.message != WM_MOUSEMOVE || !step.onButton) continue;
            wchar_t text[64] = {};
            TTTOOLINFOW tool = {};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.hwnd = host.hwnd();
            tool.uId = reinterpret_cast<UINT_PTR>(host.hwnd());
            tool.lpszText = text;
            ::SendMessageW(host.ToolTipWindow(), TTM_GETTEXTW, ARRAYSIZE(text), reinterpret_cast<LPARAM>(&tool));
            EXPECT_EQ(std::wstring(text), id == 5 ? L"first tip" : L"");
        }
        EXPECT_TRUE(host.seen.Clicked(id));
    }
}

TEST(UiHost, HeaderPressOfANoMoveLayerStartsNoWindowMove) {
    TestSkins skins;
    View host(0);
    ASSERT_TRUE(Open(host, "<layer width='200' height='100' nomove='1'><header height='40'>"
                           "<img id='7' pos='0,0,-0,-0' skin='solid'/></header><body crbg='ffffff'/></layer>"));
    PostMouse(host, WM_LBUTTONDOWN, Centre(*host.FindChildById(7)));
    Pump();
    EXPECT_TRUE(host.seen.sysCommands.empty());
}

// The message box's view moves the dialog it lives in from its header.
TEST(UiHost, MessageBoxViewReportsClicksToItsDialogWithItsControlId) {
    ProgramPools pools;
    Dialog box(kMessageBoxLayoutId);
    ASSERT_TRUE(Open(box, kOrigin));
    const CLxDialogView& view = box.View();
    EXPECT_EQ(::GetDlgCtrlID(view.hwnd()), static_cast<int>(kDefaultViewId));
    struct Case { const char* what; std::function<void()> act; int32_t id; const char* cls; };
    const auto click = [&](int id) {
        const POINT at = Centre(*view.FindChildById(id));
        PostMouse(view, WM_MOUSEMOVE, at);
        PostMouse(view, WM_LBUTTONDOWN, at);
        PostMouse(view, WM_LBUTTONUP, at);
    };
    const Case cases[] = {
        {"first button", [&] { click(108); }, 108, "dlgbtn"},
        {"its text", [&] { click(111); }, 108, "dlgbtn"},
        {"close button", [&] { click(100); }, 100, "imgbtn"},
        {"close request", [&] { ::PostMessageW(box.hwnd(), WM_CLOSE, 0, 0); }, IDCANCEL, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        box.seen.Clear();
        c.act();
        ASSERT_TRUE(PumpUntil([&] { return box.seen.Clicked(c.id); }));
        for (const Notice& n : box.seen.notices) {
            EXPECT_EQ(n.sender, kDefaultViewId);
            if (n.code == LXNM_CLICK) {
                EXPECT_EQ(n.cls, c.cls);
            }
        }
        // Moves in the view reach the dialog too.
        if (c.id != IDCANCEL) {
            EXPECT_GT(box.seen.mouseMoves, 0);
        }
    }
    EXPECT_TRUE(::IsWindowVisible(box.hwnd()));  // a close request leaves the box open
    box.seen.Clear();
    PostMouse(view, WM_LBUTTONDOWN, {150, 15});
    Pump();
    EXPECT_EQ(box.seen.sysCommands, std::vector<WPARAM>{SC_MOVE | HTCAPTION});
    // The view's outline: translucent black along the edges, chamfered corners.
    const LxDib& buffer = *view.BackBuffer();
    EXPECT_LT(Rgb(buffer.At(buffer.width() / 2, 0)), 0xD0D0D0u);
    EXPECT_LT(Rgb(buffer.At(0, buffer.height() / 2)), 0xD0D0D0u);
    EXPECT_EQ(buffer.At(0, 0), buffer.At(buffer.width() / 2, 10));  // the header's own colour
}

TEST(UiHost, ModalSessionMapsEnterAndEscToControlsOneAndTwo) {
    TestSkins skins;
    View owner(0);
    ASSERT_TRUE(Open(owner, "<layer width='400' height='300'><body crbg='ffffff'/></layer>", {50, 50}));
    ::SetActiveWindow(owner.hwnd());
    struct Case { WPARAM key; int32_t id; };
    for (const Case c : {Case{VK_RETURN, IDOK}, Case{VK_ESCAPE, IDCANCEL}}) {
        SCOPED_TRACE(c.key);
        View host(0);
        ASSERT_TRUE(host.LoadLayout("<layer width='100' height='60'><body crbg='00ff00'/></layer>"));
        {
            LxModalSession session;
            EXPECT_EQ(session.Owner(), owner.hwnd());
            EXPECT_FALSE(::IsWindowEnabled(owner.hwnd()));
            ASSERT_TRUE(host.Create(session.Owner()));
            session.Show(host.hwnd());
            EXPECT_EQ(CurrentModalWindow(), host.hwnd());
            RECT h;  // centred over the owner
            ::GetWindowRect(host.hwnd(), &h);
            EXPECT_EQ(h.left, 50 + (400 - 100) / 2);
            EXPECT_EQ(h.top, 50 + (300 - 60) / 2);
            ::PostMessageW(host.hwnd(), WM_KEYDOWN, c.key, 0);
            const DWORD start = ::GetTickCount();
            session.Run([&] { return host.seen.Clicked(c.id) || ::GetTickCount() - start > 3000; });
            ASSERT_FALSE(host.seen.notices.empty());
            EXPECT_EQ(host.seen.notices.back().sender, kTopLevelSenderId);
            EXPECT_EQ(host.seen.notices.back().id, c.id);
        }
        EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
        EXPECT_EQ(CurrentModalWindow(), nullptr);
        EXPECT_FALSE(::IsWindowVisible(host.hwnd()));
    }
}

TEST(UiHost, ShadowHidesWithAMinimisedOwnerAndReturnsOnRestore) {
    TestSkins skins(true);
    View host(0);
    ASSERT_TRUE(Open(host, "<layer width='120' height='80'><body crbg='ffffff'/></layer>"));
    HWND shadow = host.Shadow().Window();
    ASSERT_NE(shadow, nullptr);
    EXPECT_EQ(::GetWindow(shadow, GW_OWNER), host.hwnd());
    struct Step { int show; bool visible; };
    for (const Step s : {Step{SW_SHOWNA, true}, Step{SW_MINIMIZE, false}, Step{SW_RESTORE, true}, Step{SW_HIDE, false},
                         Step{SW_SHOW, true}}) {
        SCOPED_TRACE(s.show);
        ::ShowWindow(host.hwnd(), s.show);
        EXPECT_TRUE(PumpUntil([&] { return (::IsWindowVisible(shadow) != FALSE) == s.visible; }));
    }
    ::DestroyWindow(host.hwnd());
    EXPECT_FALSE(::IsWindow(shadow));
}

namespace {
// Paints the shadow from the skin "solid" (blue), as an owner's hook does.
struct SolidShadow : IShadowPaintHook {
    int PaintShadow(HDC dc, const RECT& rect) override { return DrawShadowFrame(dc, rect, "solid", 4, 4) ? 0 : 1; }
};
}  // namespace

TEST(UiHost, ShadowDrawsTheDlgShadowSkinOrTheHookAndNothingWithoutBoth) {
    struct Case {
        const char* what;
        bool programLayout;  // the wizard's layout and skins, which have no "dlg_shadow"
        bool hook;
        uint32_t band;
    };
    for (const Case c : {Case{"wizard", true, false, kRedRgb}, Case{"with skin", false, false, kGreenRgb},
                         Case{"hook", false, true, kBlueRgb}}) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<ProgramPools> program;
        std::unique_ptr<TestSkins> test;
        if (c.programLayout) {
            program = std::make_unique<ProgramPools>();
        } else {
            test = std::make_unique<TestSkins>(true);
        }
        Backdrop backdrop(kBackdropRect, kRedRgb);
        View host(c.programLayout ? kWizardLayoutId : 0);
        SolidShadow hook;
        if (c.hook) host.Shadow().SetPaintHook(&hook);
        if (!c.programLayout) {
            ASSERT_TRUE(host.LoadLayout("<layer width='530' height='400'><body crbg='ffffff'/></layer>"));
        }
        ASSERT_TRUE(Open(host, kOrigin));
        HWND shadow = host.Shadow().Window();
        ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }));
        EXPECT_GE(host.Shadow().Renders(), 1u);
        RECT r;
        ::GetWindowRect(host.hwnd(), &r);
        const int s = host.Shadow().Size();
        EXPECT_EQ(WaitForPixel({r.left - s / 2, r.top + 300}, c.band), c.band);
        EXPECT_EQ(WaitForPixel({r.right + s / 2, r.bottom - 10}, c.band), c.band);
        // The frame never covers its owner.
        EXPECT_EQ(ScreenPixel({r.left + 5, r.bottom - 5}), kWhiteRgb);
    }
}

TEST(UiHost, ResizableLayerAnswersItsBorderAndStartsDragsAndToggles) {
    TestSkins skins;
    View host(0);
    ASSERT_TRUE(Open(host, "<layer width='200' height='100' resize='1'><header height='40'>"
                           "<img pos='0,0,-0,-0' skin='solid'/></header><body crbg='ffffff'/></layer>"));
    // The hit code at a client point, and the system command a press there starts.
    const struct { POINT client; int code; WPARAM press; } cases[] = {
        {{1, 1}, HTTOPLEFT, SC_SIZE + WMSZ_TOPLEFT},          {{198, 1}, HTTOPRIGHT, SC_SIZE + WMSZ_TOPRIGHT},
        {{100, 2}, HTTOP, SC_SIZE + WMSZ_TOP},                {{2, 50}, HTLEFT, SC_SIZE + WMSZ_LEFT},
        {{2, 98}, HTBOTTOMLEFT, SC_SIZE + WMSZ_BOTTOMLEFT},   {{100, 97}, HTBOTTOM, SC_SIZE + WMSZ_BOTTOM},
        {{199, 99}, HTBOTTOMRIGHT, SC_SIZE + WMSZ_BOTTOMRIGHT}, {{197, 50}, HTRIGHT, SC_SIZE + WMSZ_RIGHT},
        {{100, 20}, HTCLIENT, SC_MOVE | HTCAPTION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const POINT screen = ScreenOf(host, c.client);
        EXPECT_EQ(::SendMessageW(host.hwnd(), WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)), c.code);
        host.seen.Clear();
        ::SendMessageW(host.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.client.x, c.client.y));
        EXPECT_EQ(host.seen.sysCommands, std::vector<WPARAM>{c.press});
    }
    // A double click on the header maximises, and restores once maximised.
    host.seen.Clear();
    ::SendMessageW(host.hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(100, 20));
    EXPECT_EQ(host.seen.sysCommands, std::vector<WPARAM>{SC_MAXIMIZE | HTCAPTION});
}

namespace {
// Where a trace marks a window's first frame.
struct PresentCount : ILxPresentListener {
    void OnHostPresented(HWND window) override {
        host = window;
        ++count;
    }
    HWND host = nullptr;
    unsigned count = 0;
};
}  // namespace

TEST(UiHost, HostWithABrokenLayoutOpensAndPaintsItsBackground) {
    constexpr int kNoSuchLayout = 9999;
    for (const char* xml : {"<layer width='50'", "<dialog width='50' height='50'/>", ""}) {
        SCOPED_TRACE(xml);
        CleanPools clean;
        Backdrop backdrop(kBackdropRect, kRedRgb);
        View host(kNoSuchLayout);
        PresentCount presents;
        host.SetPresentListener(&presents);
        EXPECT_FALSE(host.LoadLayout(xml));
        const RECT place = {kOrigin.x, kOrigin.y, kOrigin.x + 80, kOrigin.y + 60};
        ASSERT_TRUE(host.Create(nullptr, &place, WS_POPUP | WS_VISIBLE));
        EXPECT_FALSE(host.Layout().Loaded());
        ASSERT_TRUE(PumpUntil([&] { return host.PaintStats().copyPresents > 0; }));
        EXPECT_EQ(presents.count, host.PaintStats().copyPresents);
        EXPECT_EQ(presents.host, host.hwnd());
        EXPECT_EQ(WaitForPixel({kOrigin.x + 40, kOrigin.y + 30}, Rgb(kBlack)), Rgb(kBlack));
        PostMouse(host, WM_LBUTTONDOWN, {40, 30});
        PostMouse(host, WM_LBUTTONUP, {40, 30});
        Pump();
        EXPECT_TRUE(host.seen.notices.empty());
    }
}

// Painting never leaks: after a round that fills the caches (fonts per code,
// images, the shadow routine's library), a thousand rounds of hovering,
// pressing, releasing and repainting every control and every way of painting
// text leave the handle counts where they were.
TEST(UiHost, HandleCountsStayFlatOverRepaintsHoversAndClicks) {
    Canvas pools(1, 1);  // its skins
    pools.Styles("<class name='shadow' shadow='1' crtext='ff0000' crhover='00ff00'/>"
                 "<class name='plus' gdiplus='1' crtext='0000ff' pushfont='0104' textmode='25'/>"
                 "<class name='link' hoverfont='0002' pushfont='0204' crpush='ff0000'/>"
                 "<class name='btn' skin='three'/>");
    View host(0);
    ASSERT_TRUE(Open(
        host, "<layer width='300' height='80'><body crbg='ffffff'>"
        "<text id='1' pos='0,0,60,20' class='shadow' border='1'>Shadow</text>"
        "<text id='2' pos='60,0,120,20' class='plus'>GDI+</text>"
        "<text id='3' pos='120,0,180,20' class='link' tip='tip'>Link</text>"
        "<img id='4' pos='180,0,220,40' skin='red' ico='blue' mask='three' caption='Cap' caption_top='5'/>"
        "<img id='5' pos='220,0,260,40' skin='blue' cliptype='1' alpha='50'/>"
        "<img id='6' pos='260,0,300,40' skin='blue' cliptype='2' clipparam='8'/>"
        "<img id='7' pos='0,20,40,60' skin='blue' cliptype='3' clipparam='0,0,20,20'/>"
        "<imgbtn id='8' pos='40,20,60,40' skin='three' group='g'/>"
        "<imgbtn id='9' pos='60,20,80,40' skin='three' group='g'/>"
        "<dlgbtn id='10' pos='80,20,120,40' class='btn'><text pos='0,0,-0,-0' class='link'>A</text></dlgbtn>"
        "<dlgbtnEx2 id='11' pos='120,20,160,40' class='btn'><text pos='0,0,-0,-0' class='plus'>B</text></dlgbtnEx2>"
        "<progress id='12' pos='0,60,100,80' max='100' value='40' showpercent='1' bgskin='red' posskin='blue'/>"
        "<progress id='13' pos='100,60,200,80' max='100' value='60' showpercent='1' class='plus'/>"
        "<progress id='14' pos='200,60,300,80' progressbar='1'/>"
        "<expendimgex2 id='15' pos='160,40,260,60' skin='three' margin_left='1' margin_right='1' margin_top='1'/>"
        "</body></layer>"));
    constexpr int kElements = 15;
    int clicks = 0;  // on the dialog button 11
    const auto round = [&](int i) {
        const int id = 1 + i % kElements;
        const POINT at = Centre(*host.FindChildById(id));
        host.SetItemAttribute(12, "value", std::to_string(i % 100));
        host.RedrawItem(host.FindChildById(12));
        ::SendMessageW(host.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        ::SendMessageW(host.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        ::UpdateWindow(host.hwnd());
        ::SendMessageW(host.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        ::UpdateWindow(host.hwnd());
        Pump(0);
        clicks += id == 11 ? 1 : 0;
    };
    for (int i = 0; i < 2 * kElements; ++i) round(i);
    const size_t gdi = GdiObjects();
    const size_t user = UserObjects();
    {
        base::unique_gdi_object brushes[] = {base::unique_gdi_object(::CreateSolidBrush(RGB(1, 2, 3))),
                                             base::unique_gdi_object(::CreateSolidBrush(RGB(4, 5, 6)))};
        ASSERT_EQ(GdiObjects(), gdi + 2);  // the count sees every object
    }
    const unsigned renders = host.PaintStats().renders;
    for (int i = 0; i < 1000; ++i) round(i);
    EXPECT_EQ(GdiObjects(), gdi);
    EXPECT_EQ(UserObjects(), user);
    EXPECT_GE(host.PaintStats().renders, renders + 1000);
    EXPECT_EQ(std::count_if(host.seen.notices.begin(), host.seen.notices.end(),
                            [](const Notice& n) { return n.code == LXNM_CLICK && n.id == 11; }),
              clicks);
}

