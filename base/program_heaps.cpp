#include "base/program_heaps.h"

#include "base/unique_handle.h"

namespace {

constexpr SIZE_T kInitialHeapSize = 4096;

UniqueHeap generalHeap;
UniqueHeap textHeap;
UniqueHeap conversionHeap;

} // namespace

void CreateProgramHeaps()
{
    generalHeap.Reset(HeapCreate(0, kInitialHeapSize, 0));
    textHeap.Reset(HeapCreate(0, kInitialHeapSize, 0));
    conversionHeap.Reset(HeapCreate(0, kInitialHeapSize, 0));
}

void DestroyProgramHeaps()
{
    conversionHeap.Reset();
    textHeap.Reset();
    generalHeap.Reset();
}

HANDLE GetProgramHeap(ProgramHeap which)
{
    const UniqueHeap* heap = &generalHeap;
    switch (which) {
    case ProgramHeap::General: heap = &generalHeap; break;
    case ProgramHeap::Text: heap = &textHeap; break;
    case ProgramHeap::Conversion: heap = &conversionHeap; break;
    }
    return heap->IsValid() ? heap->Get() : GetProcessHeap();
}
