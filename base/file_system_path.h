// Paths as the file-system calls take them. The program lists and reports a
// path exactly as it was dropped or found; only the call sees this form.
#pragma once

#include <string>
#include <string_view>

// The text to hand to a file-system call (CreateFileW, FindFirstFileW,
// GetFileAttributesW) for `path`: the path itself while the system takes it
// as it is, that is while its full form is shorter than MAX_PATH; otherwise
// the full path in its \\?\ form (\\?\UNC\server\share\... for a network
// path), which no MAX_PATH limit applies to, whether or not the system has
// long paths enabled. Paths already in a \\?\ or \\.\ form are passed as they
// are. Relative parts, '.' and '..' and forward slashes are resolved first,
// since the \\?\ form takes every character literally.
std::wstring FileSystemPath(std::wstring_view path);
