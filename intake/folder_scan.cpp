#include "intake/folder_scan.h"

#include "base/file_list.h"
#include "base/file_system_path.h"
#include "base/long_work.h"
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
    UniqueFile folder(CreateFileW(FileSystemPath(path).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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
//
// Only a folder reparse point (a junction, a symbolic link, a mount point)
// can lead to a folder a second time. Asking a folder for its identity costs
// far more than enumerating it, so until the walk meets the first reparse
// point it only notes the paths of the folders it entered; from there on
// every folder, those noted included, is known by its identity.
struct FolderWalk {
    HWND filterCheckBox;
    std::vector<std::wstring>& found;
    std::vector<WalkLevel> levels; // the open enumerations, innermost last
    bool reparsePointMet = false;
    std::vector<std::wstring> enteredBefore; // until a reparse point is met
    std::set<FolderIdentity> walked;         // once one is met
};

// Whether the folder was walked before in this scan; remembers it if not.
bool WalkedBefore(FolderWalk& walk, const std::wstring& path, bool isReparsePoint)
{
    if (isReparsePoint && !walk.reparsePointMet) {
        walk.reparsePointMet = true;
        for (const std::wstring& earlier : walk.enteredBefore) {
            FolderIdentity identity;
            if (GetFolderIdentity(earlier, identity))
                walk.walked.insert(identity);
        }
        walk.enteredBefore.clear();
    }
    if (!walk.reparsePointMet) {
        walk.enteredBefore.push_back(path);
        return false;
    }
    FolderIdentity identity;
    return GetFolderIdentity(path, identity) && !walk.walked.insert(identity).second;
}

// Opens the folder's enumeration as a new innermost level, unless the folder
// was walked already or cannot be enumerated.
void EnterFolder(FolderWalk& walk, std::wstring path, bool isReparsePoint)
{
    if (WalkedBefore(walk, path, isReparsePoint))
        return;
    WalkLevel level{std::move(path), UniqueFind(), {}, true};
    level.find.Reset(FindFirstFileW(FileSystemPath(level.path + L"\\*.*").c_str(), &level.entry));
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
    FolderWalk walk{filterCheckBox, found, {}, false, {}, {}};
    EnterFolder(walk, folderPath, false);
    while (!walk.levels.empty()) {
        WalkLevel& level = walk.levels.back();
        LongWorkCheckIn(static_cast<long long>(found.size()), 0, level.path);
        if (LongWorkStopRequested() != LongWorkStop::None)
            return;
        if (!level.unread && !FindNextFileW(level.find.Get(), &level.entry)) {
            walk.levels.pop_back();
            continue;
        }
        level.unread = false;
        std::wstring_view name(level.entry.cFileName, wcsnlen(level.entry.cFileName, MAX_PATH));
        if (name == L"." || name == L"..")
            continue;
        std::wstring path;
        path.reserve(level.path.size() + 1 + name.size());
        path.append(level.path).append(1, L'\\').append(name);
        DWORD attributes = level.entry.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) // moves `level`: not used below
            EnterFolder(walk, std::move(path), attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        else if (PassesFilter(path, filterCheckBox))
            found.push_back(std::move(path));
    }
}
