// Queries on a path that the intake and the Decode run rely on.
#pragma once

#include <windows.h>

#include <string_view>

constexpr LONGLONG kSizeProbeNothing = -1;
constexpr LONGLONG kSizeProbeFolder = -2; // a folder or an existing drive root

// The file's size in bytes, or kSizeProbeNothing / kSizeProbeFolder. The
// whole path is asked about, however long.
LONGLONG SizeProbe(std::wstring_view path);

// The text after the path's last dot, in the path's own case, up to the first
// double quote; empty when the name has no extension.
std::wstring_view ExtensionPart(std::wstring_view path);

// Whether the extension part, lower-cased with CharLowerW, is "htm" or "html":
// the intake's filter test.
bool HasHtmlExtension(std::wstring_view path);
