// Reading an address out of a drop. Nothing a drag source hands over is trusted to be
// terminated: texts are read within the size of their memory block.
#include "ui/win32/address_drop.h"

#include <utility>

namespace vexal::win32 {
namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first line of a UTF-16 text in a memory block, without surrounding blanks.
std::wstring FirstLineOf(HGLOBAL memory) {
    const auto* text = static_cast<const wchar_t*>(::GlobalLock(memory));
    if (!text) return {};
    const std::size_t limit = ::GlobalSize(memory) / sizeof(wchar_t);
    std::size_t begin = 0;
    // Leading blank lines and blanks go: a browser's text can start with a line break.
    while (begin < limit && (text[begin] == L' ' || text[begin] == L'\t' || text[begin] == L'\r' ||
                             text[begin] == L'\n' || text[begin] == L'\u3000'))
        ++begin;
    std::size_t end = begin;
    while (end < limit && text[end] != L'\0' && text[end] != L'\r' && text[end] != L'\n') ++end;
    while (end > begin && (text[end - 1] == L' ' || text[end - 1] == L'\t' || text[end - 1] == L'\u3000'))
        --end;
    std::wstring line(text + begin, end - begin);
    ::GlobalUnlock(memory);
    return line;
}

std::wstring AddressOfFormat(IDataObject* data, CLIPFORMAT format) {
    FORMATETC wanted{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&wanted, &medium))) return {};
    std::wstring address;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        address = format == CF_HDROP ? AddressFromDrop(static_cast<HDROP>(medium.hGlobal))
                                     : FirstLineOf(medium.hGlobal);
    }
    ::ReleaseStgMedium(&medium);
    return address;
}

}  // namespace

std::wstring AddressFromDrop(HDROP drop) {
    const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
    if (length == 0) return {};
    std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
    path.resize(::DragQueryFileW(drop, 0, path.data(), length + 1));
    if (!path.empty() && path.back() != L'\\' && IsFolder(path)) path += L'\\';
    return path;
}

std::wstring AddressFromData(IDataObject* data) {
    if (!data) return {};
    // The link comes first: a browser that drags a picture may also hand over a temporary
    // copy of it as a file, which is gone by the time the entry runs.
    static const auto kLink = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(L"UniformResourceLocatorW"));
    for (CLIPFORMAT format :
         {kLink, static_cast<CLIPFORMAT>(CF_HDROP), static_cast<CLIPFORMAT>(CF_UNICODETEXT)}) {
        if (format == 0) continue;
        std::wstring address = AddressOfFormat(data, format);
        if (!address.empty()) return address;
    }
    return {};
}

AddressDropTarget::AddressDropTarget(HWND window, std::function<void(const std::wstring&)> fill)
    : window_(window), fill_(std::move(fill)) {}

HRESULT STDMETHODCALLTYPE AddressDropTarget::QueryInterface(REFIID id, void** out) {
    if (!out) return E_POINTER;
    if (::IsEqualIID(id, IID_IUnknown) || ::IsEqualIID(id, IID_IDropTarget)) {
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddressDropTarget::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE AddressDropTarget::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

DWORD AddressDropTarget::Effect(DWORD allowed) const {
    if (!acceptable_) return DROPEFFECT_NONE;
    // Never a move: the file manager would take the file away from where the entry finds it.
    if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
    if (allowed & DROPEFFECT_LINK) return DROPEFFECT_LINK;
    return DROPEFFECT_NONE;
}

HRESULT STDMETHODCALLTYPE AddressDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    acceptable_ = ::IsWindowEnabled(window_) && !AddressFromData(data).empty();
    if (effect) *effect = Effect(*effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AddressDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    if (effect) *effect = Effect(*effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AddressDropTarget::DragLeave() {
    acceptable_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE AddressDropTarget::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
    const std::wstring address = ::IsWindowEnabled(window_) ? AddressFromData(data) : std::wstring();
    acceptable_ = !address.empty();
    if (effect) *effect = Effect(*effect);
    acceptable_ = false;
    if (!address.empty()) fill_(address);
    return S_OK;
}

}  // namespace vexal::win32
