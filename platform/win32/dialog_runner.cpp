// The program's one dialog runner: a template of the exe's resources,
// DialogBoxParamW without an owner, and one dialog procedure that hands
// each message to the dialog's handler (ui/), through a window object that
// wraps the HWND. The handler holds the behaviour; this file holds only
// what Windows needs done around it: the white brush and the bold font the
// dialog keeps while it exists, the painting surface, the colour answers.
#include "platform/win32/win32_platform.h"

#include <commctrl.h>

#include <atomic>
#include <utility>
#include <vector>

namespace zq::win32 {

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Resources (templates, bitmaps, the animation clip) come from the exe.
HINSTANCE ProgramModule() { return ::GetModuleHandleW(nullptr); }

class Win32DialogWindow final : public IDialogWindow {
public:
    void Attach(HWND dialog) { dialog_.store(dialog); }
    // After the last message: a close request that comes later finds no
    // window.
    void Detach() { dialog_.store(nullptr); }

    // --- IDialogWindow
    void SetCaption(const WString& text) override { ::SetWindowTextW(Dialog(), text.c_str()); }
    void SetItemText(int id, const WString& text) override { ::SetDlgItemTextW(Dialog(), id, text.c_str()); }
    bool HasItem(int id) override { return Item(id) != nullptr; }

    void SetProgressRange(int id, int low, int high) override {
        SendToItem(id, PBM_SETRANGE, 0, MAKELPARAM(low, high));
    }
    void SetProgressPosition(int id, int position) override {
        SendToItem(id, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    int ProgressPosition(int id) override { return static_cast<int>(SendToItem(id, PBM_GETPOS, 0, 0)); }

    bool OpenAnimation(int id, const WString& clipResource) override {
        // The clip is an "AVI" resource of the exe, found by name.
        return SendToItem(id, ACM_OPENW, reinterpret_cast<WPARAM>(ProgramModule()),
                          reinterpret_cast<LPARAM>(clipResource.c_str())) != 0;
    }
    void PlayAnimationForever(int id) override {
        // Repeat count -1 (no end), from frame 0 to the last frame (-1).
        SendToItem(id, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
    }

    bool IsChecked(int id) override { return SendToItem(id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetChecked(int id, bool checked) override {
        SendToItem(id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void EnableItem(int id, bool enabled) override {
        if (HWND control = Item(id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
    }

    void SetBoldFont(int id) override {
        HWND control = Item(id);
        if (control == nullptr) return;
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
        HFONT bold = BoldVariantOf(font);
        if (bold != nullptr) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    }

    unsigned StartTimer(unsigned id, unsigned periodMs) override {
        return static_cast<unsigned>(::SetTimer(Dialog(), id, periodMs, nullptr));
    }
    void StopTimer(unsigned timerId) override { ::KillTimer(Dialog(), timerId); }
    void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }

    Rect WindowRect() override {
        RECT rect{};
        ::GetWindowRect(Dialog(), &rect);
        return Rect{rect.left, rect.top, rect.right, rect.bottom};
    }

    void DrawBitmap(int bitmapId, const Rect& target) override {
        if (paintSurface_ != nullptr) {
            DrawBitmapOn(paintSurface_, bitmapId, target);
            return;
        }
        // Outside WM_PAINT: the client area's own surface.
        HWND dialog = Dialog();
        HDC surface = ::GetDC(dialog);
        if (surface == nullptr) return;
        DrawBitmapOn(surface, bitmapId, target);
        ::ReleaseDC(dialog, surface);
    }

    void End(int result) override { ::EndDialog(Dialog(), result); }

    // From another thread: SendMessageW returns once the dialog's thread
    // has handled WM_CLOSE.
    void RequestClose() override {
        HWND dialog = dialog_.load();
        if (dialog != nullptr) ::SendMessageW(dialog, WM_CLOSE, 0, 0);
    }

    // --- For the dialog procedure

    // The surface between BeginPaint and EndPaint; DrawBitmap paints on it.
    void SetPaintSurface(HDC surface) { paintSurface_ = surface; }

    // The answer to a WM_CTLCOLOR* message: a brush, or FALSE for the
    // dialog manager's default.
    INT_PTR AnswerColour(ControlColour colour, HDC surface) {
        switch (colour) {
            case ControlColour::TransparentOnWhite:
                ::SetBkMode(surface, TRANSPARENT);
                return reinterpret_cast<INT_PTR>(WhiteBrush());
            case ControlColour::WhiteDialog:
                ::SetBkColor(surface, kWhite);
                return reinterpret_cast<INT_PTR>(WhiteBrush());
            case ControlColour::Default: break;
        }
        return FALSE;
    }

    // On WM_DESTROY: the brush and the fonts the dialog kept.
    void ReleaseDrawingObjects() {
        whiteBrush_.Reset();
        boldFonts_.clear();
    }

private:
    HWND Dialog() const { return dialog_.load(); }
    HWND Item(int id) const { return ::GetDlgItem(Dialog(), id); }
    LRESULT SendToItem(int id, UINT message, WPARAM wParam, LPARAM lParam) {
        return ::SendDlgItemMessageW(Dialog(), id, message, wParam, lParam);
    }

    // Made when first asked for, kept until the window goes.
    HBRUSH WhiteBrush() {
        if (!whiteBrush_) whiteBrush_.Reset(::CreateSolidBrush(kWhite));
        return whiteBrush_.Get();
    }

    // One bold font for each font the dialog's controls use (the finish
    // screen's headline and body share the dialog font, so they share one).
    HFONT BoldVariantOf(HFONT font) {
        for (const auto& [source, bold] : boldFonts_) {
            if (source == font || bold.Get() == font) return bold.Get();
        }
        LOGFONTW description{};
        if (font == nullptr || ::GetObjectW(font, sizeof description, &description) == 0) return nullptr;
        description.lfWeight = FW_BOLD;
        ScopedFont bold(::CreateFontIndirectW(&description));
        if (!bold) return nullptr;
        boldFonts_.emplace_back(font, std::move(bold));
        return boldFonts_.back().second.Get();
    }

    // The whole bitmap, stretched into the target without keeping its
    // aspect ratio. Every object made here is gone when it returns, so
    // repainting does not add to the process's GDI objects.
    static void DrawBitmapOn(HDC surface, int bitmapId, const Rect& target) {
        ScopedBitmap bitmap(::LoadBitmapW(ProgramModule(), MAKEINTRESOURCEW(bitmapId)));
        if (!bitmap) return;
        BITMAP size{};
        ::GetObjectW(bitmap.Get(), sizeof size, &size);
        ScopedMemoryDc memory(::CreateCompatibleDC(surface));
        if (!memory) return;
        SelectedObject selected(memory.Get(), bitmap.Get());
        // The picture is always a little shrunk. The surface's default mode
        // (BLACKONWHITE) ANDs the dropped rows into the kept ones, which
        // leaves dark streaks across a colour picture; COLORONCOLOR drops
        // them.
        const int previousMode = ::SetStretchBltMode(surface, COLORONCOLOR);
        ::StretchBlt(surface, target.left, target.top, target.right - target.left, target.bottom - target.top,
                     memory.Get(), 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
        if (previousMode != 0) ::SetStretchBltMode(surface, previousMode);
    }

    std::atomic<HWND> dialog_{nullptr};
    HDC paintSurface_ = nullptr;
    ScopedBrush whiteBrush_;
    std::vector<std::pair<HFONT, ScopedFont>> boldFonts_;
};

// What one modal display hands to its dialog procedure through LPARAM.
struct DialogRun {
    IDialogHandler& handler;
    Win32DialogWindow window;
};

// The framework's habit: a dialog without an owner opens in the middle of
// the screen's work area (the templates place it at 0, 0).
void CentreOnWorkArea(HWND dialog) {
    RECT area{};
    RECT window{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || !::GetWindowRect(dialog, &window)) return;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(dialog, nullptr, left > area.left ? left : area.left, top > area.top ? top : area.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Posted at the end of WM_INITDIALOG: it arrives once the modal loop runs.
constexpr UINT kShownMessage = WM_APP + 1;

bool IsColourRequest(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// TRUE: the message was handled here; FALSE: the dialog manager's default.
INT_PTR Dispatch(DialogRun& run, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    IDialogHandler& handler = run.handler;
    Win32DialogWindow& window = run.window;
    switch (message) {
        case kShownMessage: handler.OnShown(window); return TRUE;
        case WM_TIMER: handler.OnTimer(window, static_cast<unsigned>(wParam)); return TRUE;
        case WM_CLOSE: handler.OnClose(window); return TRUE;
        case WM_COMMAND:
            // Buttons, and IDOK / IDCANCEL from Enter and Escape (code 0 too).
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            handler.OnCommand(window, LOWORD(wParam));
            return TRUE;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC surface = ::BeginPaint(dialog, &paint);
            window.SetPaintSurface(surface);
            handler.OnPaint(window);
            window.SetPaintSurface(nullptr);
            ::EndPaint(dialog, &paint);
            return TRUE;
        }
        case WM_DESTROY: window.ReleaseDrawingObjects(); return FALSE;
        case WM_NCDESTROY:
            ::SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
            window.Detach();
            return FALSE;
        default: break;
    }
    if (IsColourRequest(message)) {
        HWND concerned = reinterpret_cast<HWND>(lParam);
        const int controlId = (message == WM_CTLCOLORDLG || concerned == dialog) ? 0 : ::GetDlgCtrlID(concerned);
        return window.AnswerColour(handler.OnControlColour(controlId), reinterpret_cast<HDC>(wParam));
    }
    return FALSE;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* run = reinterpret_cast<DialogRun*>(lParam);
        ::SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        run->window.Attach(dialog);
        CentreOnWorkArea(dialog);
        run->handler.OnInitDialog(run->window);
        ::PostMessageW(dialog, kShownMessage, 0, 0);
        return TRUE;  // the focus goes to the first tab stop
    }
    // Messages before WM_INITDIALOG (the font, the controls' creation) have
    // no run yet.
    auto* run = reinterpret_cast<DialogRun*>(::GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (run == nullptr) return FALSE;
    return Dispatch(*run, dialog, message, wParam, lParam);
}

}  // namespace

int Win32UserInterface::RunModalDialog(IDialogHandler& handler) {
    // The run, and with it the window object, outlives the HWND: a close
    // request from another thread may still reach it until OnEnded returns.
    DialogRun run{handler, {}};
    const INT_PTR result = ::DialogBoxParamW(ProgramModule(), MAKEINTRESOURCEW(handler.TemplateId()), nullptr,
                                             DialogProc, reinterpret_cast<LPARAM>(&run));
    handler.OnEnded(static_cast<int>(result));
    return static_cast<int>(result);
}

}  // namespace zq::win32
