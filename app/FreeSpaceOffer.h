#pragma once
// Free-space wipes started from the program's windows, and the one offered after an erase job
// that left earlier clusters of files in a drive's free space.

#include "framework/Dialog.h"
#include "progress/ProgressDlg.h"

#include <string>

// Wipes the free space of the drive ("E:\") in a progress dialog.
void RunWipe(CWnd* parent, const std::wstring& root, int methodId, bool verifyLastPass);

// Once the erase job is over: for each drive where earlier clusters of its files may remain,
// asks whether to wipe that drive's free space, and wipes it on Yes.
void OfferFreeSpaceWipes(CWnd* parent, const CProgressDlg& finished);
