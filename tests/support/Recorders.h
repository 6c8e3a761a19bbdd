#pragma once
// Observers and views that record the report notifications they receive.

#include "KarvelBase/CUpdateReportHolder.h"
#include "KarvelManager/CKarvelViewManager.h"

#include <vector>

class CRecordingObserver : public CReportObserver
{
public:
    void NotifyModelChanged(EreportItemType type) override { types.push_back(type); }
    std::vector<EreportItemType> types;
};

class CRecordingView : public CReportView
{
public:
    void NotifyModelChanged(EreportItemType type) override { types.push_back(type); }
    std::vector<EreportItemType> types;
};
