// A flag set for the life of the object and cleared however the scope is left, so a
// handler that fails leaves the dialog as it found it.
#pragma once

class CScopedFlag {
public:
    explicit CScopedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~CScopedFlag() { m_flag = false; }
    CScopedFlag(const CScopedFlag&) = delete;
    CScopedFlag& operator=(const CScopedFlag&) = delete;

private:
    bool& m_flag;
};
