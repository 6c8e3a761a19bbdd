#pragma once
// The narrative of a run: every report item and the latest progress value,
// with one observer that is told about each change.

#include <string>

enum EreportItemType : int
{
    RepType_Info = 1,
    RepType_Warning = 2,
    RepType_Error = 3,
    RepType_Progress = 4,
    RepType_Silent = 5,
    RepType_None = 6
};

// The report holder's observer. The facade is the only one; it passes each
// notification on to the view on screen.
class CReportObserver
{
public:
    virtual ~CReportObserver() = default;
    virtual void NotifyModelChanged(EreportItemType type) = 0;
};

class CUpdateReportHolder
{
public:
    static CUpdateReportHolder *Instance();

    void AddReportItem(const std::string &text, EreportItemType type);
    void SetProgress(int value);

    std::string GetReportText() const { return mReportText; }
    std::string GetLastItemText() const { return mLastItemText; }
    int GetProgress() const { return mProgress; }
    EreportItemType GetLastItemType() const { return mLastItemType; }

    void SetObserver(CReportObserver *observer) { mObserver = observer; }
    CReportObserver *GetObserver() const { return mObserver; }

    // Back to the initial values, observer included. Used by tests that need a fresh holder.
    void Reset();

private:
    CUpdateReportHolder() = default;

    std::string mReportText;
    std::string mLastItemText;
    int mProgress = -1;
    EreportItemType mLastItemType = RepType_None;
    CReportObserver *mObserver = nullptr;
};
