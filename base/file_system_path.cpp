#include "base/file_system_path.h"

#include <windows.h>

namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";

bool IsDevicePath(std::wstring_view path)
{
    return path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\") || path.starts_with(L"\\??\\");
}

bool IsDriveAbsolute(std::wstring_view path)
{
    return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

bool IsUnc(std::wstring_view path)
{
    return path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
}

// The full path as GetFullPathNameW makes it (no MAX_PATH limit there);
// empty when it fails.
std::wstring FullPath(const std::wstring& path)
{
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return {};
    full.resize(length);
    return full;
}

} // namespace

std::wstring FileSystemPath(std::wstring_view path)
{
    std::wstring given(path);
    // A short absolute path is taken as it is; nothing to resolve.
    if (IsDevicePath(path) || (path.size() < MAX_PATH && (IsDriveAbsolute(path) || IsUnc(path))))
        return given;
    std::wstring full = FullPath(given);
    if (full.size() < MAX_PATH)
        return given;
    if (IsDriveAbsolute(full))
        return std::wstring(kExtendedPrefix) + full;
    if (IsUnc(full))
        return std::wstring(kExtendedUncPrefix) + full.substr(2);
    return given;
}
