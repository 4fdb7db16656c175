#include "base/file_list.h"

void FileListInsertTop(HWND list, const wchar_t* path)
{
    SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(path));
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

void FileListRemove(HWND list, int index)
{
    SendMessageW(list, LB_DELETESTRING, index, 0);
}

void FileListRemoveAll(HWND list)
{
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
}

void FileListAppend(HWND list, const wchar_t* path)
{
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(path));
}

bool FileListReserve(HWND list, size_t count, size_t characters)
{
    return SendMessageW(list, LB_INITSTORAGE, count, characters * sizeof(wchar_t)) != LB_ERRSPACE;
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
