#include "CSimFramer.h"

#include <algorithm>

namespace sim {

void CSimFramer::Reset()
{
    mState = EState::Text;
    mCurrent = SSimMessage{};
    mLengthText.clear();
    mRemaining = 0;
}

void CSimFramer::Finish(std::vector<SSimMessage> &out)
{
    if (!mCurrent.text.empty() || mCurrent.hasBlock || mCurrent.badBlock)
        out.push_back(std::move(mCurrent));
    mCurrent = SSimMessage{};
    mState = EState::Text;
}

void CSimFramer::TextByte(unsigned char byte, std::vector<SSimMessage> &out)
{
    if (byte == '\n' || byte == '\0') {
        if (!mCurrent.raw.empty())
            mCurrent.raw += static_cast<char>(byte);
        Finish(out);
        return;
    }
    mCurrent.raw += static_cast<char>(byte);
    if (byte == '#') {
        mState = EState::Hash;
        return;
    }
    if (mCurrent.text.size() < kMaxText)
        mCurrent.text += static_cast<char>(byte);
}

void CSimFramer::Feed(const unsigned char *data, std::size_t count, std::vector<SSimMessage> &out)
{
    for (std::size_t i = 0; i < count;) {
        const unsigned char byte = data[i];
        switch (mState) {
        case EState::Text:
            TextByte(byte, out);
            ++i;
            break;
        case EState::Hash:
            if (byte >= '1' && byte <= '9') {
                mCurrent.raw += static_cast<char>(byte);
                mDigits = byte - '0';
                mLengthText.clear();
                mState = EState::LengthDigits;
                ++i;
            } else {
                mCurrent.text += '#'; // not a block: the '#' was plain text
                mState = EState::Text;
            }
            break;
        case EState::LengthDigits:
            if (byte < '0' || byte > '9') {
                mCurrent.badBlock = true;
                mState = EState::Text;
                break;
            }
            mCurrent.raw += static_cast<char>(byte);
            mLengthText += static_cast<char>(byte);
            ++i;
            if (static_cast<int>(mLengthText.size()) == mDigits) {
                mRemaining = std::stoul(mLengthText);
                mCurrent.hasBlock = true;
                if (mRemaining == 0)
                    Finish(out);
                else
                    mState = EState::BlockData;
            }
            break;
        case EState::BlockData: {
            const std::size_t take = std::min(mRemaining, count - i);
            mCurrent.block.append(reinterpret_cast<const char *>(data + i), take);
            mCurrent.raw.append(reinterpret_cast<const char *>(data + i), take);
            mRemaining -= take;
            i += take;
            if (mRemaining == 0)
                Finish(out);
            break;
        }
        }
    }
}

} // namespace sim
