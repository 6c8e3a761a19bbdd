// karvel-sim: a simulated 735x mainframe on a pseudo-terminal or a loopback
// TCP port, and a generator of demo images.

#include "CSimImageMaker.h"
#include "CSimMainframe.h"
#include "CSimServer.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <fstream>
#include <iostream>

namespace {

std::atomic<bool> gStop{false};

void OnSignal(int)
{
    gStop = true;
}

void InstallSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int MakeImage(const std::string &kind, const std::string &product, std::size_t size, const std::string &revision,
              const std::string &out)
{
    const std::string image = product.empty() ? sim::CSimImageMaker::Firmware(kind, size, revision)
                                              : sim::CSimImageMaker::Caldata(product, size);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(image.data(), static_cast<std::streamsize>(image.size()));
    file.close();
    if (!file) {
        std::cerr << "karvel-sim: cannot write " << out << "\n";
        return 1;
    }
    std::cout << out << ": " << image.size() << " bytes\n";
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"karvel-sim: a simulated 735x mainframe for rehearsals and tests"};
    std::string scenarioFile, ptyPath, logFile, flashDir, captureFile;
    int tcpPort = -1;
    app.add_option("--scenario", scenarioFile, "scenario file (JSON)")->check(CLI::ExistingFile);
    auto *pty = app.add_option("--pty", ptyPath, "create a pseudo-terminal and link its device here");
    auto *tcp = app.add_option("--tcp", tcpPort, "listen on this loopback TCP port (0: any free port)")
                    ->check(CLI::Range(0, 65535));
    pty->excludes(tcp);
    app.add_option("--log", logFile, "event log: every message and reply as JSON lines");
    app.add_option("--flash-dir", flashDir, "write flash contents per slot and area into this folder");
    app.add_option("--capture", captureFile, "write every byte received into this file");

    auto *make = app.add_subcommand("make-image", "write a firmware or caldata image");
    std::string kind, product, revision = "V9.99(999)", out;
    std::size_t size = 65536;
    make->add_option("--kind", kind,
                     "module kind of a firmware image (FLS, TLS, QD, QD2, PM, FPM, RLL, DFB, ATT, SW, TQ)");
    make->add_option("--caldata", product, "product identifier of a caldata image (e.g. 73591B)");
    make->add_option("--size", size, "image size in bytes")->check(CLI::PositiveNumber);
    make->add_option("--revision", revision, "firmware revision written after the stamp");
    make->add_option("--out", out, "image file to write")->required();

    CLI11_PARSE(app, argc, argv);
    try {
        if (*make) {
            if (kind.empty() == product.empty())
                throw CLI::ValidationError("make-image", "give either --kind or --caldata");
            return MakeImage(kind, product, size, revision, out);
        }
        if (scenarioFile.empty() || (ptyPath.empty() && tcpPort < 0))
            throw CLI::ValidationError("karvel-sim", "--scenario and one of --pty or --tcp are required");
        sim::SSimScenario scenario = sim::SSimScenario::Load(scenarioFile);
        if (!logFile.empty())
            scenario.eventLog = logFile;
        if (!flashDir.empty())
            scenario.flashDir = flashDir;
        if (!captureFile.empty())
            scenario.capture = captureFile;
        sim::CSimMainframe mainframe(scenario);
        CSimServer server(mainframe);
        InstallSignals();
        if (!ptyPath.empty()) {
            server.OpenPty(ptyPath);
            std::cout << "karvel-sim: " << scenario.model << " ready on " << ptyPath << std::endl;
        } else {
            const int port = server.ListenTcp(tcpPort);
            std::cout << "karvel-sim: " << scenario.model << " ready on 127.0.0.1:" << port << std::endl;
        }
        const int result = server.Run(gStop);
        if (result == 3)
            std::cout << "karvel-sim: connection dropped as the scenario asks" << std::endl;
        return result;
    } catch (const CLI::Error &e) {
        return app.exit(e);
    } catch (const std::exception &e) {
        std::cerr << "karvel-sim: " << e.what() << std::endl;
        return 1;
    }
}
