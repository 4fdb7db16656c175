// Long work keeps the window alive: during a Decode run over thousands of
// files and a large one, and during a large drop, the program answers other
// programs at once, shows its progress, takes Stop, Esc and a close, and
// handles what arrived meanwhile after the work, in order.
#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"
#include "support/file_drag_source.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

namespace {

constexpr int kSmallFiles = 1500;
constexpr size_t kLargeSize = 48u << 20;
// How long the window may take to answer, at most, while it works. Windows
// calls a window that has not answered for 5 s "Not Responding"; the run
// here holds the thread for far longer than this when it does not pump.
constexpr DWORD kAnswerLimitMs = 1000;

class OleThread {
public:
    OleThread() { OleInitialize(nullptr); }
    ~OleThread() { OleUninitialize(); }
};

// A file of the corpus with its bytes before and after conversion (1252).
struct CorpusFile {
    std::wstring path;
    std::string original;
    std::string converted;
};

std::string Repeat(std::string_view piece, size_t size)
{
    std::string text;
    text.reserve(size + piece.size());
    while (text.size() < size)
        text += piece;
    return text;
}

// "café" in UTF-8 and in code page 1252.
constexpr std::string_view kUtf8Piece = "<p>caf\xC3\xA9 cr\xC3\xA8me</p>\n";
constexpr std::string_view kAnsiPiece = "<p>caf\xE9 cr\xE8me</p>\n";

// Small files in `folder`, and `largeFiles` large ones.
std::vector<CorpusFile> MakeCorpus(const std::wstring& folder, int smallFiles, size_t largeSize, int largeFiles)
{
    std::vector<CorpusFile> files;
    for (int i = 0; i < largeFiles; ++i) {
        // Each a little longer than the one before.
        size_t pieces = largeSize / kUtf8Piece.size() + static_cast<size_t>(i);
        files.push_back({folder + L"\\large" + std::to_wstring(i) + L".html",
                         Repeat(kUtf8Piece, pieces * kUtf8Piece.size()),
                         Repeat(kAnsiPiece, pieces * kAnsiPiece.size())});
    }
    for (int i = 0; i < smallFiles; ++i) {
        // Sizes differ a little, so that no two files are alike.
        size_t pieces = 40 + i % 17;
        files.push_back({folder + L"\\page" + std::to_wstring(i) + L".html",
                         Repeat(kUtf8Piece, pieces * kUtf8Piece.size()),
                         Repeat(kAnsiPiece, pieces * kAnsiPiece.size())});
    }
    for (const CorpusFile& file : files)
        WriteBytes(file.path, file.original);
    return files;
}

std::vector<std::wstring> PathsOf(const std::vector<CorpusFile>& files)
{
    std::vector<std::wstring> paths;
    for (const CorpusFile& file : files)
        paths.push_back(file.path);
    return paths;
}

// How many files, from the top, were converted; fails the test for a file
// that is neither converted nor untouched, and for an untouched file above a
// converted one (the run goes from the top).
size_t ConvertedFromTheTop(const std::vector<CorpusFile>& files)
{
    size_t converted = 0;
    bool untouchedSeen = false;
    for (const CorpusFile& file : files) {
        std::string now = ReadBytes(file.path);
        if (now == file.converted) {
            EXPECT_FALSE(untouchedSeen) << "converted below an untouched file: " << testing::PrintToString(file.path);
            ++converted;
        } else if (now == file.original) {
            untouchedSeen = true;
        } else {
            ADD_FAILURE() << "neither converted nor untouched (" << now.size()
                          << " bytes): " << testing::PrintToString(file.path);
        }
    }
    return converted;
}

// Sends WM_NULL to a window from a thread of its own, one after the other,
// and keeps the longest time an answer took.
class AnswerProbe {
public:
    explicit AnswerProbe(HWND window) : thread_([this, window] { Run(window); }) {}
    ~AnswerProbe() { Stop(); }

    // The longest wait for an answer, in milliseconds; stops the probe.
    DWORD Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return longest_;
    }
    int Answers() const { return answers_; }

private:
    void Run(HWND window)
    {
        while (!stop_) {
            ULONGLONG start = GetTickCount64();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
            longest_ = std::max(longest_.load(), static_cast<DWORD>(GetTickCount64() - start));
            ++answers_;
            Sleep(5);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<DWORD> longest_{0};
    std::atomic<int> answers_{0};
    std::thread thread_;
};

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

class LongWork : public testing::Test {
protected:
    HWND List() const { return tolvane_.Control(kListBoxControl); }
    HWND Control(ControlNumber number) const { return tolvane_.Control(number); }

    // Makes the corpus in a folder of its own and drops that folder on the
    // list; the corpus is then put in list order.
    void ListCorpus(int smallFiles = kSmallFiles, int largeFiles = 1)
    {
        std::wstring corpusFolder = folder_.Join(L"corpus");
        MakeFolders(corpusFolder);
        files_ = MakeCorpus(corpusFolder, smallFiles, kLargeSize, largeFiles);
        DWORD effect = DROPEFFECT_NONE;
        ASSERT_EQ(DragFilesTo(CentreOf(List()), {corpusFolder}, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
        ASSERT_TRUE(WaitUntil([&] { return FileListCount(List()) == static_cast<int>(files_.size()); }, 30000));
        std::vector<std::wstring> listed = ListedPaths(List());
        std::map<std::wstring, CorpusFile> byPath;
        for (CorpusFile& file : files_)
            byPath[file.path] = std::move(file);
        files_.clear();
        for (const std::wstring& path : listed)
            files_.push_back(std::move(byPath.at(path)));
    }

    // Presses "Decode" from the keyboard, so that it has the focus.
    void StartDecodeFromKeyboard()
    {
        tolvane_.Activate();
        for (int presses = 0; presses < 8 && tolvane_.Focus() != Control(kDecodeButtonControl); ++presses) {
            HWND before = tolvane_.Focus();
            PressKey(VK_TAB);
            WaitUntil([&] { return tolvane_.Focus() != before; }, 2000);
        }
        ASSERT_EQ(tolvane_.Focus(), Control(kDecodeButtonControl));
        PressKey(VK_SPACE);
    }

    bool WorkShows() const
    {
        return WaitUntil([&] { return !IsWindowEnabled(List()); }, 10000);
    }

    bool ProgressShows() const
    {
        return WaitUntil([&] { return IsWindowVisible(Control(kProgressTextControl)); }, 10000);
    }

    OleThread ole_;
    TempFolder folder_;
    TolvaneProcess tolvane_;
    std::vector<CorpusFile> files_;
};

const ControlNumber kCommandControls[] = {kListBoxControl,        kClearButtonControl,     kDecodeButtonControl,
                                          kFilterCheckBoxControl, kCharsetCheckBoxControl, kReferencesCheckBoxControl};

TEST_F(LongWork, DecodeRunAnswersThroughoutShowsProgressAndGivesTheWindowBack)
{
    ListCorpus();
    AnswerProbe probe(tolvane_.Window());
    ULONGLONG start = GetTickCount64();
    StartDecodeFromKeyboard();
    ASSERT_TRUE(WorkShows());

    // During the work: every control that starts a command or changes an
    // option is disabled, and the progress display shows where it stands.
    ASSERT_TRUE(ProgressShows());
    for (ControlNumber number : kCommandControls)
        EXPECT_FALSE(IsWindowEnabled(Control(number))) << "control " << number;
    EXPECT_GE(GetTickCount64() - start, 400u) << "the progress display came before half a second of work";
    EXPECT_TRUE(IsWindowVisible(Control(kProgressBarControl)));
    EXPECT_TRUE(IsWindowVisible(Control(kStopButtonControl)));
    EXPECT_EQ(WindowText(Control(kStopButtonControl)), L"Stop");
    std::wstring text = WindowText(Control(kProgressTextControl));
    std::wstring total = L" of " + std::to_wstring(files_.size() / 1000) + L"," +
                         std::to_wstring(files_.size() % 1000 + 1000).substr(1) + L": ";
    EXPECT_EQ(text.rfind(L"Converting ", 0), 0u) << testing::PrintToString(text);
    EXPECT_NE(text.find(total), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_NE(text.find(folder_.Path()), std::wstring::npos) << testing::PrintToString(text);

    std::vector<ShownBox> boxes = ReadBoxesUntilDone(tolvane_.ThreadId(), 120000);
    DWORD longest = probe.Stop();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, L"Done!");
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_LE(longest, kAnswerLimitMs) << "answers during the run: " << probe.Answers();
    EXPECT_GT(probe.Answers(), 20);
    EXPECT_EQ(ConvertedFromTheTop(files_), files_.size());

    // Afterwards the window is as it was: display gone, controls back, the
    // focus on "Decode" again.
    tolvane_.Activate();
    for (ControlNumber number : kCommandControls)
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Control(number)) != FALSE; })) << "control " << number;
    for (ControlNumber number : {kProgressBarControl, kProgressTextControl, kStopButtonControl})
        EXPECT_FALSE(IsWindowVisible(Control(number))) << "control " << number;
    EXPECT_TRUE(WaitUntil([&] { return tolvane_.Focus() == Control(kDecodeButtonControl); }));
}

TEST_F(LongWork, EventsDuringTheRunAreHandledAfterItInOrder)
{
    ListCorpus();
    std::wstring dropped1 = folder_.Join(L"dropped1.htm");
    std::wstring dropped2 = folder_.Join(L"dropped2.htm");
    WriteBytes(dropped1, "x");
    WriteBytes(dropped2, "y");
    StartDecodeFromKeyboard();
    ASSERT_TRUE(WorkShows());

    // The last entry is selected and Delete pressed: were it handled now,
    // the run would never reach that file. Then a drop, a click on "Clear"
    // and a second drop: only the second drop may be left at the end.
    SendMessageW(List(), LB_SETSEL, TRUE, FileListCount(List()) - 1);
    tolvane_.Activate();
    PressKey(VK_DELETE);
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DragFilesTo(CentreOf(List()), {dropped1}, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    PostMessageW(tolvane_.Window(), WM_COMMAND, MAKEWPARAM(kClearButtonControl, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Control(kClearButtonControl)));
    EXPECT_EQ(DragFilesTo(CentreOf(List()), {dropped2}, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    EXPECT_FALSE(IsWindowEnabled(List())) << "the run ended before the events were made; make it longer";

    std::vector<ShownBox> boxes = ReadBoxesUntilDone(tolvane_.ThreadId(), 120000);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, L"Done!");
    EXPECT_EQ(ConvertedFromTheTop(files_), files_.size());
    EXPECT_TRUE(WaitUntil([&] { return ListedPaths(List()) == std::vector<std::wstring>{dropped2}; }))
        << FileListCount(List()) << " entries";
}

// Reads and dismisses the boxes of a run up to its closing "Info" box.
std::vector<ShownBox> ReadBoxesUntilInfo(DWORD threadId, DWORD milliseconds = 120000)
{
    std::vector<ShownBox> boxes;
    for (;;) {
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = FindMessageBox(threadId)) != nullptr; }, milliseconds))
            return boxes;
        boxes.push_back(ReadMessageBox(box));
        DismissMessageBox(box);
        WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        if (boxes.back().title == L"Info")
            return boxes;
    }
}

std::wstring Grouped(size_t count)
{
    std::wstring digits = std::to_wstring(count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), 1, L',');
    return digits;
}

struct StopCase {
    const char* name;
    void (*stop)(const TolvaneProcess& tolvane);
};

void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << c.name;
}

const StopCase kStopCases[] = {
    {"StopButton", [](const TolvaneProcess& tolvane) { Click(CentreOf(tolvane.Control(kStopButtonControl))); }},
    {"Escape",
     [](const TolvaneProcess& tolvane) {
         tolvane.Activate();
         PressKey(VK_ESCAPE);
     }},
};

class Stopping : public LongWork, public testing::WithParamInterface<StopCase> {};

TEST_P(Stopping, EndsTheRunAfterTheFileInHandAndSaysHowFarItCame)
{
    ListCorpus(400, 2);
    StartDecodeFromKeyboard();
    ASSERT_TRUE(ProgressShows());
    GetParam().stop(tolvane_);

    std::vector<ShownBox> boxes = ReadBoxesUntilInfo(tolvane_.ThreadId());
    ASSERT_EQ(boxes.size(), 1u);
    const std::wstring& text = boxes[0].text;
    std::wstring tail = L" of " + Grouped(files_.size()) + L" files done.";
    ASSERT_EQ(text.rfind(L"Stopped: ", 0), 0u) << testing::PrintToString(text);
    ASSERT_GT(text.size(), tail.size());
    ASSERT_EQ(text.substr(text.size() - tail.size()), tail) << testing::PrintToString(text);
    std::wstring done = text.substr(9, text.size() - tail.size() - 9);

    // Every file is converted or untouched, and the converted ones are
    // exactly the files the box counts, from the top.
    size_t converted = ConvertedFromTheTop(files_);
    EXPECT_EQ(Grouped(converted), done);
    EXPECT_GT(converted, 0u);
    EXPECT_LT(converted, files_.size());
    EXPECT_EQ(FileListCount(List()), static_cast<int>(files_.size())) << "the list keeps every entry";
    for (ControlNumber number : kCommandControls)
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(Control(number)) != FALSE; })) << "control " << number;
    EXPECT_FALSE(IsWindowVisible(Control(kProgressTextControl)));
}

INSTANTIATE_TEST_SUITE_P(App, Stopping, testing::ValuesIn(kStopCases),
                         [](const testing::TestParamInfo<StopCase>& info) { return info.param.name; });

const StopCase kCloseCases[] = {
    {"CloseMessage", [](const TolvaneProcess& tolvane) { PostMessageW(tolvane.Window(), WM_CLOSE, 0, 0); }},
    {"SystemMenuClose",
     [](const TolvaneProcess& tolvane) { PostMessageW(tolvane.Window(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"AltF4",
     [](const TolvaneProcess& tolvane) {
         tolvane.Activate();
         PressKey(VK_F4, {VK_MENU});
     }},
};

class ClosingDuringWork : public LongWork, public testing::WithParamInterface<StopCase> {};

TEST_P(ClosingDuringWork, StopsAfterTheFileInHandAndEndsWithExitCodeZero)
{
    ListCorpus(400, 2);
    StartDecodeFromKeyboard();
    ASSERT_TRUE(ProgressShows());
    GetParam().stop(tolvane_);

    EXPECT_EQ(tolvane_.WaitForExit(60000), 0u);
    EXPECT_EQ(FindMessageBox(tolvane_.ThreadId()), nullptr);
    size_t converted = ConvertedFromTheTop(files_);
    EXPECT_LT(converted, files_.size()) << "the run went on to its end";
}

INSTANTIATE_TEST_SUITE_P(App, ClosingDuringWork, testing::ValuesIn(kCloseCases),
                         [](const testing::TestParamInfo<StopCase>& info) { return info.param.name; });

// The session ends: once the program has answered WM_ENDSESSION, Windows may
// end it at any moment, so the file in hand must be finished by then. The
// test ends it right after the answer, with large files in the run so that
// the end is likely to come in the middle of one.
TEST_F(LongWork, SessionEndFinishesTheFileInHandBeforeItAnswers)
{
    ListCorpus(20, 4);
    StartDecodeFromKeyboard();
    ASSERT_TRUE(ProgressShows());

    DWORD processId = 0;
    GetWindowThreadProcessId(tolvane_.Window(), &processId);
    UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    ASSERT_TRUE(process);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(
        SendMessageTimeoutW(tolvane_.Window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &answer));
    EXPECT_NE(answer, 0u) << "the program refused the end of the session";
    ASSERT_TRUE(
        SendMessageTimeoutW(tolvane_.Window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &answer));
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 10000);

    size_t converted = ConvertedFromTheTop(files_);
    EXPECT_LT(converted, files_.size()) << "the run went on to its end";
}

} // namespace
