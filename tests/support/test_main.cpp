#include <gtest/gtest.h>

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    // A crash must end the test program, not open an error dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
