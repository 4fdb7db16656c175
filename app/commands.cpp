#include "app/commands.h"

#include "base/file_list.h"

void DeleteSelectedEntries(HWND list)
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

void ClearFileList(HWND list)
{
    FileListRemoveAll(list);
}
