// Owners of kernel objects: each closes its object when it goes out of scope, and can
// close it earlier, where the object is no longer needed.
#pragma once

#include <windows.h>

// A handle closed with CloseHandle. Holds nullptr or INVALID_HANDLE_VALUE when empty,
// as the call that opened it returned.
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE Get() const { return m_h; }
    // Closes what it holds and takes h.
    void Reset(HANDLE h)
    {
        Close();
        m_h = h;
    }
    bool IsValid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    // True unless closing failed.
    bool Close()
    {
        const bool ok = !IsValid() || ::CloseHandle(m_h);
        m_h = nullptr;
        return ok;
    }

private:
    HANDLE m_h = nullptr;
};

// A view of a file mapping, unmapped with UnmapViewOfFile.
class CMappedView {
public:
    CMappedView() = default;
    explicit CMappedView(const void* view) : m_view(view) {}
    ~CMappedView() { Unmap(); }
    CMappedView(CMappedView&& other) noexcept : m_view(other.m_view) { other.m_view = nullptr; }
    CMappedView& operator=(CMappedView&& other) noexcept
    {
        if (this != &other) {
            Unmap();
            m_view = other.m_view;
            other.m_view = nullptr;
        }
        return *this;
    }

    const unsigned char* Get() const { return static_cast<const unsigned char*>(m_view); }
    void Unmap()
    {
        if (m_view)
            ::UnmapViewOfFile(m_view);
        m_view = nullptr;
    }

private:
    const void* m_view = nullptr;
};
