#include "app/commands.h"

#include "base/file_list.h"

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

// Where the list box's view and keyboard state stand: kept across a rebuild.
struct ListView {
    LRESULT top;
    LRESULT caret;
    LRESULT anchor;
};

ListView ViewOf(HWND list)
{
    return {SendMessageW(list, LB_GETTOPINDEX, 0, 0), SendMessageW(list, LB_GETCARETINDEX, 0, 0),
            SendMessageW(list, LB_GETANCHORINDEX, 0, 0)};
}

// Removing an entry leaves the top index, the caret and the anchor at their
// numbers, only brought back inside the list when it has become shorter than
// they reach: a rebuild puts them back the same way. The caret is set before
// the top index, since setting it scrolls it into view.
void RestoreView(HWND list, const ListView& view)
{
    int count = FileListCount(list);
    if (count == 0)
        return;
    auto inside = [&](LRESULT index) { return index < count ? index : count - 1; };
    if (view.anchor != LB_ERR)
        SendMessageW(list, LB_SETANCHORINDEX, inside(view.anchor), 0);
    if (view.caret != LB_ERR)
        SendMessageW(list, LB_SETCARETINDEX, inside(view.caret), FALSE);
    if (view.top != LB_ERR)
        SendMessageW(list, LB_SETTOPINDEX, inside(view.top), 0);
}

// Appends the snapshot's entries, the selected ones only when `withSelected`
// is set (and selected again). False as soon as the list box cannot take
// one more.
bool AppendEntries(HWND list, const FileListSnapshot& entries, bool withSelected)
{
    for (int index = 0; index < entries.Count(); ++index) {
        bool selected = entries.IsSelected(index);
        if (selected && !withSelected)
            continue;
        if (!FileListAppend(list, entries.Text(index)))
            return false;
        if (selected)
            SendMessageW(list, LB_SETSEL, TRUE, FileListCount(list) - 1);
    }
    return true;
}

// Every entry is read out before the list box is touched, so that a Delete
// without the memory for that leaves the list as it was, and a rebuild that
// cannot be finished puts the whole list back: that needs no more of the
// list box's memory than the list held before the rebuild emptied it.
void RebuildFromUnselected(HWND list)
{
    FileListSnapshot entries;
    if (!entries.Take(list))
        return;
    ListView view = ViewOf(list);

    FileListRedrawPause pause(list);
    FileListRemoveAll(list);
    FileListReserve(list, static_cast<size_t>(entries.Count()), entries.Characters());
    if (!AppendEntries(list, entries, false)) {
        FileListRemoveAll(list);
        AppendEntries(list, entries, true);
    }
    RestoreView(list, view);
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
