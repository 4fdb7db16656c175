// A drag source for tests: a data object that offers a file list (CF_HDROP in
// global memory) and a drop source that ends the drag by itself, so that
// DoDragDrop runs without a mouse button held. Nothing here depends on
// GoogleTest; drag_helper.exe is built from the same code to drag from
// another process.
#pragma once

#include "base/unique_handle.h"

#include <functional>
#include <string>
#include <vector>

// The bytes of a DROPFILES block naming `paths`: the header, then each path
// with its terminating zero, then one more zero. `wide` picks UTF-16 texts
// (fWide set) or the older ANSI form (CP_ACP).
std::string MakeDropFilesBlock(const std::vector<std::wstring>& paths, bool wide = true);

// A data object whose only format is `format` (CF_HDROP unless a test wants
// a drag that offers no file list) on TYMED_HGLOBAL, holding exactly `block`
// (which may be malformed on purpose). Each GetData hands out a fresh global
// copy that the caller releases.
ComPtr<IDataObject> CreateDropBlockDataObject(std::string block, CLIPFORMAT format = CF_HDROP);
ComPtr<IDataObject> CreateFileDataObject(const std::vector<std::wstring>& paths);

// What the drop source answers at one turn of DoDragDrop's tracking.
enum class DragAction {
    Continue, // keep dragging: the target gets DragEnter or DragOver
    Drop,     // drop here
    Cancel,   // give up: the target gets DragLeave
};

// One turn of a scripted drag: where the pointer stands, which modifier keys
// are down (MK_SHIFT, MK_CONTROL, MK_ALT) and what the source answers.
struct DragStep {
    POINT screenPoint;
    DragAction action;
    DWORD modifierKeys = 0;
    // Called when OLE asks the source about this turn: the target has then
    // answered every call of the turns before.
    std::function<void()> check;
};

// Runs DoDragDrop on this thread (OLE initialised) with `data`, walking the
// steps in order; a drag that is still going after the last step ends with the
// last step's action. The pointer is put on each step's point before OLE looks
// at it. `effect` receives DoDragDrop's resulting effect.
HRESULT RunScriptedDrag(IDataObject* data, const std::vector<DragStep>& steps, DWORD allowedEffects, DWORD* effect);

// Puts the pointer on `screenPoint` and drops `paths` there at once.
HRESULT DragFilesTo(POINT screenPoint, const std::vector<std::wstring>& paths, DWORD allowedEffects, DWORD* effect);

// Runs drag_helper.exe in a new process to drop `paths` at `screenPoint`,
// allowing `allowedEffects`, and dispatches this thread's messages (the target's
// OLE calls arrive through them) until it ends. The helper's exit code: the
// resulting effect, or a value above 0xFFFF when the drag could not be run;
// -1 when the helper could not be started or did not end within `timeoutMs`.
long long RunDragHelper(POINT screenPoint, const std::vector<std::wstring>& paths,
                        DWORD allowedEffects = DROPEFFECT_COPY, DWORD timeoutMs = 20000);
