// Copy benchmark: a generated patch of 1,000 files (2 KiB each) in 50 folders,
// copied (a) by the updater's state machine, pass after pass without the main
// loop's sleep, and (b) by the system's xcopy /E /Y /I, in the same run.
// (a) is also run as (a1), the same without the flush: FlushFileBuffers is
// answered without the system (the file is still opened and closed for it),
// which gives the cost of writing each file's data through to the disk before
// its move; and as (a0), each file copied straight onto its target as the
// updater copied before it wrote each file beside its target and moved it
// into place: the bench's hooks then turn the copy to the temporary name into
// a copy onto the target and answer the name clearing, the attribute calls,
// the flush and the move without the system, so that one CopyFileA per file
// is the only system call left of the replacement, exactly as before. (a),
// (a1) and (a0) overwrite the same 1,000 existing files, in turn; the best of
// three rounds of each counts.
// Also: listings opened per step, the cost of one listing, the cost of the
// check that keeps each step from writing through a folder link out of the
// target (one attribute query per existing target folder that the step
// passes), and the cost of one log append when the log already holds 10,000
// lines.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "app/update_state.h"
#include "bench/bench_timing.h"
#include "toolkit/files/file_replace.h"
#include "tests/support/import_hook.h"
#include "res/resource.h"

static const int Folders = 50;
static const int FilesPerFolder = 20;
static const int FileSize = 2048;

// Calls counted while the updater runs.
static long Listings, CopyCalls, FolderCreations, Moves, Flushes, FolderChecks;
static HANDLE(WINAPI* RealFindFirst)(LPCSTR, LPWIN32_FIND_DATAA);
static BOOL(WINAPI* RealCopy)(LPCSTR, LPCSTR, BOOL);
static BOOL(WINAPI* RealCreateDirectory)(LPCSTR, LPSECURITY_ATTRIBUTES);
static BOOL(WINAPI* RealMove)(LPCSTR, LPCSTR, DWORD);
static DWORD(WINAPI* RealGetAttributes)(LPCSTR);
static BOOL(WINAPI* RealSetAttributes)(LPCSTR, DWORD);
static BOOL(WINAPI* RealDelete)(LPCSTR);
static BOOL(WINAPI* RealFlush)(HANDLE);
static HANDLE(WINAPI* RealCreateFile)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                      HANDLE);
static BOOL(WINAPI* RealCloseHandle)(HANDLE);
static FARPROC(WINAPI* RealGetProcAddress)(HMODULE, LPCSTR);
// Set while the updater runs as (a0), each file copied straight onto its target.
static bool Straight;
// Set while the updater runs as (a1), without the flush.
static bool NoFlush;
// The handle that (a0) hands out for opening a temporary file.
static HANDLE const NoFile = (HANDLE)(LONG_PTR)0x5A5A0;

// True when path ends in a temporary name (".~up" and one more character).
static bool IsTemp(LPCSTR path)
{
    int len = lstrlenA(path);
    return len > 5 && strncmp(path + len - 5, ReplaceSuffix, 4) == 0;
}

static HANDLE WINAPI CountedFindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    Listings++;
    return RealFindFirst(pattern, data);
}
static BOOL WINAPI CountedCopy(LPCSTR from, LPCSTR to, BOOL fail)
{
    CopyCalls++;
    if (!Straight || !IsTemp(to))
        return RealCopy(from, to, fail);
    char target[MAX_PATH];  // the temporary name without its suffix
    lstrcpynA(target, to, lstrlenA(to) - (int)strlen(ReplaceSuffix) + 1);
    return RealCopy(from, target, FALSE);
}
static BOOL WINAPI CountedMove(LPCSTR from, LPCSTR to, DWORD flags)
{
    Moves++;
    return Straight || RealMove(from, to, flags);
}
static DWORD WINAPI StraightGetAttributes(LPCSTR path)
{
    if (!Straight) {
        DWORD attributes = RealGetAttributes(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            FolderChecks++;
        return attributes;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
}
static BOOL WINAPI StraightSetAttributes(LPCSTR path, DWORD attributes)
{
    return Straight || RealSetAttributes(path, attributes);
}
static BOOL WINAPI StraightDelete(LPCSTR path)
{
    if (!Straight)
        return RealDelete(path);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
static HANDLE WINAPI StraightCreateFile(LPCSTR path, DWORD access, DWORD share,
                                        LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                        DWORD flags, HANDLE model)
{
    if (Straight && IsTemp(path))
        return NoFile;
    return RealCreateFile(path, access, share, security, disposition, flags, model);
}
static BOOL WINAPI StraightCloseHandle(HANDLE handle)
{
    return handle == NoFile || RealCloseHandle(handle);
}
static BOOL WINAPI CountedFlush(HANDLE file)
{
    Flushes++;
    return Straight || NoFlush || RealFlush(file);
}
// MoveFileExA, which the updater looks up when it needs it.
static FARPROC WINAPI CountedGetProcAddress(HMODULE module, LPCSTR name)
{
    if (!IS_INTRESOURCE(name) && strcmp(name, "MoveFileExA") == 0)
        return (FARPROC)(void*)CountedMove;
    return RealGetProcAddress(module, name);
}
static BOOL WINAPI CountedCreateDirectory(LPCSTR path, LPSECURITY_ATTRIBUTES sa)
{
    FolderCreations++;
    return RealCreateDirectory(path, sa);
}

static void MakeTree(const char* root)
{
    static char data[FileSize];
    memset(data, 'x', sizeof data);
    CreateDirectoryA(root, nullptr);
    for (int f = 0; f < Folders; f++) {
        char folder[MAX_PATH], file[MAX_PATH];
        wsprintfA(folder, "%s\\folder%02d", root, f);
        CreateDirectoryA(folder, nullptr);
        for (int i = 0; i < FilesPerFolder; i++) {
            wsprintfA(file, "%s\\file%02d.dat", folder, i);
            HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written;
            WriteFile(h, data, sizeof data, &written, nullptr);
            CloseHandle(h);
        }
    }
}

static int CountFiles(const char* root)
{
    int count = 0;
    for (int f = 0; f < Folders; f++)
        for (int i = 0; i < FilesPerFolder; i++) {
            char file[MAX_PATH];
            wsprintfA(file, "%s\\folder%02d\\file%02d.dat", root, f, i);
            count += GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES;
        }
    return count;
}

static void RemoveTree(const char* root)
{
    char command[MAX_PATH + 32];
    wsprintfA(command, "cmd.exe /c rmdir /s /q \"%s\"", root);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
}

// Runs the updater's copy of work\patch into target; returns seconds.
static double RunUpdater(const char* work, const char* target, long* steps, long* max_listings)
{
    memset(&UpdateState, 0, sizeof UpdateState);
    strcpy(UpdateState.work_dir, work);
    strcpy(UpdateState.install_dir, target);
    UpdateState.phase = StartRequested;
    Listings = CopyCalls = FolderCreations = Moves = Flushes = FolderChecks = 0;
    *steps = 0;
    *max_listings = 0;
    double start = Now();
    UpdateTick();  // sets the run up
    while (UpdateState.phase == Copying) {
        long before = Listings;
        UpdateTick();  // one step
        (*steps)++;
        if (Listings - before > *max_listings)
            *max_listings = Listings - before;
    }
    UpdateTick();  // reports
    return Now() - start;
}

static double RunXcopy(const char* source, const char* target)
{
    char command[3 * MAX_PATH];
    wsprintfA(command, "xcopy.exe /E /Y /I /Q \"%s\" \"%s\"", source, target);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    SetHandleInformation(nul, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi;
    double start = Now();
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        printf("xcopy could not be started: %lu\n", GetLastError());
        return -1;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    double seconds = Now() - start;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(nul);
    return seconds;
}

// Mean seconds to list one folder of FilesPerFolder files, as a walk does.
static double ListingCost(const char* folder)
{
    char pattern[MAX_PATH];
    wsprintfA(pattern, "%s\\*.*", folder);
    const int rounds = 2000;
    double start = Now();
    for (int r = 0; r < rounds; r++) {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA(pattern, &entry);
        while (FindNextFileA(find, &entry)) {
        }
        FindClose(find);
    }
    return (Now() - start) / rounds;
}

// Mean seconds of one LogPrintf once the log holds 10,000 lines.
static double LogAppendCost(HWND dialog)
{
    memset(&UpdateState, 0, sizeof UpdateState);
    UpdateState.dialog = nullptr;
    for (int i = 0; i < 10000; i++)
        LogPrintf(nullptr, "folder%02d\\file%02d.dat", i / 20 % 50, i % 20);
    UpdateState.dialog = dialog;
    const int rounds = 200;
    double start = Now();
    for (int r = 0; r < rounds; r++)
        LogPrintf(nullptr, "folder%02d\\file%02d.dat", r % 50, r % 20);
    return (Now() - start) / rounds;
}

int main()
{
    char temp[MAX_PATH], base[MAX_PATH], work[MAX_PATH], patch[MAX_PATH];
    char target_a[MAX_PATH], target_b[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    wsprintfA(base, "%supdate-bench-%lu", temp, GetCurrentProcessId());
    wsprintfA(work, "%s\\work", base);
    wsprintfA(patch, "%s\\patch", work);
    wsprintfA(target_a, "%s\\target-update", base);
    wsprintfA(target_b, "%s\\target-xcopy", base);
    CreateDirectoryA(base, nullptr);
    CreateDirectoryA(work, nullptr);
    CreateDirectoryA(target_a, nullptr);
    MakeTree(patch);

    if (!HookImport("kernel32.dll", "FindFirstFileA", (void*)CountedFindFirst, (void**)&RealFindFirst) ||
        !HookImport("kernel32.dll", "CopyFileA", (void*)CountedCopy, (void**)&RealCopy) ||
        !HookImport("kernel32.dll", "CreateDirectoryA", (void*)CountedCreateDirectory,
                    (void**)&RealCreateDirectory) ||
        !(RealMove = (BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD))(void*)GetProcAddress(
              GetModuleHandleA("kernel32.dll"), "MoveFileExA")) ||
        !HookImport("kernel32.dll", "GetProcAddress", (void*)CountedGetProcAddress,
                    (void**)&RealGetProcAddress) ||
        !HookImport("kernel32.dll", "GetFileAttributesA", (void*)StraightGetAttributes,
                    (void**)&RealGetAttributes) ||
        !HookImport("kernel32.dll", "SetFileAttributesA", (void*)StraightSetAttributes,
                    (void**)&RealSetAttributes) ||
        !HookImport("kernel32.dll", "DeleteFileA", (void*)StraightDelete, (void**)&RealDelete) ||
        !HookImport("kernel32.dll", "CreateFileA", (void*)StraightCreateFile,
                    (void**)&RealCreateFile) ||
        !HookImport("kernel32.dll", "CloseHandle", (void*)StraightCloseHandle,
                    (void**)&RealCloseHandle) ||
        !HookImport("kernel32.dll", "FlushFileBuffers", (void*)CountedFlush, (void**)&RealFlush)) {
        printf("cannot count system calls in this build\n");
        return 1;
    }

    printf("tree: %d files of %d bytes in %d folders\n", Folders * FilesPerFolder, FileSize, Folders);
    long steps = 0, max_listings = 0;
    RunUpdater(work, target_a, &steps, &max_listings);  // every later run overwrites
    double updater = 0, unflushed = 0, straight = 0;
    for (int round = 0; round < 3; round++) {
        Straight = true;
        KeepBest(&straight, [&] { RunUpdater(work, target_a, &steps, &max_listings); });
        Straight = false;
        NoFlush = true;
        KeepBest(&unflushed, [&] { RunUpdater(work, target_a, &steps, &max_listings); });
        NoFlush = false;
        KeepBest(&updater, [&] { RunUpdater(work, target_a, &steps, &max_listings); });
    }
    long listings = Listings, copies = CopyCalls, creations = FolderCreations, moves = Moves,
         flushes = Flushes, checks = FolderChecks;
    double xcopy = RunXcopy(patch, target_b);
    printf("(a) UpdateTick, pass after pass: %8.3f s  (%d files in the target)\n", updater,
           CountFiles(target_a));
    printf("(a1) the same without the flush: %8.3f s\n", unflushed);
    printf("    ratio (a)/(a1):              %8.3f  (%+.1f us per file)\n", updater / unflushed,
           (updater - unflushed) * 1e6 / (Folders * FilesPerFolder));
    printf("(a0) the same, copied straight:  %8.3f s  (each file CopyFileA'd onto its target)\n",
           straight);
    printf("    ratio (a)/(a0):              %8.3f  (%+.1f us per file)\n", updater / straight,
           (updater - straight) * 1e6 / (Folders * FilesPerFolder));
    printf("(b) xcopy /E /Y /I:              %8.3f s  (%d files in the target)\n", xcopy,
           CountFiles(target_b));
    printf("    ratio (a)/(b):               %8.1f\n", updater / xcopy);
    printf("steps: %ld; listings opened: %ld in all, %.1f per step on average, at most %ld in one step "
           "(the tree has %d folders)\n",
           steps, listings, (double)listings / steps, max_listings, Folders + 1);
    printf("copies: %ld; flushes: %ld; moves: %ld; folder creations: %ld (%.1f per step)\n",
           copies, flushes, moves, creations, (double)creations / steps);
    char folder0[MAX_PATH];
    wsprintfA(folder0, "%s\\folder00", patch);
    double listing = ListingCost(folder0);
    printf("one listing of a %d-file folder: %.3f ms; listings x cost = %.2f s of (a)\n",
           FilesPerFolder, listing * 1000, listing * listings);
    char target0[MAX_PATH];
    wsprintfA(target0, "%s\\folder00", target_a);
    const int queries = 10000;
    double start = Now();
    for (int q = 0; q < queries; q++)
        RealGetAttributes(target0);
    double query = (Now() - start) / queries;
    printf("folder link checks: %ld attribute queries of existing target folders (%.1f per step), "
           "%.3f ms each: %.2f s of (a) (%.1f%%)\n",
           checks, (double)checks / steps, query * 1000, query * checks,
           100 * query * checks / updater);

    HWND dialog = CreateWindowExA(0, "#32770", "bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                    0, 0, 380, 260, dialog, (HMENU)IDC_LOG, nullptr, nullptr);
    double bare = LogAppendCost(nullptr);
    double shown = dialog ? LogAppendCost(dialog) : -1;
    printf("one LogPrintf with 10,000 lines in the log: %.3f ms without a dialog, %.3f ms into the "
           "log control (ratio %.1f)\n",
           bare * 1000, shown * 1000, shown / bare);
    if (dialog) {
        // The share of that cost which is the control taking the whole text.
        const int rounds = 20;
        double start = Now();
        for (int r = 0; r < rounds; r++)
            SetDlgItemTextA(dialog, IDC_LOG, UpdateState.log_text);
        double set_text = (Now() - start) / rounds;
        printf("    of which SetDlgItemTextA of the whole log alone: %.3f ms (%.0f%%)\n",
               set_text * 1000, 100 * set_text / shown);
        DestroyWindow(dialog);
    }
    RemoveTree(base);
    return 0;
}
