#include "base/long_work.h"

#include <utility>

namespace {

// How often the window gets its turn, and when and how often progress shows.
constexpr ULONGLONG kHandleMessagesEveryMs = 20;
constexpr ULONGLONG kShowProgressAfterMs = 500;
constexpr ULONGLONG kShowProgressEveryMs = 100;

LongWorkWindow window{};

struct Work {
    int depth = 0; // nested scopes are one work
    LongWorkKind kind = LongWorkKind::Decode;
    ULONGLONG started = 0;
    ULONGLONG lastTurn = 0;
    ULONGLONG lastShown = 0;
    bool entered = false;
    bool inTurn = false; // a check-in from inside a dispatched message waits
    LongWorkStop stop = LongWorkStop::None;
    long long done = 0;
    long long total = 0;
    std::wstring place;
};
Work work;
bool endsProgram = false;

struct RewriteInHand {
    void (*finish)(void*) = nullptr;
    void* context = nullptr;
};
RewriteInHand rewriteInHand;

void TakeTurn(ULONGLONG now)
{
    work.inTurn = true;
    work.lastTurn = now;
    if (!work.entered) {
        work.entered = true;
        if (window.enter)
            window.enter();
    }
    if (window.showProgress && now - work.started >= kShowProgressAfterMs &&
        (work.lastShown == 0 || now - work.lastShown >= kShowProgressEveryMs)) {
        work.lastShown = now;
        window.showProgress({work.kind, work.done, work.total, work.place});
    }
    if (window.handleMessages)
        window.handleMessages();
    work.inTurn = false;
}

bool TurnIsDue(ULONGLONG now)
{
    return work.depth > 0 && !work.inTurn && now - work.lastTurn >= kHandleMessagesEveryMs;
}

} // namespace

void SetLongWorkWindow(const LongWorkWindow& supplied)
{
    window = supplied;
}

LongWorkScope::LongWorkScope(LongWorkKind kind)
{
    if (work.depth++ > 0)
        return;
    work = Work{};
    work.depth = 1;
    work.kind = kind;
    work.started = work.lastTurn = GetTickCount64();
}

LongWorkScope::~LongWorkScope()
{
    if (--work.depth > 0)
        return;
    if (work.entered && window.leave)
        window.leave();
    work = Work{};
}

bool IsLongWorkRunning()
{
    return work.depth > 0;
}

void LongWorkCheckIn(long long done, long long total, std::wstring_view place)
{
    // Kept at every call, so that a turn without news (between the pieces
    // of a large file) shows where the work stands.
    if (work.depth == 0)
        return;
    work.done = done;
    work.total = total;
    work.place.assign(place);
    ULONGLONG now = GetTickCount64();
    if (TurnIsDue(now))
        TakeTurn(now);
}

void LongWorkCheckIn()
{
    ULONGLONG now = GetTickCount64();
    if (TurnIsDue(now))
        TakeTurn(now);
}

void RequestLongWorkStop(LongWorkStop reason)
{
    if (work.depth == 0 || reason == LongWorkStop::None)
        return;
    if (reason == LongWorkStop::Close || reason == LongWorkStop::SessionEnd)
        endsProgram = true;
    // The end of the session overrides an earlier request: it forbids more.
    if (work.stop == LongWorkStop::None || reason == LongWorkStop::SessionEnd)
        work.stop = reason;
}

LongWorkStop LongWorkStopRequested()
{
    return work.stop;
}

bool LongWorkEndsProgram()
{
    return endsProgram;
}

LongWorkRewriteInHand::LongWorkRewriteInHand(void (*finish)(void*), void* context)
{
    rewriteInHand = {finish, context};
}

LongWorkRewriteInHand::~LongWorkRewriteInHand()
{
    rewriteInHand = {};
}

void EndLongWorkForSession()
{
    RequestLongWorkStop(LongWorkStop::SessionEnd);
    RewriteInHand inHand = std::exchange(rewriteInHand, RewriteInHand{});
    if (inHand.finish)
        inHand.finish(inHand.context);
}

std::wstring GroupedCount(long long count)
{
    std::wstring digits = std::to_wstring(count < 0 ? -count : count);
    std::wstring text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += L',';
        text += digits[i];
    }
    return count < 0 ? L"-" + text : text;
}
