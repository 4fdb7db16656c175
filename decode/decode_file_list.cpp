#include "decode/decode_file_list.h"

#include "base/file_list.h"
#include "base/long_work.h"
#include "decode/run_message_box.h"
#include "decode/transcode_file.h"
#include "decode/utf8_to_ansi.h"
#include "intake/path_probes.h"

#include <cwchar>
#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kErrorTitle[] = L"Error!";
constexpr wchar_t kOpenError[] = L"Error opening: ";
constexpr wchar_t kWriteError[] = L"Error writing file: ";
constexpr wchar_t kSavedAside[] = L"\nThe original could not be put back; it is saved as: ";
constexpr wchar_t kNotSaved[] = L"\nThe original could not be put back or saved.";
constexpr wchar_t kMemoryError[] = L"Not enough memory, left unchanged: ";
constexpr wchar_t kNotUtf8Heading[] = L"Not UTF-8, left unchanged:";
constexpr wchar_t kWarningTitle[] = L"Warning!";
constexpr wchar_t kUtf8CodePageText[] = L"The system code page is UTF-8 (65001), so there is no ANSI code page to "
                                        L"convert into. No file was changed.";
constexpr wchar_t kInfoTitle[] = L"Info";
constexpr wchar_t kDoneText[] = L"Done!";

// A list decoded a second time holds nothing but files that are no longer
// UTF-8, so those are named together in one box, at most this many.
constexpr size_t kNotUtf8Shown = 30;

// The files in which characters were replaced, named in one box with what
// was replaced in each, at most this many.
constexpr size_t kReplacedShown = 30;

// Sizes are signed 32-bit counts: a file must be smaller than 2^31 bytes.
constexpr LONGLONG kSizeLimit = 0x80000000LL;

// The files that are not UTF-8: the first few by name, the rest counted.
struct NotUtf8Files {
    std::vector<std::wstring> named;
    size_t count = 0;
};

void ShowFileError(const wchar_t* message, const std::wstring& path)
{
    // Without memory for the joined text, the message still names the path.
    try {
        ShowRunMessage(kErrorTitle, (message + path).c_str());
    } catch (const std::bad_alloc&) {
        ShowRunMessage(kErrorTitle, message);
        ShowRunMessage(kErrorTitle, path.c_str());
    }
}

// An entry whose path could not even be read out of the list: named by its
// place in the list, in a text that needs no memory.
void ShowEntryMemoryError(int index)
{
    wchar_t text[128];
    wsprintfW(text, L"%sentry %d of the list", kMemoryError, index + 1);
    ShowRunMessage(kErrorTitle, text);
}

void ShowNotUtf8(const NotUtf8Files& files)
{
    try {
        std::wstring text = kNotUtf8Heading;
        for (const std::wstring& path : files.named)
            text += L"\n" + path;
        if (files.count > files.named.size())
            text += L"\n... and " + std::to_wstring(files.count - files.named.size()) + L" more";
        ShowRunMessage(kErrorTitle, text.c_str());
    } catch (const std::bad_alloc&) {
        wchar_t text[128];
        wsprintfW(text, L"%s\n... and %u more", kNotUtf8Heading, static_cast<unsigned>(files.count));
        ShowRunMessage(kErrorTitle, text);
    }
}

// The files of a run in which characters were replaced: the first ones to
// name, with what each lost, and how many more there were.
struct ReplacedFiles {
    struct File {
        std::wstring path;
        ReplacedCharacters replaced;
    };
    std::vector<File> shown;
    size_t more = 0;

    void Add(std::wstring&& path, const ReplacedCharacters& replaced)
    {
        if (shown.size() < kReplacedShown) {
            try {
                shown.push_back({std::move(path), replaced});
                return;
            } catch (const std::bad_alloc&) {
                // Counted below, if it cannot be named.
            }
        }
        ++more;
    }
    bool Empty() const { return shown.empty() && more == 0; }
};

// "C:\docs\a.html (4: U+2192 U+2713)": the count, then the first distinct
// code points in the order they came, " ..." when there were more.
std::wstring ReplacedLine(const ReplacedFiles::File& file)
{
    std::wstring line = file.path + L" (" + std::to_wstring(file.replaced.count) + L":";
    for (int k = 0; k < file.replaced.distinct; ++k) {
        wchar_t codePoint[16];
        swprintf(codePoint, std::size(codePoint), L" U+%04X", static_cast<unsigned>(file.replaced.first[k]));
        line += codePoint;
    }
    if (file.replaced.more)
        line += L" ...";
    return line + L")";
}

void ShowReplaced(const ReplacedFiles& files)
{
    try {
        std::wstring text =
            L"Characters that code page " + std::to_wstring(GetACP()) + L" does not have were replaced in:";
        for (const ReplacedFiles::File& file : files.shown)
            text += L"\n" + ReplacedLine(file);
        if (files.more)
            text += L"\n... and " + std::to_wstring(files.more) + L" more";
        ShowRunMessage(kWarningTitle, text.c_str());
    } catch (const std::bad_alloc&) {
        ShowRunMessage(kWarningTitle, L"Characters that the code page does not have were replaced.");
    }
}

// Whether the entry was done, or the session ended before its rewrite.
enum class EntryOutcome { Done, Stopped };

EntryOutcome DecodeEntry(HWND list, int index, int listed, HWND charsetCheckBox, HWND referencesCheckBox,
                         NotUtf8Files& notUtf8, ReplacedFiles& replacedFiles)
{
    std::wstring path = FileListText(list, index);
    LongWorkCheckIn(index, listed, path);
    LONGLONG size = SizeProbe(path);
    if (size <= 0 || size >= kSizeLimit) {
        ShowFileError(kOpenError, path);
        return EntryOutcome::Done;
    }
    std::wstring savedAs;
    // References only where a browser reads them: in HTML files.
    const bool references = IsOptionTicked(referencesCheckBox) && HasHtmlExtension(path);
    ReplacedCharacters replaced;
    switch (TranscodeFile(path.c_str(), IsOptionTicked(charsetCheckBox), &savedAs, references, &replaced)) {
    case TranscodeResult::Converted:
        if (replaced.count > 0)
            replacedFiles.Add(std::move(path), replaced);
        break;
    case TranscodeResult::OpenFailed: ShowFileError(kOpenError, path); break;
    case TranscodeResult::WriteFailed: ShowFileError(kWriteError, path); break;
    case TranscodeResult::WriteFailedSavedAside: ShowFileError(kWriteError, path + kSavedAside + savedAs); break;
    case TranscodeResult::WriteFailedNotSaved: ShowFileError(kWriteError, path + kNotSaved); break;
    case TranscodeResult::OutOfMemory: ShowFileError(kMemoryError, path); break;
    case TranscodeResult::NotUtf8:
        if (notUtf8.named.size() < kNotUtf8Shown)
            notUtf8.named.push_back(std::move(path));
        ++notUtf8.count;
        break;
    case TranscodeResult::Stopped: return EntryOutcome::Stopped;
    }
    return EntryOutcome::Done;
}

void ShowStopped(int done, int listed)
{
    try {
        std::wstring text = L"Stopped: " + GroupedCount(done) + L" of " + GroupedCount(listed) + L" files done.";
        ShowRunMessage(kInfoTitle, text.c_str());
    } catch (const std::bad_alloc&) {
        wchar_t text[128];
        wsprintfW(text, L"Stopped: %d of %d files done.", done, listed);
        ShowRunMessage(kInfoTitle, text);
    }
}

} // namespace

void DecodeFileList(HWND list, HWND charsetCheckBox, HWND referencesCheckBox)
{
    // Converting into UTF-8 would write each file back as it is.
    if (GetACP() == CP_UTF8) {
        ShowRunMessage(kErrorTitle, kUtf8CodePageText);
        ShowRunMessage(kInfoTitle, kDoneText);
        return;
    }
    NotUtf8Files notUtf8;
    ReplacedFiles replacedFiles;
    int done = 0;
    int listed = 0;
    LongWorkStop stop = LongWorkStop::None;
    {
        LongWorkScope work(LongWorkKind::Decode);
        for (int i = 0; i < (listed = FileListCount(list)); ++i) {
            if (LongWorkStopRequested() != LongWorkStop::None)
                break;
            done = i + 1;
            // The file itself is converted in memory taken without
            // exceptions; only the texts around it can throw, and then only
            // before the file is touched or after it is done.
            try {
                if (DecodeEntry(list, i, listed, charsetCheckBox, referencesCheckBox, notUtf8, replacedFiles) ==
                    EntryOutcome::Stopped)
                    done = i;
            } catch (const std::bad_alloc&) {
                ShowEntryMemoryError(i);
            }
            stop = LongWorkStopRequested();
        }
    }

    // Once the session ends nothing more is shown: the system may end the
    // program at any moment.
    if (stop == LongWorkStop::SessionEnd)
        return;
    if (notUtf8.count > 0)
        ShowNotUtf8(notUtf8);
    if (!replacedFiles.Empty())
        ShowReplaced(replacedFiles);
    if (stop == LongWorkStop::Close)
        return;
    // A stop asked for while the last file was in hand stopped nothing.
    if (stop == LongWorkStop::User && done < listed) {
        ShowStopped(done, listed);
        return;
    }
    ShowRunMessage(kInfoTitle, kDoneText);
}
