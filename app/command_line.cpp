#include "app/command_line.h"

#include "base/control_numbers.h"
#include "base/event_queue.h"
#include "base/program_heaps.h"
#include "base/unique_handle.h"
#include "intake/drop_event_data.h"

#include <shellapi.h>
#include <shlobj.h> // DROPFILES

#include <cstring>

namespace {

struct LocalTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static bool Release(Type h) { return LocalFree(h) == nullptr; }
};
// The argument array of CommandLineToArgvW: one block, freed with LocalFree.
using UniqueLocal = UniqueHandle<LocalTraits>;

// An empty argument cannot stand in a drop block, whose list ends at the
// first empty text; a drop never carries one either.
bool IsPath(const wchar_t* argument)
{
    return argument && argument[0] != L'\0';
}

} // namespace

void PostCommandLineDrop(HWND list)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    UniqueLocal argumentBlock(reinterpret_cast<HLOCAL>(arguments));
    if (!arguments || count < 2)
        return;

    // A CF_HDROP block: the DROPFILES header, each path with its zero, one
    // more zero.
    SIZE_T size = sizeof(DROPFILES) + sizeof(wchar_t);
    int paths = 0;
    for (int i = 1; i < count; ++i) {
        if (IsPath(arguments[i])) {
            size += (wcslen(arguments[i]) + 1) * sizeof(wchar_t);
            ++paths;
        }
    }
    if (paths == 0)
        return;
    HeapBlock block = HeapBlock::Allocate(GetProgramHeap(ProgramHeap::General), size, HEAP_ZERO_MEMORY);
    if (!block)
        return;
    auto* header = block.As<DROPFILES>();
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    BYTE* next = block.As<BYTE>() + sizeof(DROPFILES);
    for (int i = 1; i < count; ++i) {
        if (!IsPath(arguments[i]))
            continue;
        SIZE_T bytes = (wcslen(arguments[i]) + 1) * sizeof(wchar_t);
        std::memcpy(next, arguments[i], bytes);
        next += bytes;
    }

    void* eventData = CreateDropEventData(CF_HDROP, block.Get(), block.Size());
    if (eventData)
        PostEvent(EventKind::ListDrop, kListBoxControl, list, 0, eventData, ReleaseDropEventData);
}
