// Window ties a window handle to its C++ object and routes every message to one dispatch function.
#pragma once
#include <windows.h>

namespace win {

// The object may go before its window (a member of an owner that is destroyed, a test's local). In
// C++ the base destructor runs after the derived class's members are gone, so no derived handler may
// run then: ~Window detaches the object from the window first and only then destroys the window.
// From that moment every message (WM_DESTROY, WM_NCDESTROY, a child's notification) takes the
// class's default handling, and OnFinalMessage is not called.
//
// Hence the rule for every derived class: what it holds is released by its members' destructors (and
// by its own destructor, for what it registered elsewhere, e.g. a listener), never only in a
// WM_DESTROY handler; WM_DESTROY may release early what the members would release anyway. Then a
// derived class, and an owner that keeps a window object beside the fonts or brushes the window
// uses, needs nothing in its destructor to destroy the window first.
class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hwnd() const noexcept { return hwnd_; }
    operator HWND() const noexcept { return hwnd_; }

    // Creates the window with the application's shared class (registered on first use under a
    // generated unique name, no class styles, arrow cursor, COLOR_WINDOW + 1 background).
    HWND Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle,
                UINT_PTR idOrMenu = 0);
    // Creates the window with a class registered by RegisterOwnClass or RegisterSuperclass.
    HWND CreateWithClass(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* text,
                         DWORD style, DWORD exStyle, UINT_PTR idOrMenu = 0);

    static const wchar_t* SharedClassName();
    // Registers a class of our own whose messages reach Window objects.
    static bool RegisterOwnClass(const wchar_t* name, UINT classStyle, HCURSOR cursor, HBRUSH background);
    // Registers `name` as a superclass of the platform class `baseClass`: our dispatch first, the
    // base class procedure as default handling.
    static bool RegisterSuperclass(const wchar_t* baseClass, const wchar_t* name);
    // The object of a window created through this layer, or null.
    static Window* FromHandle(HWND hwnd) noexcept;

    static HINSTANCE Instance() noexcept;

protected:
    // The one dispatch function of a window class: routes messages to named handlers.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // What the class does with a message nobody takes (DefWindowProc or the superclass's procedure).
    LRESULT DefaultHandling(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY, when the handle is gone.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hwnd);

    HWND hwnd_ = nullptr;
    WNDPROC baseProc_ = nullptr;
};

}  // namespace win
