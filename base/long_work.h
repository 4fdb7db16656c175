// Long work: the Decode run and the drop intake, which can take minutes on a
// large list or tree. They check in here at short intervals (between files,
// between folder entries, between pieces of a large file), and from here the
// window gets its turn: it handles its pending messages, shows how far the
// work has come and can ask the work to stop. The window side is supplied at
// start-up; without one (test programs, benchmarks) a check-in does nothing
// and no work is ever stopped.
//
// Everything runs on the program's one thread. A check-in may dispatch any
// message of the thread, so whoever checks in must hold nothing that a
// message handler could change under it; the handlers post events, which
// wait in the event queue until the work has ended.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

enum class LongWorkKind {
    Decode, // converting the listed files
    Intake, // walking what was dropped
};

// Why the work is asked to stop; the first request counts.
enum class LongWorkStop {
    None,
    User,       // Stop button or Esc: the work ends cleanly and says so
    Close,      // the window is being closed: ends cleanly, then the program
    SessionEnd, // the session is ending: nothing more is begun or shown
};

// Where the work stands, as the progress display shows it.
struct LongWorkProgress {
    LongWorkKind kind;
    // Decode: the files done, of `total` listed; the file in hand is number
    // `done` + 1. Intake: the files found so far; `total` is 0.
    long long done;
    long long total;
    // Decode: the path of the file in hand; Intake: the folder being walked.
    std::wstring_view place;
};

// The window's part, supplied once at start-up; any member may be null.
struct LongWorkWindow {
    // At the first check-in that lets the window handle messages: from here
    // on input can arrive, so the controls that start commands or change
    // options are disabled. Short work that never gets that far leaves the
    // window alone.
    void (*enter)();
    // Handles the thread's pending messages without waiting for any.
    void (*handleMessages)();
    // Shows or updates the progress display; first after half a second of
    // work, then at most about ten times a second.
    void (*showProgress)(const LongWorkProgress& progress);
    // The work has ended: the display goes, the controls come back, and the
    // focus goes back where it was. Only after `enter`.
    void (*leave)();
};
void SetLongWorkWindow(const LongWorkWindow& window);

// Marks one command as long work for the holder's lifetime.
class LongWorkScope {
public:
    explicit LongWorkScope(LongWorkKind kind);
    LongWorkScope(const LongWorkScope&) = delete;
    LongWorkScope& operator=(const LongWorkScope&) = delete;
    ~LongWorkScope();
};

bool IsLongWorkRunning();

// Checks in with where the work stands. Cheap: most calls only note the
// counts and the place and read the clock; about every 20 ms one lets the
// window handle its messages.
void LongWorkCheckIn(long long done, long long total, std::wstring_view place);
// Checks in without news, between the pieces of one file.
void LongWorkCheckIn();

// Asked by the window side (Stop, Esc, a close, the end of the session);
// ignored when no work runs.
void RequestLongWorkStop(LongWorkStop reason);
LongWorkStop LongWorkStopRequested();

// True once a close or the end of the session stopped long work: the event
// loop then ends as soon as the command has returned.
bool LongWorkEndsProgram();

// While a file is being rewritten, the routine that completes the rewrite
// (or puts the original back) without checking in. When the session ends,
// the window's handler runs it through EndLongWorkForSession before it
// returns, because the system may end the process at any moment after that.
class LongWorkRewriteInHand {
public:
    LongWorkRewriteInHand(void (*finish)(void* context), void* context);
    LongWorkRewriteInHand(const LongWorkRewriteInHand&) = delete;
    LongWorkRewriteInHand& operator=(const LongWorkRewriteInHand&) = delete;
    ~LongWorkRewriteInHand();
};

// WM_ENDSESSION with the session really ending: stops the work for good and
// completes the file in hand now. No rewrite may begin after it.
void EndLongWorkForSession();

// "1,234,567": the counts of the progress display and the closing box.
std::wstring GroupedCount(long long count);
