// Links made on the Linux side of Wine, which shows them as reparse points:
// symbolic links to folders and drive letters mapped onto a folder. Wine
// runs Linux programs started with CreateProcessW, so the tests call ln.
#pragma once

#include <string>

// The Linux path Wine gives a Windows path; empty when it has none.
std::string UnixPath(const std::wstring& windowsPath);

// A symbolic link to a folder, removed with the holder. Declare it after the
// temporary folders it lives in, so that it goes first: the folder removal
// does not remove links.
class FolderLink {
public:
    FolderLink(const std::wstring& link, const std::wstring& target);
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    ~FolderLink();

    bool IsValid() const { return !unixLink_.empty(); }

private:
    std::wstring link_;
    std::string unixLink_;
};

// A free drive letter mapped onto a folder for the holder's lifetime.
class DriveMapping {
public:
    explicit DriveMapping(const std::wstring& folder);
    DriveMapping(const DriveMapping&) = delete;
    DriveMapping& operator=(const DriveMapping&) = delete;
    ~DriveMapping();

    bool IsValid() const { return letter_ != 0; }
    std::wstring Root() const { return std::wstring(1, letter_) + L":\\"; } // "R:\"

private:
    wchar_t letter_ = 0;
    std::string device_; // the prefix's dosdevices entry
};
