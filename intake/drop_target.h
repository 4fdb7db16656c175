// The drop target: the COM object OLE calls while files are dragged over the
// list box or the main window. Accepts CF_HDROP with the copy effect only; on
// a drop it copies the dropped block into event data and posts a drop event.
#pragma once

#include "base/unique_handle.h"
#include "intake/drop_intake.h"

// A new target serving `window`, not registered. The caller owns its first
// reference; null when there is no memory.
ComPtr<IDropTarget> CreateDropTarget(HWND window, DropTargetKind kind);
