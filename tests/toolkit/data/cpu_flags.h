#pragma once
// Forces the code paths of the copies and pixel routines on this machine's
// processor: sets CpuInfo's path flags by hand for the life of the object,
// then puts the whole record back.

#include "toolkit/data/cpu_info.h"

struct PathFlags {
    int sse2, sse, three_dnow_ext, mmx, three_dnow;
};

class ForcedPath {
public:
    explicit ForcedPath(const PathFlags& flags) : saved_(CpuInfo)
    {
        CpuInfo.has_sse2 = flags.sse2;
        CpuInfo.has_sse = flags.sse;
        CpuInfo.has_3dnow_ext = flags.three_dnow_ext;
        CpuInfo.has_mmx = flags.mmx;
        CpuInfo.has_3dnow = flags.three_dnow;
    }
    ~ForcedPath() { CpuInfo = saved_; }

private:
    CpuInfoRecord saved_;
};
