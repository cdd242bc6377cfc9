#include "app/FreeSpaceOffer.h"

void RunWipe(CWnd* parent, const std::wstring& root, int methodId, bool verifyLastPass)
{
    CProgressDlg progress(parent);
    progress.m_wipeDrive = root;
    progress.m_nMethodId = methodId;
    progress.m_verifyLastPass = verifyLastPass;
    progress.DoModal();
}

void OfferFreeSpaceWipes(CWnd* parent, const CProgressDlg& finished)
{
    for (const std::wstring& root : finished.DrivesToWipe()) {
        const std::wstring question = L"Earlier clusters of files erased from " + root
                                      + L" may remain in its free space: the file system would not overwrite them "
                                        L"in place.\nWipe the free space of " + root + L" now?";
        if (::MessageBoxW(parent ? parent->m_hWnd : nullptr, question.c_str(), L"Tarnwick",
                          MB_YESNO | MB_ICONWARNING) == IDYES)
            RunWipe(parent, root, finished.m_nMethodId, finished.m_verifyLastPass);
    }
}
