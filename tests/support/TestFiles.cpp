#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

CScratchDir::CScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "karvel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    mPath = pattern;
}

CScratchDir::~CScratchDir()
{
    std::error_code ec;
    std::filesystem::remove_all(mPath, ec);
}

std::string CScratchDir::Write(const std::string &name, const std::string &bytes) const
{
    const std::string path = File(name);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ReadWholeFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::string MakeFirmwareImage(const std::string &stamp, std::size_t size, std::size_t stampAt)
{
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 7) % 5 == 0 ? 0 : (i * 31) & 0xff);
    if (!stamp.empty() && stampAt + stamp.size() <= size)
        image.replace(stampAt, stamp.size(), stamp);
    return image;
}

std::string MakeCaldataImage(const std::string &productId, std::size_t size)
{
    std::string image(size, '\0');
    for (std::size_t i = 0; i < 20 && i < size; ++i)
        image[i] = static_cast<char>('A' + i);
    for (std::size_t i = 0; i < productId.size() && 136 + i < size; ++i)
        image[136 + i] = productId[i];
    return image;
}
