#include "CUpdateReportHolder.h"

CUpdateReportHolder *CUpdateReportHolder::Instance()
{
    // Lives until the process ends, so late reports during shutdown stay safe.
    static CUpdateReportHolder *holder = new CUpdateReportHolder();
    return holder;
}

void CUpdateReportHolder::AddReportItem(const std::string &text, EreportItemType type)
{
    mReportText += text;
    mReportText += "\n";
    mLastItemText = text;
    mLastItemType = type;
    if (mObserver)
        mObserver->NotifyModelChanged(type);
}

void CUpdateReportHolder::SetProgress(int value)
{
    mProgress = value;
    if (mObserver)
        mObserver->NotifyModelChanged(RepType_Progress);
}

void CUpdateReportHolder::Reset()
{
    mReportText.clear();
    mLastItemText.clear();
    mProgress = -1;
    mLastItemType = RepType_None;
    mObserver = nullptr;
}
