// Faults made for real on files, for the Decode tests.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

#include <string>

// Another process holding the file open for writing, sharing it for reading
// only, until this holder is destroyed.
class HeldOpenFile {
public:
    explicit HeldOpenFile(const std::wstring& path);
    HeldOpenFile(const HeldOpenFile&) = delete;
    HeldOpenFile& operator=(const HeldOpenFile&) = delete;
    ~HeldOpenFile();

    bool IsHeld() const { return held_; }

private:
    UniqueKernelHandle ready_;
    UniqueKernelHandle release_;
    UniqueKernelHandle process_;
    bool held_ = false;
};

// Writes `head` and extends the file to `size` bytes without writing the
// rest: a sparse file whose tail reads as zeros.
void WriteSparse(const std::wstring& path, const std::string& head, LONGLONG size);
LONGLONG FileSize(const std::wstring& path);
// The first `count` bytes of the file.
std::string ReadHead(const std::wstring& path, DWORD count);
// Whether this process can open the file for writing; true as root under
// Wine even for a read-only file.
bool CanOpenForWriting(const std::wstring& path);
// An environment variable's value; empty when it is not set.
std::wstring Environment(const wchar_t* name);
