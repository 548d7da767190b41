/* Holds a file open the way Excel holds a workbook: read and write, shared
   with no one. Writes "held" to the file named second once it has it, and
   lets go when a file named third appears. */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    HANDLE held = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (held == INVALID_HANDLE_VALUE) return 1;
    HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written;
    WriteFile(ready, "held", 4, &written, NULL);
    CloseHandle(ready);
    for (int i = 0; i < 600 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    CloseHandle(held);
    return 0;
}
