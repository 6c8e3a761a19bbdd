#pragma once
// One open VISA session with one mainframe: its I/O primitives and error
// state, the discovery of the mainframe and its slots, the flash transfer,
// the minikernel, enabling and caldata operations, and the sequencing of an
// update. It talks to the instrument only through the loaded VISA table.
//
// The implementation is split along those seams: CVisaSession.cpp (I/O and
// errors), CVisaSessionDiscovery.cpp, CVisaSessionTransfer.cpp,
// CVisaSessionMinikernel.cpp and CVisaSessionUpdate.cpp.

#include "KarvelVisa.h"

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

class CVisaConnection;
class CModuleImageContainer;
class CModuleSlot;

class CVisaSession
{
public:
    static constexpr ViSession kNotOpen = 9999;
    static constexpr std::size_t kCommandSize = 256;
    static constexpr std::size_t kReplySize = 1024;
    static constexpr std::size_t kErrorTextSize = 256;
    static constexpr int kOccupancySize = 18;
    static constexpr const char *kInvalidSlotText =
        "Invalid slot configuration passed for module update (Probably a slot is empty).";
    static constexpr const char *kEmptySlotListText = "An empty slot list was passed for update.";
    static constexpr const char *kUnknownSlotText = "Unknown slot number";
    // Reads that time out are repeated at most this often (about 31 minutes at 60 s each).
    static constexpr int kMaxTimedOutReads = 31;

    explicit CVisaSession(CVisaConnection *connection);
    virtual ~CVisaSession();
    CVisaSession(const CVisaSession &) = delete;
    CVisaSession &operator=(const CVisaSession &) = delete;

    // Opening, closing and the I/O primitives.
    virtual ViSession Open(int baudrate);
    int OpenVisaSession(const char *resource);
    void CloseVisaSession();
    int SetTimeout(int milliseconds);
    int SendCommand(const char *command);
    int Query(const char *command, char *reply);
    int BuildVisaErrorText(int status, std::string &text, int &isVisaError, long &number);
    int WaitForFlashWriteEnd();
    void RebootMainframe();

    void SetForceMode(bool force) { mForceMode = force; }
    bool GetForceMode() const { return mForceMode; }
    int GetBaudrate() const { return mBaudrate; }
    void SetBaudrate(int baudrate);
    int GetConnectionType() const;
    int GetConnectionGPIBAddress();
    int GetMainframeType() const { return mMainframeType; }
    ViSession GetViSession() const { return mViSession; }
    long GetLastError() const { return mLastError; }
    const char *GetLastErrorText() const { return mLastErrorText; }

    // Discovery.
    void IdentifyMainframe();
    void DiscoverSlots();
    int QueryOccupiedSlots(int occupied[kOccupancySize]);
    std::string QuerySlotProductId(int slot);
    std::string QueryHeadProductId(int slot);
    std::string QuerySlotFirmwareRevision(int slot);
    void ReadHeadProductIds(int slot, std::map<int, std::string> &heads);
    void GetSlotList(std::vector<int> &slots);
    int GetSlotModuleType(int slot);
    std::string GetSlotProductId(int slot);
    std::string GetSlotFirmwareRevision(int slot);
    const std::map<int, CModuleSlot *> &SlotMap() const { return mSlotMap; }

    // Update sequencing.
    void CheckSlotListForUpdate(const std::vector<int> &slots, CModuleImageContainer *image);
    void StartUpdate(const std::vector<int> &slots, CModuleImageContainer *image);
    virtual void CheckSlotTypes(const std::vector<int> &slots, CModuleImageContainer *image);
    virtual void CheckSlotRange(const std::vector<int> &slots);
    virtual void UpdateSlotFirmware(int slot, CModuleImageContainer *image);

    // Minikernel, enabling and caldata.
    virtual void CheckMinikernelForUpdate(int slot, CModuleImageContainer *image);
    virtual void UpdateSlotCaldata(int slot, CModuleImageContainer *image);
    virtual void LoadMinikernel(int slot, CModuleImageContainer *image);
    virtual void LoadMinikernelForSlots(const std::vector<int> &slots, CModuleImageContainer *image);
    virtual void UpdateHeadCaldata(CModuleSlot *record, int head, std::string productId, CModuleImageContainer *image);
    void LoadMinikernelViaBdm(char *command);
    void PrepareForcedSlot(int slot, int moduleType);
    void CheckCaldataRevision(int slot, CModuleImageContainer *image);
    void EraseCaldata(const std::vector<std::pair<int, int>> &slotChannels, bool loadMinikernel, int moduleType);
    void EraseSlotCaldata(int slot, int channel, bool loadMinikernel, int moduleType);

    // Flash transfer.
    virtual void TransferImage(int slot, const unsigned char *data, unsigned int length, CModuleImageContainer *image,
                               bool startFlag, bool finishFlag);

    // Interface code of the minikernel a module type needs.
    static int InterfaceCode(int moduleType);

    friend std::ostream &operator<<(std::ostream &os, const CVisaSession &session);

private:
    void StoreError(long error, const char *text);
    void ClearError();

public:
    enum class EErrorClass
    {
        Visa,
        Karv
    };
    // Turns a failed exchange into an error of the family: stores `storedText`
    // (when given) with the status in the error state, builds the driver error
    // text and appends `phrase`. The one place where session failures become errors.
    [[noreturn]] void RaiseFailure(int status, const char *storedText, const char *phrase, int minor,
                                   EErrorClass errorClass, const char *file, int line);

private:
    int ReadErrorQueue();
    long QueryErrorNumber(const char *command, char *reply, std::string &text);
    long QuerySlotIdentity(int slot, char *reply, std::string &text);
    void SetMinikernelFlag(int code);
    bool AnyMinikernelLoaded() const;
    void Report(const std::string &text) const;
    std::string SessionText() const;
    CModuleSlot *FindSlot(int slot) const;
    void ClearSlotMap();
    void WriteCaldata(int slot, CModuleImageContainer *image);
    int WriteText(const char *text, bool withZero);
    void ReadNumberReply(const char *storedText, int minor, char *reply);

    ViSession mViSession = kNotOpen;
    std::string mMainframeModel;
    int mMainframeType;
    bool mForceMode = false;
    bool m8BitMinikernelLoaded = false;
    bool m16BitMinikernelLoaded = false;
    bool mQuendrelMinikernelLoaded = false;
    bool mAttenuatorMinikernelLoaded = false;
    bool mFastPowermeterMinikernelLoaded = false;
    bool mTarquellMinikernelLoaded = false;
    bool mSwitchMinikernelLoaded = false;
    ViSession mDefaultRM = 0;
    char mLastErrorText[kErrorTextSize] = "";
    long mLastError = 0;
    int mBaudrate = -1;
    CVisaConnection *mConnection;
    std::map<int, CModuleSlot *> mSlotMap;
};

std::ostream &operator<<(std::ostream &os, const CVisaSession &session);
