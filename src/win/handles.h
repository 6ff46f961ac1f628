// Small owners for Windows handles, GDI objects, device contexts and COM references.
#pragma once
#include <windows.h>
#include <utility>

namespace win {

// One owner for a handle-like value; Traits says what "none" is and how to release it.
template <class Traits>
class Unique {
public:
    using Type = typename Traits::Type;
    Unique() noexcept = default;
    explicit Unique(Type h) noexcept : h_(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& o) noexcept : h_(o.release()) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~Unique() { reset(); }

    Type get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return Traits::valid(h_); }
    Type release() noexcept { return std::exchange(h_, Traits::none()); }
    void reset(Type h = Traits::none()) noexcept {
        if (Traits::valid(h_)) Traits::close(h_);
        h_ = h;
    }

private:
    Type h_ = Traits::none();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) { ::CloseHandle(h); }
};
using UniqueHandle = Unique<KernelHandleTraits>;

template <class T>
struct GdiTraits {
    using Type = T;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { ::DeleteObject(h); }
};
using UniqueFont = Unique<GdiTraits<HFONT>>;
using UniquePen = Unique<GdiTraits<HPEN>>;
using UniqueBrush = Unique<GdiTraits<HBRUSH>>;
using UniqueBitmap = Unique<GdiTraits<HBITMAP>>;

struct MemoryDcTraits {
    using Type = HDC;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { ::DeleteDC(h); }
};
using UniqueMemoryDc = Unique<MemoryDcTraits>;

struct ModuleTraits {
    using Type = HMODULE;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { ::FreeLibrary(h); }
};
using UniqueModule = Unique<ModuleTraits>;

struct MenuTraits {
    using Type = HMENU;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { ::DestroyMenu(h); }
};
using UniqueMenu = Unique<MenuTraits>;

struct WindowTraits {
    using Type = HWND;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) {
        if (::IsWindow(h)) ::DestroyWindow(h);
    }
};
using UniqueWindow = Unique<WindowTraits>;

// Selects a GDI object into a device context and puts the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;
    ~SelectObjectScope() {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Saves a device context's state and restores it.
class SaveDcScope {
public:
    explicit SaveDcScope(HDC dc) noexcept : dc_(dc), saved_(::SaveDC(dc)) {}
    SaveDcScope(const SaveDcScope&) = delete;
    SaveDcScope& operator=(const SaveDcScope&) = delete;
    ~SaveDcScope() {
        if (saved_) ::RestoreDC(dc_, saved_);
    }

private:
    HDC dc_;
    int saved_;
};

// A window's device context from GetDC, released with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) noexcept : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(hwnd_, &ps_); }
    HDC dc() const noexcept { return dc_; }
    const RECT& rect() const noexcept { return ps_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// A COM reference.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { reset(); }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void reset() noexcept {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }

private:
    T* p_ = nullptr;
};

// A critical section and its guard.
class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    ~CriticalSection() { ::DeleteCriticalSection(&cs_); }
    void lock() noexcept { ::EnterCriticalSection(&cs_); }
    void unlock() noexcept { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

}  // namespace win
