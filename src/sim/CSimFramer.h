#pragma once
// Cuts the byte stream from the controller into program messages. A message
// ends at a line feed, at a NUL byte, or at the end of an IEEE 488.2
// definite-length block (#, digit d, d length digits, that many raw bytes);
// inside a block every byte is data. Empty messages (NUL bytes and line feeds
// between messages) are dropped.

#include <cstddef>
#include <string>
#include <vector>

namespace sim {

struct SSimMessage
{
    std::string raw;   // every byte of the message, its terminator included
    std::string text;  // header and arguments, without block and terminator
    std::string block; // the block's data bytes
    bool hasBlock = false;
    bool badBlock = false; // '#' and a digit not followed by a valid length
};

class CSimFramer
{
public:
    static constexpr std::size_t kMaxText = 64 * 1024;

    void Feed(const unsigned char *data, std::size_t count, std::vector<SSimMessage> &out);
    void Reset();

private:
    enum class EState
    {
        Text,
        Hash,
        LengthDigits,
        BlockData
    };
    void Finish(std::vector<SSimMessage> &out);
    void TextByte(unsigned char byte, std::vector<SSimMessage> &out);

    EState mState = EState::Text;
    SSimMessage mCurrent;
    int mDigits = 0;
    std::string mLengthText;
    std::size_t mRemaining = 0;
};

} // namespace sim
