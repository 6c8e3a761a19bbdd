#pragma once
// Demo and test images: firmware with the stamp of a module kind, and caldata
// with the 20-byte revision header and a product identifier at bytes 136..141.

#include <cstddef>
#include <string>

namespace sim {

class CSimImageMaker
{
public:
    // Throws std::invalid_argument for a kind without firmware or a size too small for the stamp.
    static std::string Firmware(const std::string &kind, std::size_t size, const std::string &revision = "V9.99(999)");
    static std::string Caldata(const std::string &productId, std::size_t size = 4096);
};

} // namespace sim
