// Drives update.exe for the demonstration: starts it in a working folder,
// presses 開始, waits for the run's report, saves the log (code page 932) and
// a picture of the dialog (BMP), then presses 終了 (or, with --keep-open,
// leaves the dialog to the user and waits for the program to end).
// Usage: demo_driver <update.exe> <working folder> <log file> <picture.bmp> [--keep-open]
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "res/resource.h"
#include "tests/support/updater_process.h"

static bool SaveWindowPicture(HWND window, const char* path)
{
    RECT rc;
    GetWindowRect(window, &rc);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY) != FALSE;
        SelectObject(memory, old);
        GdiFlush();
        DWORD row = (width * 3 + 3) & ~3u;
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + row * height;
        FILE* out = ok ? fopen(path, "wb") : nullptr;
        ok = out && fwrite(&file, sizeof file, 1, out) == 1 &&
             fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
             fwrite(bits, row * height, 1, out) == 1;
        if (out)
            fclose(out);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

int main(int argc, char** argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: demo_driver <update.exe> <working folder> <log file> <picture.bmp> [--keep-open]\n");
        return 2;
    }
    bool keep_open = argc > 5 && strcmp(argv[5], "--keep-open") == 0;
    UpdaterProcess updater;
    if (!updater.Start(argv[1], argv[2])) {
        fprintf(stderr, "demo: cannot start %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    if (!updater.WaitDialog(30000)) {
        HWND box = updater.WaitMessageBox(1000);
        fprintf(stderr, "demo: the updater showed no dialog%s\n",
                box ? " but a warning box: is InstallDir stored?" : "");
        return 1;
    }
    Sleep(300);  // let the dialog paint before the run starts
    updater.Command(IDC_START);
    if (!updater.WaitRunEnd(120000)) {
        fprintf(stderr, "demo: the run did not end\n");
        return 1;
    }
    Sleep(300);  // the last append repaints the log
    std::string log = updater.Text(IDC_LOG);
    FILE* out = fopen(argv[3], "wb");
    if (!out || fwrite(log.data(), 1, log.size(), out) != log.size()) {
        fprintf(stderr, "demo: cannot write %s\n", argv[3]);
        return 1;
    }
    fclose(out);
    if (!SaveWindowPicture(updater.dialog(), argv[4]))
        fprintf(stderr, "demo: no picture of the dialog could be taken\n");
    if (keep_open) {
        printf("demo: the updater stays open until its quit button is pressed\n");
        fflush(stdout);
        updater.WaitExit(INFINITE);
    } else {
        updater.Command(IDC_QUIT);
        if (updater.WaitExit(10000) == -1) {
            fprintf(stderr, "demo: the updater did not end on 終了\n");
            return 1;
        }
    }
    return 0;
}
