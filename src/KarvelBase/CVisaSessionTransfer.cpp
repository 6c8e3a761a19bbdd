// The flash transfer: Flash:Start, 64-byte Flash:Data blocks each acknowledged
// by "*OPC?", then Flash:Finished.

#include "CVisaSession.h"

#include "CModuleImageContainer.h"
#include "CProductAdministrator.h"
#include "CUpdateReportHolder.h"
#include "UsrException.h"

#include "CVisaLibrary.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned int kSliceSize = 64;
constexpr const char *kStartPhrase = ". Command to start module update failed.";
constexpr const char *kDataPhrase = ". Command to write module image data failed.";
constexpr const char *kFinishPhrase = ". Command to finish module update failed.";

// A Flash:Data block for slices of `length` bytes: the header, room for the
// slice, and the closing line feed. Built once per slice length; each block
// then only copies its data in.
std::vector<unsigned char> BlockFrame(const char *area, int slot, unsigned int length, std::size_t &dataAt)
{
    char header[CVisaSession::kCommandSize];
    const int digits = length < 10 ? 1 : 2;
    const int headerLength = std::snprintf(header, sizeof header, "Special:PRIVATE:%s:slot%u:Flash:Data #%d%d", area,
                                           static_cast<unsigned>(slot), digits, length);
    std::vector<unsigned char> block(static_cast<std::size_t>(headerLength) + length + 1);
    std::memcpy(block.data(), header, static_cast<std::size_t>(headerLength));
    block.back() = '\n';
    dataAt = static_cast<std::size_t>(headerLength);
    return block;
}

} // namespace

void CVisaSession::TransferImage(int slot, const unsigned char *data, unsigned int length, CModuleImageContainer *image,
                                 bool startFlag, bool finishFlag)
{
    const int first = CProductAdministrator::GetFirstSector(image->GetModuleType(), image->GetImageType());
    const int last = CProductAdministrator::GetLastSector(image->GetModuleType(), image->GetImageType());
    const char *area = image->GetImageType() == ModImageType_Firmware  ? "firm"
                       : image->GetImageType() == ModImageType_Caldata ? "cald"
                                                                       : nullptr;
    if (!area)
        KARVEL_RAISE(UsrKarvException, "Cannot translate internal image type into a valid SCPI string", 3090);
    if (const int status = SetTimeout(60000); status != 0)
        RaiseFailure(status, nullptr, "", 0, EErrorClass::Visa, __FILE__, __LINE__);

    char command[kCommandSize];
    std::snprintf(command, sizeof command, "Special:PRIVATE:%s:slot%u:Flash:Start %u,%hu,%hu,%hu\n", area,
                  static_cast<unsigned>(slot), length, static_cast<unsigned short>(startFlag ? 1 : 0),
                  static_cast<unsigned short>(first), static_cast<unsigned short>(last));
    if (const int status = WriteText(command, true); status != VI_SUCCESS)
        RaiseFailure(status, kStartPhrase, kStartPhrase, 3200, EErrorClass::Karv, __FILE__, __LINE__);

    CUpdateReportHolder *holder = CUpdateReportHolder::Instance();
    const unsigned int progressStep = length / 100;
    int progress = 0;
    unsigned int sent = 0;
    const unsigned int fullSlices = length / kSliceSize;
    const unsigned int rest = length % kSliceSize;
    std::size_t dataAt = 0;
    std::vector<unsigned char> block = BlockFrame(area, slot, kSliceSize, dataAt);
    for (unsigned int i = 0; i <= fullSlices; ++i) {
        const unsigned int size = i < fullSlices ? kSliceSize : rest;
        if (size == 0)
            break;
        if (size != kSliceSize)
            block = BlockFrame(area, slot, size, dataAt);
        std::memcpy(block.data() + dataAt, data + static_cast<std::size_t>(i) * kSliceSize, size);
        ViUInt32 written = 0;
        const ViStatus status = Visa().viWrite(mViSession, block.data(), static_cast<ViUInt32>(block.size()), &written);
        if (status != VI_SUCCESS)
            RaiseFailure(status, kDataPhrase, kDataPhrase, 3212, EErrorClass::Karv, __FILE__, __LINE__);
        if (written != block.size())
            KARVEL_RAISE(UsrKarvException,
                         "Number of bytes transferred to the instrument do not match to the expected value", 3210);
        if (i == fullSlices)
            break; // the last, shorter slice is not acknowledged
        sent += kSliceSize;
        WaitForFlashWriteEnd();
        // A progress step of 0 (fewer than 100 bytes) reports no progress.
        if (progressStep > 0 && static_cast<int>(sent / progressStep) > progress)
            holder->SetProgress(++progress);
    }

    std::snprintf(command, sizeof command, "special:PRIVATE:%s:slot%u:Flash:Finished %hu\n", area,
                  static_cast<unsigned>(slot), static_cast<unsigned short>(finishFlag ? 1 : 0));
    if (const int status = WriteText(command, true); status != VI_SUCCESS)
        RaiseFailure(status, kFinishPhrase, kFinishPhrase, 3220, EErrorClass::Karv, __FILE__, __LINE__);
}
