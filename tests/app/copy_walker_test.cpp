#include "app/copy_walker.h"
#include "toolkit/files/folder_tree.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"
#include "tests/support/listing_hook.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_listener.h"
#include "tests/support/wine_host.h"

class CopyWalkerTest : public testing::Test {
protected:
    void SetUp() override
    {
        src = dir / "patch";
        dst = dir / "insta";  // as long as src, so both sides hit path limits together
        ASSERT_TRUE(MakeFolders(src));
        ASSERT_TRUE(MakeFolders(dst));
        memset(&walker, 0x5A, sizeof walker);
    }

    // Runs steps until one returns 0; returns current_name of every step.
    std::vector<std::string> RunAll()
    {
        std::vector<std::string> names;
        for (int i = 0; i < 5000 && CopyWalkerStep(&walker); i++)
            names.push_back(walker.current_name);
        return names;
    }

    TempDir dir;
    std::string src, dst;
    CopyWalker walker;
};

TEST_F(CopyWalkerTest, CopiesOneFilePerStepInWalkOrder)
{
    WriteFileText(src + "\\a.dat", "A");
    WriteFileText(src + "\\b.dat", "B");
    WriteFileText(src + "\\sub\\c.dat", "C");
    WriteFileText(src + "\\sub\\deep\\d.dat", "D");
    WriteFileText(src + "\\z.dat", "Z");
    MakeFolders(src + "\\empty\\inner");
    WriteFileText(dst + "\\a.dat", "old and longer");
    std::vector<std::string> expected = FilesInWalkOrder(src);
    ASSERT_EQ(5u, expected.size());

    ASSERT_EQ(1, CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker));
    EXPECT_EQ(expected, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ(6, walker.target);  // the final step found no sixth file
    for (const std::string& name : expected)
        EXPECT_EQ(ReadFileText(src + "\\" + name), ReadFileText(dst + "\\" + name)) << name;
    EXPECT_TRUE(FolderExists(dst + "\\empty\\inner"));  // made by the final step

    // A second run over the same walker starts from the first file again,
    // this time where listings hold no "." and "..", so that the empty
    // folders' listings fail with ERROR_FILE_NOT_FOUND: still no failure.
    ASSERT_TRUE(RemoveDirectoryA((dst + "\\empty\\inner").c_str()));
    ListingHook dotless(ListingHook::NoDotEntries);
    ASSERT_TRUE(dotless.ok());
    ASSERT_EQ(1, CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker));
    EXPECT_EQ(expected, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_TRUE(FolderExists(dst + "\\empty\\inner"));
}

TEST_F(CopyWalkerTest, FoldersWithFurtherAttributeBitsAreWalkedInto)
{
    WriteFileText(src + "\\.config\\settings.ini", "s");
    DWORD attributes = GetFileAttributesA((src + "\\.config").c_str());
    ASSERT_EQ((DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN), attributes)
        << "this platform does not report the folder as hidden; the case is not exercised";
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    EXPECT_EQ(std::vector<std::string>{".config\\settings.ini"}, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ("s", ReadFileText(dst + "\\.config\\settings.ini"));
}

TEST_F(CopyWalkerTest, LinkIsCountedAsAFailureAndNeverFollowed)
{
    WriteFileText(dir / "outside\\secret.dat", "secret");
    WriteFileText(src + "\\a.dat", "A");
    ASSERT_TRUE(MakeFolderLink(dir / "outside", src + "\\link")) << "cannot make a link here";
    DWORD attributes = GetFileAttributesA((src + "\\link").c_str());
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    RemoveFolderLink(src + "\\link");
    ASSERT_EQ(0x410u, attributes & 0x410);
    EXPECT_EQ((std::vector<std::string>{"a.dat", "link"}), names);
    EXPECT_EQ(1, walker.failed);
    EXPECT_FALSE(FileIsThere(dst + "\\link\\secret.dat"));
    EXPECT_TRUE(FileIsThere(dir / "outside\\secret.dat"));
}

TEST_F(CopyWalkerTest, DriveRootLosesNoEntry)
{
    WriteFileText(src + "\\a.dat", "A");
    WriteFileText(src + "\\b.dat", "B");
    WriteFileText(src + "\\c.dat", "C");
    ASSERT_TRUE(MapDrive('N', src)) << "cannot map a drive letter under this Wine";
    CopyWalkerInit("N:", dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    UnmapDrive('N');
    EXPECT_EQ(3u, names.size());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ("A", ReadFileText(dst + "\\a.dat"));
    EXPECT_EQ("B", ReadFileText(dst + "\\b.dat"));
}

TEST_F(CopyWalkerTest, NamesWithBackslashSecondBytesAndPercentSigns)
{
    WriteFileText(src + "\\ソフト\\表.dat", "hyo");
    WriteFileText(src + "\\100%.dat", "pct");
    WriteFileText(src + "\\%s%d.txt", "fmt");
    std::vector<std::string> expected = FilesInWalkOrder(src);
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    EXPECT_EQ(expected, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ("hyo", ReadFileText(dst + "\\ソフト\\表.dat"));
    EXPECT_EQ("pct", ReadFileText(dst + "\\100%.dat"));
    EXPECT_EQ("fmt", ReadFileText(dst + "\\%s%d.txt"));
}

TEST_F(CopyWalkerTest, FailedCopiesAreCountedTracedAndTheRunGoesOn)
{
    WriteFileText(src + "\\a.dat", "A");
    WriteFileText(src + "\\b.dat", "B");
    WriteFileText(src + "\\c.dat", "C");
    WriteFileText(dst + "\\b.dat", "held");
    HANDLE held = CreateFileA((dst + "\\b.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held) << GetLastError();
    std::vector<std::string> expected = FilesInWalkOrder(src);

    TraceListener listener;
    ASSERT_TRUE(listener.ok());
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    std::vector<std::string> traced = listener.Stop();
    CloseHandle(held);

    EXPECT_EQ(expected, names);
    EXPECT_EQ(1, walker.failed);
    EXPECT_EQ("held", ReadFileText(dst + "\\b.dat"));
    EXPECT_EQ("C", ReadFileText(dst + "\\c.dat"));
    ASSERT_EQ(3u, traced.size());  // one line per attempt, the failed one included
    for (size_t i = 0; i < traced.size(); i++)
        EXPECT_EQ(dst + "\\" + expected[i] + "\n", traced[i]);
}

TEST_F(CopyWalkerTest, ReadOnlyTargetIsNotOverwritten)
{
    WriteFileText(src + "\\a.dat", "new");
    WriteFileText(src + "\\b.dat", "new");
    WriteFileText(dst + "\\a.dat", "old");
    ASSERT_TRUE(SetFileAttributesA((dst + "\\a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine as root would overwrite it; immutable, it refuses as Windows does.
    ImmutableFile immutable(dst + "\\a.dat");
    ASSERT_TRUE(immutable.ok()) << "chattr +i had no effect";
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    EXPECT_EQ(FilesInWalkOrder(src), RunAll());
    EXPECT_EQ(1, walker.failed);
    EXPECT_EQ("old", ReadFileText(dst + "\\a.dat"));
    EXPECT_EQ("new", ReadFileText(dst + "\\b.dat"));
}

TEST_F(CopyWalkerTest, MissingEmptyAndOverlongRoots)
{
    strcpy(walker.current_name, "kept");
    EXPECT_EQ(1, CopyWalkerInit((dir / "missing").c_str(), dst.c_str(), 0, &walker));
    EXPECT_EQ(0, CopyWalkerStep(&walker));
    EXPECT_EQ(0, walker.failed);
    EXPECT_STREQ("kept", walker.current_name);

    // Refused roots: nothing is walked (an empty root would list the drive
    // root) and the run counts as failed. 1,023 bytes are the most a root
    // may hold.
    std::string longest(1023, 'x'), overlong(1024, 'x');
    struct Case {
        std::string src_root, dst_root;
        int rc;
    } cases[] = {{"", dst, 0},       {src, "", 0},      {overlong, dst, 0},
                 {src, overlong, 0}, {longest, dst, 1}, {src, longest, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.src_root.size() * 10000 + c.dst_root.size());
        EXPECT_EQ(c.rc, CopyWalkerInit(c.src_root.c_str(), c.dst_root.c_str(), 0, &walker));
        EXPECT_EQ(c.rc ? c.src_root : "", walker.src_root);
        EXPECT_EQ(0, CopyWalkerStep(&walker));
        EXPECT_EQ(1 - c.rc, walker.failed);
    }
    EXPECT_STREQ("kept", walker.current_name);
}

TEST_F(CopyWalkerTest, PathsThatDoNotFitAreFailuresNamedAndTraced)
{
    WriteFileText(src + "\\file.dat", "f");
    WriteFileText(src + "\\folder12\\x.dat", "x");
    // A target root of 1,015 bytes: root\file.dat and root\folder12 take 1,024.
    std::string long_dst = "C:\\" + std::string(1012, 'd');
    TraceListener listener;
    ASSERT_TRUE(listener.ok());
    ASSERT_EQ(1, CopyWalkerInit(src.c_str(), long_dst.c_str(), 0, &walker));
    std::vector<std::string> names = RunAll();
    std::vector<std::string> traced = listener.Stop();
    EXPECT_EQ((std::vector<std::string>{"file.dat", "folder12"}), names);
    EXPECT_EQ(2, walker.failed);
    ASSERT_EQ(2u, traced.size());
    for (const std::string& line : traced)
        EXPECT_EQ(1023u, line.size());
}

TEST_F(CopyWalkerTest, DeepTreeEndsWithoutACrash)
{
    // As deep as 1,023-byte paths allow, built with the wide calls; the walk's
    // ANSI calls reach only as far as the platform lets them, and the first
    // folder they cannot list is reported as one failure.
    std::wstring wide = L"\\\\?\\";
    for (char c : src)
        wide += (wchar_t)(unsigned char)c;
    std::string narrow = src;
    int levels = 0;
    while (narrow.size() + 2 + 6 <= 1023) {
        wide += L"\\d";
        narrow += "\\d";
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << GetLastError();
        if (++levels % 10 != 1)
            continue;  // a file every tenth level keeps the steps few
        HANDLE file = CreateFileW((wide + L"\\f.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
        CloseHandle(file);
    }
    ASSERT_GT(levels, 400);
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    // Depth first: the deepest reachable entries come first, level 1's file last.
    ASSERT_GE(names.size(), 10u);
    EXPECT_EQ("d\\f.dat", names.back());
    EXPECT_TRUE(FileIsThere(dst + "\\d\\f.dat"));
    EXPECT_GE(walker.failed, 1);
    EXPECT_LE(walker.failed, 3);
    // Clean up from the deepest level, with the wide calls again.
    for (; levels > 0; levels--) {
        DeleteFileW((wide + L"\\f.dat").c_str());
        RemoveDirectoryW(wide.c_str());
        wide.resize(wide.size() - 2);
    }
}

// The copies' platform calls, recorded while a RouteRecorder lives: 'c' a copy
// to the first temporary name, '1' to '9' one to the others, 'C' a copy
// straight onto the target, 'f' a flush of a temporary file, 'F' a flush of
// the target, 'm' a move. The flags make the calls answer as elsewhere: On98
// as Windows 98 (GetVersion), DiskFull as a full disk (every copy writes one
// byte and fails), Racing as another user's program that plants a file at
// the first temporary name just before the copy, Vanishing as the same
// followed by the source's vanishing (the copy fails before it makes
// anything, and what was planted is read-only), Pending as a name whose
// file is pending deletion (its copy refused with access denied, once),
// Scanned as a scanner holding the new temporary file (a move refused with a
// sharing violation, once), FlushFails as a refused flush, ReportLink as a
// target that is a reparse point, StandardUser as a token without
// administrator rights (TokenElevation 0). Opening a read-only file for writing is
// refused as Windows refuses it, also under Wine running as root.
// MoveFileExA, which the program looks up at run time, is reached through
// GetProcAddress.
static std::string Route;
static bool On98, DiskFull, Racing, Vanishing, Pending, Scanned, FlushFails, ReportLink, StandardUser;
static BOOL(WINAPI* RealCopyFile)(LPCSTR, LPCSTR, BOOL);
static BOOL(WINAPI* RealMoveFileEx)(LPCSTR, LPCSTR, DWORD);
static BOOL(WINAPI* RealFlushFileBuffers)(HANDLE);
static HANDLE(WINAPI* RealCreateFile)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                                      HANDLE);
static FARPROC(WINAPI* RealGetProcAddress)(HMODULE, LPCSTR);
static DWORD(WINAPI* RealGetVersion)();
static BOOL(WINAPI* RealGetFileInformation)(HANDLE, BY_HANDLE_FILE_INFORMATION*);

// True when path ends in one of the temporary names' forms, ".~up" and one character.
static bool IsTempName(const std::string& path)
{
    return path.size() > 5 && path.compare(path.size() - 5, 4, ".~up") == 0;
}

static BOOL WINAPI RecordedCopyFile(LPCSTR from, LPCSTR to, BOOL fail_if_exists)
{
    char last = to[strlen(to) - 1];
    Route += !IsTempName(to) ? 'C' : last == 'd' ? 'c' : last;
    if ((Racing || Vanishing) && IsTempName(to)) {
        Racing = false;
        WriteFileText(to, "planted");
        if (Vanishing) {
            Vanishing = false;
            SetFileAttributesA(to, FILE_ATTRIBUTE_READONLY);
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
    }
    if (Pending && IsTempName(to)) {
        Pending = false;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!DiskFull)
        return RealCopyFile(from, to, fail_if_exists);
    WriteFileText(to, "n");
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

static BOOL WINAPI RecordedMoveFileEx(LPCSTR from, LPCSTR to, DWORD flags)
{
    Route += 'm';
    if (Scanned) {
        Scanned = false;
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    return RealMoveFileEx(from, to, flags);
}

// The handle that the last open for writing gave, and whether it was of a
// temporary file: flushes are told apart by it.
static HANDLE LastWritten = INVALID_HANDLE_VALUE;
static bool LastWrittenTemp;

static BOOL WINAPI RecordedFlushFileBuffers(HANDLE file)
{
    Route += file == LastWritten && LastWrittenTemp ? 'f' : 'F';
    if (FlushFails) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return RealFlushFileBuffers(file);
}

static HANDLE WINAPI RefusingCreateFile(LPCSTR path, DWORD access, DWORD share,
                                        LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                        DWORD flags, HANDLE model)
{
    DWORD attributes = GetFileAttributesA(path);
    if ((access & GENERIC_WRITE) && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = RealCreateFile(path, access, share, security, disposition, flags, model);
    if (access & GENERIC_WRITE) {
        LastWritten = file;
        LastWrittenTemp = IsTempName(path);
    }
    return file;
}

static BOOL(WINAPI* RealGetTokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, void*, DWORD, DWORD*);
static BOOL WINAPI NotElevated(HANDLE token, TOKEN_INFORMATION_CLASS info_class, void* info,
                               DWORD size, DWORD* got)
{
    BOOL ok = RealGetTokenInformation(token, info_class, info, size, got);
    if (ok && info_class == TokenElevation)
        ((TOKEN_ELEVATION*)info)->TokenIsElevated = 0;
    return ok;
}

static FARPROC WINAPI RecordingGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC found = RealGetProcAddress(module, name);
    if (IS_INTRESOURCE(name))
        return found;
    if (strcmp(name, "MoveFileExA") == 0)
        return (FARPROC)(void*)RecordedMoveFileEx;
    if (StandardUser && strcmp(name, "GetTokenInformation") == 0) {
        RealGetTokenInformation = (decltype(RealGetTokenInformation))(void*)found;
        return (FARPROC)(void*)NotElevated;
    }
    return found;
}

static DWORD WINAPI VersionAsAsked() { return On98 ? 0xC0000A04 : RealGetVersion(); }

static BOOL WINAPI InformationAsAsked(HANDLE file, BY_HANDLE_FILE_INFORMATION* info)
{
    BOOL ok = RealGetFileInformation(file, info);
    if (ok && ReportLink)
        info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    return ok;
}

struct RouteRecorder {
    RouteRecorder()
    {
        RealMoveFileEx = (BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD))(void*)GetProcAddress(
            GetModuleHandleA("kernel32.dll"), "MoveFileExA");
        ok = HookImport("kernel32.dll", "CopyFileA", (void*)RecordedCopyFile, (void**)&RealCopyFile) &&
             HookImport("kernel32.dll", "FlushFileBuffers", (void*)RecordedFlushFileBuffers,
                        (void**)&RealFlushFileBuffers) &&
             HookImport("kernel32.dll", "CreateFileA", (void*)RefusingCreateFile,
                        (void**)&RealCreateFile) &&
             HookImport("kernel32.dll", "GetVersion", (void*)VersionAsAsked, (void**)&RealGetVersion) &&
             HookImport("kernel32.dll", "GetFileInformationByHandle", (void*)InformationAsAsked,
                        (void**)&RealGetFileInformation) &&
             HookImport("kernel32.dll", "GetProcAddress", (void*)RecordingGetProcAddress,
                        (void**)&RealGetProcAddress);
    }
    ~RouteRecorder()
    {
        RestoreImport((void*)RecordingGetProcAddress, (void*)RealGetProcAddress);
        RestoreImport((void*)RecordedCopyFile, (void*)RealCopyFile);
        RestoreImport((void*)RecordedFlushFileBuffers, (void*)RealFlushFileBuffers);
        RestoreImport((void*)RefusingCreateFile, (void*)RealCreateFile);
        RestoreImport((void*)VersionAsAsked, (void*)RealGetVersion);
        RestoreImport((void*)InformationAsAsked, (void*)RealGetFileInformation);
        Clear();
    }
    static void Clear()
    {
        On98 = DiskFull = Racing = Vanishing = Pending = Scanned = FlushFails = ReportLink =
            StandardUser = false;
    }
    bool ok;
};

// A folder of the installation that is a link. Under administrator rights
// (Wine's token is elevated, as update.exe's is) one that leads out of the
// installation is not written through: each file below it fails, named as
// any other, and no folder is made there; one that stays inside is followed.
// Without the rights every link is followed: the user could write there.
TEST_F(CopyWalkerTest, TargetFolderLinksLeadNowhereOutsideTheTarget)
{
    struct Case {
        const char* what;
        bool inside, elevated, followed;
    } cases[] = {
        {"link out of the installation", false, true, false},
        {"link to a folder inside the installation", true, true, true},
        {"link out, without administrator rights", false, false, true},
    };
    int n = 0;
    for (const Case& c : cases)
        for (int through_walker = 0; through_walker < 2; through_walker++) {
            SCOPED_TRACE(std::string(c.what) + (through_walker ? ", walker" : ", tree copy"));
            std::string run = std::to_string(n++);
            src = dir / ("p" + run);
            dst = dir / ("i" + run);
            std::string away = c.inside ? dst + "\\real" : dir / ("away" + run);
            ASSERT_TRUE(MakeFolders(dst) && WriteFileText(src + "\\a.dat", "new") && WriteFileText(src + "\\sub\\s.dat", "new") &&
                        WriteFileText(src + "\\sub\\deeper\\t.dat", "new") &&
                        WriteFileText(away + "\\s.dat", "old"));
            ASSERT_TRUE(MakeFolderLink(away, dst + "\\sub")) << "cannot make a link here";
            RouteRecorder recorder;
            ASSERT_TRUE(recorder.ok);
            StandardUser = !c.elevated;
            std::vector<std::string> names;
            if (through_walker) {
                CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
                names = RunAll();
            } else {
                EXPECT_EQ(1, FolderCopyTree(src.c_str(), dst.c_str(), 0));
            }
            StandardUser = false;
            RemoveFolderLink(dst + "\\sub");
            EXPECT_EQ(c.followed ? "new" : "old", ReadFileText(away + "\\s.dat"));
            EXPECT_EQ(c.followed, FileIsThere(away + "\\deeper\\t.dat"));
            EXPECT_EQ(c.followed, FolderExists(away + "\\deeper"));
            EXPECT_EQ("new", ReadFileText(dst + "\\a.dat"));
            if (through_walker) {
                EXPECT_EQ(FilesInWalkOrder(src), names);
                EXPECT_EQ(c.followed ? 0 : 2, walker.failed);
            }
        }
}

// A folder path below base of exactly chars characters, 80 of them two-byte
// characters, so that it is far longer in bytes.
static std::string FolderOfChars(const std::string& base, int chars)
{
    std::string hyo;
    for (int i = 0; i < 40; i++)
        hyo += "表";
    std::string path = base + "\\" + hyo + "\\" + hyo + "\\";
    return path + std::string(chars - (path.size() - 80), 'd');
}

// Empties the root of a mapped drive through its letter: the names there are
// too long for the ANSI calls below the mapped folder's own path.
static void EmptyDriveRoot(const std::string& root)
{
    for (const std::string& name : FilesInWalkOrder(root)) {
        std::string path = root + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

static HANDLE HoldUnshared(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// One patch file copied over its installed namesake, through the walker and
// through FolderCopyTree, each as on Windows XP and later and, where the row
// gives a route for it, as on Windows 98: the target holds all of its old
// bytes or all of the new ones, flushed before it is moved into place, one
// trace line (and one more for a target refused in place), one failure at
// most, no temporary file of the copy left, and whatever the copy found at a
// temporary name that it could not remove left as it was. No copy in place
// writes through a link, and on Windows 98 each file is copied once.
TEST(CopyReplace, TargetHoldsItsOldBytesOrTheNewOnesAndNoTemporaryFileStays)
{
    enum Setup {
        Plain, StaleTemps, LinkedTemp, FolderAtTemp, AllNamesTaken, Race,
        ReadOnlySource, NoTarget, ReadOnlyTarget, HeldTarget, HeldShared, HeldSource, Full,
        PendingTemp, ScannedTemp, FlushRefused, InPlaceFlushRefused, LinkTarget, HardLinkTarget,
        Vanished
    };
    struct Case {
        const char* what;
        Setup setup;
        int fail_if_exists;
        int folder_chars;  // the target folder's length; 0 a short one, -1 a drive root
        int name_chars;    // the file name's length; 0 for "f.dat"
        const char* route;
        const char* route_on_98;  // null: not run as on Windows 98
        bool replaced;
    } cases[] = {
        {"overwritten", Plain, 0, 0, 0, "cfm", "CF", true},
        {"stale temporary files, the first read-only", StaleTemps, 0, 0, 0, "1fm", nullptr, true},
        {"link to a read-only file elsewhere at the temporary name", LinkedTemp, 0, 0, 0, "1fm", nullptr, true},
        {"folder with a file at the temporary name", FolderAtTemp, 0, 0, 0, "1fm", nullptr, true},
        {"folders at all temporary names", AllNamesTaken, 0, 0, 0, "CF", nullptr, true},
        {"file planted at the temporary name before the copy", Race, 0, 0, 0, "c1fm", nullptr, true},
        {"read-only source", ReadOnlySource, 0, 0, 0, "cfm", "CF", true},
        {"absent target, kept if present", NoTarget, 1, 0, 0, "cfm", "CF", true},
        {"present target kept", Plain, 1, 0, 0, "", "", false},
        {"read-only target", ReadOnlyTarget, 0, 0, 0, "", "", false},
        {"target held unshared, source read-only", HeldTarget, 0, 0, 0, "cfmC", "C", false},
        {"target held for reading and writing, shared", HeldShared, 0, 0, 0, "cfmCF", "CF", true},
        {"source held", HeldSource, 0, 0, 0, "c123456789C", "C", false},
        {"disk full midway", Full, 0, 0, 0, "c", nullptr, false},
        {"temporary path of 259 characters", Plain, 0, 248, 0, "cfm", "CF", true},
        {"temporary path of 260 characters", Plain, 0, 249, 0, "CF", "CF", true},
        {"temporary name of 255 characters", Plain, 0, -1, 250, "cfm", nullptr, true},
        {"temporary name of 256 characters", Plain, 0, -1, 251, "CF", nullptr, true},
        {"file pending deletion at the cleared name", PendingTemp, 0, 0, 0, "c1fm", nullptr, true},
        {"source gone once a file was planted at the temporary name", Vanished, 0, 0, 0, "c", nullptr, false},
        {"move refused once while a scanner holds the temporary file", ScannedTemp, 0, 0, 0, "cfmm", nullptr, true},
        {"flush of the temporary file refused", FlushRefused, 0, 0, 0, "cf", nullptr, false},
        {"flush after a copy in place refused", InPlaceFlushRefused, 0, 0, 0, "CF", nullptr, true},
        {"target a link, temporary names taken", LinkTarget, 0, 0, 0, "", nullptr, false},
        {"target a hard link to a file elsewhere, names taken", HardLinkTarget, 0, 0, 0, "", nullptr, false},
    };
    TempDir dir;
    // Only at a drive root does a path of 259 characters end in a name of 256.
    struct DriveRoots {
        ~DriveRoots()
        {
            EmptyDriveRoot("P:");
            EmptyDriveRoot("Q:");
            UnmapDrive('P');
            UnmapDrive('Q');
        }
    } roots;
    ASSERT_TRUE(MakeFolders(dir / "P") && MakeFolders(dir / "Q"));
    ASSERT_TRUE(MapDrive('P', dir / "P") && MapDrive('Q', dir / "Q")) << "cannot map drive letters";
    RouteRecorder recorder;
    ASSERT_TRUE(recorder.ok);
    for (const Case& c : cases)
        for (int through_walker = 0; through_walker < 2; through_walker++)
            for (int on_98 = 0; on_98 < (c.route_on_98 ? 2 : 1); on_98++) {
                SCOPED_TRACE(std::string(c.what) + (through_walker ? ", walker" : ", tree copy") +
                             (on_98 ? ", Windows 98" : ""));
                TempDir run;
                EmptyDriveRoot("P:");
                EmptyDriveRoot("Q:");
                std::string src = c.folder_chars < 0 ? "Q:" : run / "S";
                std::string dst = c.folder_chars < 0   ? "P:"
                                  : c.folder_chars ? FolderOfChars(run.path(), c.folder_chars)
                                                   : run / "D";
                std::string name = c.name_chars ? std::string(c.name_chars, 'n') : "f.dat";
                std::string from = src + "\\" + name, target = dst + "\\" + name;
                std::string temp = target + ".~upd", outside = run / "elsewhere\\locked.dat";
                ASSERT_TRUE(MakeFolders(src) && MakeFolders(dst) && WriteFileText(from, "new"));
                bool names_taken = c.setup == AllNamesTaken || c.setup == InPlaceFlushRefused ||
                                   c.setup == LinkTarget || c.setup == HardLinkTarget;
                bool refused_in_place = c.setup == LinkTarget || c.setup == HardLinkTarget;
                if (c.setup == HardLinkTarget) {  // the target is another name of a file outside
                    ASSERT_TRUE(WriteFileText(outside, "old"));
                    ASSERT_TRUE(CreateHardLinkA(target.c_str(), outside.c_str(), nullptr)) << GetLastError();
                } else if (c.setup != NoTarget) {
                    ASSERT_TRUE(WriteFileText(target, "old"));
                }
                // What must stay beside the target, relative to dst, with the
                // content of the files among it.
                std::vector<std::pair<std::string, std::string>> stays;
                if (c.setup == StaleTemps || c.setup == Race || c.setup == Vanished)
                    stays.push_back({name + ".~upd", c.setup == StaleTemps ? "cut sh" : "planted"});
                if (c.setup == StaleTemps) {  // the read-only one is never made writable
                    ASSERT_TRUE(WriteFileText(temp, "cut sh") && WriteFileText(target + ".~up3", "cut"));
                    SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_READONLY);
                }
                if (c.setup == LinkedTemp) {
                    ASSERT_TRUE(WriteFileText(outside, "outside"));
                    ASSERT_TRUE(SetFileAttributesA(outside.c_str(), FILE_ATTRIBUTE_READONLY));
                    ASSERT_TRUE(MakeFolderLink(outside, temp)) << "cannot make a link here";
                }
                if (c.setup == FolderAtTemp) {
                    ASSERT_TRUE(WriteFileText(temp + "\\x", "x"));
                    stays = {{name + ".~upd", ""}, {name + ".~upd\\x", "x"}};
                }
                for (int i = 0; names_taken && i < 10; i++) {
                    std::string taken = name + ".~up" + (i ? std::to_string(i) : "d");
                    ASSERT_TRUE(MakeFolders(dst + "\\" + taken));
                    stays.push_back({taken, ""});
                }
                if (c.setup == ReadOnlySource || c.setup == HeldTarget)
                    SetFileAttributesA(from.c_str(), FILE_ATTRIBUTE_READONLY);
                if (c.setup == ReadOnlyTarget)
                    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
                // A new file made by CopyFileA: the attributes and times the target must get.
                std::string reference = run / "reference";
                ASSERT_TRUE(CopyFileA(from.c_str(), reference.c_str(), FALSE)) << GetLastError();
                HANDLE held = c.setup == HeldTarget ? HoldUnshared(target)
                              : c.setup == HeldSource ? HoldUnshared(from)
                              : c.setup == HeldShared
                                  ? CreateFileA(target.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, 0, nullptr)
                                  : INVALID_HANDLE_VALUE;
                ASSERT_EQ(c.setup == HeldTarget || c.setup == HeldSource || c.setup == HeldShared,
                          held != INVALID_HANDLE_VALUE);

                TraceListener listener;
                ASSERT_TRUE(listener.ok());
                Route.clear();
                On98 = on_98;
                DiskFull = c.setup == Full;
                Racing = c.setup == Race;
                Vanishing = c.setup == Vanished;
                Pending = c.setup == PendingTemp;
                Scanned = c.setup == ScannedTemp;
                FlushFails = c.setup == FlushRefused || c.setup == InPlaceFlushRefused;
                ReportLink = c.setup == LinkTarget;
                int want_failed = c.replaced && c.setup != InPlaceFlushRefused ? 0 : 1;
                int failed = want_failed;  // the tree copy counts nothing
                if (through_walker) {
                    CopyWalker walker;
                    CopyWalkerInit(src.c_str(), dst.c_str(), c.fail_if_exists, &walker);
                    EXPECT_EQ(1, CopyWalkerStep(&walker));
                    EXPECT_EQ(0, CopyWalkerStep(&walker));
                    failed = walker.failed;
                } else {
                    EXPECT_EQ(1, FolderCopyTree(src.c_str(), dst.c_str(), c.fail_if_exists));
                }
                RouteRecorder::Clear();
                std::vector<std::string> traced = listener.Stop();
                if (held != INVALID_HANDLE_VALUE)
                    CloseHandle(held);
                if (c.setup == LinkedTemp) {
                    // Untouched and in its place. (Windows removes the link;
                    // Wine, which shows it as the file it points to, cannot.)
                    EXPECT_EQ("outside", ReadFileText(outside));
                    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY,
                              GetFileAttributesA(outside.c_str()) & FILE_ATTRIBUTE_READONLY);
                    RemoveFolderLink(temp);
                }

                EXPECT_EQ(on_98 ? c.route_on_98 : c.route, Route);
                EXPECT_EQ(c.replaced ? "new" : "old", ReadFileText(target));
                EXPECT_EQ(want_failed, failed);
                ASSERT_EQ(refused_in_place ? 2u : 1u, traced.size());
                EXPECT_EQ(target + "\n", traced.back());
                std::vector<std::string> expected = {name}, entries;
                for (const auto& stay : stays) {
                    expected.push_back(stay.first);
                    if (!stay.second.empty()) {
                        EXPECT_EQ(stay.second, ReadFileText(dst + "\\" + stay.first)) << stay.first;
                    }
                    if (c.setup == Vanished) {  // its read-only bit never cleared
                        EXPECT_EQ((DWORD)FILE_ATTRIBUTE_READONLY,
                                  GetFileAttributesA((dst + "\\" + stay.first).c_str()) & FILE_ATTRIBUTE_READONLY);
                    }
                }
                for (const TreeEntry& entry : TreeEntriesInWalkOrder(dst))
                    entries.push_back(entry.path);
                std::sort(expected.begin(), expected.end());
                std::sort(entries.begin(), entries.end());
                EXPECT_EQ(expected, entries);
                if (c.replaced && !on_98) {  // without the move, the copy is CopyFileA's own
                    WIN32_FILE_ATTRIBUTE_DATA got = {}, want = {};
                    GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &got);
                    GetFileAttributesExA(reference.c_str(), GetFileExInfoStandard, &want);
                    EXPECT_EQ(want.dwFileAttributes, got.dwFileAttributes);
                    EXPECT_EQ(0, CompareFileTime(&want.ftLastWriteTime, &got.ftLastWriteTime));
                }
            }
}
