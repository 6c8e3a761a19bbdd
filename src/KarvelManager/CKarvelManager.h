#pragma once
/// @file
/// The facade: the one object through which the front ends reach the update
/// logic. It owns the image manager and the connection manager, narrates every
/// operation as report items and is the report holder's single observer.
///
/// Threading: ScanConnections and GetConnectionList may run on a scan worker
/// thread while nothing else calls the facade; every other operation runs on
/// the caller's (user-interface) thread. No locks are taken.
/// Errors: every UsrException raised below passes through unchanged.

#include <ostream>
#include <string>

#include "KarvelBase/CUpdateReportHolder.h"

class CModuleImageManager;

class CKarvelManager : public CReportObserver
{
public:
    static constexpr const char *kVersionText = "Version 2.2.5.6";

    CKarvelManager();
    ~CKarvelManager() override;
    CKarvelManager(const CKarvelManager &) = delete;
    CKarvelManager &operator=(const CKarvelManager &) = delete;

    /// Console reaction: item texts as lines on standard output, "." per progress step.
    void NotifyModelChanged(EreportItemType type) override;
    /// Second-phase set-up: initialises the sub-managers and registers this
    /// object as the report holder's observer.
    virtual void Initialize();

    void LoadImageFile(const std::string &fileName, int moduleType, int imageType);
    void SetImageForceMode(bool force);

    CModuleImageManager *GetImageManager() const { return mImageManager; }

    /// Connection manager and image manager dumps, as placed in every error report.
    void DumpInternalData(std::ostream &os) const;

protected:
    static void Report(const std::string &text);

private:
    CModuleImageManager *mImageManager = nullptr;
};

std::ostream &operator<<(std::ostream &os, const CKarvelManager &manager);
