// Velmora's application object. All of its work happens inside InitInstance, which always answers FALSE: argument 1
// of the command line chooses the road ("-INS"/"-UNI" register or unregister the companion library, "/STIDEVICE"
// scans what the still-image service reports, "-PUSH_PARAM <device> <digits>" scans a command given on the command
// line, anything else shows the settings window, once per user). The object is itself the transfer callback of the
// scan: it saves each finished page, joins the pages of a several-page PDF or OFD, and opens the result.
#pragma once

#include "devicescan/CScanUtility.h"
#include "devicescan/CTransferCallbackEx.h"
#include "devicescan/SaveImage.h"
#include "platform/base/afxcore.h"

#include <vector>

class CScanManagerApp : public CWinApp, public CTransferCallbackEx {
public:
    static constexpr const WCHAR* kMutexName = u"Local\\KVX7731_SCANMANAGER";

    CScanManagerApp();
    ~CScanManagerApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Saves a complete page, joins and opens at the end of the transfer; other messages go to the base.
    int TransferCallback(int reserved, TransferMessage* message) override;

    // The next free output name in the save folder: "img-YYMMDDhhmmss-NNN.<extension of the save type>", after a
    // probe that a file can be written there (the folder gets a trailing backslash). 1, or -55.
    int GetFilePathForVazeDozi(WCHAR out[MAX_PATH]);
    // Join the temporary page JPEGs of m_lstScanFile into one PDF or OFD in the save folder; on success the list
    // holds that file alone. 0, or -1 (the pages then stay where they are and no output is left).
    int CreatePdfFromJpg();
    int CreateOfdFromJpg();
    // Before scanning: 0 when the save folder takes the job's files, else the string id of why not (the names of
    // the pages would not fit, or no file can be written there).
    UINT CheckSaveFolder();

    ULONG_PTR m_gdiplusToken = 0;
    HANDLE m_hMutex = nullptr;   // the single-instance mutex of the settings road
    HANDLE m_hScanRun = nullptr; // held by the scan roads (ClaimTemporaryFolder)
    CScanUtility m_scanUtility;
    WCHAR m_szSaveFolder[MAX_PATH] = {};
    int m_bOpenFile = 0;
    int m_bOpenFolder = 0;
    int m_nSaveType = SaveTypePdf;
    int m_nResolution = 0; // dots per inch of this scan
    int m_nColour = 0;
    int m_bMultiPage = 0;       // the pages of this scan are joined into one PDF or OFD
    CStringArray m_lstScanFile; // every file written in this run, in order
    HMODULE m_hResource = nullptr;
    int m_nPageWidth = 0; // the requested page in pixels
    int m_nPageHeight = 0;

private:
    // The output name for a page saved at `time`, in `saveType`: GetFilePathForVazeDozi's rule.
    int FormOutputName(const SYSTEMTIME& time, int saveType, WCHAR out[MAX_PATH]);
    // The same rule in another folder (which gets a trailing backslash).
    static int FormOutputNameIn(WCHAR folder[MAX_PATH], const SYSTEMTIME& time, int saveType, WCHAR out[MAX_PATH]);
    // Where pages go that the save folder cannot take: My Pictures unless it is the save folder, then the
    // temporary folder; each with a trailing backslash.
    std::vector<CString> KeepFolders();
    // The current page saved in its type in the first of KeepFolders that takes it; false when none does.
    bool KeepPageElsewhere(const SYSTEMTIME& time);
    void NoteKeptFolder(const WCHAR* folder);
    // Remembers why the job could not save into the save folder (-51, -54, -55), for its one message.
    void NoteSaveError(int status);
    // The current page in the job's type under `name`. 0, or non-zero with nothing usable left there.
    int SavePage(const WCHAR* name);
    // The job's one message about its pages: why they are not all in the save folder, and where they were kept.
    void ShowJobError();
    int OnEndOfStream(TransferMessage* message);
    void AddSavedFile(const WCHAR* name);
    // A new empty "Jpg" file in the temporary folder; false (logged) when none can be made.
    bool MakeTempPageFile(WCHAR name[MAX_PATH]);
    // The current page as an OFD document of its own. 0, or -1 with nothing left behind.
    int SavePageAsOfd(const WCHAR* name);
    int OnEndOfTransfer(TransferMessage* message);
    bool JoinsPages() const;
    // After a failed join: each page JPEG goes under its own single-page name into the save folder, else into the
    // first of KeepFolders that takes it.
    void KeepPagesAsJpeg();
    void OpenResult();
    // Argument 1 is "-INS" or "-UNI" (any case).
    static bool IsRegistrationRoad();
    // Ends one of the COM initialisations this object made.
    void UninitializeCom();

    int m_nComInits = 0;                 // successful CoInitialize/CoInitializeEx calls not yet undone
    int m_nFailedSaves = 0;              // pages of this job that could not be saved anywhere
    int m_nSaveError = 0;                // why pages of this job are not in the save folder (-51, -54, -55)
    CString m_strKeptFolder;             // where such pages were kept instead; empty when none were
    std::vector<SYSTEMTIME> m_pageTimes; // when each page waiting to be joined was scanned
};

// The file extension of a SaveType ("tif", "jpg", "pdf", "ofd"...); false for a type outside 0-10.
bool GetSaveTypeExtension(int saveType, WCHAR out[MAX_PATH]);

// Reads vazedozi_settings.dat into the application's save folder and open flags (defaults when it cannot be read).
// Always 1.
int UpdateVazeDoziSettings(CScanManagerApp* app);
