#include "app/event_queue.h"

void PostEvent(EventKind, int, HWND, UINT, void* data, EventDataRelease release)
{
    if (data && release)
        release(data);
}

EventKind TakeEvent()
{
    return EventKind::None;
}

int CurrentEventSource()
{
    return 0;
}

void* CurrentEventData()
{
    return nullptr;
}

void DropAllEvents() {}
