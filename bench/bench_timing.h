#pragma once
// Timing for the benchmarks: seconds from the performance counter, and the
// time of one run of some work. Benchmarks take the best of several rounds,
// interleaving the contenders, since the best is the figure least disturbed
// by other load on the machine.

#include <windows.h>

inline double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}

// Runs work once and keeps the shorter of its time and *best.
template <class Work>
void KeepBest(double* best, Work work)
{
    double start = Now();
    work();
    double seconds = Now() - start;
    if (*best <= 0 || seconds < *best)
        *best = seconds;
}
