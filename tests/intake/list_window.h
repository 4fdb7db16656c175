// A real top-level window on the virtual screen with a list box styled as
// the program's file list and a "Filter for *.htm*" check box, for tests
// that need the intake's controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ListWindow {
public:
    ListWindow();
    ListWindow(const ListWindow&) = delete;
    ListWindow& operator=(const ListWindow&) = delete;
    ~ListWindow();

    HWND Window() const { return window_; }
    HWND List() const { return list_; }
    HWND Filter() const { return filter_; }

    void SetFilter(bool ticked) const;
    void Add(const std::vector<std::wstring>& topDown) const; // appended in this order
    std::vector<std::wstring> Entries() const;                // from the top
    std::vector<int> Selected() const;
    void Select(const std::vector<int>& entries) const; // only these
    // Screen point in the middle of entry `index`, or of the empty space
    // below the last entry for -1.
    POINT EntryPoint(int index) const;
    POINT OutsideListPoint() const; // on the window, off the list box

private:
    HWND window_ = nullptr;
    HWND list_ = nullptr;
    HWND filter_ = nullptr;
};

// Dispatches this thread's waiting messages.
void PumpMessages();
