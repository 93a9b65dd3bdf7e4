// Owners for COM: the library's initialisation on a thread, and interface pointers.
#pragma once

#include <objbase.h>
#include <ole2.h>

// A library initialised on this thread for the life of the object. Initialised already
// in another mode, it is not this object's to end.
template <HRESULT(WINAPI* Initialize)(LPVOID), void(WINAPI* Uninitialize)()>
class CScopedInit {
public:
    CScopedInit() : m_hr(Initialize(nullptr)) {}
    ~CScopedInit()
    {
        if (SUCCEEDED(m_hr))
            Uninitialize();
    }
    CScopedInit(const CScopedInit&) = delete;
    CScopedInit& operator=(const CScopedInit&) = delete;

private:
    HRESULT m_hr;
};

// COM; and OLE, which is COM with what the shell's dialogs need on top of it.
using CComInit = CScopedInit<::CoInitialize, ::CoUninitialize>;
using COleInit = CScopedInit<::OleInitialize, ::OleUninitialize>;

// An interface pointer released when the object goes out of scope.
template <class T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr()
    {
        if (m_p)
            m_p->Release();
    }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    T* operator->() const { return m_p; }
    // Where a creating call stores the pointer, as void** (the object must be empty).
    void** Out() { return reinterpret_cast<void**>(&m_p); }

private:
    T* m_p = nullptr;
};
