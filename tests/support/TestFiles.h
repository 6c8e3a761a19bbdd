#pragma once
// Test fixtures on disk: a scratch directory per test and small image generators.

#include <cstddef>
#include <string>

class CScratchDir
{
public:
    CScratchDir();
    ~CScratchDir();
    CScratchDir(const CScratchDir &) = delete;
    CScratchDir &operator=(const CScratchDir &) = delete;

    const std::string &Path() const { return mPath; }
    std::string File(const std::string &name) const { return mPath + "/" + name; }
    std::string Write(const std::string &name, const std::string &bytes) const;

private:
    std::string mPath;
};

std::string ReadWholeFile(const std::string &path);

// A firmware image of the given size: a pattern with NUL bytes throughout and the stamp at `stampAt`.
std::string MakeFirmwareImage(const std::string &stamp, std::size_t size, std::size_t stampAt = 64);
// A caldata image: 20-byte revision header, the product identifier at bytes 136..141.
std::string MakeCaldataImage(const std::string &productId, std::size_t size = 512);
