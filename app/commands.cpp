#include "app/commands.h"

#include "base/file_list.h"

#include <string>
#include <vector>

namespace {

// Up to this many selected entries are removed one by one. Past it, removing
// each entry moves every entry below it, which on a list of 100,000 paths
// takes minutes: the list is rebuilt from the entries that stay instead.
constexpr LRESULT kRemoveEachLimit = 256;

void RemoveEachSelected(HWND list)
{
    // The count is asked afresh after every removal, and a removal leaves the
    // index where it is: the entry that moved up into its place is next.
    int index = 0;
    while (index < FileListCount(list)) {
        if (FileListIsSelected(list, index))
            FileListRemove(list, index);
        else
            ++index;
    }
}

void RebuildFromUnselected(HWND list)
{
    std::vector<std::wstring> kept;
    size_t characters = 0;
    int count = FileListCount(list);
    for (int index = 0; index < count; ++index) {
        if (FileListIsSelected(list, index))
            continue;
        kept.push_back(FileListText(list, index));
        characters += kept.back().size() + 1;
    }

    FileListRedrawPause pause(list);
    FileListRemoveAll(list);
    FileListReserve(list, kept.size(), characters);
    for (const std::wstring& text : kept)
        FileListAppend(list, text.c_str());
}

} // namespace

void DeleteSelectedEntries(HWND list)
{
    LRESULT selected = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (selected <= 0)
        return;
    if (selected <= kRemoveEachLimit)
        RemoveEachSelected(list);
    else
        RebuildFromUnselected(list);
}

void ClearFileList(HWND list)
{
    FileListRemoveAll(list);
}
