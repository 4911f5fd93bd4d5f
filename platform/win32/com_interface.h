// Ownership of one COM interface pointer, released when it goes out of scope, and COM
// itself for as long as a scope lasts.
#pragma once

#include "platform/win32/win32_api.h"
// clang-format off
#include <objbase.h>
// clang-format on

namespace vexal::win32 {

// COM for the calls of this thread while it lives. A thread that has it on already, in
// either model, keeps it as it was.
class ComScope {
public:
    explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED) : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();  // S_FALSE too: that call must be balanced as well
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

template <typename T>
class Com {
public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    // The place a creating call writes the interface to; the holder must be empty.
    T** Out() { return &p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

}  // namespace vexal::win32
