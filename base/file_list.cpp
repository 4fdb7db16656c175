#include "base/file_list.h"

#include "base/long_work.h"

#include <utility>

bool FileListInsertTop(HWND list, const wchar_t* path)
{
    LRESULT index = SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(path));
    return index != LB_ERR && index != LB_ERRSPACE;
}

int FileListCount(HWND list)
{
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

std::wstring FileListText(HWND list, int index)
{
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

bool FileListIsSelected(HWND list, int index)
{
    return SendMessageW(list, LB_GETSEL, index, 0) > 0;
}

int FileListEntryAt(HWND list, POINT clientPoint)
{
    RECT client;
    if (!GetClientRect(list, &client) || !PtInRect(&client, clientPoint))
        return -1;
    LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    LRESULT height = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
    if (top == LB_ERR || height == LB_ERR || height <= 0)
        return -1;
    LONGLONG entry = top + (clientPoint.y - client.top) / height;
    return entry < FileListCount(list) ? static_cast<int>(entry) : -1;
}

void FileListRemove(HWND list, int index)
{
    SendMessageW(list, LB_DELETESTRING, index, 0);
}

void FileListRemoveAll(HWND list)
{
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

bool FileListAppend(HWND list, const wchar_t* path)
{
    LRESULT index = SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(path));
    return index != LB_ERR && index != LB_ERRSPACE;
}

bool FileListReserve(HWND list, size_t count, size_t characters)
{
    return SendMessageW(list, LB_INITSTORAGE, count, characters * sizeof(wchar_t)) != LB_ERRSPACE;
}

bool FileListSnapshot::Take(HWND list)
{
    *this = FileListSnapshot();
    int count = FileListCount(list);
    HANDLE heap = GetProcessHeap();
    HeapBlock offsets = HeapBlock::Allocate(heap, (static_cast<SIZE_T>(count) + 1) * sizeof(size_t));
    HeapBlock selected = HeapBlock::Allocate(heap, static_cast<SIZE_T>(count) * sizeof(bool));
    if (!offsets || !selected)
        return false;
    size_t characters = 0;
    for (int i = 0; i < count; ++i) {
        offsets.As<size_t>()[i] = characters;
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        characters += (length == LB_ERR || length < 0 ? 0 : static_cast<size_t>(length)) + 1;
        selected.As<bool>()[i] = FileListIsSelected(list, i);
        LongWorkCheckIn();
    }
    offsets.As<size_t>()[count] = characters;
    HeapBlock texts = HeapBlock::Allocate(heap, characters * sizeof(wchar_t));
    if (!texts)
        return false;
    for (int i = 0; i < count; ++i) {
        wchar_t* text = texts.As<wchar_t>() + offsets.As<size_t>()[i];
        size_t room = offsets.As<size_t>()[i + 1] - offsets.As<size_t>()[i];
        text[0] = L'\0';
        // The length was asked just before, so the text fits; one of another
        // length (an item the list box holds no text for) is left empty.
        if (room > 1 &&
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text)) != static_cast<LRESULT>(room - 1))
            text[0] = L'\0';
        LongWorkCheckIn();
    }
    count_ = count;
    characters_ = characters;
    offsets_ = std::move(offsets);
    selected_ = std::move(selected);
    texts_ = std::move(texts);
    return true;
}

FileListRedrawPause::FileListRedrawPause(HWND list) : list_(list)
{
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
}

FileListRedrawPause::~FileListRedrawPause()
{
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

bool IsOptionTicked(HWND checkBox)
{
    return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
