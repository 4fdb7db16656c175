#include "intake/drop_intake.h"
#include "intake/drop_target.h"

bool RegisterDropTarget(HWND window, DropTargetKind kind)
{
    ComPtr<IDropTarget> target = CreateDropTarget(window, kind);
    if (!target)
        return false;
    HRESULT hr = RegisterDragDrop(window, target.Get());
    if (hr == DRAGDROP_E_ALREADYREGISTERED) {
        RevokeDragDrop(window);
        hr = RegisterDragDrop(window, target.Get());
    }
    // OLE holds its own reference while registered; ours ends here either way.
    return SUCCEEDED(hr);
}
