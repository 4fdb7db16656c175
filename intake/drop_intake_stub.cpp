#include "intake/drop_intake.h"

bool RegisterDropTarget(HWND, DropTargetKind)
{
    return false;
}

void HandleListDrop(const void*, HWND, HWND) {}
