#include "support/memory_balloon.h"

#include <cstdlib>
#include <new>

namespace {

// Blocks taken from a heap are chained through their own first bytes, so
// that taking them needs no memory besides.
struct Chained {
    Chained* next;
};

template <typename Take> void* TakeAll(Take take)
{
    Chained* chain = nullptr;
    for (SIZE_T size = SIZE_T(1) << 20; size >= 64; size /= 2)
        while (void* block = take(size))
            chain = new (block) Chained{chain};
    return chain;
}

template <typename Give> void GiveAll(void*& chain, Give give)
{
    while (chain) {
        Chained* block = static_cast<Chained*>(chain);
        chain = block->next;
        give(block);
    }
}

} // namespace

MemoryBalloon::MemoryBalloon(SIZE_T headroom)
{
    // The bookkeeping is taken first, so that filling needs no more memory.
    blocks_.reserve(1 << 16);
    void* room = VirtualAlloc(nullptr, headroom, MEM_RESERVE, PAGE_NOACCESS);
    SIZE_T taken = 0;
    for (SIZE_T block = SIZE_T(256) << 20; block >= (SIZE_T(64) << 10) && taken <= kMostTaken; block /= 4) {
        while (blocks_.size() < blocks_.capacity() && taken <= kMostTaken) {
            void* memory = VirtualAlloc(nullptr, block, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
            if (!memory)
                break;
            blocks_.push_back(memory);
            taken += block;
        }
    }
    filled_ = room && taken <= kMostTaken;
    // What the heaps already hold free is room too: it goes as well, from the
    // process heap and from the C runtime's.
    if (filled_) {
        processHeapBlocks_ = TakeAll([](SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); });
        runtimeBlocks_ = TakeAll([](SIZE_T size) { return std::malloc(size); });
    }
    if (room)
        VirtualFree(room, 0, MEM_RELEASE);
}

MemoryBalloon::~MemoryBalloon()
{
    Release();
}

void MemoryBalloon::Release()
{
    GiveAll(processHeapBlocks_, [](Chained* block) { HeapFree(GetProcessHeap(), 0, block); });
    GiveAll(runtimeBlocks_, [](Chained* block) { std::free(block); });
    for (void* memory : blocks_)
        VirtualFree(memory, 0, MEM_RELEASE);
    blocks_.clear();
}
