// What a drop on the entry editor gives its address field: a file or folder from the file
// manager (a folder with its trailing separator), or a link or its text from a browser.
#pragma once

#include <functional>
#include <string>

#include "platform/win32/win32_api.h"
// (after the Windows headers, which they need)
#include <ole2.h>
#include <shellapi.h>

namespace vexal::win32 {

// The first file or folder of a dropped list; a folder ends in "\", so that it reads as
// one. Empty when the list is empty.
std::wstring AddressFromDrop(HDROP drop);

// The address a dragged object carries: a link, a file or folder, or the first line of a
// text, in that order; empty when it carries none of them.
std::wstring AddressFromData(IDataObject* data);

// An OLE drop target that hands the address of whatever is dropped on its window to
// `fill`. It accepts only what carries an address, and only while the window is enabled
// (no box of the program is open over it). Reference counted; the creator holds one.
class AddressDropTarget final : public IDropTarget {
public:
    AddressDropTarget(HWND window, std::function<void(const std::wstring&)> fill);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;

private:
    ~AddressDropTarget() = default;
    // The effect to show for what is dragged, given what its source allows.
    DWORD Effect(DWORD allowed) const;

    LONG references_ = 1;
    HWND window_;
    std::function<void(const std::wstring&)> fill_;
    bool acceptable_ = false;
};

}  // namespace vexal::win32
