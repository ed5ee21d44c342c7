#pragma once
// The emulator that runs the 32-bit suite on older processors refuses the
// store fence (sfence, 0F AE F8) on a processor model without SSE, but AMD's
// MMX extensions include it, and the first Athlons have them without SSE: the
// streaming tiers rely on that. Where the processor reports the MMX
// extensions, this handler steps over a store fence refused as illegal, as
// such a processor runs it (on one thread the fence changes no result); any
// other illegal instruction still ends the program. Including this header
// installs it once in the program.

#include <stdint.h>
#include <windows.h>

#include "toolkit/data/cpu_info.h"

#ifndef _WIN64
inline LONG WINAPI StepOverRefusedFence(EXCEPTION_POINTERS* info)
{
    const unsigned char* at = (const unsigned char*)info->ExceptionRecord->ExceptionAddress;
    uint32_t ext[4];
    if (info->ExceptionRecord->ExceptionCode == STATUS_ILLEGAL_INSTRUCTION && at[0] == 0x0F &&
        at[1] == 0xAE && at[2] == 0xF8 && RunCpuQuery(0x80000000u, ext) &&
        ext[0] >= 0x80000001u && RunCpuQuery(0x80000001u, ext) && (ext[3] >> 22 & 1)) {
        info->ContextRecord->Eip += 3;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}
inline void* const RefusedFenceHandler = AddVectoredExceptionHandler(1, StepOverRefusedFence);
#endif
