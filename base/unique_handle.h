// Move-only owners for the Win32 handle kinds the program holds, one per
// kind, so that every exit path releases what it took.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <utility>

// A handle value plus the rule that releases it. Traits give the invalid
// value and the release call.
template <typename Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Type Get() const { return value_; }
    bool IsValid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    Type Detach() { return std::exchange(value_, Traits::Invalid()); }

    void Reset(Type value = Traits::Invalid())
    {
        Type old = std::exchange(value_, value);
        if (old != Traits::Invalid())
            Traits::Release(old);
    }

    // Releases now and says whether the release succeeded; for handles whose
    // release can fail meaningfully (closing a written file flushes it).
    bool Close()
    {
        Type old = Detach();
        return old == Traits::Invalid() || Traits::Release(old);
    }

private:
    Type value_ = Traits::Invalid();
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Release(Type h) { return CloseHandle(h) != FALSE; }
};
// A handle from CreateFileW: INVALID_HANDLE_VALUE means none.
using UniqueFile = UniqueHandle<FileHandleTraits>;

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool Release(Type h) { return CloseHandle(h) != FALSE; }
};
// Events, processes, threads: NULL means none.
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Release(Type h) { return FindClose(h) != FALSE; }
};
using UniqueFind = UniqueHandle<FindHandleTraits>;

struct HeapTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool Release(Type h) { return HeapDestroy(h) != FALSE; }
};
using UniqueHeap = UniqueHandle<HeapTraits>;

struct GlobalTraits {
    using Type = HGLOBAL;
    static Type Invalid() { return nullptr; }
    static bool Release(Type h) { return GlobalFree(h) == nullptr; }
};
using UniqueGlobal = UniqueHandle<GlobalTraits>;

// Fonts, brushes, bitmaps: GDI objects the program made, deleted with
// DeleteObject (never a stock object).
template <typename Object> struct GdiObjectTraits {
    using Type = Object;
    static Type Invalid() { return nullptr; }
    static bool Release(Type h) { return DeleteObject(h) != FALSE; }
};
template <typename Object> using UniqueGdiObject = UniqueHandle<GdiObjectTraits<Object>>;

// A block taken from a heap; freed back to the same heap.
class HeapBlock {
public:
    HeapBlock() = default;
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    HeapBlock(HeapBlock&& other) noexcept
        : heap_(other.heap_), data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
    {
    }
    HeapBlock& operator=(HeapBlock&& other) noexcept
    {
        if (this != &other) {
            Free();
            heap_ = other.heap_;
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
        }
        return *this;
    }
    ~HeapBlock() { Free(); }

    // An empty block (IsValid false) when the heap cannot give `size` bytes.
    static HeapBlock Allocate(HANDLE heap, SIZE_T size, DWORD flags = 0)
    {
        HeapBlock block;
        block.heap_ = heap;
        block.data_ = HeapAlloc(heap, flags, size ? size : 1);
        block.size_ = block.data_ ? size : 0;
        return block;
    }

    bool IsValid() const { return data_ != nullptr; }
    explicit operator bool() const { return IsValid(); }
    void* Get() const { return data_; }
    template <typename T> T* As() const { return static_cast<T*>(data_); }
    SIZE_T Size() const { return size_; }

    void Free()
    {
        if (data_)
            HeapFree(heap_, 0, data_);
        data_ = nullptr;
        size_ = 0;
    }

private:
    HANDLE heap_ = nullptr;
    void* data_ = nullptr;
    SIZE_T size_ = 0;
};

// GlobalLock held for the holder's lifetime. The pointer is valid only while
// the holder lives.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL memory) : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard()
    {
        if (data_)
            GlobalUnlock(memory_);
    }

    bool IsValid() const { return data_ != nullptr; }
    explicit operator bool() const { return IsValid(); }
    void* Get() const { return data_; }

private:
    HGLOBAL memory_;
    void* data_;
};

// A STGMEDIUM filled by IDataObject::GetData; released with ReleaseStgMedium.
class UniqueStgMedium {
public:
    UniqueStgMedium() = default;
    UniqueStgMedium(const UniqueStgMedium&) = delete;
    UniqueStgMedium& operator=(const UniqueStgMedium&) = delete;
    ~UniqueStgMedium() { Reset(); }

    // For the callee to fill; releases what was held first.
    STGMEDIUM* Put()
    {
        Reset();
        return &medium_;
    }
    const STGMEDIUM& Get() const { return medium_; }

    void Reset()
    {
        if (medium_.tymed != TYMED_NULL)
            ReleaseStgMedium(&medium_);
        medium_ = STGMEDIUM{};
    }

private:
    STGMEDIUM medium_{};
};

// A counted reference to a COM object; released on destruction.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes over a reference the caller already owns (a fresh object's first one).
    static ComPtr Attach(T* ptr)
    {
        ComPtr result;
        result.ptr_ = ptr;
        return result;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    T** Put()
    {
        Reset();
        return &ptr_;
    }

    void Reset()
    {
        if (T* old = std::exchange(ptr_, nullptr))
            old->Release();
    }

private:
    T* ptr_ = nullptr;
};
