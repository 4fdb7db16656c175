#include "file_faults.h"

#include <gtest/gtest.h>

namespace {

std::wstring HolderPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"file_holder.exe";
}

std::wstring UniqueName(const wchar_t* what)
{
    static LONG counter = 0;
    return std::wstring(L"TolvaneHolder-") + what + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(InterlockedIncrement(&counter));
}

} // namespace

HeldOpenFile::HeldOpenFile(const std::wstring& path)
{
    std::wstring readyName = UniqueName(L"ready");
    std::wstring releaseName = UniqueName(L"release");
    ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.Reset(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    std::wstring command = L"\"" + HolderPath() + L"\" \"" + path + L"\" " + readyName + L" " + releaseName;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start the holder, error " << GetLastError();
        return;
    }
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    HANDLE waits[] = {ready_.Get(), process_.Get()};
    held_ = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
    if (!held_)
        ADD_FAILURE() << "the holder did not take the file";
}

HeldOpenFile::~HeldOpenFile()
{
    if (!process_)
        return;
    SetEvent(release_.Get());
    WaitForSingleObject(process_.Get(), 30000);
}

void WriteSparse(const std::wstring& path, const std::string& head, LONGLONG size)
{
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid()) << "error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.Get()));
}

LONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return static_cast<LONGLONG>(static_cast<ULONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

std::string ReadHead(const std::wstring& path, DWORD count)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr));
    std::string bytes(count, '\0');
    DWORD read = 0;
    if (!file || !ReadFile(file.Get(), bytes.data(), count, &read, nullptr))
        return {};
    bytes.resize(read);
    return bytes;
}

bool CanOpenForWriting(const std::wstring& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
}

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}
