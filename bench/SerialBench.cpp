// The serial update side by side with the floor of this machine: karvel-sim on
// a pseudo-terminal with zero flash write time; first our session writes a
// 2 MiB image through the bundled VISA library, then karvel-bench-floor makes
// the same exchanges directly on the same pseudo-terminal. Three rounds each;
// the best of each is reported.

#include "BenchSupport.h"

#include "CVisaLibrary.h"
#include "KarvelBase/CModuleImageContainer.h"
#include "KarvelBase/CWaitClock.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

pid_t Spawn(const std::vector<std::string> &argv, const std::string &output)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!output.empty()) {
            freopen(output.c_str(), "w", stdout);
            freopen(output.c_str(), "w", stderr);
        }
        std::vector<char *> args;
        for (const auto &arg : argv)
            args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

} // namespace

int main()
{
    const std::string bin = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    const std::string dir = MakeTempDir();
    const std::string pty = dir + "/pty";
    const std::string scenario =
        WriteFile(dir + "/s.json",
                  R"J({"mainframe": {"model": "7353A"}, "slots": [{"slot": 1, "product": "73491A", "kind": "TQ"}]})J");
    const pid_t sim = Spawn({bin + "/karvel-sim", "--scenario", scenario, "--pty", pty}, dir + "/sim.out");
    for (int i = 0; i < 500 && !std::filesystem::exists(pty); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    setenv("KARVEL_VISA_CONF", WriteFile(dir + "/visa.conf", "ASRL1::INSTR serial:" + pty + "\n").c_str(), 1);
    setenv("KARVEL_WAIT_SCALE", "0", 1);
    CProductAdministrator::InitTables();

    const std::size_t size = 2 * 1024 * 1024;
    const std::string imagePath = WriteFile(dir + "/tq.bin", MakeTarquellImage(size));
    CModuleImageContainer image(imagePath, ModType_TQ, ModImageType_Firmware);
    image.Load();
    const double blocks = static_cast<double>((size + 8) / 64);

    SCost tool{1e9, 1e9}, floor{1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        const SCost measured = TimeUpdateRound(image);
        tool.wallSeconds = std::min(tool.wallSeconds, measured.wallSeconds);
        tool.cpuSeconds = std::min(tool.cpuSeconds, measured.cpuSeconds);
        const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
        const auto wall0 = std::chrono::steady_clock::now();
        const pid_t child = Spawn({bin + "/karvel-bench-floor", pty, imagePath, "1"}, "");
        int status = 0;
        waitpid(child, &status, 0);
        floor.wallSeconds = std::min(floor.wallSeconds,
                                     std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count());
        floor.cpuSeconds = std::min(floor.cpuSeconds, CpuSeconds(RUSAGE_CHILDREN) - cpu0);
        if (status != 0)
            std::fprintf(stderr, "floor program failed (%d)\n", status);
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);

    std::printf("serial update of a 2 MiB image over a pseudo-terminal: %.0f blocks\n", blocks);
    std::printf("  karvel (session + bundled VISA): wall %.3f s (%.1f us/block), cpu %.3f s (%.1f us/block)\n",
                tool.wallSeconds, tool.wallSeconds / blocks * 1e6, tool.cpuSeconds, tool.cpuSeconds / blocks * 1e6);
    std::printf("  floor (direct on the pty):       wall %.3f s (%.1f us/block), cpu %.3f s (%.1f us/block)\n",
                floor.wallSeconds, floor.wallSeconds / blocks * 1e6, floor.cpuSeconds, floor.cpuSeconds / blocks * 1e6);
    std::printf("  ratios karvel/floor: wall %.2fx, cpu %.2fx\n", tool.wallSeconds / floor.wallSeconds,
                tool.cpuSeconds / floor.cpuSeconds);
    std::filesystem::remove_all(dir);
    return 0;
}
