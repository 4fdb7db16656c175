// The identifiers of the main window's controls. 3 is not used.
#pragma once

enum ControlNumber : int {
    kListBoxControl = 0,
    kClearButtonControl = 1,
    kDecodeButtonControl = 2,
    kFilterCheckBoxControl = 4,
    kCharsetCheckBoxControl = 5,
    kReferencesCheckBoxControl = 6,
    // The progress display of long work, hidden at rest.
    kProgressBarControl = 11,
    kProgressTextControl = 12,
    kStopButtonControl = 13,
};
