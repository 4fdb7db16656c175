#include "box_reader.h"

#include "base/file_list.h"
#include "support/shown_windows.h"

namespace {

LRESULT CALLBACK RunWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

constexpr wchar_t kRunWindowClass[] = L"TolvaneDecodeTestWindow";

} // namespace

BoxReader::BoxReader(WhileShown whileShown)
    : thread_(GetCurrentThreadId()), whileShown_(std::move(whileShown)), watcher_([this] { Watch(); })
{
}

BoxReader::~BoxReader()
{
    stop_ = true;
    watcher_.join();
}

std::vector<ShownBox> BoxReader::Boxes()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

void BoxReader::Watch()
{
    while (!stop_) {
        HWND box = FindShownWindow(thread_, L"#32770");
        if (!box) {
            Sleep(5);
            continue;
        }
        MessageBoxContent content = ReadMessageBox(box);
        ShownBox shown{content.title, content.text, GetWindow(box, GW_OWNER)};
        if (whileShown_)
            whileShown_(box, shown);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(shown);
        }
        DismissMessageBox(box);
        // The same box must not be read twice.
        for (int wait = 0; wait < 2000 && IsWindow(box) && IsWindowVisible(box); ++wait)
            Sleep(5);
    }
}

RunWindow::RunWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RunWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kRunWindowClass;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&windowClass); // fails harmlessly when already registered
    frame_ = CreateWindowExW(0, kRunWindowClass, L"Tolvane test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500, 400,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"ListBox", nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_EXTENDEDSEL,
                            10, 10, 460, 280, frame_, reinterpret_cast<HMENU>(0), windowClass.hInstance, nullptr);
    check_ = CreateWindowExW(0, L"Button", L"delete charset UTF-8", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 300,
                             200, 24, frame_, reinterpret_cast<HMENU>(5), windowClass.hInstance, nullptr);
    references_ = CreateWindowExW(0, L"Button", L"missing chars as &&#NNNN;", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX,
                                  10, 330, 200, 24, frame_, reinterpret_cast<HMENU>(6), windowClass.hInstance, nullptr);
    SetForegroundWindow(frame_);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

RunWindow::~RunWindow()
{
    DestroyWindow(frame_);
}

void RunWindow::ListPaths(const std::vector<std::wstring>& topFirst)
{
    for (auto path = topFirst.rbegin(); path != topFirst.rend(); ++path)
        FileListInsertTop(list_, path->c_str());
}

void RunWindow::TickCharset(bool ticked)
{
    SendMessageW(check_, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void RunWindow::TickReferences(bool ticked)
{
    SendMessageW(references_, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::vector<std::wstring> Describe(const std::vector<ShownBox>& boxes)
{
    std::vector<std::wstring> lines;
    for (const ShownBox& box : boxes)
        lines.push_back(box.title + L"|" + box.text);
    return lines;
}
