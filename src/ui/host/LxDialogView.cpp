#include "ui/host/LxDialogView.h"

#include <commctrl.h>
#include <objidl.h>

#include <gdiplus.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "ui/LxApp.h"
#include "ui/elements/LxNotify.h"
#include "ui/elements/LxWindowRegistry.h"
#include "ui/pools/LxSources.h"
#include "ui/scaling/LxDisplayScaler.h"

namespace ui {

namespace {
constexpr DWORD kLayeredEx = WS_EX_LAYERED;
constexpr int kFrameBand = 4;
constexpr WPARAM kMoveCommand = SC_MOVE | HTCAPTION;          // 0xF012
constexpr WPARAM kMaximizeCommand = SC_MAXIMIZE | HTCAPTION;  // 0xF032
constexpr WPARAM kRestoreCommand = SC_RESTORE | HTCAPTION;    // 0xF122
constexpr LPARAM kMaxTipWidth = 5000;
constexpr BYTE kOutlineAlpha = 110;
constexpr int kOutlineChamfer = 3;
constexpr DWORD kGlassMajor = 6;
constexpr DWORD kGlassLastMinor = 1;  // Vista, Server 2008 and 7
constexpr char kRealWnd[] = "realwnd";
constexpr char kRealWnd2[] = "realwnd2";

LxWindowClass g_hostClass = {CS_DBLCLKS, nullptr};
CRITICAL_SECTION* g_paintLock = nullptr;

class PaintLockGuard {
public:
    PaintLockGuard() : lock_(g_paintLock) {
        if (lock_) ::EnterCriticalSection(lock_);
    }
    ~PaintLockGuard() {
        if (lock_) ::LeaveCriticalSection(lock_);
    }
    PaintLockGuard(const PaintLockGuard&) = delete;
    PaintLockGuard& operator=(const PaintLockGuard&) = delete;

private:
    CRITICAL_SECTION* lock_;
};

// Signed client coordinates of a mouse message.
int XOf(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int YOf(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

bool IsBorderCode(int code) { return code >= kHitBorderFirst && code <= kHitBorderLast; }

// Makes the pixels of `buffer` inside `region` transparent black.
void ClearRegion(LxDib& buffer, HRGN region) {
    const DWORD bytes = ::GetRegionData(region, 0, nullptr);
    if (bytes == 0) return;
    std::vector<char> data(bytes);
    auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
    if (::GetRegionData(region, bytes, rgn) == 0) return;
    ::GdiFlush();
    const RECT* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
    const int w = buffer.width();
    const int h = buffer.height();
    for (DWORD i = 0; i < rgn->rdh.nCount; ++i) {
        const LONG left = std::clamp<LONG>(rects[i].left, 0, w);
        const LONG right = std::clamp<LONG>(rects[i].right, 0, w);
        const LONG top = std::clamp<LONG>(rects[i].top, 0, h);
        const LONG bottom = std::clamp<LONG>(rects[i].bottom, 0, h);
        if (right <= left) continue;
        for (LONG y = top; y < bottom; ++y) {
            // The buffer runs bottom-up.
            uint32_t* row = buffer.pixels() + static_cast<size_t>(h - 1 - y) * static_cast<size_t>(w);
            std::fill(row + left, row + right, 0u);
        }
    }
}

bool GlassPlatform() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    return get && get(&info) == 0 && info.dwMajorVersion == kGlassMajor && info.dwMinorVersion <= kGlassLastMinor;
}

bool CompositionEnabled() {
    const DwmApi& dwm = DwmApi::Get();
    BOOL enabled = FALSE;
    return dwm.available && SUCCEEDED(dwm.isCompositionEnabled(&enabled)) && enabled;
}

void InitToolTipClass() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
        return ::InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

TTTOOLINFOW ToolFor(HWND host, const wchar_t* text) {
    TTTOOLINFOW tool = {};
    // The oldest layout every version of the control accepts.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = host;
    tool.uId = reinterpret_cast<UINT_PTR>(host);
    tool.lpszText = const_cast<wchar_t*>(text);
    return tool;
}
}  // namespace

void SetPaintLock(CRITICAL_SECTION* lock) { g_paintLock = lock; }

CLxDialogViewImpl::CLxDialogViewImpl(int layoutId, LxHostKind kind)
    : kind_(kind),
      layoutId_(layoutId),
      layout_(kind),
      router_(*this, kind == LxHostKind::Extended ? LxMouseRules::Extended() : LxMouseRules::Plain()) {}

CLxDialogViewImpl::~CLxDialogViewImpl() { DestroyNative(); }

HWND CLxDialogViewImpl::Create(HWND parent, const RECT* rect, DWORD style, DWORD exStyle, UINT_PTR controlId) {
    if (hwnd()) return nullptr;
    if (!layout_.Loaded()) layout_.LoadLayoutResource(layoutId_);
    const bool loaded = layout_.Loaded();
    if (style == 0) {
        style = loaded ? layout_.Layer().style : kDefaultHostStyle;
        exStyle = loaded ? layout_.Layer().exStyle : kDefaultHostExStyle;
    }
    const SIZE size = loaded ? layout_.InitialClientSize() : SIZE{0, 0};
    const RECT place = rect ? *rect : RECT{0, 0, size.cx, size.cy};
    HWND created = nullptr;
    {
        LxCreationAwareness awareness(LxDisplayScaler::Instance());
        created = CreateNative(g_hostClass, parent, place, style, exStyle, controlId, layout_.Layer().title.c_str());
    }
    if (created) ::SendMessageW(created, WM_INITDIALOG, 0, 0);
    return created;
}

bool CLxDialogViewImpl::LoadLayout(std::string_view xml) {
    const bool ok = layout_.LoadLayout(xml);
    if (hwnd()) {
        layout_.SetContainer(hwnd());
        router_.SetRoots(layout_.Header(), layout_.Body(), layout_.Footer());
        router_.SetLayer(layout_.Layer().resizable(), layout_.Layer().noMove);
        Relayout();
    }
    return ok;
}

bool CLxDialogViewImpl::LoadLayoutResource(int id) {
    std::string bytes;
    ReadResourceBytes(nullptr, id, kXmlResourceType, bytes);
    return LoadLayout(bytes);
}

bool CLxDialogViewImpl::SetItemAttribute(int id, std::string_view name, std::string_view value) {
    CLxWindow* element = FindChildById(id);
    if (!element) return false;
    const RECT before = element->Rect();
    element->SetAttribute(name, value, false);
    if (!::EqualRect(&before, &element->Rect())) AddToRegion(before);
    RedrawItem(element, false);
    return true;
}

bool CLxDialogViewImpl::SetItemText(int id, std::wstring text) {
    CLxWindow* element = FindChildById(id);
    if (!element) return false;
    element->SetText(std::move(text));
    RedrawItem(element, false);
    return true;
}

bool CLxDialogViewImpl::SetItemVisible(int id, bool show) {
    CLxWindow* element = FindChildById(id);
    if (!element) return false;
    const RECT before = element->Rect();
    element->SetVisible(show);
    if (!::EqualRect(&before, &element->Rect())) AddToRegion(before);
    RedrawItem(element, false);
    return true;
}

bool CLxDialogViewImpl::EnableItem(int id, bool enable) {
    CLxWindow* element = FindChildById(id);
    if (!element) return false;
    element->ModifyState(enable ? 0 : kStateDisable, enable ? kStateDisable : 0);
    RedrawItem(element, false);
    return true;
}

void CLxDialogViewImpl::AddToRegion(const RECT& rect) {
    if (!hwnd() || RectIsEmpty(rect)) return;
    if (!region_) {
        region_.reset(::CreateRectRgnIndirect(&rect));
    } else {
        base::unique_gdi_object add(::CreateRectRgnIndirect(&rect));
        ::CombineRgn(static_cast<HRGN>(region_.get()), static_cast<HRGN>(region_.get()), static_cast<HRGN>(add.get()),
                     RGN_OR);
    }
    dirty_ = true;
    ::InvalidateRect(hwnd(), &rect, FALSE);
}

void CLxDialogViewImpl::RedrawItem(const CLxWindow* element, bool checkVisible) {
    if (!element || (checkVisible && !element->IsVisible(true))) return;
    AddToRegion(element->Rect());
}

void CLxDialogViewImpl::RedrawAll() {
    redrawAll_ = true;
    region_.reset();
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void CLxDialogViewImpl::AddSizeListener(ILxSizeListener* listener) {
    if (listener && std::find(sizeListeners_.begin(), sizeListeners_.end(), listener) == sizeListeners_.end()) {
        sizeListeners_.push_back(listener);
    }
}

void CLxDialogViewImpl::RemoveSizeListener(ILxSizeListener* listener) {
    sizeListeners_.erase(std::remove(sizeListeners_.begin(), sizeListeners_.end(), listener), sizeListeners_.end());
}

bool CLxDialogViewImpl::IsLayered() const {
    return hwnd() && (::GetWindowLongPtrW(hwnd(), GWL_EXSTYLE) & kLayeredEx) != 0;
}

void CLxDialogViewImpl::Relayout() {
    RECT client = {};
    if (hwnd()) ::GetClientRect(hwnd(), &client);
    if (layout_.Loaded()) layout_.Arrange(client);
    RedrawAll();
    for (ILxSizeListener* listener : sizeListeners_) listener->OnHostLayout(client);
}

void CLxDialogViewImpl::Render() {
    if (!buffer_ || !buffer_->ok()) return;
    if (redrawAll_) {
        region_.reset();
        dirty_ = true;
    }
    if (!dirty_) return;
    PaintLockGuard lock;
    HDC dc = buffer_->dc();
    const HRGN region = redrawAll_ ? nullptr : static_cast<HRGN>(region_.get());
    if (redrawAll_) {
        buffer_->Fill(0);
    } else if (region && (IsLayered() || glassActive_)) {
        ClearRegion(*buffer_, region);
    }
    layout_.Paint(dc, region);
    {
        DcStateGuard restore(dc);
        if (region) ::SelectClipRgn(dc, region);
        const RECT client = {0, 0, buffer_->width(), buffer_->height()};
        if (!IsChildWindow()) {
            if (ownerPaintHook_) OnPaintHook(dc, client);
        } else {
            DrawChildOutline(dc);
        }
    }
    ::GdiFlush();
    ++stats_.renders;
    if (redrawAll_) ++stats_.fullRenders;
    region_.reset();
    dirty_ = false;
    redrawAll_ = false;
}

void CLxDialogViewImpl::DrawChildOutline(HDC dc) const {
    HWND parent = ::GetParent(hwnd());
    if (!parent || (::GetWindowLongPtrW(parent, GWL_STYLE) & WS_CHILD) || !EnsureGdiplus()) return;
    const int w = buffer_->width();
    const int h = buffer_->height();
    const int c = kOutlineChamfer;
    const Gdiplus::Point points[] = {
        {c, 0},         {w - 1 - c, 0}, {w - 1, c}, {w - 1, h - 1 - c}, {w - 1 - c, h - 1}, {c, h - 1},
        {0, h - 1 - c}, {0, c},         {c, 0}};
    Gdiplus::Graphics graphics(dc);
    Gdiplus::Pen pen(Gdiplus::Color(kOutlineAlpha, 0, 0, 0), 1.0f);
    graphics.DrawLines(&pen, points, static_cast<INT>(sizeof(points) / sizeof(points[0])));
}

void CLxDialogViewImpl::Present(HDC dc) {
    if (!buffer_ || !buffer_->ok()) return;
    OnPresentHook(buffer_->dc());
    if (IsLayered()) {
        RECT window = {};
        ::GetWindowRect(hwnd(), &window);
        POINT position = {window.left, window.top};
        SIZE size = {buffer_->width(), buffer_->height()};
        POINT origin = {0, 0};
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, layeredAlpha_, AC_SRC_ALPHA};
        // A failing update leaves the previous image on screen.
        ::UpdateLayeredWindow(hwnd(), nullptr, &position, &size, buffer_->dc(), &origin, 0, &blend, ULW_ALPHA);
        ++stats_.layeredPresents;
    } else if (dc) {
        ::BitBlt(dc, 0, 0, buffer_->width(), buffer_->height(), buffer_->dc(), 0, 0, SRCCOPY);
        ++stats_.copyPresents;
    }
    if (presentListener_ && (IsLayered() || dc)) presentListener_->OnHostPresented(hwnd());
    if (glassActive_ && CompositionEnabled()) OnWindowShape();
    if (shadow_.Created() && !shadow_.IsSizing() && !shadow_.IsShown()) shadow_.Update(hwnd());
}

void CLxDialogViewImpl::RenderAndPresent() {
    if (!hwnd()) return;
    Render();
    if (IsLayered()) {
        Present(nullptr);
        return;
    }
    HDC dc = ::GetDC(hwnd());
    Present(dc);
    ::ReleaseDC(hwnd(), dc);
}

void CLxDialogViewImpl::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(hwnd(), &paint);
    Render();
    Present(dc);
    ::EndPaint(hwnd(), &paint);
}

void CLxDialogViewImpl::CreateToolTip() {
    InitToolTipClass();
    tooltip_.reset(::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                     LxAppModule::Instance(), nullptr));
    if (!tooltip_) return;  // the window goes without tips
    TTTOOLINFOW tool = ToolFor(hwnd(), L"");
    ::SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_.get(), TTM_ACTIVATE, TRUE, 0);
    ::SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
}

void CLxDialogViewImpl::SetToolTip(const std::wstring& text) {
    if (!tooltip_) return;
    tipText_ = text;
    TTTOOLINFOW tool = ToolFor(hwnd(), tipText_.c_str());
    ::SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CLxDialogViewImpl::SetUpGlassFrame() {
    const DwmApi& dwm = DwmApi::Get();
    if (!dwm.available || !GlassPlatform()) return;
    const MARGINS sheet = {-1, -1, -1, -1};
    if (FAILED(dwm.extendFrameIntoClientArea(hwnd(), &sheet))) return;
    glassActive_ = true;
    if (CompositionEnabled()) {
        ::SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd(), GWL_EXSTYLE) & ~kLayeredEx);
    }
}

void CLxDialogViewImpl::OnCreate() {
    layout_.SetContainer(hwnd());
    router_.SetRoots(layout_.Header(), layout_.Body(), layout_.Footer());
    router_.SetLayer(layout_.Layer().resizable(), layout_.Layer().noMove);
    CreateToolTip();
    region_.reset();
    if (shadowEnabled_ && !IsChildWindow()) shadow_.Create(hwnd());
    if (compositionCheck_) SetUpGlassFrame();
    if (layout_.Loaded()) {
        const SIZE size = layout_.InitialClientSize();
        if (size.cx > 0 && size.cy > 0) {
            ::SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    RECT client = {};
    ::GetClientRect(hwnd(), &client);
    OnSize(SIZE_RESTORED, RectWidth(client), RectHeight(client));
}

void CLxDialogViewImpl::OnDestroy() {
    tooltip_.reset();
    // The panels and their trees go with the window.
    layout_.LoadLayout({});
    router_.SetRoots(nullptr, nullptr, nullptr);
    buffer_.reset();
    region_.reset();
    dirty_ = false;
    redrawAll_ = true;
    glassActive_ = false;
}

void CLxDialogViewImpl::OnSize(WPARAM kind, int width, int height) {
    if (kind == SIZE_MINIMIZED) return;
    if (kind == SIZE_MAXIMIZED && !layout_.Layer().resizable()) {
        // Not resizable: take the maximised state back.
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        ::GetWindowPlacement(hwnd(), &placement);
        ::SetWindowLongPtrW(hwnd(), GWL_STYLE, ::GetWindowLongPtrW(hwnd(), GWL_STYLE) & ~WS_MAXIMIZE);
        const RECT& normal = placement.rcNormalPosition;
        ::SetWindowPos(hwnd(), nullptr, normal.left, normal.top, RectWidth(normal), RectHeight(normal),
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        return;
    }
    if (width <= 0 || height <= 0) return;
    if (!buffer_ || buffer_->width() != width || buffer_->height() != height) {
        buffer_ = std::make_unique<LxDib>(width, height, true);
    }
    Relayout();
}

LRESULT CLxDialogViewImpl::OnNcCalcSize(WPARAM wParam, LPARAM lParam) {
    if (IsChildWindow()) return DefaultHandler(WM_NCCALCSIZE, wParam, lParam);
    // No non-client frame: the client area is the whole window.
    RECT* client = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
    const LxLayerInfo& layer = layout_.Layer();
    if (layer.holdSize && layer.width > 0 && layer.height > 0) {
        client->right = client->left + layer.width;
        client->bottom = client->top + layer.height;
    } else {
        client->right = std::max<LONG>(client->right, client->left + layer.minWidth);
        client->bottom = std::max<LONG>(client->bottom, client->top + layer.minHeight);
    }
    return 0;
}

int CLxDialogViewImpl::HitTestFrame(POINT screen) const {
    if (IsChildWindow() || !layout_.Layer().resizable()) return HTCLIENT;
    POINT p = screen;
    ::ScreenToClient(hwnd(), &p);
    RECT client = {};
    ::GetClientRect(hwnd(), &client);
    const bool left = p.x < client.left + kFrameBand;
    const bool right = p.x >= client.right - kFrameBand;
    const bool top = p.y < client.top + kFrameBand;
    const bool bottom = p.y >= client.bottom - kFrameBand;
    if (top && left) return HTTOPLEFT;
    if (top && right) return HTTOPRIGHT;
    if (top) return HTTOP;
    if (left && !bottom) return HTLEFT;
    if (bottom && left) return HTBOTTOMLEFT;
    if (bottom && !right) return HTBOTTOM;
    if (bottom) return HTBOTTOMRIGHT;
    if (right) return HTRIGHT;
    return HTCLIENT;
}

bool CLxDialogViewImpl::OnSetCursor(LPARAM) {
    // The sizing cursors first: on the border band no element is under the mouse.
    static const struct {
        int code;
        const wchar_t* cursor;
    } kSizing[] = {{HTTOP, IDC_SIZENS},        {HTBOTTOM, IDC_SIZENS},      {HTLEFT, IDC_SIZEWE},
                   {HTRIGHT, IDC_SIZEWE},      {HTTOPLEFT, IDC_SIZENWSE},   {HTBOTTOMRIGHT, IDC_SIZENWSE},
                   {HTTOPRIGHT, IDC_SIZENESW}, {HTBOTTOMLEFT, IDC_SIZENESW}};
    if (IsBorderCode(lastHitCode_)) {
        for (const auto& s : kSizing) {
            if (s.code == lastHitCode_) ::SetCursor(::LoadCursorW(nullptr, s.cursor));
        }
        return true;
    }
    CLxWindow* hovered = FindElement(router_.Hovered());
    if (!hovered) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return true;
    }
    const std::string_view cls = hovered->GetObjectClass();
    if (cls == kRealWnd || cls == kRealWnd2) return false;
    if (hovered->IsDisabled(true)) return false;
    hovered->SetCursor();
    return true;
}

void CLxDialogViewImpl::OnMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    if (tooltip_) {
        MSG relay = {hwnd(), message, wParam, lParam, 0, {}};
        ::SendMessageW(tooltip_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
    }
    const int x = XOf(lParam);
    const int y = YOf(lParam);
    router_.SetLastHitCode(lastHitCode_);
    switch (message) {
        case WM_LBUTTONDOWN:
            router_.LButtonDown(x, y);
            break;
        case WM_LBUTTONUP:
            router_.LButtonUp(x, y);
            break;
        case WM_LBUTTONDBLCLK:
            router_.LButtonDblClk(x, y);
            break;
        case WM_RBUTTONDOWN:
            router_.RButtonDown(x, y);
            break;
        case WM_RBUTTONUP:
            router_.RButtonUp(x, y);
            break;
        case WM_MOUSEMOVE:
            router_.MouseMove(x, y);
            break;
        case WM_MOUSELEAVE:
            router_.MouseLeave();
            break;
        default:
            break;
    }
    // A child host lets its dialog follow the mouse too.
    if ((message == WM_MOUSEMOVE || message == WM_MOUSELEAVE) && IsChildWindow()) {
        HWND parent = ::GetParent(hwnd());
        POINT p = {x, y};
        if (message == WM_MOUSEMOVE) ::MapWindowPoints(hwnd(), parent, &p, 1);
        ::PostMessageW(parent, message, wParam, message == WM_MOUSEMOVE ? MAKELPARAM(p.x, p.y) : lParam);
    }
}

void CLxDialogViewImpl::Notify(UINT code, int32_t id, const char* className) {
    if (IsChildWindow()) {
        SendLxNotify(::GetParent(hwnd()), hwnd(), static_cast<UINT_PTR>(::GetDlgCtrlID(hwnd())), code, id, className);
    } else {
        SendLxNotify(hwnd(), hwnd(), kTopLevelSenderId, code, id, className);
    }
}

void CLxDialogViewImpl::Capture(bool on) {
    if (on) {
        ::SetCapture(hwnd());
    } else if (::GetCapture() == hwnd()) {
        ::ReleaseCapture();
    }
}

bool CLxDialogViewImpl::IsMinimized() { return ::IsIconic(::GetAncestor(hwnd(), GA_ROOT)) != FALSE; }

void CLxDialogViewImpl::StartMove() {
    // A child host moves the top-level window it lives in.
    ::SendMessageW(::GetAncestor(hwnd(), GA_ROOT), WM_SYSCOMMAND, kMoveCommand, 0);
}

void CLxDialogViewImpl::StartBorderDrag(int hitCode) {
    ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_SIZE + static_cast<WPARAM>(hitCode - HTLEFT + WMSZ_LEFT), 0);
}

void CLxDialogViewImpl::ToggleMaximize() {
    ::SendMessageW(hwnd(), WM_SYSCOMMAND, ::IsZoomed(hwnd()) ? kRestoreCommand : kMaximizeCommand, 0);
}

void CLxDialogViewImpl::OpenHref(const std::wstring& href) {
    ::ShellExecuteW(nullptr, L"open", href.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CLxDialogViewImpl::TrackLeave() {
    TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd(), 0};
    ::TrackMouseEvent(&track);
}

LRESULT CLxDialogViewImpl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (shadow_.Created()) shadow_.OnOwnerMessage(hwnd(), message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            break;
        case WM_NCCALCSIZE:
            return OnNcCalcSize(wParam, lParam);
        case WM_NCHITTEST:
            lastHitCode_ = HitTestFrame({XOf(lParam), YOf(lParam)});
            return lastHitCode_;
        case WM_SIZE:
            OnSize(wParam, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_WINDOWPOSCHANGED:
            // A layered window gets no paint of its own when it appears.
            if ((reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) && IsLayered()) {
                ::InvalidateRect(hwnd(), nullptr, FALSE);
            }
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_PRINTCLIENT:
            Present(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == hwnd() && OnSetCursor(lParam)) return TRUE;
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
            OnMouse(message, wParam, lParam);
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse in the middle of a press.
            if (router_.Captured() && reinterpret_cast<HWND>(lParam) != hwnd()) router_.MouseLeave();
            return 0;
        case WM_COMMAND: {
            // OK (Enter) and cancel (Esc, a close request) are clicks of controls 1 and 2.
            const int id = LOWORD(wParam);
            if (id == IDOK || id == IDCANCEL) {
                const CLxWindow* element = FindChildById(id);
                Notify(LXNM_CLICK, id, element ? element->GetObjectClass() : nullptr);
                return 0;
            }
            break;
        }
        default:
            break;
    }
    return DefaultHandler(message, wParam, lParam);
}

}  // namespace ui
