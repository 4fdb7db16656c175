#include "intake/drop_target.h"

#include "base/control_numbers.h"
#include "base/event_queue.h"
#include "intake/drop_event_data.h"
#include "intake/drop_feedback.h"

#include <new>

namespace {

FORMATETC FileListFormat()
{
    return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// Copy, whatever the modifier keys say, when the source allows it.
DWORD EffectRule(DWORD allowedEffects)
{
    return (allowedEffects & DROPEFFECT_COPY) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

// Event data holding every byte of the dropped block; null when the block
// cannot be locked or the copy cannot be allocated.
void* CopyDroppedBlock(HGLOBAL block)
{
    SIZE_T size = GlobalSize(block);
    GlobalLockGuard lock(block);
    if (!lock)
        return nullptr;
    return CreateDropEventData(CF_HDROP, lock.Get(), size);
}

// Lifetime: created with one reference for its creator; RegisterDragDrop
// adds OLE's, which RevokeDragDrop (on the window's destruction) gives back.
// OLE calls every method on the thread that registered it, the program's
// one thread, so the state needs no lock.
class DropTarget final : public IDropTarget {
public:
    DropTarget(HWND window, DropTargetKind kind) : window_(window), kind_(kind) {}
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDropTarget) {
            *object = static_cast<IDropTarget*>(this);
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

    STDMETHODIMP DragEnter(IDataObject* data, DWORD, POINTL point, DWORD* effect) override
    {
        if (!effect)
            return E_INVALIDARG;
        offersFileList_ = false;
        if (data && (*effect & DROPEFFECT_COPY)) {
            FORMATETC format = FileListFormat();
            offersFileList_ = data->QueryGetData(&format) == S_OK;
        }
        *effect = CurrentEffect(*effect);
        ShowOutline(point, *effect);
        return S_OK;
    }

    STDMETHODIMP DragOver(DWORD, POINTL point, DWORD* effect) override
    {
        if (!effect)
            return E_INVALIDARG;
        *effect = CurrentEffect(*effect);
        ShowOutline(point, *effect);
        return S_OK;
    }

    STDMETHODIMP DragLeave() override
    {
        offersFileList_ = false;
        HideOutline();
        return S_OK;
    }

    STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) override
    {
        if (!effect)
            return E_INVALIDARG;
        DWORD dropEffect = CurrentEffect(*effect);
        offersFileList_ = false;
        *effect = DROPEFFECT_NONE;
        if (dropEffect == DROPEFFECT_NONE || !data) {
            HideOutline();
            return S_OK;
        }

        void* eventData = TakeDroppedData(data);
        if (!eventData) {
            HideOutline();
            return S_OK;
        }
        if (kind_ == DropTargetKind::Control)
            ApplyDropFeedback(window_, ToClient(point), outlinedEntry_);

        // The queue owns the data from here, even when posting fails.
        bool posted = kind_ == DropTargetKind::Control
                          ? PostEvent(EventKind::ListDrop, kListBoxControl, window_, 0, eventData, ReleaseDropEventData)
                          : PostEvent(EventKind::WindowDrop, 0, window_, 0, eventData, ReleaseDropEventData);
        if (posted)
            *effect = dropEffect;
        return S_OK;
    }

private:
    ~DropTarget() = default;

    DWORD CurrentEffect(DWORD allowedEffects) const
    {
        return offersFileList_ ? EffectRule(allowedEffects) : DROPEFFECT_NONE;
    }

    POINT ToClient(POINTL screenPoint) const
    {
        POINT point{screenPoint.x, screenPoint.y};
        ScreenToClient(window_, &point);
        return point;
    }

    // Only the list box shows an outline.
    void ShowOutline(POINTL screenPoint, DWORD effect)
    {
        if (kind_ != DropTargetKind::Control)
            return;
        if (effect == DROPEFFECT_NONE)
            RemoveDragOutline(window_, outlinedEntry_);
        else
            DrawDragOutline(window_, ToClient(screenPoint), outlinedEntry_);
    }

    void HideOutline()
    {
        if (kind_ == DropTargetKind::Control)
            RemoveDragOutline(window_, outlinedEntry_);
    }

    // The dropped block copied into new event data; the source's medium is
    // released before this returns.
    static void* TakeDroppedData(IDataObject* data)
    {
        FORMATETC format = FileListFormat();
        UniqueStgMedium medium;
        if (FAILED(data->GetData(&format, medium.Put())) || medium.Get().tymed != TYMED_HGLOBAL ||
            !medium.Get().hGlobal)
            return nullptr;
        return CopyDroppedBlock(medium.Get().hGlobal);
    }

    LONG references_ = 1;
    HWND window_;
    DropTargetKind kind_;
    bool offersFileList_ = false; // set by DragEnter for the drag in progress
    int outlinedEntry_ = kNoOutlinedEntry;
};

} // namespace

ComPtr<IDropTarget> CreateDropTarget(HWND window, DropTargetKind kind)
{
    return ComPtr<IDropTarget>::Attach(new (std::nothrow) DropTarget(window, kind));
}
