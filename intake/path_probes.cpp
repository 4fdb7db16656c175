#include "intake/path_probes.h"

#include "base/file_system_path.h"
#include "base/unique_handle.h"

#include <string>

namespace {

constexpr DWORD kNoRootDirectory = DRIVE_NO_ROOT_DIR;

LONGLONG DriveProbe(const std::wstring& root)
{
    return GetDriveTypeW(root.c_str()) > kNoRootDirectory ? kSizeProbeFolder : kSizeProbeNothing;
}

} // namespace

LONGLONG SizeProbe(std::wstring_view path)
{
    if (path.empty())
        return kSizeProbeNothing;

    std::wstring copy(path);

    if ((copy.size() == 2 || copy.size() == 3) && copy[1] == L':') {
        if (copy.size() == 2)
            copy += L'\\';
        return DriveProbe(copy);
    }

    while (copy.size() > 1 && copy.back() == L'\\')
        copy.pop_back();

    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW(FileSystemPath(copy).c_str(), &found));
    if (find) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return kSizeProbeFolder;
        return static_cast<LONGLONG>((static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
    }

    // Share roots (\\server\share) and relative ".." paths have no find entry of
    // their own, so their attributes decide.
    if (copy.starts_with(L"\\\\") || copy.starts_with(L"..")) {
        DWORD attributes = GetFileAttributesW(FileSystemPath(copy).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return DriveProbe(copy);
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? kSizeProbeFolder : kSizeProbeNothing;
    }
    return kSizeProbeNothing;
}

std::wstring_view ExtensionPart(std::wstring_view path)
{
    size_t i = path.size();
    while (i > 0) {
        wchar_t c = path[i - 1];
        if (c == L'.' || c == L'/' || c == L'\\' || c == L' ')
            break;
        --i;
    }
    if (i == 0)
        return {};
    size_t stop = i - 1;
    if (path[stop] != L'.' || stop == 0 || path[stop - 1] == L'/' || path[stop - 1] == L'\\')
        return {};
    std::wstring_view extension = path.substr(stop + 1);
    return extension.substr(0, extension.find(L'"'));
}

bool HasHtmlExtension(std::wstring_view path)
{
    std::wstring_view extension = ExtensionPart(path);
    if (extension.size() != 3 && extension.size() != 4)
        return false;
    wchar_t lowered[5] = {};
    extension.copy(lowered, extension.size());
    CharLowerW(lowered);
    std::wstring_view result(lowered, extension.size());
    return result == L"htm" || result == L"html";
}
