// A second Wine process that holds a file open for writing, sharing it for
// reading only, until told to let go:
//   file_holder <path> <ready event> <release event>
// Share modes bind between processes of the system, not within the tests'
// own process alone, so the test needs another process to hold the file.
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 1;
    HANDLE file = CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (!ready || !release)
        return 3;
    SetEvent(ready);
    WaitForSingleObject(release, 60000);
    CloseHandle(file);
    return 0;
}
