#include "CSimImageMaker.h"

#include "CSimCatalog.h"

#include <stdexcept>

namespace sim {

std::string CSimImageMaker::Firmware(const std::string &kind, std::size_t size, const std::string &revision)
{
    const SModuleKind *module = CSimCatalog::Kind(kind);
    if (!module || !module->stampTag)
        throw std::invalid_argument("no firmware for module kind \"" + kind + "\"");
    const std::string stamp =
        std::string(CSimCatalog::kStampPrefix) + module->stampTag + revision + std::string(1, '\0');
    if (size < stamp.size() + 16)
        throw std::invalid_argument("firmware image of " + std::to_string(size) + " bytes is too small for its stamp");
    std::string image(size, '\0');
    std::uint32_t state = 0x2545F491u;
    for (std::size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[i] = static_cast<char>(i % 7 == 0 ? 0 : state & 0xff);
    }
    image.replace(16, stamp.size(), stamp);
    return image;
}

std::string CSimImageMaker::Caldata(const std::string &productId, std::size_t size)
{
    if (size < 142)
        throw std::invalid_argument("caldata image needs at least 142 bytes");
    std::string image(size, '\0');
    const std::string header = "CALREV 0001.0002   ";
    image.replace(0, header.size(), header);
    for (std::size_t i = 20; i < size; ++i)
        image[i] = static_cast<char>((i * 13) & 0xff);
    image.replace(136, 6, (productId + "      ").substr(0, 6));
    return image;
}

} // namespace sim
