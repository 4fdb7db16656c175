#include "decode/decode_file_list.h"

#include "base/file_list.h"
#include "base/long_work.h"
#include "decode/run_message_box.h"
#include "decode/transcode_file.h"
#include "intake/path_probes.h"

#include <string>
#include <vector>

namespace {

constexpr wchar_t kErrorTitle[] = L"Error!";
constexpr wchar_t kOpenError[] = L"Error opening: ";
constexpr wchar_t kWriteError[] = L"Error writing file: ";
constexpr wchar_t kMemoryError[] = L"Not enough memory, left unchanged: ";
constexpr wchar_t kNotUtf8Heading[] = L"Not UTF-8, left unchanged:";
constexpr wchar_t kInfoTitle[] = L"Info";
constexpr wchar_t kDoneText[] = L"Done!";

// A list decoded a second time holds nothing but files that are no longer
// UTF-8, so those are named together in one box, at most this many.
constexpr size_t kNotUtf8Shown = 30;

// Sizes are signed 32-bit counts: a file must be smaller than 2^31 bytes.
constexpr LONGLONG kSizeLimit = 0x80000000LL;

void ShowFileError(const wchar_t* message, const std::wstring& path)
{
    ShowRunMessage(kErrorTitle, (message + path).c_str());
}

void ShowNotUtf8(const std::vector<std::wstring>& paths)
{
    std::wstring text = kNotUtf8Heading;
    for (size_t k = 0; k < paths.size() && k < kNotUtf8Shown; ++k)
        text += L"\n" + paths[k];
    if (paths.size() > kNotUtf8Shown)
        text += L"\n... and " + std::to_wstring(paths.size() - kNotUtf8Shown) + L" more";
    ShowRunMessage(kErrorTitle, text.c_str());
}

} // namespace

void DecodeFileList(HWND list, HWND charsetCheckBox)
{
    std::vector<std::wstring> notUtf8;
    int done = 0;
    int listed = 0;
    LongWorkStop stop = LongWorkStop::None;
    {
        LongWorkScope work(LongWorkKind::Decode);
        for (int i = 0; i < (listed = FileListCount(list)); ++i) {
            if (LongWorkStopRequested() != LongWorkStop::None)
                break;
            std::wstring path = FileListText(list, i);
            LongWorkCheckIn(i, listed, path);
            LONGLONG size = SizeProbe(path);
            done = i + 1;
            if (size <= 0 || size >= kSizeLimit) {
                ShowFileError(kOpenError, path);
                continue;
            }
            switch (TranscodeFile(path.c_str(), static_cast<int>(size), IsOptionTicked(charsetCheckBox))) {
            case TranscodeResult::Converted: break;
            case TranscodeResult::OpenFailed: ShowFileError(kOpenError, path); break;
            case TranscodeResult::WriteFailed: ShowFileError(kWriteError, path); break;
            case TranscodeResult::OutOfMemory: ShowFileError(kMemoryError, path); break;
            case TranscodeResult::NotUtf8: notUtf8.push_back(std::move(path)); break;
            case TranscodeResult::Stopped: done = i; break;
            }
        }
        stop = LongWorkStopRequested();
    }

    // Once the session ends nothing more is shown: the system may end the
    // program at any moment.
    if (stop == LongWorkStop::SessionEnd)
        return;
    if (!notUtf8.empty())
        ShowNotUtf8(notUtf8);
    if (stop == LongWorkStop::Close)
        return;
    // A stop asked for while the last file was in hand stopped nothing.
    if (stop == LongWorkStop::User && done < listed) {
        std::wstring text = L"Stopped: " + GroupedCount(done) + L" of " + GroupedCount(listed) + L" files done.";
        ShowRunMessage(kInfoTitle, text.c_str());
        return;
    }
    ShowRunMessage(kInfoTitle, kDoneText);
}
