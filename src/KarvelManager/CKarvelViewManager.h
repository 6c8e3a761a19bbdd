#pragma once
/// @file
/// The facade as the front ends hold it: passes each report notification to
/// the view on screen. GetManager returns the single instance of the process.

#include "CKarvelManager.h"

/// Anything that shows report items: a dialog, or a console front end.
class CReportView
{
public:
    virtual ~CReportView() = default;
    virtual void NotifyModelChanged(EreportItemType type) = 0;
};

class CKarvelViewManager : public CKarvelManager
{
public:
    CKarvelViewManager() = default;
    ~CKarvelViewManager() override = default;

    /// Passes the notification to mView; without a view the console reaction is used.
    void NotifyModelChanged(EreportItemType type) override;

    CReportView *mView = nullptr;
};

/// The single facade of the process, created at the first call. Not thread-safe;
/// the first call happens on the user-interface thread before any worker starts.
CKarvelViewManager *GetManager();
/// Destroys the facade (the last use of it in a run); a later GetManager creates a new one.
void DestroyManager();
