// Memory run short for real inside a test process whose address space is
// limited (prlimit --as): the balloon takes every block of address space the
// process can still have and what its heaps hold free, and leaves a measured
// amount of room.
#pragma once

#include <windows.h>

#include <vector>

class MemoryBalloon {
public:
    // Leaves about `headroom` bytes of address space free, in one piece.
    explicit MemoryBalloon(SIZE_T headroom);
    MemoryBalloon(const MemoryBalloon&) = delete;
    MemoryBalloon& operator=(const MemoryBalloon&) = delete;
    ~MemoryBalloon();

    // Whether the process really ran out: false when more than kMostTaken
    // could be had, that is when the address space is not limited.
    bool Filled() const { return filled_; }
    // Gives everything back before the balloon goes.
    void Release();

    static constexpr SIZE_T kMostTaken = SIZE_T(8) << 30;

private:
    std::vector<void*> blocks_;
    void* processHeapBlocks_ = nullptr; // chained through their first bytes
    void* runtimeBlocks_ = nullptr;
    bool filled_ = false;
};
