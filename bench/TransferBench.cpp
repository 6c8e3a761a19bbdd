// The cost of a 2 MiB firmware transfer (32768 blocks) on our side, against
// the in-process simulated mainframe: blocks per second, CPU time per block
// and peak memory. The protocol waits are skipped (a clock that does not sleep).

#include "BenchSupport.h"

#include "CVisaLibrary.h"
#include "KarvelBase/CModuleImageContainer.h"
#include "KarvelBase/CWaitClock.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

class CNoWaitClock : public CWaitClock
{
public:
    void Wait(int) override {}
};

} // namespace

int main()
{
    const std::string dir = MakeTempDir();
    const std::string scenario =
        WriteFile(dir + "/s.json",
                  R"J({"mainframe": {"model": "7353A"}, "slots": [{"slot": 1, "product": "73491A", "kind": "TQ"}]})J");
    setenv("KARVEL_VISA_CONF", WriteFile(dir + "/visa.conf", "ASRL1::INSTR sim:" + scenario + "\n").c_str(), 1);
    CNoWaitClock clock;
    CWaitClock::Install(&clock);
    CProductAdministrator::InitTables();
    if (!CVisaLibrary::Instance().IsLoaded()) {
        std::fprintf(stderr, "%s\n", CVisaLibrary::Instance().LoadError().c_str());
        return 1;
    }
    const std::size_t size = 2 * 1024 * 1024;
    CModuleImageContainer image(WriteFile(dir + "/tq.bin", MakeTarquellImage(size)), ModType_TQ, ModImageType_Firmware);
    image.Load();
    const long rssBefore = PeakRssKiB();

    double bestWall = 1e9, bestCpu = 1e9;
    for (int round = 0; round < 3; ++round) {
        const SCost cost = TimeUpdateRound(image);
        bestWall = std::min(bestWall, cost.wallSeconds);
        bestCpu = std::min(bestCpu, cost.cpuSeconds);
    }
    const double blocks = static_cast<double>((size + 8) / 64);
    std::printf("in-process transfer of a 2 MiB image: %.0f blocks\n", blocks);
    std::printf("  wall %.3f s, %.0f blocks/s, %.2f us per block\n", bestWall, blocks / bestWall,
                bestWall / blocks * 1e6);
    std::printf("  cpu  %.3f s, %.2f us per block (tool, VISA library and simulator together)\n", bestCpu,
                bestCpu / blocks * 1e6);
    std::printf("  peak memory %ld KiB (%ld KiB before the transfers)\n", PeakRssKiB(), rssBefore);
    std::filesystem::remove_all(dir);
    return 0;
}
