// The folder scan: a depth-first walk of a folder and everything below it,
// collecting the files that the filter option lets through.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Whether a file path goes into the file list: always when "Filter for
// *.htm*" is clear, else only when its extension is htm or html in any case.
// The option is read anew for every path.
bool PassesFilter(std::wstring_view path, HWND filterCheckBox);

// Walks `folderPath` (used as given: a drive root "X:\" yields "X:\\name")
// and appends every accepted file to `found` in visiting order, reading the
// filter option for each file. Each sub-folder is walked where its entry is
// met; hidden and system entries and links to folders are walked like any
// other. A physical folder (volume serial and file index) is walked at most
// once per call, so links back to an ancestor or several links to one folder
// neither loop nor repeat. A folder whose enumeration cannot start
// contributes nothing. Checks in as long work at every entry, and returns
// with what it found so far when the work is asked to stop.
void FolderScan(const std::wstring& folderPath, HWND filterCheckBox, std::vector<std::wstring>& found);
