#include "support/temp_folder.h"

#include "base/file_system_path.h"
#include "base/unique_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::wstring UniqueTempPath()
{
    static LONG counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring path(temp);
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    path += L"tolvane-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(InterlockedIncrement(&counter)) + L"-" + std::to_wstring(GetTickCount64());
    return path;
}

} // namespace

TempFolder::TempFolder() : path_(UniqueTempPath())
{
    MakeFolders(path_);
}

TempFolder::~TempFolder()
{
    RemoveTree(path_);
}

std::wstring TempFolder::Join(std::wstring_view name) const
{
    return path_ + L"\\" + std::wstring(name);
}

void WriteBytes(const std::wstring& path, std::string_view bytes)
{
    const std::wstring target = FileSystemPath(path);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    UniqueFile file(
        CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid()) << "cannot create test file, error " << GetLastError();
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr));
        ASSERT_EQ(written, chunk);
        done += written;
    }
}

std::string ReadBytes(const std::wstring& path)
{
    UniqueFile file(CreateFileW(FileSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ADD_FAILURE() << "cannot open for reading, error " << GetLastError();
        return {};
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(file.Get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        DWORD read = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) {
            ADD_FAILURE() << "short read";
            break;
        }
        done += read;
    }
    return bytes;
}

void MakeFolders(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2 &&
        GetFileAttributesW(FileSystemPath(path.substr(0, slash)).c_str()) == INVALID_FILE_ATTRIBUTES)
        MakeFolders(path.substr(0, slash));
    CreateDirectoryW(FileSystemPath(path).c_str(), nullptr);
}

void RemoveTree(const std::wstring& path)
{
    const std::wstring target = FileSystemPath(path);
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesW(target.c_str(),
                       attributes & FILE_ATTRIBUTE_DIRECTORY ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(target.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        UniqueFind find(FindFirstFileW(FileSystemPath(path + L"\\*").c_str(), &entry));
        if (find) {
            do {
                std::wstring_view name(entry.cFileName);
                if (name != L"." && name != L"..")
                    RemoveTree(path + L"\\" + entry.cFileName);
            } while (FindNextFileW(find.Get(), &entry));
        }
    }
    RemoveDirectoryW(target.c_str());
}
