#include "app/VantrelDlg.h"

#include "app/EraseConfirmation.h"
#include "app/FreeSpaceOffer.h"
#include "app/MethodChooser.h"
#include "engine/TargetPath.h"
#include "framework/WinApp.h"
#include "progress/ProgressDlg.h"
#include "progress/Settings.h"
#include "resources/resource.h"
#include "wipe/WipeJob.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <iterator>

namespace {

const wchar_t kHomePage[] = L"https://www.kestrium.example/";
const wchar_t kSupportPage[] = L"https://www.kestrium.example/contact-us/";
constexpr COLORREF kLinkColour = RGB(0, 0, 255);
// The About item appended to the system menu.
constexpr UINT kAboutCommand = 0x10;

void OpenInBrowser(const wchar_t* address)
{
    ::ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

void TickKeepNoReports(HWND dialog, bool none)
{
    ::CheckMenuItem(::GetMenu(dialog), ID_REPORTS_KEEP_NONE, MF_BYCOMMAND | (none ? MF_CHECKED : MF_UNCHECKED));
}

// The folder picker opens on the folder it is given.
int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED && start)
        ::SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

// A folder of the file system the user picks, starting from `folder`; false when none was picked.
bool PickFolder(HWND owner, std::wstring& folder)
{
    // The picker's newer face is built on COM, for the time it is open.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = L"Every report is also saved in this folder, as a web page and as JSON. It holds the names of "
                       L"the items erased.";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(folder.c_str());
    PIDLIST_ABSOLUTE picked = ::SHBrowseForFolderW(&browse);
    wchar_t path[MAX_PATH] = {};
    const bool named = picked && ::SHGetPathFromIDListW(picked, path);
    ::CoTaskMemFree(picked);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    if (named)
        folder = path;
    return named;
}

} // namespace

CVantrelDlg::CVantrelDlg(CWnd* parent)
    : CDialog(IDD_VANTREL_DIALOG, parent), m_hIcon(::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_aboutBox(this)
{
}

void CVantrelDlg::DoDataExchange(CDataExchange* exchange)
{
    DDX_Control(exchange, IDC_METHOD, m_cbMethod);
    DDX_Control(exchange, IDC_VERIFY, m_verifyBox);
    DDX_Control(exchange, IDC_TREE, m_tree);
    DDX_Control(exchange, IDC_HOME_PAGE, m_link);
    DDX_Control(exchange, IDC_BANNER, m_banner);
}

BOOL CVantrelDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU systemMenu = GetSystemMenu(false)) {
        wchar_t about[128] = {};
        if (::LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, static_cast<int>(std::size(about))) > 0) {
            ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(systemMenu, MF_STRING, kAboutCommand, about);
        }
    }
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    InsertEraseMethods(m_cbMethod);
    m_cbMethod.SetCurSel(AfxGetApp()->GetProfileInt(kSettingsSection, kFileMethodEntry, 0));
    ShowVerifyLastPass(m_verifyBox);
    m_tree.InitTree();
    TickKeepNoReports(m_hWnd, AfxGetApp()->GetProfileString(kSettingsSection, kReportFolderEntry, L"").empty());

    m_link.SetURL(kHomePage);
    // Blue whether hovered or visited.
    m_link.SetNormalColour(kLinkColour);
    m_link.SetHoverColour(kLinkColour);
    m_link.SetVisitedColour(kLinkColour);
    m_banner.SetBitmapResource(IDB_BANNER);
    return TRUE;
}

bool CVantrelDlg::PreTranslateMessage(MSG* message)
{
    if (message->message == WM_KEYDOWN && (message->wParam == VK_ESCAPE || message->wParam == VK_RETURN))
        return true;
    return CDialog::PreTranslateMessage(message);
}

void CVantrelDlg::OnCancel()
{
    AfxGetApp()->WriteProfileInt(kSettingsSection, kFileMethodEntry, m_cbMethod.GetCurSel());
    StoreVerifyLastPass(m_verifyBox);
    CDialog::OnCancel();
}

bool CVantrelDlg::OnCommand(UINT id, UINT code)
{
    switch (id) {
    case IDC_DELETE:
        if (code != BN_CLICKED)
            break;
        OnBnClickedDelete();
        return true;
    case ID_DRIVE_WIPE_FREE_SPACE:
        OnWipeFreeSpace();
        return true;
    case ID_REPORTS_SAVE_IN_FOLDER:
        OnSaveReportsInFolder();
        return true;
    case ID_REPORTS_KEEP_NONE:
        SetReportFolder(L"");
        return true;
    case ID_HELP_VISIT_WEB_SITE:
        OpenInBrowser(kHomePage);
        return true;
    case ID_HELP_SUPPORT:
        OpenInBrowser(kSupportPage);
        return true;
    case ID_HELP_ABOUT:
        m_aboutBox.DoModal();
        return true;
    default:
        break;
    }
    return CDialog::OnCommand(id, code);
}

void CVantrelDlg::OnSysCommand(UINT id, LPARAM param)
{
    // The system menu's About item does what Help > About does.
    if ((id & 0xFFF0) == kAboutCommand) {
        m_aboutBox.DoModal();
        return;
    }
    CDialog::OnSysCommand(id, param);
}

void CVantrelDlg::OnBnClickedDelete()
{
    const std::wstring selected = m_tree.GetSelectedPath();
    if (selected.empty()) {
        // Nothing selected, or the item is gone: there is no target to erase.
        ::MessageBoxW(m_hWnd, L"Please select an existing drive, folder or file to delete.", L"Tarnwick",
                      MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::vector<std::wstring> targets;
    if (ConfirmErase(m_hWnd, {selected}, targets))
        RunErase(targets);
}

void CVantrelDlg::OnWipeFreeSpace()
{
    const std::wstring selected = m_tree.GetSelectedPath();
    if (DriveRootOf(selected.c_str()).empty()) {
        ::MessageBoxW(m_hWnd, L"Please select a drive to wipe its free space.", L"Tarnwick", MB_OK | MB_ICONINFORMATION);
        return;
    }
    std::wstring root;
    if (!ConfirmWipe(m_hWnd, selected, root))
        return;
    RunWipe(this, root, EraseMethodIdFromIndex(m_cbMethod.GetCurSel()), StoreVerifyLastPass(m_verifyBox));
}

void CVantrelDlg::OnSaveReportsInFolder()
{
    std::wstring folder = AfxGetApp()->GetProfileString(kSettingsSection, kReportFolderEntry, L"");
    if (PickFolder(m_hWnd, folder))
        SetReportFolder(folder);
}

void CVantrelDlg::SetReportFolder(const std::wstring& folder)
{
    AfxGetApp()->WriteProfileString(kSettingsSection, kReportFolderEntry, folder);
    TickKeepNoReports(m_hWnd, folder.empty());
}

void CVantrelDlg::RunErase(const std::vector<std::wstring>& confirmed)
{
    // Asked again: an item may have gone while the questions were open.
    std::vector<std::wstring> targets;
    for (const std::wstring& item : confirmed) {
        ExactTarget target;
        if (ResolveTarget(item, target) == TargetCheck::Exact)
            targets.push_back(target.path);
    }
    if (targets.empty())
        return;
    CProgressDlg progress(this);
    progress.m_targets = targets;
    progress.m_nMethodId = EraseMethodIdFromIndex(m_cbMethod.GetCurSel());
    progress.m_verifyLastPass = StoreVerifyLastPass(m_verifyBox);
    progress.DoModal();
    OfferFreeSpaceWipes(this, progress);
    m_tree.RefreshSelected();
}

void CVantrelDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)));
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
}

HCURSOR CVantrelDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
