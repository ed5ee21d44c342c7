#include "toolkit/data/cpu_info.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <cpuid.h>
#include <x86intrin.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"

// Keeps CpuInfo, CpuSystem and the query in place around each test, which
// starts from zero records.
class CpuInfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        memset(&CpuInfo, 0, sizeof CpuInfo);
        memset(&CpuSystem, 0, sizeof CpuSystem);
    }
    void TearDown() override
    {
        CpuInfo = saved_;
        CpuSystem = saved_system_;
        CpuQuery = RunCpuQuery;
    }

private:
    CpuInfoRecord saved_ = CpuInfo;
    CpuSystemRecord saved_system_ = CpuSystem;
};

static std::string Trimmed(std::string s)
{
    s.erase(0, s.find_first_not_of(" \t"));
    return s.erase(s.find_last_not_of(" \t\n") + 1);
}

// Expects exactly the flags named in a line like /proc/cpuinfo's "flags".
static void ExpectFlags(const std::string& line)
{
    const struct {
        const char* name;
        int32_t CpuInfoRecord::*field;
    } flags[] = {
        {"fpu", &CpuInfoRecord::has_fpu},   {"tsc", &CpuInfoRecord::has_tsc},
        {"msr", &CpuInfoRecord::has_msr},   {"cmov", &CpuInfoRecord::has_cmov},
        {"mmx", &CpuInfoRecord::has_mmx},   {"sse", &CpuInfoRecord::has_sse},
        {"sse2", &CpuInfoRecord::has_sse2}, {"3dnow", &CpuInfoRecord::has_3dnow},
        {"3dnowext", &CpuInfoRecord::has_3dnow_ext}, {"mmxext", &CpuInfoRecord::has_mmx_ext},
    };
    for (const auto& f : flags)
        EXPECT_EQ((" " + line + " ").find(std::string(" ") + f.name + " ") != std::string::npos,
                  CpuInfo.*f.field)
            << f.name << " in \"" << line << "\"";
}

// The processor's own answer to one query, asked here without DetectCpu.
// (Kept out of line: the image check allows the identification instruction
// in the functions named as detection code alone.)
__attribute__((noinline)) static void Ask(uint32_t query, uint32_t r[4])
{
    __cpuid(query, r[0], r[1], r[2], r[3]);
}

// The host's family and model as Linux derives them from query 1's EAX:
// the extended family added to a base family of 15, the extended model
// above the base model from family 6 on.
static int HostFamily(uint32_t eax)
{
    int family = (eax >> 8) & 15;
    return family == 15 ? family + (int)((eax >> 20) & 255) : family;
}

static int HostModel(uint32_t eax)
{
    int model = (eax >> 4) & 15;
    return HostFamily(eax) >= 6 ? model + (int)(((eax >> 16) & 15) << 4) : model;
}

// The record against the processor's own queries, field for field, and
// against the host's /proc/cpuinfo (which Wine shows on Z:) wherever that
// describes the same processor: the kernel decodes the flags itself. Under
// user-mode emulation, as the 32-bit suite runs here, the processor is the
// emulator's and the host's report describes another, so only the queries
// can hold. The name is never compared with the host's "model name", which
// on some virtual machines is the kernel's own text.
TEST_F(CpuInfoTest, DetectCpuAgreesWithTheProcessorAndTheHost)
{
    DetectCpu();
    EXPECT_EQ(1, CpuInfo.has_cpuid);
    uint32_t q0[4], q1[4], e0[4], e1[4] = {0, 0, 0, 0};
    Ask(0, q0);
    Ask(1, q1);
    Ask(0x80000000u, e0);
    char vendor[13] = {};
    memcpy(vendor, &q0[1], 4);
    memcpy(vendor + 4, &q0[3], 4);
    memcpy(vendor + 8, &q0[2], 4);
    EXPECT_STREQ(vendor, CpuInfo.vendor);
    EXPECT_EQ(q0[0], CpuInfo.max_std_query);
    EXPECT_EQ(e0[0], CpuInfo.max_ext_query);
    EXPECT_EQ(q1[0] & 0x3FFF, (uint32_t)(CpuInfo.cpu_type << 12 | CpuInfo.family << 8 |
                                          CpuInfo.model << 4 | CpuInfo.stepping));
    std::string flags;  // the processor's flags, named as /proc/cpuinfo names them
    const char* standard[32] = {"fpu", 0, 0, 0, "tsc", "msr", 0, 0, 0, 0, 0, 0, 0, 0, 0, "cmov",
                                0, 0, 0, 0, 0, 0, 0, "mmx", 0, "sse", "sse2"};
    for (int bit = 0; bit < 32; bit++)
        if (standard[bit] && (q1[3] >> bit & 1))
            flags += std::string(" ") + standard[bit];
    if (e0[0] >= 0x80000001u) {
        Ask(0x80000001u, e1);
        flags += (e1[3] >> 22 & 1) ? " mmxext" : "";
        flags += (e1[3] >> 30 & 1) ? " 3dnowext" : "";
        flags += (e1[3] >> 31 & 1) ? " 3dnow" : "";
    } else if (q1[3] >> 25 & 1) {
        flags += " mmxext";  // without the extended query, the extended MMX is SSE's
    }
    ExpectFlags(flags);
    char brand[49] = {};
    if (e0[0] >= 0x80000004u)
        for (uint32_t i = 0; i < 3; i++)
            Ask(0x80000002u + i, (uint32_t*)(brand + 16 * i));
    EXPECT_EQ(0, memcmp(brand, CpuInfo.brand, sizeof brand));

    FILE* f = fopen("Z:\\proc\\cpuinfo", "r");
    ASSERT_NE(nullptr, f);
    std::string host[5];  // vendor_id, cpu family, model, stepping, flags
    const char* keys[5] = {"vendor_id", "cpu family", "model", "stepping", "flags"};
    char line[8192];
    while (fgets(line, sizeof line, f) && line[0] != '\n')
        for (int k = 0; k < 5; k++)
            if (strchr(line, ':') && Trimmed(std::string(line, strchr(line, ':') - line)) == keys[k])
                host[k] = Trimmed(strchr(line, ':') + 1);
    fclose(f);
    if (host[0] != vendor || atoi(host[1].c_str()) != HostFamily(q1[0]) ||
        atoi(host[2].c_str()) != HostModel(q1[0]) || atoi(host[3].c_str()) != (int)(q1[0] & 15)) {
        printf("The host reports %s family %s model %s stepping %s, the processor %s \"%s\":\n"
               "an emulated processor, checked against its own queries only.\n",
               host[0].c_str(), host[1].c_str(), host[2].c_str(), host[3].c_str(), vendor,
               Trimmed(brand).c_str());
        return;
    }
    ExpectFlags(host[4]);
}

// Made-up processors: what each query answers. A query outside the
// processor's limits answers all ones, which would set every flag.
static const struct FakeCpu {
    int has_id;
    uint32_t max_std, eax1, edx1, max_ext, edx_ext1;
    int queries;              // how many queries DetectCpu may run
    const char* flags;        // the flags it must find, as /proc/cpuinfo names them
    int type_family_model_stepping;  // expected, as 0xTFMS
    const char* brand;
} *Fake, FakeCpus[] = {
    {0, 0, 0, 0, 0, 0, 0, "", 0, ""},  // no identification instruction
    {1, 0, 0, 0, 0, 0, 1, "", 0, ""},  // query 0 alone
    // No extended queries: the extended MMX flag follows SSE.
    {1, 1, 0x2673, 0x06800021, 0x80000000u, 0, 3, "fpu msr mmx sse sse2 mmxext", 0x2673, ""},
    // Query 0x80000001 replaces that flag; no name below query 0x80000004.
    {1, 1, 0xFFFFFFFF, 0x02008010, 0x80000003u, 0xC0000000u, 4, "tsc cmov sse 3dnow 3dnowext",
     0x3FFF, ""},
    {1, 1, 0, 0, 0x80000004u, 0x00400000, 7, "mmxext", 0,
     "  Fake(R) Processor 1 at 1.00GHz                "},
};
static int Queries;

static int FakeQuery(uint32_t query, uint32_t regs[4])
{
    if (!Fake->has_id)
        return 0;
    Queries++;
    memset(regs, 0xFF, 16);
    if (query == 0) {
        regs[0] = Fake->max_std;
        memcpy(&regs[1], "GenuntelineI", 12);  // EBX, ECX, EDX
    } else if (query == 1 && Fake->max_std >= 1) {
        regs[0] = Fake->eax1;
        regs[3] = Fake->edx1;
    } else if (query == 0x80000000u)
        regs[0] = Fake->max_ext;
    else if (query == 0x80000001u && Fake->max_ext >= query)
        regs[3] = Fake->edx_ext1;
    else if (query > 0x80000001u && query <= 0x80000004u && Fake->max_ext >= query)
        memcpy(regs, Fake->brand + 16 * (query - 0x80000002u), 16);
    return 1;
}

TEST_F(CpuInfoTest, DetectCpuTakesEachQueryOnlyWithinTheLimits)
{
    CpuQuery = FakeQuery;
    for (const FakeCpu& fake : FakeCpus) {
        SCOPED_TRACE(fake.flags);
        memset(&CpuInfo, 0, sizeof CpuInfo);
        Fake = &fake;
        Queries = 0;
        DetectCpu();
        EXPECT_EQ(fake.queries, Queries);
        EXPECT_EQ(fake.has_id, CpuInfo.has_cpuid);
        EXPECT_STREQ(fake.has_id ? "GenuineIntel" : "", CpuInfo.vendor);
        EXPECT_EQ(fake.type_family_model_stepping, CpuInfo.cpu_type << 12 | CpuInfo.family << 8 |
                                                       CpuInfo.model << 4 | CpuInfo.stepping);
        EXPECT_STREQ(fake.brand, CpuInfo.brand);
        ExpectFlags(fake.flags);
    }
}

// IsProcessorFeaturePresent as a system answers it: missing (Windows 95),
// or saying yes to the features in FeaturesPresent alone.
static FARPROC(WINAPI* RealGetProcAddress)(HMODULE, LPCSTR);
static int FeatureFunctionMissing;
static DWORD FeaturesPresent;  // bit n: feature n present
static BOOL WINAPI FakeFeatureQuery(DWORD feature)
{
    return feature < 32 && (FeaturesPresent >> feature & 1);
}
static FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name)
{
    if ((uintptr_t)name > 0xFFFF && strcmp(name, "IsProcessorFeaturePresent") == 0)
        return FeatureFunctionMissing ? nullptr : (FARPROC)(void*)FakeFeatureQuery;
    return RealGetProcAddress(module, name);
}

TEST_F(CpuInfoTest, DetectCpuTakesSseSupportFromTheSystemAlone)
{
    static const struct {
        int missing;
        DWORD present;
        int sse, sse2;
    } Systems[] = {
        {1, 0, 0, 0},
        {0, 0, 0, 0},
        {0, 1u << PF_XMMI_INSTRUCTIONS_AVAILABLE, 1, 0},
        {0, 1u << PF_XMMI64_INSTRUCTIONS_AVAILABLE, 0, 1},
        {0, 1u << PF_XMMI_INSTRUCTIONS_AVAILABLE | 1u << PF_XMMI64_INSTRUCTIONS_AVAILABLE, 1, 1},
    };
    DetectCpu();
    const CpuInfoRecord processor = CpuInfo;
    ASSERT_EQ(1, HookImport("kernel32.dll", "GetProcAddress", (void*)FakeGetProcAddress,
                            (void**)&RealGetProcAddress));
    for (const auto& system : Systems) {
        FeatureFunctionMissing = system.missing;
        FeaturesPresent = system.present;
        CpuSystem = {-1, -1};
        DetectCpu();
        EXPECT_EQ(system.sse, CpuSystem.sse) << "missing " << system.missing << ", 0x" << std::hex
                                             << system.present;
        EXPECT_EQ(system.sse2, CpuSystem.sse2) << "missing " << system.missing << ", 0x"
                                               << std::hex << system.present;
        // The processor's own report does not change with the system.
        EXPECT_EQ(0, memcmp(&processor, &CpuInfo, sizeof CpuInfo));
    }
    RestoreImport((void*)FakeGetProcAddress, (void*)RealGetProcAddress);
}

// A millisecond clock that advances in steps of 60 ms, coarser than the
// platform's on any system.
static DWORD(WINAPI* RealTimeGetTime)();
static DWORD WINAPI CoarseTimeGetTime()
{
    return RealTimeGetTime() / 60 * 60;
}

static double Seconds()
{
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}

// The time-stamp counter, read here without MeasureCpuClock (out of line, as Ask).
__attribute__((noinline)) static uint64_t ReadCounter()
{
    return __rdtsc();
}

// The counter's rate comes independently from the performance counter. The
// platform clock is made coarse, so that a rate divided by a fixed 500 ms, or
// timed from the middle of a tick, reads several percent high.
TEST_F(CpuInfoTest, MeasureCpuClockBlocksHalfASecondAndReadsTheCounterRate)
{
    double start = Seconds();
    MeasureCpuClock();  // no counter: at once, nothing stored
    EXPECT_LT(Seconds() - start, 0.1);
    EXPECT_EQ(0, CpuInfo.clock_mhz);

    DetectCpu();
    ASSERT_EQ(1, CpuInfo.has_tsc);
    start = Seconds();
    uint64_t first = ReadCounter();
    Sleep(300);
    double expected = (double)(ReadCounter() - first) / (Seconds() - start) / 1e6;
    ASSERT_EQ(1, HookImport("winmm.dll", "timeGetTime", (void*)CoarseTimeGetTime,
                            (void**)&RealTimeGetTime));
    uint32_t ms = GetTimeMs();
    start = Seconds();
    MeasureCpuClock();
    double blocked = Seconds() - start;
    ms = GetTimeMs() - ms;
    RestoreImport((void*)CoarseTimeGetTime, (void*)RealTimeGetTime);
    EXPECT_GE(blocked, 0.499);
    EXPECT_GE(ms, 500u);
    EXPECT_NEAR(expected, CpuInfo.clock_mhz, expected * 0.02);
}
