// Expression benchmark, in one run: evaluations per second of EvalExpr for
// short texts, long flat texts and nested groups, each against the tests'
// direct reference evaluator (no nodes, no text substitution) as a ratio;
// the share of EvalExpr's time that goes to GlobalAlloc and GlobalFree (one
// block per node); and WrapIndex on values far from the range against a
// loop of additions and subtractions.
#include <stdio.h>
#include <intrin.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "tests/support/import_hook.h"
#include "tests/toolkit/data/expr_reference.h"
#include "toolkit/data/expression.h"
#include "toolkit/data/int_math.h"

static volatile int Sink;

static double Seconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// Calls of body per second: the rounds double until one takes 0.3 s.
template <typename Body>
static double Rate(Body body)
{
    for (long rounds = 16;; rounds *= 2) {
        double start = Seconds();
        for (long i = 0; i < rounds; i++)
            body(i);
        double took = Seconds() - start;
        if (took >= 0.3)
            return rounds / took;
    }
}

// GlobalAlloc and GlobalFree through the import table, counted, with the
// processor's time-stamp ticks spent inside them.
static long Allocs, Frees;
static unsigned long long AllocTicks;
static HGLOBAL(WINAPI* RealGlobalAlloc)(UINT, SIZE_T);
static HGLOBAL(WINAPI* RealGlobalFree)(HGLOBAL);
static HGLOBAL WINAPI TimedGlobalAlloc(UINT flags, SIZE_T size)
{
    unsigned long long start = __rdtsc();
    HGLOBAL block = RealGlobalAlloc(flags, size);
    AllocTicks += __rdtsc() - start;
    Allocs++;
    return block;
}
static HGLOBAL WINAPI TimedGlobalFree(HGLOBAL block)
{
    unsigned long long start = __rdtsc();
    HGLOBAL rc = RealGlobalFree(block);
    AllocTicks += __rdtsc() - start;
    Frees++;
    return rc;
}

// Runs EvalExpr on text rounds times with the calls timed; returns the share
// of the run's ticks spent in GlobalAlloc and GlobalFree, and the blocks
// one evaluation allocates in *nodes.
static double AllocShare(const char* text, long rounds, long* nodes)
{
    Allocs = Frees = 0;
    AllocTicks = 0;
    if (!HookImport("kernel32.dll", "GlobalAlloc", (void*)TimedGlobalAlloc, (void**)&RealGlobalAlloc) ||
        !HookImport("kernel32.dll", "GlobalFree", (void*)TimedGlobalFree, (void**)&RealGlobalFree)) {
        printf("the import hook failed\n");
        return 0;
    }
    unsigned long long start = __rdtsc();
    for (long i = 0; i < rounds; i++)
        Sink = EvalExpr(text);
    unsigned long long total = __rdtsc() - start;
    RestoreImport((void*)TimedGlobalAlloc, (void*)RealGlobalAlloc);
    RestoreImport((void*)TimedGlobalFree, (void*)RealGlobalFree);
    if (Allocs != Frees)
        printf("  (%ld allocations but %ld frees)\n", Allocs, Frees);
    *nodes = Allocs / rounds;
    return (double)AllocTicks / (double)total;
}

static void Measure(const char* name, const std::string& text)
{
    const char* t = text.c_str();
    if (EvalExpr(t) != RefEval(t))
        printf("  %s: the evaluators disagree (%d, %d)\n", name, EvalExpr(t), RefEval(t));
    double toolkit = Rate([t](long) { Sink = EvalExpr(t); });
    double reference = Rate([t](long) { Sink = RefEval(t); });
    long nodes = 0;
    double alloc_share = AllocShare(t, (long)(toolkit / 5) + 1, &nodes);
    printf("  %-26s %6u bytes %5ld nodes  EvalExpr %10.0f/s  reference %11.0f/s  ratio %.3f"
           "  GlobalAlloc+GlobalFree %2.0f%%\n",
           name, (unsigned)text.size(), nodes, toolkit, reference, toolkit / reference,
           100 * alloc_share);
}

// The modulo by repeated addition and subtraction, positive moduli only; the
// empty asm keeps the compiler from turning the loops into a division.
static int WrapByLoop(int v, int m)
{
    while (v < 0) {
        v += m;
        __asm__ __volatile__("" : "+r"(v));
    }
    while (v >= m) {
        v -= m;
        __asm__ __volatile__("" : "+r"(v));
    }
    return v;
}

static void MeasureWrap(int steps)
{
    const int m = 1000;
    int base = steps * m;
    double direct = Rate([base](long i) { Sink = WrapIndex(base + (int)(i & 1023), m); });
    double loop = Rate([base](long i) { Sink = WrapByLoop(base + (int)(i & 1023), m); });
    printf("  value %11d, modulus %d: WrapIndex %11.0f/s  loop %11.0f/s  ratio %.0f\n", base, m,
           direct, loop, direct / loop);
}

int main()
{
    std::string flat = "7";
    for (int i = 1; i < 200; i++)
        flat += std::string(1, "+-*+/"[i % 5]) + std::to_string(i % 97 + 1);
    std::string deep = "1";
    for (int i = 0; i < 16; i++)
        deep = "[" + deep + "+" + std::to_string(i) + "]*2";

    printf("Evaluations per second; ratio = EvalExpr / direct reference evaluator.\n"
           "The last column is the share of EvalExpr's time spent in GlobalAlloc and\n"
           "GlobalFree (one block per node), timed inside the calls.\n");
    Measure("short 1+2*3", "1+2*3");
    Measure("flat, 200 terms", flat);
    Measure("nested [[[1+2]*3]-4]", "[[[1+2]*3]-4]");
    Measure("nested, 16 levels", deep);
    printf("WrapIndex on values far from the range, against the loop of additions\n"
           "(ratio = WrapIndex / loop):\n");
    MeasureWrap(1000);
    MeasureWrap(100000);
    return 0;
}
