#include "toolkit/system/os_version.h"

#include <stdarg.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"

static OSVERSIONINFOA Record(DWORD platform, DWORD major, DWORD minor, DWORD build,
                             const char* csd)
{
    OSVERSIONINFOA info = {sizeof info, major, minor, build, platform, {}};
    strcpy(info.szCSDVersion, csd);
    return info;
}

static std::string Report(const OSVERSIONINFOA& info)
{
    char text[OsVersionTextSize + 32];
    memset(text, 0x5A, sizeof text);
    FormatOsVersion(&info, text);
    size_t len = strlen(text);
    EXPECT_LT(len, (size_t)OsVersionTextSize);
    for (size_t i = len + 1; i < sizeof text; i++)
        EXPECT_EQ(0x5A, text[i]) << "written past the terminator at " << i;
    return text;
}

// Versions that Wine cannot report: the other family from major 5, the
// minor-version limits of 95/98/ME, NT before 4, unusual build numbers.
TEST(OsVersionTest, HandMadeRecords)
{
    struct Row {
        OSVERSIONINFOA info;
        int nt5, kind;
        const char* text;
    } rows[] = {
        {Record(2, 3, 51, 1057, "Service Pack 5"), 0, 0x000,
         "Windows NT3.51 (Build:1057) Service Pack 5 "},
        {Record(2, 7, 0, 1, ""), 1, 0x003, "Windows XP以降 7.0 (Build:1)  "},
        {Record(1, 2, 0, 5, ""), 0, 0x100, "Windows 2.0 (Build:5)  "},
        {Record(1, 4, 9, 1, "x"), 0, 0x102, "Windows 95 4.9 (Build:1) x "},
        {Record(1, 4, 10, 1, "x"), 0, 0x102, "Windows 98 4.10 (Build:1) x "},
        {Record(1, 4, 89, 1, "x"), 0, 0x102, "Windows 98 4.89 (Build:1) x "},
        {Record(1, 4, 90, 1, "x"), 0, 0x102, "Windows ME 4.90 (Build:1) x "},
        {Record(1, 5, 0, 1, ""), 0, 0x104, "Windows ME以降 5.0 (Build:1)  "},
        {Record(0, 9, 0, 0x80000001, "Win32s"), 0, 0x104,
         "Windows ME以降 9.0 (Build:-2147483647) Win32s "},
        {Record(3, 4, 0, 2, ""), 0, 0x102, "Windows 95 4.0 (Build:2)  "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.nt5, IsNt5OrLaterOf(&row.info));
        EXPECT_EQ(row.kind, OsKindOf(&row.info));
        EXPECT_EQ(row.text, Report(row.info));
    }
}

static const std::string Nt4Prefix = "Windows NT4.0 (Build:1381) ";  // 27 bytes

// The report is cut at 127 bytes, never inside a two-byte character.
TEST(OsVersionTest, LongServicePackTextIsCutOnACharacterBoundary)
{
    for (int ascii : {98, 99}) {
        std::string csd = std::string(ascii, 'a');
        while (csd.size() < 127)
            csd += "表";
        csd.resize(127);
        std::string want = Nt4Prefix + std::string(ascii, 'a') + (ascii == 98 ? "表" : "");
        EXPECT_EQ(want, Report(Record(2, 4, 0, 1381, csd.c_str()))) << ascii;
    }
}

// The length of the service-pack text that reaches the formatter.
static size_t FormattedCsdLength;
static int WINAPIV WatchWsprintfA(char* buf, const char* format, ...)
{
    va_list args, csd;
    va_start(args, format);
    va_copy(csd, args);
    for (int i = 0; i < 3; i++)  // major, minor, build
        va_arg(csd, int);
    FormattedCsdLength = strlen(va_arg(csd, const char*));
    va_end(csd);
    int len = wvsprintfA(buf, format, args);
    va_end(args);
    return len;
}

// A service-pack field without a terminator, ending where readable memory
// ends, is read no further than its end, and reaches the formatter as a
// text of 127 bytes.
TEST(OsVersionTest, ServicePackFieldIsReadNoFurther)
{
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    BYTE* pages = (BYTE*)VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_COMMIT, PAGE_READWRITE);
    DWORD old;
    ASSERT_TRUE(pages && VirtualProtect(pages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old))
        << GetLastError();
    OSVERSIONINFOA* info = (OSVERSIONINFOA*)(pages + si.dwPageSize - sizeof *info);
    *info = Record(2, 4, 0, 1381, "");
    memset(info->szCSDVersion, 'b', sizeof info->szCSDVersion);
    void* original = nullptr;
    ASSERT_TRUE(HookImport("user32.dll", "wsprintfA", (void*)WatchWsprintfA, &original));
    FormattedCsdLength = 0;
    EXPECT_EQ(Nt4Prefix + std::string(100, 'b'), Report(*info));
    EXPECT_TRUE(RestoreImport((void*)WatchWsprintfA, original));
    EXPECT_EQ(127u, FormattedCsdLength);
    VirtualFree(pages, 0, MEM_RELEASE);
}

// GetVersionExA replaced: a record of the test's choice, or a refusal.
static OSVERSIONINFOA FakeRecord;
static bool FakeRefuses;
static int FakeCalls;
static BOOL WINAPI FakeGetVersionExA(OSVERSIONINFOA* info)
{
    FakeCalls++;
    if (FakeRefuses || info->dwOSVersionInfoSize != sizeof *info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *info = FakeRecord;
    return TRUE;
}

TEST(OsVersionTest, SharedRecordKeepsTheLastAnswer)
{
    void* original = nullptr;
    ASSERT_TRUE(HookImport("kernel32.dll", "GetVersionExA", (void*)FakeGetVersionExA, &original));
    FakeRecord = Record(2, 5, 0, 2195, std::string(120, 'c').c_str());
    FakeRefuses = false;
    FakeCalls = 0;
    EXPECT_EQ(nullptr, GetOsVersion(nullptr));
    EXPECT_EQ(0, FakeCalls);  // a null record asks nothing
    EXPECT_EQ(0x001, GetOsKind());
    std::string text = GetOsVersionText();
    EXPECT_EQ(127u, text.size());
    EXPECT_EQ(0, text.compare(0, 31, "Windows 2000 5.0 (Build:2195) c"));

    // Refused: the previous answer stands.
    FakeRefuses = true;
    OSVERSIONINFOA info;
    memset(&info, 0x5A, sizeof info);
    EXPECT_EQ(&info, GetOsVersion(&info));
    EXPECT_EQ(0, memcmp(&FakeRecord, &info, sizeof info));
    EXPECT_EQ(1, IsNt5OrLater());
    EXPECT_EQ(text, GetOsVersionText());
    EXPECT_EQ(5, FakeCalls);
    EXPECT_TRUE(RestoreImport((void*)FakeGetVersionExA, original));
}

// What each Windows version that Wine can report gives a program: the probe
// is started under each, chosen for its file name in Wine's AppDefaults.
static const char ProbeKey[] = "Software\\Wine\\AppDefaults\\os_version_probe.exe";

static std::string ProbePath()
{
    char path[MAX_PATH];
    DWORD len = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string self(path, len < sizeof path ? len : 0);
    return self.substr(0, self.find_last_of('\\') + 1) + "os_version_probe.exe";
}

// Runs the probe under version and returns its output, or "" on failure.
static std::string RunProbe(const char* version)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ProbeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return "";
    LONG rc = RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE*)version, strlen(version) + 1);
    RegCloseKey(key);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE rd, wr;
    if (rc != ERROR_SUCCESS || !CreatePipe(&rd, &wr, &sa, 0))
        return "";
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = wr;
    PROCESS_INFORMATION pi = {};
    std::string exe = ProbePath(), line = "\"" + exe + "\"", out;
    BOOL started = CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    EXPECT_TRUE(started) << exe << " " << GetLastError();
    CloseHandle(wr);
    char buf[512];
    DWORD got;
    while (started && ReadFile(rd, buf, sizeof buf, &got, nullptr) && got)
        out.append(buf, got);
    CloseHandle(rd);
    if (started) {
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    return out;
}

class OsVersionProbeTest : public testing::Test {
protected:
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, ProbeKey); }
};

TEST_F(OsVersionProbeTest, EveryVersionWineReports)
{
    struct Row {
        const char* version;
        const char* record;
        int nt5, kind;
        const char* text;
    } rows[] = {
        {"win31", "3.10 0 0 [Win32s 1.3]", 0, 0x101, "Windows 3.10 (Build:0) Win32s 1.3 "},
        {"win95", "4.0 67109814 1 []", 0, 0x102, "Windows 95 4.0 (Build:67109814)  "},
        {"win98", "4.10 67766446 1 [ A ]", 0, 0x102, "Windows 98 4.10 (Build:67766446)  A  "},
        {"winme", "4.90 73010104 1 [ ]", 0, 0x102, "Windows ME 4.90 (Build:73010104)   "},
        {"nt40", "4.0 1381 2 [Service Pack 6a]", 0, 0x000,
         "Windows NT4.0 (Build:1381) Service Pack 6a "},
        {"win2k", "5.0 2195 2 [Service Pack 4]", 1, 0x001,
         "Windows 2000 5.0 (Build:2195) Service Pack 4 "},
        {"winxp", "5.1 2600 2 [Service Pack 3]", 1, 0x001,
         "Windows XP 5.1 (Build:2600) Service Pack 3 "},
        {"win2003", "5.2 3790 2 [Service Pack 2]", 1, 0x001,
         "Windows XP以降 5.2 (Build:3790) Service Pack 2 "},
        {"vista", "6.0 6002 2 [Service Pack 2]", 1, 0x002,
         "Windows XP以降 6.0 (Build:6002) Service Pack 2 "},
        {"win7", "6.1 7601 2 [Service Pack 1]", 1, 0x002,
         "Windows XP以降 6.1 (Build:7601) Service Pack 1 "},
        {"win10", "6.2 9200 2 []", 1, 0x002, "Windows XP以降 6.2 (Build:9200)  "},
    };
    for (const Row& row : rows) {
        char want[512];
        wsprintfA(want, "record 148 %s\nnt5 %d\nkind 0x%03x\ntext [%s]\n", row.record, row.nt5,
                  row.kind, row.text);
        EXPECT_EQ(want, RunProbe(row.version)) << row.version;
    }
}
