#include "intake/folder_scan.h"

#include "base/file_list.h"
#include "base/unique_handle.h"
#include "intake/path_probes.h"

#include <cwchar>
#include <set>

namespace {

struct FolderIdentity {
    DWORD volumeSerial;
    DWORD indexHigh;
    DWORD indexLow;
    auto operator<=>(const FolderIdentity&) const = default;
};

// False when the folder cannot be opened or queried; it is then walked
// without the guard, and its enumeration decides.
bool GetFolderIdentity(const std::wstring& path, FolderIdentity& identity)
{
    UniqueFile folder(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (!folder || !GetFileInformationByHandle(folder.Get(), &information))
        return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

// One level of the walk in progress: its folder's open enumeration and the
// entry it yielded last, not yet looked at when `unread` is set.
struct WalkLevel {
    std::wstring path;
    UniqueFind find;
    WIN32_FIND_DATAW entry;
    bool unread;
};

// What one scan carries from folder to folder.
struct FolderWalk {
    HWND filterCheckBox;
    std::vector<std::wstring>& found;
    std::vector<WalkLevel> levels; // the open enumerations, innermost last
    std::set<FolderIdentity> walked;
};

// Opens the folder's enumeration as a new innermost level, unless the folder
// was walked already or cannot be enumerated.
void EnterFolder(FolderWalk& walk, std::wstring path)
{
    FolderIdentity identity;
    if (GetFolderIdentity(path, identity) && !walk.walked.insert(identity).second)
        return;
    WalkLevel level{std::move(path), UniqueFind(), {}, true};
    level.find.Reset(FindFirstFileW((level.path + L"\\*.*").c_str(), &level.entry));
    if (level.find)
        walk.levels.push_back(std::move(level));
}

} // namespace

bool PassesFilter(std::wstring_view path, HWND filterCheckBox)
{
    return !IsOptionTicked(filterCheckBox) || HasHtmlExtension(path);
}

void FolderScan(const std::wstring& folderPath, HWND filterCheckBox, std::vector<std::wstring>& found)
{
    // Depth-first with an explicit stack rather than recursion: the depth of
    // a tree is bounded only by the longest path the file system takes.
    FolderWalk walk{filterCheckBox, found, {}, {}};
    EnterFolder(walk, folderPath);
    while (!walk.levels.empty()) {
        WalkLevel& level = walk.levels.back();
        if (!level.unread && !FindNextFileW(level.find.Get(), &level.entry)) {
            walk.levels.pop_back();
            continue;
        }
        level.unread = false;
        std::wstring_view name(level.entry.cFileName, wcsnlen(level.entry.cFileName, MAX_PATH));
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = level.path + L'\\' + std::wstring(name);
        if (level.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            EnterFolder(walk, std::move(path)); // moves `level`: not used below
        else if (PassesFilter(path, filterCheckBox))
            found.push_back(std::move(path));
    }
}
