#pragma once
// Small helpers shared by the benchmark programs.

#include <chrono>
#include <string>
#include <sys/resource.h>

struct SCost
{
    double wallSeconds = 0;
    double cpuSeconds = 0;
};

inline double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline long PeakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class CModuleImageContainer;

// One round: opens a session on ASRL1::INSTR, then times the firmware update
// of slot 1 with the image (the opening is not timed).
SCost TimeUpdateRound(CModuleImageContainer &image);

// A firmware image of a Tarquell module (2 MiB, the largest image there is).
std::string MakeTarquellImage(std::size_t size);
std::string MakeTempDir();
std::string WriteFile(const std::string &path, const std::string &bytes);
