// drag_helper.exe X Y ALLOWED-EFFECTS PATH...
// Drops the paths at screen point (X, Y) with OLE drag and drop, from its own
// process, as the shell would. The exit code is the resulting effect, or
// 0x10000 and above when the drag could not be run.
#include "support/file_drag_source.h"

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 0x10001;
    POINT point{static_cast<LONG>(wcstol(argv[1], nullptr, 10)), static_cast<LONG>(wcstol(argv[2], nullptr, 10))};
    DWORD allowedEffects = wcstoul(argv[3], nullptr, 10);
    std::vector<std::wstring> paths(argv + 4, argv + argc);

    if (FAILED(OleInitialize(nullptr)))
        return 0x10002;
    DWORD effect = DROPEFFECT_NONE;
    HRESULT hr = DragFilesTo(point, paths, allowedEffects, &effect);
    OleUninitialize();
    if (FAILED(hr))
        return 0x10003;
    return static_cast<int>(effect);
}
