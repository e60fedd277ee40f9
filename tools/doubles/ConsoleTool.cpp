// Test double of a console tool run by the console runner. The first argument
// picks what it does:
//   error87    a banner, then "Error: 87" and two more lines
//   hexerror   "Error: 0x80070005"
//   silent     prints nothing, exit code 5
//   ask        asks "Continue (Y/N)", reads one key from its console input
//              and prints "Got: <key> (key <virtual key>)"; then the same
//              with "Restart now (Y/N)", written in two pieces
//   wait       prints "Waiting" and waits forever for console input
//   oem        prints "Gr\x81\xE1e" (German for greetings in code page 437)
//   window     shows a top-level window titled "Console tool" and runs
//              until it is closed
#include <windows.h>

namespace {

void Print(const char* text) {
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
}

// Reads key events from the console until a key goes down; 0 on failure.
wchar_t ReadKey(HANDLE input, WORD& virtualKey) {
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0)
            return 0;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            virtualKey = record.Event.KeyEvent.wVirtualKeyCode;
            return record.Event.KeyEvent.uChar.UnicodeChar;
        }
    }
}

bool PrintKey(HANDLE input) {
    WORD virtualKey = 0;
    wchar_t key = ReadKey(input, virtualKey);
    if (key == 0) {
        Print("\r\nReading the console failed.\r\n");
        return false;
    }
    char line[64];
    wsprintfA(line, "\r\nGot: %c (key %u)\r\n", static_cast<char>(key), static_cast<unsigned>(virtualKey));
    Print(line);
    return true;
}

int Ask() {
    HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (input == INVALID_HANDLE_VALUE) {
        Print("No console input.\r\n");
        return 2;
    }
    // A prompt after a line of its own, in one piece.
    Print("Removing the sample.\r\nContinue (Y/N)");
    if (!PrintKey(input))
        return 3;
    // A prompt that arrives in two pieces: the runner must look at the line again.
    Print("Restart now (Y/");
    // Long enough for the runner to read the first piece on its own even on a
    // busy machine (it reads every 100 ms).
    Sleep(1000);
    Print("N)");
    if (!PrintKey(input))
        return 3;
    CloseHandle(input);
    return 0;
}

int ShowWindowAndWait() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ConsoleToolWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Console tool",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, 200, 100,
                                  nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return 4;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && IsWindow(window))
        DispatchMessageW(&message);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 1;
    const wchar_t* mode = argv[1];
    if (lstrcmpW(mode, L"error87") == 0) {
        Print("Console tool 1.0\r\n\r\nError: 87\r\nThe parameter is incorrect.\r\nSee the log file for "
              "details.\r\n");
        return 87;
    }
    if (lstrcmpW(mode, L"hexerror") == 0) {
        Print("Error: 0x80070005\r\n");
        return 1;
    }
    if (lstrcmpW(mode, L"silent") == 0)
        return 5;
    if (lstrcmpW(mode, L"ask") == 0)
        return Ask();
    if (lstrcmpW(mode, L"oem") == 0) {
        Print("Gr\x81\xE1"
              "e\r\n");
        return 0;
    }
    if (lstrcmpW(mode, L"window") == 0)
        return ShowWindowAndWait();
    if (lstrcmpW(mode, L"wait") == 0) {
        Print("Waiting\r\n");
        // Waits for console input that never comes, as a tool waiting for an answer.
        HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        for (;;) {
            INPUT_RECORD record;
            DWORD read = 0;
            if (input == INVALID_HANDLE_VALUE || !ReadConsoleInputW(input, &record, 1, &read))
                Sleep(INFINITE);
        }
    }
    return 1;
}
