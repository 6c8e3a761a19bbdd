#include "BenchSupport.h"

#include "KarvelBase/CModuleImageContainer.h"
#include "KarvelBase/CVisaSerialConnection.h"
#include "KarvelBase/CVisaSession.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

std::string MakeTarquellImage(std::size_t size)
{
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::string stamp = "@(#)Image Stamp: Tarquell_V1.00(1)";
    image.replace(64, stamp.size() + 1, stamp + std::string(1, '\0'));
    return image;
}

std::string MakeTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "karvel-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

std::string WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

SCost TimeUpdateRound(CModuleImageContainer &image)
{
    CVisaSerialConnection connection("ASRL1::INSTR");
    CVisaSession session(&connection);
    session.Open(38400);
    const double cpu0 = CpuSeconds(RUSAGE_SELF);
    const auto wall0 = std::chrono::steady_clock::now();
    session.StartUpdate({1}, &image);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count(),
            CpuSeconds(RUSAGE_SELF) - cpu0};
}
