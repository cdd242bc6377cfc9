#pragma once
// Where the program keeps its settings: values of the application's profile, which the
// application object keeps in the current user's registry.

constexpr wchar_t kSettingsSection[] = L"settings";
// Index (0 to 5) in the method list of the erase method chosen last.
constexpr wchar_t kFileMethodEntry[] = L"file_method";
// "Verify the last pass", 0 or 1; missing: 1. Every file's, stream's and fill file's last pass
// is read back past the cache and compared with what was written.
constexpr wchar_t kVerifyLastPassEntry[] = L"verify_last_pass";
// The progress dialog's "Close after deleting" box, 0 or 1.
constexpr wchar_t kCloseAfterDeleteEntry[] = L"close_after_delete";
// A folder where every job's report is also saved, as a page and as JSON; empty or missing: none.
constexpr wchar_t kReportFolderEntry[] = L"report_folder";
