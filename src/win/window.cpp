#include "win/window.h"

#include <cwchar>
#include <map>
#include <mutex>
#include <string>

namespace win {
namespace {

const wchar_t kObjectProperty[] = L"CV.WindowObject";

// The object whose window is being created on this thread: attached at its first message.
thread_local Window* g_creating = nullptr;

std::mutex g_classLock;
std::map<std::wstring, WNDPROC>& BaseProcedures() {
    static std::map<std::wstring, WNDPROC> procs;
    return procs;
}

WNDPROC BaseProcedureOf(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    std::lock_guard<std::mutex> guard(g_classLock);
    auto& procs = BaseProcedures();
    auto it = procs.find(name);
    return it == procs.end() ? ::DefWindowProcW : it->second;
}

}  // namespace

HINSTANCE Window::Instance() noexcept { return ::GetModuleHandleW(nullptr); }

// Detached before the destruction: the derived parts of this object are gone already (see window.h).
Window::~Window() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        ::RemovePropW(hwnd_, kObjectProperty);
        ::DestroyWindow(hwnd_);
    }
}

const wchar_t* Window::SharedClassName() {
    static wchar_t name[64] = {};
    static std::once_flag once;
    std::call_once(once, [] {
        std::swprintf(name, 64, L"CV:%p:%lu", static_cast<void*>(Instance()), ::GetCurrentProcessId());
        RegisterOwnClass(name, 0, ::LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    });
    return name;
}

bool Window::RegisterOwnClass(const wchar_t* name, UINT classStyle, HCURSOR cursor, HBRUSH background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(Instance(), name, &wc)) return true;
    wc.style = classStyle;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = Instance();
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc) != 0;
}

bool Window::RegisterSuperclass(const wchar_t* baseClass, const wchar_t* name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (::GetClassInfoExW(Instance(), name, &wc)) return true;
    if (!::GetClassInfoExW(nullptr, baseClass, &wc) && !::GetClassInfoExW(Instance(), baseClass, &wc)) return false;
    {
        std::lock_guard<std::mutex> guard(g_classLock);
        BaseProcedures()[name] = wc.lpfnWndProc;
    }
    wc.lpfnWndProc = Procedure;
    wc.hInstance = Instance();
    wc.lpszClassName = name;
    wc.style &= ~CS_GLOBALCLASS;
    return ::RegisterClassExW(&wc) != 0;
}

HWND Window::Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle,
                    UINT_PTR idOrMenu) {
    return CreateWithClass(SharedClassName(), parent, rect, text, style, exStyle, idOrMenu);
}

HWND Window::CreateWithClass(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* text,
                             DWORD style, DWORD exStyle, UINT_PTR idOrMenu) {
    if (hwnd_) return nullptr;
    Window* previous = g_creating;
    g_creating = this;
    HWND hwnd = ::CreateWindowExW(exStyle, className, text, style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(idOrMenu), Instance(), this);
    g_creating = previous;
    if (!hwnd) hwnd_ = nullptr;
    return hwnd;
}

Window* Window::FromHandle(HWND hwnd) noexcept {
    return hwnd ? static_cast<Window*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

void Window::Attach(HWND hwnd) {
    hwnd_ = hwnd;
    baseProc_ = BaseProcedureOf(hwnd);
    ::SetPropW(hwnd, kObjectProperty, this);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultHandling(msg, wParam, lParam); }

LRESULT Window::DefaultHandling(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(baseProc_ ? baseProc_ : ::DefWindowProcW, hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* self = FromHandle(hwnd);
    if (!self && g_creating) {
        self = g_creating;
        g_creating = nullptr;
        self->Attach(hwnd);
    }
    if (!self) return ::CallWindowProcW(BaseProcedureOf(hwnd), hwnd, msg, wParam, lParam);

    LRESULT result = self->HandleMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        ::RemovePropW(hwnd, kObjectProperty);
        self->hwnd_ = nullptr;
        self->OnFinalMessage();
    }
    return result;
}

}  // namespace win
