// Patch-maker benchmark: makepatch's work (MakePatch, which writes the patch
// beside its place, checks it and renames it) over two installations of
// which 1 % of the files differ, against copying the new installation whole
// with the platform's file copy, in the same run; at 10,000 and at 1,000
// files, so that the cost per file shows whether the cost grows linearly.
// Files of 4 KiB in folders of 100; of the changed files half keep their
// size (the last byte differs, so every byte is compared) and half grow.
//
// Given the path of another makepatch.exe (makepatch_bench PEER.exe), it
// also runs this build's makepatch.exe and that one as processes, each
// writing the same patch with its output to NUL, and prints the ratio of
// their times, so that a change can be measured against the build before it.
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "bench/bench_timing.h"
#include "maker/console_out.h"
#include "maker/folder_identity.h"
#include "maker/patch_maker.h"
#include "maker/tree_remove.h"

static const int FileSize = 4096;
static const int FilesPerFolder = 100;
static const int Rounds = 3;
static const int PeerRounds = 9;

static void WriteData(const WCHAR* path, const char* data, DWORD len)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    DWORD written = 0;
    WriteFile(file, data, len, &written, 0);
    CloseHandle(file);
}

// Writes the old and the new installation of files files under base.
static void MakeTrees(const WCHAR* base, int files, int* changed)
{
    static char data[FileSize + 1];
    WCHAR path[MAX_PATH];
    *changed = 0;
    const WCHAR* sides[] = {L"old", L"new"};
    for (const WCHAR* side : sides) {
        wsprintfW(path, L"%s\\%s", base, side);
        CreateDirectoryW(path, 0);
        for (int i = 0; i < files; i++) {
            if (i % FilesPerFolder == 0) {
                wsprintfW(path, L"%s\\%s\\folder%03d", base, side, i / FilesPerFolder);
                CreateDirectoryW(path, 0);
            }
            memset(data, 'a' + i % 26, sizeof data);
            DWORD len = FileSize;
            // Every hundredth file differs in the new installation.
            if (side[0] == L'n' && i % 100 == 50) {
                if (i % 200 == 50)
                    data[FileSize - 1] = '!';
                else
                    len = FileSize + 1;
                ++*changed;
            }
            wsprintfW(path, L"%s\\%s\\folder%03d\\file%05d.dat", base, side, i / FilesPerFolder, i);
            WriteData(path, data, len);
        }
    }
}

static void RemoveTree(const WCHAR* root)
{
    static WidePath path;
    if (WidePathSetRoot(&path, root))
        RemoveTreeContents(&path);
    RemoveDirectoryW(root);
}

// Copies every file of src into dst with the platform's copy, folders made on the way.
static int CopyWhole(const WCHAR* src, const WCHAR* dst)
{
    int copied = 0;
    CreateDirectoryW(dst, 0);
    WCHAR pattern[MAX_PATH], from[MAX_PATH], to[MAX_PATH];
    wsprintfW(pattern, L"%s\\*", src);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0)
            continue;
        wsprintfW(from, L"%s\\%s", src, entry.cFileName);
        wsprintfW(to, L"%s\\%s", dst, entry.cFileName);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            copied += CopyWhole(from, to);
        else
            copied += CopyFileW(from, to, FALSE) != 0;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return copied;
}

// makepatch OLD NEW PATCH without its printing. Returns the files written.
static int RunMakepatch(const WCHAR* base)
{
    WCHAR old_root[MAX_PATH], new_root[MAX_PATH], patch[MAX_PATH];
    wsprintfW(old_root, L"%s\\old", base);
    wsprintfW(new_root, L"%s\\new", base);
    wsprintfW(patch, L"%s\\patch", base);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    OutStart();
    MakeRequest request = {old_root, new_root, patch, DefaultInstallDir, 0, 0, 0};
    MakeCounts counts;
    int made = MakePatch(&request, &counts);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    CloseHandle(nul);
    OutStart();
    return made == MakeWritten ? counts.new_files + counts.changed_files : -1;
}

// Runs exe OLD NEW PATCH below base as a process, its output to NUL.
// Returns its exit code, or -1 when it cannot be started.
static long RunProcess(const char* exe, const WCHAR* base)
{
    char line[3 * MAX_PATH + 64];
    wsprintfA(line, "\"%s\" \"%ls\\old\" \"%ls\\new\" \"%ls\\patch\"", exe, base, base, base);
    SECURITY_ATTRIBUTES sa = {sizeof sa, 0, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &sa, OPEN_EXISTING, 0, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    long code = -1;
    if (CreateProcessA(exe, line, 0, 0, TRUE, 0, 0, 0, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD exit_code = 0;
        GetExitCodeProcess(pi.hProcess, &exit_code);
        code = (long)exit_code;
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    CloseHandle(nul);
    return code;
}

// Times both contenders at one size, and this build's makepatch.exe
// against peer when peer is given; returns makepatch's seconds per file.
static double Measure(const WCHAR* temp, int files, const char* self, const char* peer)
{
    WCHAR base[MAX_PATH], patch[MAX_PATH], whole_src[MAX_PATH], whole[MAX_PATH];
    wsprintfW(base, L"%smakepatch-bench-%lu-%d", temp, GetCurrentProcessId(), files);
    wsprintfW(patch, L"%s\\patch", base);
    wsprintfW(whole_src, L"%s\\new", base);
    wsprintfW(whole, L"%s\\whole", base);
    CreateDirectoryW(base, 0);
    int changed = 0;
    MakeTrees(base, files, &changed);
    double make_best = 0, copy_best = 0, self_best = 0, peer_best = 0;
    int written = 0, copied = 0;
    long self_code = 0, peer_code = 0;
    for (int round = 0; round < Rounds; round++) {
        RemoveTree(patch);
        KeepBest(&make_best, [&] { written = RunMakepatch(base); });
        RemoveTree(whole);
        KeepBest(&copy_best, [&] { copied = CopyWhole(whole_src, whole); });
    }
    // The two programs are close, so more rounds, each taking the lead in turn.
    for (int round = 0; peer && round < PeerRounds; round++) {
        for (int turn = 0; turn < 2; turn++) {
            RemoveTree(patch);
            if ((round + turn) % 2 == 0)
                KeepBest(&self_best, [&] { self_code = RunProcess(self, base); });
            else
                KeepBest(&peer_best, [&] { peer_code = RunProcess(peer, base); });
        }
    }
    // What a whole patch adds to the make: the identity checks of where the
    // patch goes against both installations, and the rename once it is whole.
    double extra_best = 0;
    static WidePath parent, old_root, new_root;
    WCHAR old_path[MAX_PATH], moved[MAX_PATH];
    wsprintfW(old_path, L"%s\\old", base);
    wsprintfW(moved, L"%s\\patch.moved", base);
    WidePathSetRoot(&parent, base);
    WidePathSetRoot(&old_root, old_path);
    WidePathSetRoot(&new_root, whole_src);
    int apart = 0;
    for (int round = 0; round < PeerRounds; round++) {
        KeepBest(&extra_best, [&] {
            apart = FolderIsWithin(&parent, &old_root) == 0 &&
                    FolderIsWithin(&parent, &new_root) == 0 && MoveFileW(patch, moved);
        });
        MoveFileW(moved, patch);
    }
    printf("%6d files, %d changed:\n", files, changed);
    printf("  (a) makepatch OLD NEW PATCH:       %8.3f s  (%d files written)\n", make_best, written);
    printf("  (b) whole copy of NEW, CopyFileW:  %8.3f s  (%d files copied)\n", copy_best, copied);
    printf("      ratio (a)/(b):                 %8.2f\n", make_best / copy_best);
    printf("      per file: (a) %.1f us, (b) %.1f us\n", 1e6 * make_best / files,
           1e6 * copy_best / files);
    printf("  (e) identity checks and rename:    %8.5f s  (%.2f %% of (a)%s)\n", extra_best,
           100 * extra_best / make_best, apart ? "" : ", FAILED");
    if (peer) {
        printf("  (c) this makepatch.exe:            %8.3f s  (exit code %ld)\n", self_best, self_code);
        printf("  (d) peer makepatch.exe:            %8.3f s  (exit code %ld)\n", peer_best, peer_code);
        printf("      ratio (c)/(d):                 %8.3f\n", self_best / peer_best);
    }
    RemoveTree(base);
    return make_best / files;
}

int main(int argc, char** argv)
{
    // This build's makepatch.exe: maker\makepatch.exe beside this program's bench folder.
    char self[MAX_PATH + 32];
    DWORD len = GetModuleFileNameA(0, self, MAX_PATH);
    while (len > 0 && self[len - 1] != '\\')
        len--;
    while (len > 0 && self[len - 1] == '\\')
        len--;
    while (len > 0 && self[len - 1] != '\\')
        len--;
    lstrcpyA(self + len, "maker\\makepatch.exe");
    const char* peer = argc > 1 ? argv[1] : 0;
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    printf("files of %d bytes, %d to a folder; best of %d rounds\n", FileSize, FilesPerFolder,
           Rounds);
    if (peer)
        printf("(c) %s\n(d) %s\nbest of %d rounds each\n", self, peer, PeerRounds);
    double large = Measure(temp, 10000, self, peer);
    double small = Measure(temp, 1000, self, peer);
    printf("cost per file at 10,000 against 1,000 files: %.2f (1.00 is linear growth)\n",
           large / small);
    return 0;
}
