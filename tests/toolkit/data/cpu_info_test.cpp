#include "toolkit/data/cpu_info.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <x86intrin.h>

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"

// Keeps CpuInfo and the query in place around each test, which starts from a
// zero record.
class CpuInfoTest : public testing::Test {
protected:
    void SetUp() override { memset(&CpuInfo, 0, sizeof CpuInfo); }
    void TearDown() override
    {
        CpuInfo = saved_;
        CpuQuery = RunCpuQuery;
    }

private:
    CpuInfoRecord saved_ = CpuInfo;
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

// The first processor of the host's /proc/cpuinfo, which Wine shows on Z:.
TEST_F(CpuInfoTest, DetectCpuAgreesWithTheHost)
{
    FILE* f = fopen("Z:\\proc\\cpuinfo", "r");
    ASSERT_NE(nullptr, f);
    std::string host[6];  // vendor_id, cpu family, model, stepping, model name, flags
    const char* keys[6] = {"vendor_id", "cpu family", "model", "stepping", "model name", "flags"};
    char line[8192];
    while (fgets(line, sizeof line, f) && line[0] != '\n')
        for (int k = 0; k < 6; k++)
            if (strchr(line, ':') && Trimmed(std::string(line, strchr(line, ':') - line)) == keys[k])
                host[k] = Trimmed(strchr(line, ':') + 1);
    fclose(f);
    DetectCpu();
    EXPECT_EQ(1, CpuInfo.has_cpuid);
    EXPECT_EQ(host[0], CpuInfo.vendor);
    // The base fields alone: families from 15 on and models from 16 on carry
    // extended fields that the record leaves out.
    EXPECT_EQ(std::min(atoi(host[1].c_str()), 15), CpuInfo.family);
    EXPECT_EQ(atoi(host[2].c_str()) & 15, CpuInfo.model);
    EXPECT_EQ(atoi(host[3].c_str()), CpuInfo.stepping);
    EXPECT_EQ(host[4], Trimmed(CpuInfo.brand));
    ExpectFlags(host[5]);
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
    uint64_t first = __rdtsc();
    Sleep(300);
    double expected = (double)(__rdtsc() - first) / (Seconds() - start) / 1e6;
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
