#include "intake/file_list_fill.h"

#include "base/file_list.h"
#include "base/long_work.h"

namespace {

// Up to this many paths, inserting each at the top costs less than reading
// and rewriting the entries already there.
constexpr size_t kDirectInsertLimit = 256;

void InsertEachAtTop(HWND list, const std::vector<std::wstring>& paths)
{
    for (const std::wstring& path : paths)
        FileListInsertTop(list, path.c_str());
}

// Reads every entry out, empties the list box and adds the new paths and
// then the earlier entries at the end, where adding moves nothing. Item data
// is not carried over: the file list keeps none. False when the list box
// cannot reserve room for the refill; the earlier entries are back then.
bool Refill(HWND list, const std::vector<std::wstring>& paths)
{
    int existing = FileListCount(list);
    std::vector<std::wstring> kept;
    kept.reserve(static_cast<size_t>(existing));
    size_t characters = 0;
    for (int i = 0; i < existing; ++i) {
        kept.push_back(FileListText(list, i));
        characters += kept.back().size() + 1;
        LongWorkCheckIn();
    }
    for (const std::wstring& path : paths)
        characters += path.size() + 1;

    LRESULT selectedCount = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    std::vector<int> selected(selectedCount > 0 ? static_cast<size_t>(selectedCount) : 0);
    if (!selected.empty()) {
        LRESULT got = SendMessageW(list, LB_GETSELITEMS, selected.size(), reinterpret_cast<LPARAM>(selected.data()));
        selected.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }
    LRESULT caret = SendMessageW(list, LB_GETCARETINDEX, 0, 0);
    LRESULT anchor = SendMessageW(list, LB_GETANCHORINDEX, 0, 0);
    LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);

    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    WPARAM total = paths.size() + kept.size();
    if (!FileListReserve(list, total, characters)) {
        for (const std::wstring& text : kept)
            FileListAppend(list, text.c_str());
        for (int index : selected)
            SendMessageW(list, LB_SETSEL, TRUE, index);
        return false;
    }
    // The window handles its messages meanwhile; the list box is disabled
    // and does not redraw, so nothing reaches it half filled.
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        FileListAppend(list, path->c_str());
        LongWorkCheckIn();
    }
    for (const std::wstring& text : kept) {
        FileListAppend(list, text.c_str());
        LongWorkCheckIn();
    }

    // Every earlier entry moved down by the number of new ones. The list box
    // keeps its caret and anchor indexes where they were when entries are
    // inserted above them, so the refill does the same; LB_SETSEL moves both,
    // so they are put back after it.
    LPARAM shift = static_cast<LPARAM>(paths.size());
    for (int index : selected)
        SendMessageW(list, LB_SETSEL, TRUE, index + shift);
    if (anchor != LB_ERR)
        SendMessageW(list, LB_SETANCHORINDEX, anchor, 0);
    if (caret != LB_ERR)
        SendMessageW(list, LB_SETCARETINDEX, caret, FALSE);
    if (top != LB_ERR)
        SendMessageW(list, LB_SETTOPINDEX, top, 0);
    return true;
}

} // namespace

void FileListInsertTopMany(HWND list, const std::vector<std::wstring>& paths)
{
    if (paths.empty())
        return;
    FileListRedrawPause pause(list);
    if (paths.size() <= kDirectInsertLimit || !Refill(list, paths))
        InsertEachAtTop(list, paths);
}
