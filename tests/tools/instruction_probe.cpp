// Never run: the image check's own test reads it. Each Refused* function
// holds one instruction that the check must refuse, written as objdump shows
// it with its prefixes; Detect holds the two that only the functions named as
// detection code may hold; Plain holds 486 instructions that look alike, and
// a long NOP behind a jump, where padding lies that never runs.
extern "C" {
#define PROBE(name, code) \
    __attribute__((noinline, used)) void name() { __asm__ volatile(code); }
PROBE(RefusedCsCmov, ".byte 0x2e\n\tcmovne %edx, %eax")
PROBE(RefusedLockCmpxchg8b, "lock cmpxchg8b (%esi)")
PROBE(RefusedCmpxchg8b, "cmpxchg8b (%esi)")
PROBE(RefusedLongNop, ".byte 0x0f, 0x1f, 0x40, 0x00")
PROBE(RefusedDataLongNop, ".byte 0x66, 0x0f, 0x1f, 0x44, 0x00, 0x00")
PROBE(RefusedRdtsc, "rdtsc")
PROBE(RefusedCpuid, "cpuid")
PROBE(Detect, "cpuid\n\trdtsc")
PROBE(Plain, "lock cmpxchg %ecx, (%esi)\n\tbswap %eax\n\tlock xadd %eax, (%esi)\n\t"
             "rep movsl\n\t.byte 0x8d, 0x74, 0x26, 0x00\n\txchg %ax, %ax\n\t"
             "jmp 1f\n\t.byte 0x0f, 0x1f, 0x40, 0x00\n1:")  // padding that never runs
}

int main()
{
    return 0;
}
