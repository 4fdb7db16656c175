// The program's three private heaps. Until CreateProgramHeaps has run (test
// programs, the benchmark) every getter answers the process heap, so the code
// that allocates never has to know whether start-up happened.
#pragma once

#include <windows.h>

enum class ProgramHeap {
    General,    // records of the window, event data, accelerator entries
    Text,       // texts
    Conversion, // the buffers of one file's conversion
};

void CreateProgramHeaps();
// Destroys them in reverse order of creation; every block from them is gone.
void DestroyProgramHeaps();
HANDLE GetProgramHeap(ProgramHeap which);
