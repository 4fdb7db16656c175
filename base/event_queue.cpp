#include "base/event_queue.h"

#include "base/program_heaps.h"

#include <new>

namespace {

struct Event {
    EventKind kind = EventKind::None;
    int source = 0;
    HWND window = nullptr;
    UINT type = 0;
    void* data = nullptr;
    EventDataRelease release = nullptr;
};

struct EventNode {
    Event event;
    EventNode* next;
};

EventNode* head = nullptr;
EventNode* tail = nullptr;
Event current;

void ReleaseData(Event& event)
{
    if (event.data && event.release)
        event.release(event.data);
    event.data = nullptr;
    event.release = nullptr;
}

bool SameWithoutData(const Event& a, const Event& b)
{
    return !a.data && !b.data && a.kind == b.kind && a.source == b.source && a.window == b.window && a.type == b.type;
}

void FreeNode(EventNode* node)
{
    node->~EventNode();
    HeapFree(GetProgramHeap(ProgramHeap::General), 0, node);
}

} // namespace

bool PostEvent(EventKind kind, int source, HWND window, UINT type, void* data, EventDataRelease release)
{
    Event event{kind, source, window, type, data, release};
    if (tail && SameWithoutData(tail->event, event))
        return true;

    void* memory = HeapAlloc(GetProgramHeap(ProgramHeap::General), 0, sizeof(EventNode));
    if (!memory) {
        ReleaseData(event);
        return false;
    }
    auto* node = new (memory) EventNode{event, nullptr};
    bool wasEmpty = head == nullptr;
    if (tail)
        tail->next = node;
    else
        head = node;
    tail = node;

    // The event wait blocks in GetMessageW only when the queue is empty, and
    // GetMessageW returns only for a posted message.
    if (wasEmpty)
        PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
    return true;
}

EventKind TakeEvent()
{
    ReleaseData(current);
    current = Event{};
    if (!head)
        return EventKind::None;

    EventNode* node = head;
    head = node->next;
    if (!head)
        tail = nullptr;
    current = node->event;
    FreeNode(node);
    return current.kind;
}

EventKind CurrentEventKind()
{
    return current.kind;
}

int CurrentEventSource()
{
    return current.source;
}

void* CurrentEventData()
{
    return current.data;
}

void DropAllEvents()
{
    while (TakeEvent() != EventKind::None) {
    }
}
