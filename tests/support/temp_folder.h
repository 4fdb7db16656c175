// A fresh folder under %TEMP% for one test, removed with everything in it
// (read-only, hidden and system files included) when the test ends.
#pragma once

#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::wstring& Path() const { return path_; }
    // The folder's path, a backslash and `name` (which may hold further
    // backslashes).
    std::wstring Join(std::wstring_view name) const;

private:
    std::wstring path_;
};

// Creates or replaces the file with exactly these bytes; fails the test if
// that is impossible.
void WriteBytes(const std::wstring& path, std::string_view bytes);
// The file's bytes; empty and a test failure when it cannot be read.
std::string ReadBytes(const std::wstring& path);
// Creates the folder and every missing folder above it.
void MakeFolders(const std::wstring& path);
// Removes a file or a whole tree; links to folders are removed, not followed.
void RemoveTree(const std::wstring& path);
