#include "support/file_drag_source.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

namespace {

// Offers one block as CF_HDROP. Lives as long as OLE or the caller holds it.
class DropBlockDataObject final : public IDataObject {
public:
    DropBlockDataObject(std::string block, CLIPFORMAT format) : block_(std::move(block)), format_(format) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDataObject) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!format || !medium)
            return E_INVALIDARG;
        *medium = STGMEDIUM{};
        HRESULT offered = QueryGetData(format);
        if (offered != S_OK)
            return offered;
        UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, block_.size()));
        if (!copy)
            return E_OUTOFMEMORY;
        {
            GlobalLockGuard lock(copy.Get());
            if (!lock)
                return E_OUTOFMEMORY;
            std::memcpy(lock.Get(), block_.data(), block_.size());
        }
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy.Detach();
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        if (!format)
            return E_INVALIDARG;
        if (format->cfFormat != format_ || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL))
            return DV_E_TYMED;
        return S_OK;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out)
            out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (!formats)
            return E_POINTER;
        *formats = nullptr;
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC format{format_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &format, formats);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~DropBlockDataObject() = default;

    LONG references_ = 1;
    std::string block_;
    CLIPFORMAT format_;
};

// The thread's keyboard state with the given modifiers down and no mouse
// button: OLE reads the key state it passes to the target from here.
void SetModifierKeys(DWORD modifierKeys)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    auto set = [&](int key, bool down) { keys[key] = down ? 0x80 : 0; };
    set(VK_SHIFT, modifierKeys & MK_SHIFT);
    set(VK_LSHIFT, modifierKeys & MK_SHIFT);
    set(VK_CONTROL, modifierKeys & MK_CONTROL);
    set(VK_LCONTROL, modifierKeys & MK_CONTROL);
    set(VK_MENU, modifierKeys & MK_ALT);
    set(VK_LMENU, modifierKeys & MK_ALT);
    set(VK_LBUTTON, false);
    set(VK_RBUTTON, false);
    set(VK_MBUTTON, false);
    SetKeyboardState(keys);
}

// Answers each QueryContinueDrag from the script. Before answering "go on",
// it puts the pointer and the keys where the next turn expects them, since OLE
// reads both before its next question.
class ScriptedDropSource final : public IDropSource {
public:
    explicit ScriptedDropSource(const std::vector<DragStep>& steps) : steps_(steps) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDropSource) {
            *object = static_cast<IDropSource*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of RunScriptedDrag, which outlasts DoDragDrop.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP QueryContinueDrag(BOOL, DWORD) override
    {
        size_t turn = std::min(next_, steps_.size() - 1);
        ++next_;
        if (steps_[turn].check && turn + 1 == next_)
            steps_[turn].check();
        switch (steps_[turn].action) {
        case DragAction::Drop: return DRAGDROP_S_DROP;
        case DragAction::Cancel: return DRAGDROP_S_CANCEL;
        case DragAction::Continue: break;
        }
        const DragStep& coming = steps_[std::min(next_, steps_.size() - 1)];
        SetCursorPos(coming.screenPoint.x, coming.screenPoint.y);
        SetModifierKeys(coming.modifierKeys);
        return S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    const std::vector<DragStep>& steps_;
    size_t next_ = 0;
};

std::wstring QuoteArgument(const std::wstring& text)
{
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// The build records the helper's path as the build machine sees it; a Linux
// path is reached through Wine's Z: drive.
std::wstring DragHelperPath()
{
    std::string built = TOLVANE_DRAG_HELPER_PATH;
    std::wstring path(built.begin(), built.end());
    if (path.starts_with(L"/"))
        path = L"Z:" + path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

} // namespace

std::string MakeDropFilesBlock(const std::vector<std::wstring>& paths, bool wide)
{
    std::string list;
    for (const std::wstring& path : paths) {
        if (wide) {
            list.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
        } else {
            int length = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
            std::string ansi(static_cast<size_t>(std::max(length, 1)), '\0');
            WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi.data(), length, nullptr, nullptr);
            list += ansi;
        }
    }
    list.append(wide ? sizeof(wchar_t) : 1, '\0');

    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    return block + list;
}

ComPtr<IDataObject> CreateDropBlockDataObject(std::string block, CLIPFORMAT format)
{
    return ComPtr<IDataObject>::Attach(new DropBlockDataObject(std::move(block), format));
}

ComPtr<IDataObject> CreateFileDataObject(const std::vector<std::wstring>& paths)
{
    return CreateDropBlockDataObject(MakeDropFilesBlock(paths));
}

HRESULT RunScriptedDrag(IDataObject* data, const std::vector<DragStep>& steps, DWORD allowedEffects, DWORD* effect)
{
    if (steps.empty())
        return E_INVALIDARG;
    BYTE savedKeys[256] = {};
    GetKeyboardState(savedKeys);
    SetCursorPos(steps[0].screenPoint.x, steps[0].screenPoint.y);
    SetModifierKeys(steps[0].modifierKeys);
    ScriptedDropSource source(steps);
    DWORD result = DROPEFFECT_NONE;
    HRESULT hr = DoDragDrop(data, &source, allowedEffects, &result);
    SetKeyboardState(savedKeys);
    if (effect)
        *effect = result;
    return hr;
}

HRESULT DragFilesTo(POINT screenPoint, const std::vector<std::wstring>& paths, DWORD allowedEffects, DWORD* effect)
{
    ComPtr<IDataObject> data = CreateFileDataObject(paths);
    return RunScriptedDrag(data.Get(), {{screenPoint, DragAction::Drop}}, allowedEffects, effect);
}

long long RunDragHelper(POINT screenPoint, const std::vector<std::wstring>& paths, DWORD allowedEffects,
                        DWORD timeoutMs)
{
    std::wstring helper = DragHelperPath();
    std::wstring commandLine = QuoteArgument(helper) + L" " + std::to_wstring(screenPoint.x) + L" " +
                               std::to_wstring(screenPoint.y) + L" " + std::to_wstring(allowedEffects);
    for (const std::wstring& path : paths)
        commandLine += L" " + QuoteArgument(path);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(helper.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return -1;
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);

    // The target's methods run on this thread, called through its message
    // queue, so the wait must keep dispatching.
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            TerminateProcess(process.Get(), 0xDEAD);
            return -1;
        }
        HANDLE waited = process.Get();
        DWORD woke = MsgWaitForMultipleObjects(1, &waited, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // Calls the helper made just before it ended may still wait in the queue.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    return exitCode;
}
