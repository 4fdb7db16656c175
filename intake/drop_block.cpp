#include "intake/drop_block.h"

#include <cstring>

namespace {

// The texts between `begin` and the closing empty one, or nothing when the
// closing one is not inside the block. `Char` is wchar_t or char; wide texts
// may start at an odd offset, so characters are copied out, never cast to.
template <typename Char> bool SplitPathList(const BYTE* begin, SIZE_T size, std::vector<std::basic_string<Char>>& paths)
{
    SIZE_T count = size / sizeof(Char);
    std::basic_string<Char> path;
    for (SIZE_T i = 0; i < count; ++i) {
        Char c;
        std::memcpy(&c, begin + i * sizeof(Char), sizeof(Char));
        if (c != 0) {
            path += c;
            continue;
        }
        if (path.empty())
            return true;
        paths.push_back(std::move(path));
        path.clear();
    }
    return false;
}

std::wstring AnsiToWide(const std::string& text)
{
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

} // namespace

std::vector<std::wstring> DroppedPaths(const BYTE* block, SIZE_T size)
{
    if (!block || size < sizeof(DROPFILES))
        return {};
    DROPFILES header;
    std::memcpy(&header, block, sizeof header);
    if (header.pFiles < sizeof(DROPFILES) || header.pFiles >= size)
        return {};

    const BYTE* list = block + header.pFiles;
    SIZE_T listSize = size - header.pFiles;
    if (header.fWide) {
        std::vector<std::wstring> paths;
        if (!SplitPathList(list, listSize, paths))
            return {};
        return paths;
    }

    std::vector<std::string> ansiPaths;
    if (!SplitPathList(list, listSize, ansiPaths))
        return {};
    std::vector<std::wstring> paths;
    paths.reserve(ansiPaths.size());
    for (const std::string& ansi : ansiPaths)
        paths.push_back(AnsiToWide(ansi));
    return paths;
}
