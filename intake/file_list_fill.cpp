#include "intake/file_list_fill.h"

#include "base/file_list.h"
#include "base/long_work.h"

namespace {

// Up to this many paths, inserting each at the top costs less than reading
// and rewriting the entries already there.
constexpr size_t kDirectInsertLimit = 256;

// Stops at the first path the list box has no room for.
void InsertEachAtTop(HWND list, const std::vector<std::wstring>& paths)
{
    for (const std::wstring& path : paths)
        if (!FileListInsertTop(list, path.c_str()))
            return;
}

// Where the earlier entries' selection and the view stood.
struct ListState {
    HeapBlock selected; // the selected indexes
    LRESULT selectedCount = 0;
    LRESULT caret = LB_ERR;
    LRESULT anchor = LB_ERR;
    LRESULT top = LB_ERR;
};

bool ReadState(HWND list, ListState& state)
{
    LRESULT count = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (count > 0) {
        state.selected = HeapBlock::Allocate(GetProcessHeap(), static_cast<SIZE_T>(count) * sizeof(int));
        if (!state.selected)
            return false;
        LRESULT got = SendMessageW(list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(state.selected.Get()));
        state.selectedCount = got > 0 ? got : 0;
    }
    state.caret = SendMessageW(list, LB_GETCARETINDEX, 0, 0);
    state.anchor = SendMessageW(list, LB_GETANCHORINDEX, 0, 0);
    state.top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    return true;
}

bool AppendAll(HWND list, const FileListSnapshot& entries)
{
    for (int i = 0; i < entries.Count(); ++i) {
        if (!FileListAppend(list, entries.Text(i)))
            return false;
        LongWorkCheckIn();
    }
    return true;
}

// The selection, anchor, caret and view of `state`, its entries now standing
// `shift` places further down. LB_SETSEL moves the caret and the anchor, so
// they are put back after it.
void RestoreState(HWND list, const ListState& state, LPARAM shift)
{
    for (LRESULT k = 0; k < state.selectedCount; ++k)
        SendMessageW(list, LB_SETSEL, TRUE, state.selected.As<int>()[k] + shift);
    if (state.anchor != LB_ERR)
        SendMessageW(list, LB_SETANCHORINDEX, state.anchor, 0);
    if (state.caret != LB_ERR)
        SendMessageW(list, LB_SETCARETINDEX, state.caret, FALSE);
    if (state.top != LB_ERR)
        SendMessageW(list, LB_SETTOPINDEX, state.top, 0);
}

// Reads every entry out, empties the list box and adds the new paths and
// then the earlier entries at the end, where adding moves nothing. Item data
// is not carried over: the file list keeps none.
//
// When the list box cannot hold it all, the earlier entries are put back as
// they were and nothing is added. Putting them back needs no more of the list
// box's memory than they took before it was emptied, so it does not fail
// where the refill did. Without the memory to read them out, nothing is done.
void Refill(HWND list, const std::vector<std::wstring>& paths)
{
    FileListSnapshot earlier;
    ListState state;
    if (!earlier.Take(list) || !ReadState(list, state))
        return;
    size_t characters = earlier.Characters();
    for (const std::wstring& path : paths)
        characters += path.size() + 1;

    // The window handles its messages meanwhile; the list box is disabled
    // and does not redraw, so nothing reaches it half filled.
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    bool complete = FileListReserve(list, paths.size() + static_cast<size_t>(earlier.Count()), characters);
    for (auto path = paths.rbegin(); complete && path != paths.rend(); ++path) {
        complete = FileListAppend(list, path->c_str());
        LongWorkCheckIn();
    }
    if (!complete || !AppendAll(list, earlier)) {
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        AppendAll(list, earlier);
        RestoreState(list, state, 0);
        return;
    }

    // Every earlier entry moved down by the number of new ones. The list box
    // keeps its caret and anchor indexes where they were when entries are
    // inserted above them, so the refill does the same.
    RestoreState(list, state, static_cast<LPARAM>(paths.size()));
}

} // namespace

void FileListInsertTopMany(HWND list, const std::vector<std::wstring>& paths)
{
    if (paths.empty())
        return;
    FileListRedrawPause pause(list);
    if (paths.size() <= kDirectInsertLimit) {
        InsertEachAtTop(list, paths);
        return;
    }
    // A refill fails only for want of memory, and one path at a time would
    // then run out as well, only far more slowly: the drop adds nothing.
    Refill(list, paths);
}
