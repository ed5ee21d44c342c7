#include "toolkit/data/cpu_info.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <x86intrin.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"

// Keeps CpuInfo and the query in place around a test.
class CpuInfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = CpuInfo;
        memset(&CpuInfo, 0, sizeof CpuInfo);
    }
    void TearDown() override
    {
        CpuInfo = saved_;
        CpuQuery = RunCpuQuery;
    }

private:
    CpuInfoRecord saved_;
};

// The first processor of the host's /proc/cpuinfo, which Wine shows as Z:.
struct HostCpu {
    std::string vendor, name, flags;
    int family = -1, model = -1, stepping = -1;
    bool Has(const char* flag) const
    {
        return (" " + flags + " ").find(std::string(" ") + flag + " ") != std::string::npos;
    }
};

static std::string Trimmed(std::string s)
{
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t\n") + 1);
    return s;
}

static bool ReadHostCpu(HostCpu* cpu)
{
    FILE* f = fopen("Z:\\proc\\cpuinfo", "r");
    if (!f)
        return false;
    char line[8192];
    while (fgets(line, sizeof line, f) && line[0] != '\n') {
        const char* colon = strchr(line, ':');
        if (!colon)
            continue;
        std::string key = Trimmed(std::string(line, colon - line));
        std::string value = Trimmed(colon + 1);
        if (key == "vendor_id")
            cpu->vendor = value;
        else if (key == "model name")
            cpu->name = value;
        else if (key == "flags")
            cpu->flags = value;
        else if (key == "cpu family")
            cpu->family = atoi(value.c_str());
        else if (key == "model")
            cpu->model = atoi(value.c_str());
        else if (key == "stepping")
            cpu->stepping = atoi(value.c_str());
    }
    fclose(f);
    return cpu->family >= 0 && !cpu->flags.empty();
}

TEST_F(CpuInfoTest, DetectCpuAgreesWithTheHost)
{
    HostCpu host;
    ASSERT_TRUE(ReadHostCpu(&host)) << "Z:\\proc\\cpuinfo unreadable";
    DetectCpu();
    EXPECT_EQ(1, CpuInfo.has_cpuid);
    EXPECT_EQ(host.vendor, CpuInfo.vendor);
    // The base fields: families from 15 on and models from 16 on carry
    // extended fields that the record leaves out.
    EXPECT_EQ(host.family < 15 ? host.family : 15, CpuInfo.family);
    EXPECT_EQ(host.model & 15, CpuInfo.model);
    EXPECT_EQ(host.stepping, CpuInfo.stepping);
    if (CpuInfo.max_ext_query >= 0x80000004u) {
        EXPECT_EQ(host.name, Trimmed(CpuInfo.brand));
    }
    const struct {
        const char* flag;
        int32_t CpuInfoRecord::*field;
    } flags[] = {
        {"fpu", &CpuInfoRecord::has_fpu},   {"tsc", &CpuInfoRecord::has_tsc},
        {"msr", &CpuInfoRecord::has_msr},   {"cmov", &CpuInfoRecord::has_cmov},
        {"mmx", &CpuInfoRecord::has_mmx},   {"sse", &CpuInfoRecord::has_sse},
        {"sse2", &CpuInfoRecord::has_sse2}, {"3dnow", &CpuInfoRecord::has_3dnow},
        {"3dnowext", &CpuInfoRecord::has_3dnow_ext}, {"mmxext", &CpuInfoRecord::has_mmx_ext},
    };
    for (const auto& f : flags)
        EXPECT_EQ(host.Has(f.flag) ? 1 : 0, CpuInfo.*f.field) << f.flag;
}

// A processor made up for DetectCpu: what each query answers. A query
// outside the processor's limits answers all ones, which would set every
// flag, so that a query run where it must not be shows.
struct FakeCpu {
    int has_id;
    uint32_t max_std, eax1, edx1, max_ext, edx_ext1;
};
static const FakeCpu* Fake;
static std::vector<uint32_t> Asked;
static const char FakeBrand[49] = "  Fake(R) Processor 1 at 1.00GHz               ";

static int FakeQuery(uint32_t query, uint32_t regs[4])
{
    if (!Fake->has_id)
        return 0;
    Asked.push_back(query);
    memset(regs, 0xFF, 16);
    if (query == 0) {
        regs[0] = Fake->max_std;
        memcpy(&regs[1], "Genu", 4);  // EBX, EDX, ECX spell the vendor
        memcpy(&regs[3], "ineI", 4);
        memcpy(&regs[2], "ntel", 4);
    } else if (query == 1 && Fake->max_std >= 1) {
        regs[0] = Fake->eax1;
        regs[3] = Fake->edx1;
    } else if (query == 0x80000000u) {
        regs[0] = Fake->max_ext;
    } else if (query == 0x80000001u && Fake->max_ext >= query) {
        regs[3] = Fake->edx_ext1;
    } else if (query >= 0x80000002u && query <= 0x80000004u && Fake->max_ext >= query) {
        memcpy(regs, FakeBrand + 16 * (query - 0x80000002u), 16);
    }
    return 1;
}

static void DetectFake(const FakeCpu& fake)
{
    Fake = &fake;
    Asked.clear();
    CpuQuery = FakeQuery;
    DetectCpu();
}

static const uint32_t SseBit = 1u << 25;

TEST_F(CpuInfoTest, NoIdentificationInstructionLeavesTheRecord)
{
    CpuInfo.clock_mhz = 777;
    CpuInfoRecord before = CpuInfo;
    DetectFake({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(0, memcmp(&before, &CpuInfo, sizeof CpuInfo));
}

TEST_F(CpuInfoTest, OnlyQueryZeroGivesTheVendorAlone)
{
    DetectFake({1, 0, 0, 0, 0, 0});
    EXPECT_EQ(std::vector<uint32_t>{0}, Asked);
    EXPECT_EQ(1, CpuInfo.has_cpuid);
    EXPECT_STREQ("GenuineIntel", CpuInfo.vendor);
    EXPECT_EQ(0, CpuInfo.has_fpu + CpuInfo.has_sse + CpuInfo.has_mmx + CpuInfo.family);
}

TEST_F(CpuInfoTest, WithoutExtendedQueriesMmxExtFollowsSse)
{
    DetectFake({1, 1, 0x00002673, SseBit, 0x80000000u, 0});
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 0x80000000u}), Asked);
    EXPECT_EQ(2, CpuInfo.cpu_type);
    EXPECT_EQ(6, CpuInfo.family);
    EXPECT_EQ(7, CpuInfo.model);
    EXPECT_EQ(3, CpuInfo.stepping);
    EXPECT_EQ(1, CpuInfo.has_sse);
    EXPECT_EQ(1, CpuInfo.has_mmx_ext);
    EXPECT_EQ(0, CpuInfo.has_3dnow + CpuInfo.has_3dnow_ext);
    EXPECT_EQ(0x80000000u, CpuInfo.max_ext_query);
}

TEST_F(CpuInfoTest, ExtendedQueryReplacesMmxExt)
{
    // SSE without the extended MMX bit: has_mmx_ext takes the extended
    // query alone. No name queries below 0x80000004.
    DetectFake({1, 1, 0xFFFFFFFF, SseBit, 0x80000003u, 3u << 30});
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 0x80000000u, 0x80000001u}), Asked);
    EXPECT_EQ(3, CpuInfo.cpu_type);
    EXPECT_EQ(15, CpuInfo.family);
    EXPECT_EQ(15, CpuInfo.model);
    EXPECT_EQ(15, CpuInfo.stepping);
    EXPECT_EQ(1, CpuInfo.has_sse);
    EXPECT_EQ(0, CpuInfo.has_mmx_ext);
    EXPECT_EQ(1, CpuInfo.has_3dnow);
    EXPECT_EQ(1, CpuInfo.has_3dnow_ext);
    EXPECT_STREQ("", CpuInfo.brand);

    DetectFake({1, 1, 0, 0, 0x80000004u, 1u << 22});
    EXPECT_EQ(1, CpuInfo.has_mmx_ext);
    EXPECT_EQ(0, CpuInfo.has_sse);
    EXPECT_STREQ(FakeBrand, CpuInfo.brand);
}

// Each flag comes from its own bit and no other.
TEST_F(CpuInfoTest, EachFlagTakesItsBit)
{
    typedef int32_t CpuInfoRecord::*Field;
    const Field all[] = {&CpuInfoRecord::has_fpu,     &CpuInfoRecord::has_tsc,
                         &CpuInfoRecord::has_msr,     &CpuInfoRecord::has_cmov,
                         &CpuInfoRecord::has_mmx,     &CpuInfoRecord::has_3dnow,
                         &CpuInfoRecord::has_mmx_ext, &CpuInfoRecord::has_sse,
                         &CpuInfoRecord::has_3dnow_ext, &CpuInfoRecord::has_sse2};
    const struct {
        uint32_t edx1, edx_ext1;
        Field set;
    } rows[] = {
        {1u << 0, 0, &CpuInfoRecord::has_fpu},         {1u << 4, 0, &CpuInfoRecord::has_tsc},
        {1u << 5, 0, &CpuInfoRecord::has_msr},         {1u << 15, 0, &CpuInfoRecord::has_cmov},
        {1u << 23, 0, &CpuInfoRecord::has_mmx},        {1u << 25, 0, &CpuInfoRecord::has_sse},
        {1u << 26, 0, &CpuInfoRecord::has_sse2},       {0, 1u << 22, &CpuInfoRecord::has_mmx_ext},
        {0, 1u << 30, &CpuInfoRecord::has_3dnow_ext},  {0, 1u << 31, &CpuInfoRecord::has_3dnow},
    };
    for (const auto& row : rows) {
        memset(&CpuInfo, 0, sizeof CpuInfo);
        DetectFake({1, 1, 0, row.edx1, 0x80000001u, row.edx_ext1});
        for (Field f : all)
            EXPECT_EQ(f == row.set ? 1 : 0, CpuInfo.*f)
                << "query 1 EDX " << std::hex << row.edx1 << ", extended EDX " << row.edx_ext1;
    }
}

// The time-stamp counter's rate measured against the performance counter,
// independently of the platform's millisecond clock.
static double IndependentTscMhz()
{
    LARGE_INTEGER frequency, a, b;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&a);
    uint64_t first = __rdtsc();
    Sleep(300);
    QueryPerformanceCounter(&b);
    uint64_t last = __rdtsc();
    double seconds = (double)(b.QuadPart - a.QuadPart) / (double)frequency.QuadPart;
    return (double)(last - first) / seconds / 1e6;
}

static double Seconds()
{
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}

// A millisecond clock that advances in steps of 60 ms, as coarse as the
// platform's is on some systems.
static DWORD(WINAPI* RealTimeGetTime)();
static DWORD WINAPI CoarseTimeGetTime()
{
    return RealTimeGetTime() / 60 * 60;
}

TEST_F(CpuInfoTest, MeasureCpuClockBlocksHalfASecondAndReadsTheCounterRate)
{
    DetectCpu();
    ASSERT_EQ(1, CpuInfo.has_tsc);
    double expected = IndependentTscMhz();
    for (int coarse = 0; coarse < 2; coarse++) {
        if (coarse) {
            ASSERT_EQ(1, HookImport("winmm.dll", "timeGetTime", (void*)CoarseTimeGetTime,
                                    (void**)&RealTimeGetTime));
        }
        CpuInfo.clock_mhz = 0;
        uint32_t ms = GetTimeMs();
        double start = Seconds();
        MeasureCpuClock();
        double blocked = Seconds() - start;
        ms = GetTimeMs() - ms;
        if (coarse)
            RestoreImport((void*)CoarseTimeGetTime, (void*)RealTimeGetTime);
        EXPECT_GE(blocked, 0.499) << "coarse clock " << coarse;
        EXPECT_GE(ms, 500u) << "coarse clock " << coarse;
        EXPECT_NEAR(expected, CpuInfo.clock_mhz, expected * 0.02) << "coarse clock " << coarse;
    }
}

TEST_F(CpuInfoTest, MeasureCpuClockWithoutCounterDoesNothing)
{
    CpuInfo.clock_mhz = 0;
    double start = Seconds();
    MeasureCpuClock();
    EXPECT_LT(Seconds() - start, 0.1);
    EXPECT_EQ(0, CpuInfo.clock_mhz);
}
