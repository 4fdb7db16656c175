#include "base/event_queue.h"

#include "base/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> released;

void RecordRelease(void* data)
{
    released.push_back(*static_cast<int*>(data));
}

// Each test starts with an empty queue and no pending thread messages.
class EventQueueTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset()
    {
        DropAllEvents();
        released.clear();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

TEST_F(EventQueueTest, TakesEventsInTheOrderOfPosting)
{
    PostEvent(EventKind::Control, 2, nullptr, BN_CLICKED, nullptr, nullptr);
    PostEvent(EventKind::Shortcut, 9, nullptr, 1, nullptr, nullptr);
    PostEvent(EventKind::Close, 0, nullptr, 0, nullptr, nullptr);

    EXPECT_EQ(TakeEvent(), EventKind::Control);
    EXPECT_EQ(CurrentEventSource(), 2);
    EXPECT_EQ(TakeEvent(), EventKind::Shortcut);
    EXPECT_EQ(CurrentEventSource(), 9);
    EXPECT_EQ(TakeEvent(), EventKind::Close);
    EXPECT_EQ(TakeEvent(), EventKind::None);
}

TEST_F(EventQueueTest, TakeOnEmptyQueueLeavesNoCurrentEvent)
{
    int data = 1;
    PostEvent(EventKind::ListDrop, 0, nullptr, 0, &data, RecordRelease);
    ASSERT_EQ(TakeEvent(), EventKind::ListDrop);

    EXPECT_EQ(TakeEvent(), EventKind::None);
    EXPECT_EQ(CurrentEventKind(), EventKind::None);
    EXPECT_EQ(CurrentEventSource(), 0);
    EXPECT_EQ(CurrentEventData(), nullptr);
    EXPECT_EQ(TakeEvent(), EventKind::None);
    EXPECT_EQ(released, std::vector<int>{1});
}

TEST_F(EventQueueTest, DataLivesUntilTheFollowingTake)
{
    int first = 1, second = 2;
    PostEvent(EventKind::ListDrop, 0, nullptr, 0, &first, RecordRelease);
    PostEvent(EventKind::WindowDrop, 0, nullptr, 0, &second, RecordRelease);

    ASSERT_EQ(TakeEvent(), EventKind::ListDrop);
    EXPECT_EQ(CurrentEventData(), &first);
    EXPECT_TRUE(released.empty());

    ASSERT_EQ(TakeEvent(), EventKind::WindowDrop);
    EXPECT_EQ(CurrentEventData(), &second);
    EXPECT_EQ(released, std::vector<int>{1});

    EXPECT_EQ(TakeEvent(), EventKind::None);
    EXPECT_EQ(released, (std::vector<int>{1, 2}));
}

TEST_F(EventQueueTest, EventsThatCarryDataAreNeverMerged)
{
    // Two drops on the list in a row: the second must not be lost or leaked.
    int first = 1, second = 2;
    PostEvent(EventKind::ListDrop, 0, nullptr, 0, &first, RecordRelease);
    PostEvent(EventKind::ListDrop, 0, nullptr, 0, &second, RecordRelease);

    ASSERT_EQ(TakeEvent(), EventKind::ListDrop);
    EXPECT_EQ(CurrentEventData(), &first);
    ASSERT_EQ(TakeEvent(), EventKind::ListDrop);
    EXPECT_EQ(CurrentEventData(), &second);
    EXPECT_EQ(TakeEvent(), EventKind::None);
    EXPECT_EQ(released, (std::vector<int>{1, 2}));
}

TEST_F(EventQueueTest, EqualDatalessEventAtTheTailIsMerged)
{
    HWND window = reinterpret_cast<HWND>(0x1234);
    PostEvent(EventKind::EraseBackground, 0, window, 0, nullptr, nullptr);
    PostEvent(EventKind::EraseBackground, 0, window, 0, nullptr, nullptr);
    PostEvent(EventKind::Control, 1, window, BN_CLICKED, nullptr, nullptr);
    PostEvent(EventKind::Control, 2, window, BN_CLICKED, nullptr, nullptr);
    PostEvent(EventKind::Control, 2, window, BN_DOUBLECLICKED, nullptr, nullptr);

    std::vector<EventKind> kinds;
    std::vector<int> sources;
    for (EventKind kind = TakeEvent(); kind != EventKind::None; kind = TakeEvent()) {
        kinds.push_back(kind);
        sources.push_back(CurrentEventSource());
    }
    EXPECT_EQ(kinds, (std::vector<EventKind>{EventKind::EraseBackground, EventKind::Control, EventKind::Control,
                                             EventKind::Control}));
    EXPECT_EQ(sources, (std::vector<int>{0, 1, 2, 2}));
}

TEST_F(EventQueueTest, DropAllEventsReleasesEverything)
{
    int a = 1, b = 2, c = 3;
    PostEvent(EventKind::ListDrop, 0, nullptr, 0, &a, RecordRelease);
    ASSERT_EQ(TakeEvent(), EventKind::ListDrop);
    PostEvent(EventKind::ListDrop, 0, nullptr, 0, &b, RecordRelease);
    PostEvent(EventKind::WindowDrop, 0, nullptr, 0, &c, RecordRelease);

    DropAllEvents();
    EXPECT_EQ(released, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(TakeEvent(), EventKind::None);
}

// An event raised inside a message sent from another thread (as OLE delivers a
// drop from another process, or another program sends WM_CLOSE) must end the
// wait in GetMessageW without any further input arriving.
constexpr UINT kRaiseEvent = WM_APP + 1;
constexpr UINT kGaveUp = WM_APP + 2;

LRESULT CALLBACK RaisingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRaiseEvent) {
        PostEvent(EventKind::Close, 0, window, 0, nullptr, nullptr);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct SenderArgs {
    HWND window;
    DWORD waitingThread;
    HANDLE woken;
};

DWORD WINAPI SendThenGiveUp(void* parameter)
{
    auto* args = static_cast<SenderArgs*>(parameter);
    Sleep(100);
    SendMessageW(args->window, kRaiseEvent, 0, 0);
    // Unblocks the wait only if the post failed to wake it.
    if (WaitForSingleObject(args->woken, 5000) == WAIT_TIMEOUT)
        PostThreadMessageW(args->waitingThread, kGaveUp, 0, 0);
    return 0;
}

TEST_F(EventQueueTest, PostingInsideASentMessageWakesTheWait)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RaisingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"EventQueueTestWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    UniqueKernelHandle woken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SenderArgs args{window, GetCurrentThreadId(), woken.Get()};
    UniqueKernelHandle sender(CreateThread(nullptr, 0, SendThenGiveUp, &args, 0, nullptr));
    ASSERT_TRUE(sender.IsValid());

    ASSERT_EQ(TakeEvent(), EventKind::None);
    MSG msg{};
    ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
    EXPECT_NE(msg.message, kGaveUp) << "the event waited for unrelated input";
    EXPECT_EQ(TakeEvent(), EventKind::Close);

    SetEvent(woken.Get());
    WaitForSingleObject(sender.Get(), INFINITE);
    DestroyWindow(window);
    UnregisterClassW(windowClass.lpszClassName, windowClass.hInstance);
}

} // namespace
