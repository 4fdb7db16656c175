#include "intake/drop_event_data.h"

#include "base/program_heaps.h"

#include <cstring>

namespace {

// The copied bytes follow the header directly.
struct DropEventHeader {
    UINT format;
    SIZE_T size;
};

} // namespace

void* CreateDropEventData(UINT format, const void* bytes, SIZE_T size)
{
    if (size > static_cast<SIZE_T>(-1) - sizeof(DropEventHeader))
        return nullptr;
    void* data = HeapAlloc(GetProgramHeap(ProgramHeap::General), 0, sizeof(DropEventHeader) + size);
    if (!data)
        return nullptr;
    auto* header = static_cast<DropEventHeader*>(data);
    header->format = format;
    header->size = size;
    if (size)
        std::memcpy(header + 1, bytes, size);
    return data;
}

void ReleaseDropEventData(void* data)
{
    if (data)
        HeapFree(GetProgramHeap(ProgramHeap::General), 0, data);
}

DropEventView ReadDropEventData(const void* data)
{
    if (!data)
        return {};
    auto* header = static_cast<const DropEventHeader*>(data);
    return {header->format, reinterpret_cast<const BYTE*>(header + 1), header->size};
}
