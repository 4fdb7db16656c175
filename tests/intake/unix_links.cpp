#include "intake/unix_links.h"

#include "base/unique_handle.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace {

using WineGetUnixFileName = char*(CDECL*)(const wchar_t*);

// Starts a Linux program (by its Linux path). Wine gives no handle that can
// be waited on for a Linux process, so callers wait for its effect instead.
bool StartUnix(const std::string& program, const std::vector<std::string>& arguments)
{
    std::wstring commandLine = L"Z:" + std::wstring(program.begin(), program.end());
    for (wchar_t& c : commandLine)
        if (c == L'/')
            c = L'\\';
    for (const std::string& argument : arguments) {
        int length = MultiByteToWideChar(CP_UTF8, 0, argument.c_str(), -1, nullptr, 0);
        std::wstring wide(static_cast<size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, argument.c_str(), -1, wide.data(), length);
        wide.resize(wcslen(wide.c_str()));
        commandLine += L" \"" + wide + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return false;
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
    return true;
}

bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 250; ++i) {
        if (done())
            return true;
        Sleep(20);
    }
    return false;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes a link (dangling or not) from the Linux side; `gone` says when.
void RemoveUnixLink(const std::string& unixLink, const std::function<bool()>& gone)
{
    if (StartUnix("/bin/rm", {"-f", unixLink}))
        WaitUntil(gone);
}

} // namespace

std::string UnixPath(const std::wstring& windowsPath)
{
    auto convert = reinterpret_cast<WineGetUnixFileName>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!convert)
        return {};
    char* unix = convert(windowsPath.c_str());
    if (!unix)
        return {};
    std::string path(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return path;
}

FolderLink::FolderLink(const std::wstring& link, const std::wstring& target) : link_(link)
{
    std::string unixTarget = UnixPath(target);
    std::string unixLink = UnixPath(link);
    if (unixTarget.empty() || unixLink.empty() || !StartUnix("/bin/ln", {"-s", unixTarget, unixLink}))
        return;
    if (WaitUntil([&] { return IsFolder(link); }))
        unixLink_ = unixLink;
}

FolderLink::~FolderLink()
{
    if (!unixLink_.empty())
        RemoveUnixLink(unixLink_, [&] { return GetFileAttributesW(link_.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

DriveMapping::DriveMapping(const std::wstring& folder)
{
    std::string unixFolder = UnixPath(folder);
    std::string driveC = UnixPath(L"C:\\");
    if (unixFolder.empty() || driveC.empty())
        return;
    // Wine names C: through <prefix>/dosdevices/c:, beside the other letters.
    while (!driveC.empty() && driveC.back() == '/')
        driveC.pop_back();
    std::string dosdevices = driveC.substr(0, driveC.find_last_of('/') + 1);
    DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'R'; letter <= L'Y'; ++letter) {
        if (used & (1u << (letter - L'A')))
            continue;
        std::string device = dosdevices + static_cast<char>(letter - L'A' + 'a') + ":";
        std::wstring root = std::wstring(1, letter) + L":\\";
        if (StartUnix("/bin/ln", {"-s", unixFolder, device}) &&
            WaitUntil([&] { return GetDriveTypeW(root.c_str()) > DRIVE_NO_ROOT_DIR; })) {
            letter_ = letter;
            device_ = device;
            return;
        }
    }
}

DriveMapping::~DriveMapping()
{
    if (!device_.empty())
        RemoveUnixLink(device_, [&] { return GetDriveTypeW(Root().c_str()) <= DRIVE_NO_ROOT_DIR; });
}
