// Reads the message boxes that a thread shows, from a second thread, the way
// a user sees them: title, text and owner are taken from the screen, then
// the box is dismissed with OK.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ShownBox {
    std::wstring title;
    std::wstring text;
    HWND owner = nullptr;
};

class BoxReader {
public:
    // Called on the reader's thread while the box is still showing.
    using WhileShown = std::function<void(HWND box, const ShownBox& shown)>;

    // Watches the calling thread's windows from now until destruction.
    explicit BoxReader(WhileShown whileShown = {});
    BoxReader(const BoxReader&) = delete;
    BoxReader& operator=(const BoxReader&) = delete;
    ~BoxReader();

    // The boxes dismissed so far, in the order they appeared. Call it after
    // the command that shows them has returned.
    std::vector<ShownBox> Boxes();

private:
    void Watch();

    DWORD thread_;
    WhileShown whileShown_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<ShownBox> boxes_;
    std::thread watcher_;
};

// A top-level window holding a real list box and the two real check boxes
// that the run reads, as the main window does; shown and brought to the
// foreground.
class RunWindow {
public:
    RunWindow();
    RunWindow(const RunWindow&) = delete;
    RunWindow& operator=(const RunWindow&) = delete;
    ~RunWindow();

    HWND Frame() const { return frame_; }
    HWND List() const { return list_; }
    HWND CharsetCheckBox() const { return check_; }
    HWND ReferencesCheckBox() const { return references_; }

    // Lists the paths so that the first of them is the top entry: each is
    // inserted at the top, last one first, as drops do.
    void ListPaths(const std::vector<std::wstring>& topFirst);
    void TickCharset(bool ticked);
    void TickReferences(bool ticked);

private:
    HWND frame_ = nullptr;
    HWND list_ = nullptr;
    HWND check_ = nullptr;
    HWND references_ = nullptr;
};

// One line per box, "title|text", for readable comparisons.
std::vector<std::wstring> Describe(const std::vector<ShownBox>& boxes);
