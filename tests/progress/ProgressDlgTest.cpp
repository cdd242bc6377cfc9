// Real jobs in a real progress dialog, driven from a second thread as a user would.

#include "framework/WinApp.h"
#include "progress/ProgressDlg.h"
#include "progress/Settings.h"
#include "progress/ShortenPathForDisplay.h"
#include "resources/resource.h"
#include "tests/support/Gui.h"
#include "tests/support/HolderProcess.h"
#include "tests/support/Links.h"
#include "tests/support/RegistryState.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <algorithm>
#include <thread>

namespace {

CWinApp g_app;

const wchar_t kProgressCaption[] = L"Deleting ...";
const wchar_t kPromptCaption[] = L"Tarnwick :: ERROR";
const wchar_t kSettingsKey[] = L"Software\\Kestrium\\progress_tests\\settings";

size_t Find(const std::wstring& text, const std::wstring& part, size_t from = 0)
{
    return text.find(part, from);
}

// The locked-item prompt, as opposed to the error boxes with the same caption.
HWND WaitForPrompt(DWORD timeoutMs = kGuiPatienceMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            HWND window = WaitForWindow(kPromptCaption, ::GetCurrentProcessId(), 0);
            found = window && ::GetDlgItem(window, IDC_TERMINATE) ? window : nullptr;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

// The job's events, each as Event Viewer words it from the program's message table.
class RecordedEvents : public EventWriter {
public:
    void Write(WORD type, DWORD messageId, const std::vector<std::wstring>& inserts) override
    {
        std::vector<DWORD_PTR> arguments;
        for (const std::wstring& insert : inserts)
            arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
        wchar_t* text = nullptr;
        ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                         nullptr, messageId, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                         reinterpret_cast<LPWSTR>(&text), 0, reinterpret_cast<va_list*>(arguments.data()));
        std::wstring event = std::to_wstring(type) + L" " + std::to_wstring(messageId) + L": " + (text ? text : L"(no text)");
        ::LocalFree(text);
        event.erase(event.find_last_not_of(L"\r\n") + 1);
        events.push_back(event);
    }

    std::vector<std::wstring> events;
};

class ProgressDlgTest : public ::testing::Test {
protected:
    ProgressDlgTest()
    {
        AfxInitRichEdit();
        g_app.SetRegistryKey(L"Kestrium");
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    }
    ~ProgressDlgTest() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

    // Runs one job in the dialog on this thread while `user` acts on it from another. Whatever
    // `user` leaves open is answered and closed, so that a failing test cannot hang.
    INT_PTR RunJob(const std::wstring& target, int methodId, const std::function<void(HWND progress)>& user)
    {
        CProgressDlg dialog;
        dialog.m_targets = {target};
        dialog.m_nMethodId = methodId;
        dialog.m_events = &m_events;
        dialog.m_logKeepsLines = m_logKeepsLines;
        std::thread driver([&] {
            HWND progress = WaitForWindow(kProgressCaption, ::GetCurrentProcessId());
            if (!progress)
                return;
            user(progress);
            CloseLeftovers(progress);
        });
        const INT_PTR result = dialog.DoModal();
        driver.join();
        return result;
    }

    static void CloseLeftovers(HWND progress)
    {
        WaitUntil([progress] {
            if (!::IsWindow(progress))
                return true;
            if (HWND prompt = WaitForWindow(kPromptCaption, ::GetCurrentProcessId(), 0))
                PressButton(prompt, ::GetDlgItem(prompt, IDC_TERMINATE) ? IDC_TERMINATE : IDCANCEL);
            else if (HWND question = WaitForWindow(L"Tarnwick", ::GetCurrentProcessId(), 0))
                PressButton(question, IDYES);
            else if (ItemText(progress, IDC_CANCEL_FINISH) == L"Finish")
                PressButton(progress, IDC_CANCEL_FINISH);
            return false;
        });
    }

    // Waits for the end of the job, keeps the log and presses "Finish".
    void Finish(HWND progress)
    {
        ASSERT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish"; }));
        m_log = ItemText(progress, IDC_LOG);
        m_log.erase(std::remove(m_log.begin(), m_log.end(), L'\r'), m_log.end());
        PressButton(progress, IDC_CANCEL_FINISH);
        EXPECT_TRUE(WaitForClose(progress));
    }

    // A job on the target while another process holds the file: `answer` acts on the
    // locked-item prompt. Another question would keep the job from its end.
    void AnswerThePromptOn(const std::wstring& file, const std::wstring& target, const std::function<void(HWND prompt)>& answer)
    {
        HolderProcess holder;
        ASSERT_TRUE(holder.Start(L"open " + Quoted(file)));
        RunJob(target, 4, [&](HWND progress) {
            HWND prompt = WaitForPrompt();
            ASSERT_TRUE(prompt);
            answer(prompt);
            Finish(progress);
        });
    }

    static DWORD StoredCloseAfter()
    {
        return ReadDword(HKEY_CURRENT_USER, kSettingsKey, kCloseAfterDeleteEntry).value_or(99);
    }

    // What a job on one item with the method "Pseudorandom Data" tells the event log: the bytes
    // are those it overwrote.
    static std::vector<std::wstring> OneItemEvents(const wchar_t* endType, const wchar_t* outcome, const wchar_t* bytes)
    {
        const std::wstring items = L"\r\nItems: 1\r\n";
        const std::wstring method = L"Method: Pseudorandom Data (1 pass)";
        return {L"4 1: Erase started." + items + method,
                std::wstring(endType) + L" 2: Erase ended: " + outcome + L"." + items + L"Bytes: " + bytes + L"\r\n"
                    + method + L"\r\nReport: none"};
    }

    TempDir m_dir;
    size_t m_logKeepsLines = kLogKeepsLines;
    std::wstring m_log; // the log's text at the end of the job, one line per "\n"
    RecordedEvents m_events;
};

TEST_F(ProgressDlgTest, CompletedJobShowsItsRecentStepsAndEndsWithFinish)
{
    const std::wstring folder = m_dir.MakeFolder(L"folder") + L"\\";
    const std::wstring file = m_dir.WriteFile(L"folder\\file.txt", std::string(100000, 'x'));
    m_logKeepsLines = 4; // of five
    const INT_PTR result = RunJob(folder, 4, [&](HWND progress) {
        ASSERT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish"; }));
        // The report, saved where the user names it: the name's ending chooses the format.
        PressButton(progress, IDC_SAVE_REPORT);
        HWND save = WaitForWindow(L"Save As", ::GetCurrentProcessId());
        ASSERT_TRUE(save);
        ::SendMessageW(::GetDlgItem(save, cmb13), WM_SETTEXT, 0, reinterpret_cast<LPARAM>((m_dir / L"saved.json").c_str()));
        PressButton(save, IDOK);
        EXPECT_TRUE(WaitForClose(save));
        EXPECT_EQ(100, ProgressPosition(progress, IDC_FILE_PROGRESS));
        EXPECT_EQ(100, ProgressPosition(progress, IDC_TOTAL_PROGRESS));
        EXPECT_EQ(ShortenPathForDisplay(60, folder), ItemText(progress, IDC_CURRENT_PATH));
        // Room for every line of a job over 100,000 files, well past the control's own 32,767.
        EXPECT_GE(::SendMessageW(::GetDlgItem(progress, IDC_LOG), EM_GETLIMITTEXT, 0, 0), 100000 * 2 * 260);

        // Details: the window grows by the log's height and the gap, and shrinks back.
        RECT before, shown, hidden;
        ::GetWindowRect(progress, &before);
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(progress, IDC_LOG)));
        PressButton(progress, IDC_DETAILS);
        ASSERT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_DETAILS) == L"\u00AB Hide &Details"; }));
        ::GetWindowRect(progress, &shown);
        EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(progress, IDC_LOG)));
        EXPECT_GT(shown.bottom - shown.top, before.bottom - before.top + 200);
        PressButton(progress, IDC_DETAILS);
        ASSERT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_DETAILS) == L"Show &Details \u00BB"; }));
        ::GetWindowRect(progress, &hidden);
        EXPECT_EQ(before.bottom - before.top, hidden.bottom - hidden.top);

        // Enter does not end the dialog.
        PressKey(::GetDlgItem(progress, IDC_CANCEL_FINISH), VK_RETURN);
        ::Sleep(200);
        EXPECT_TRUE(::IsWindowVisible(progress));
        Finish(progress);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_FALSE(PathExists(folder));
    const std::wstring expected = L"Earlier lines were dropped: the log keeps every problem and the most recent other "
                                  L"lines.\nDeleting file " + ShortenPathForDisplay(0, file) + L"\nDeleting folder "
                                  + ShortenPathForDisplay(0, folder) + L"\nFolder " + ShortenPathForDisplay(0, folder)
                                  + L" deleted\nDeleting completed\n";
    EXPECT_EQ(expected, m_log);
    EXPECT_EQ(0u, StoredCloseAfter());
    EXPECT_EQ(OneItemEvents(L"4", L"completed", L"100000"), m_events.events);
    EXPECT_NE(std::string::npos, ReadWholeFile(m_dir / L"saved.json").find("\"result\": \"completed\""));
}

TEST_F(ProgressDlgTest, UnlockForAllAnswersLaterLocksWhileTheKillQuestionIsStillAsked)
{
    const std::wstring folder = m_dir.MakeFolder(L"locked") + L"\\";
    const std::wstring a = m_dir.WriteFile(L"locked\\a.txt", "a");
    const std::wstring b = m_dir.WriteFile(L"locked\\b.txt", "b");
    const std::wstring c = m_dir.WriteFile(L"locked\\c.txt", "c");
    HolderProcess holder, stubborn;
    ASSERT_TRUE(holder.Start(L"open " + Quoted(a) + L" open " + Quoted(b)));
    ASSERT_TRUE(stubborn.Start(L"deny 20 open " + Quoted(c))); // its handle cannot be closed

    std::vector<std::wstring> questions;
    RunJob(folder, 4, [&](HWND progress) {
        while (ItemText(progress, IDC_CANCEL_FINISH) != L"Finish") {
            HWND prompt = WaitForPrompt(200);
            if (!prompt)
                continue;
            questions.push_back(ItemText(prompt, IDC_MESSAGE_TEXT));
            EXPECT_FALSE(IsChecked(prompt, IDC_FOR_ALL)); // unticked every time
            SetChecked(prompt, IDC_FOR_ALL, true);
            PressButton(prompt, IDOK);
            WaitForClose(prompt);
        }
        Finish(progress);
    });

    ASSERT_EQ(2u, questions.size());
    const std::wstring unlockEnd = L" is used by LockHolder.exe\nDo you want to try to unlock it?";
    bool matched = false;
    for (const std::wstring& path : {a, b, c})
        matched |= questions[0] == L"File " + ShortenPathForDisplay(30, path) + unlockEnd;
    EXPECT_TRUE(matched) << std::string(questions[0].begin(), questions[0].end());
    EXPECT_EQ(L"Failed to unlock file " + ShortenPathForDisplay(30, c)
                  + L" used by LockHolder.exe\nDo you want to try to kill this process?",
              questions[1]);
    EXPECT_FALSE(PathExists(folder));
    EXPECT_FALSE(stubborn.IsRunning());
    EXPECT_TRUE(holder.IsRunning());
    // Two locks were answered without a prompt: the second of the holder's and the stubborn one.
    size_t unlocks = 0;
    for (size_t at = Find(m_log, L"Trying to unlock "); at != std::wstring::npos; at = Find(m_log, L"Trying to unlock ", at + 1))
        ++unlocks;
    EXPECT_EQ(3u, unlocks);
    EXPECT_NE(std::wstring::npos, Find(m_log, L"Trying to kill process that uses " + ShortenPathForDisplay(0, c)));
    EXPECT_NE(std::wstring::npos, Find(m_log, L"Error opening " + ShortenPathForDisplay(0, c) + L" file is used by LockHolder.exe"));
}

TEST_F(ProgressDlgTest, TerminateErasingStopsTheJob)
{
    const std::wstring file = m_dir.WriteFile(L"held.txt", "held");
    AnswerThePromptOn(file, file, [](HWND prompt) { PressButton(prompt, IDC_TERMINATE); });
    const size_t canceling = Find(m_log, L"Canceling erasing process");
    ASSERT_NE(std::wstring::npos, canceling);
    EXPECT_NE(std::wstring::npos, Find(m_log, L"Deleting terminated", canceling));
    EXPECT_EQ("held", ReadWholeFile(file));
    EXPECT_EQ(OneItemEvents(L"2", L"cancelled", L"0"), m_events.events);
}

TEST_F(ProgressDlgTest, EscOnThePromptAnswersNoAndTheFolderStaysWithoutAQuestion)
{
    const std::wstring folder = m_dir.MakeFolder(L"folder") + L"\\";
    const std::wstring file = m_dir.WriteFile(L"folder\\held.txt", "held");
    AnswerThePromptOn(file, folder, [](HWND prompt) { PressKey(::GetDlgItem(prompt, IDOK), VK_ESCAPE); });
    EXPECT_NE(std::wstring::npos, Find(m_log, L"File " + ShortenPathForDisplay(0, file) + L" is skipped"));
    // Nobody holds the folder: what keeps it is the file that stayed.
    EXPECT_NE(std::wstring::npos, Find(m_log, L"Folder " + ShortenPathForDisplay(0, folder) + L" not removed: not empty"));
    EXPECT_NE(std::wstring::npos, Find(m_log, L"Deleting completed"));
    EXPECT_EQ("held", ReadWholeFile(file));
}

TEST_F(ProgressDlgTest, ConfirmedCancelStopsTheJobButKeepsTheDialogOpen)
{
    // Large enough that the job is still running when the user presses Cancel.
    const std::wstring file = m_dir.WriteFile(L"big.bin", std::string(96 << 20, 'b'));
    RunJob(file, 1, [&](HWND progress) {
        PressButton(progress, IDC_CANCEL_FINISH);
        HWND question = WaitForWindow(L"Tarnwick", ::GetCurrentProcessId());
        ASSERT_TRUE(question);
        EXPECT_EQ(L"Do yo really want to terminate process?", MessageBoxText(question));
        // While the user decides, the worker waits.
        ::Sleep(100);
        const int held = ProgressPosition(progress, IDC_FILE_PROGRESS);
        ::Sleep(300);
        EXPECT_EQ(held, ProgressPosition(progress, IDC_FILE_PROGRESS));
        PressButton(question, IDYES);
        ASSERT_TRUE(WaitUntil([progress] { return ItemText(progress, IDC_CANCEL_FINISH) == L"Finish"; }));
        EXPECT_TRUE(::IsWindowVisible(progress));
        EXPECT_NE(std::wstring::npos, Find(ItemText(progress, IDC_LOG), L"Deleting terminated"));
        Finish(progress);
    });
    EXPECT_TRUE(PathExists(file));
}

TEST_F(ProgressDlgTest, CloseAfterDeletingClosesByItselfAndIsRemembered)
{
    WriteDword(HKEY_CURRENT_USER, kSettingsKey, kCloseAfterDeleteEntry, 1);
    bool ticked = false, closedByItself = false;
    RunJob(m_dir.WriteFile(L"one.txt", "1"), 4, [&](HWND progress) {
        ticked = IsChecked(progress, IDC_CLOSE_AFTER);
        closedByItself = WaitForClose(progress, 5000);
    });
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(closedByItself);
    EXPECT_EQ(1u, StoredCloseAfter());

    // Ticked by the user in a dialog that started unticked: stored when it closes.
    WriteDword(HKEY_CURRENT_USER, kSettingsKey, kCloseAfterDeleteEntry, 0);
    RunJob(m_dir.WriteFile(L"two.txt", "2"), 4, [&](HWND progress) {
        SetChecked(progress, IDC_CLOSE_AFTER, true);
        Finish(progress);
    });
    EXPECT_EQ(1u, StoredCloseAfter());
}

} // namespace
