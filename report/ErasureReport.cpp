#include "report/ErasureReport.h"

#include "Version.h"
#include "engine/overwrite/EraseMethod.h"
#include "win32/PathRules.h"

#define SECURITY_WIN32
#include <secext.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <utility>
#include <cwctype>

namespace {

const wchar_t kProgram[] = L"Tarnwick";
const wchar_t kVersion[] = L"" MORVANE_VERSION_TEXT;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr, nullptr);
    return bytes;
}

bool IsHighSurrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::wstring Hex4(unsigned value)
{
    wchar_t text[8];
    std::swprintf(text, 8, L"\\u%04x", value);
    return text;
}

// A JSON string with its quotes. A name may hold a half of a surrogate pair, which no UTF-8 can
// carry: it is written as its escape, so that the path stays exact.
std::wstring JsonString(const std::wstring& text)
{
    std::wstring json = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'"' || c == L'\\') {
            json += L'\\';
            json += c;
        } else if (c < 0x20) {
            json += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : c == L'\t' ? L"\\t" : Hex4(c);
        } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            json += c;
            json += text[++i];
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            json += Hex4(c);
        } else {
            json += c;
        }
    }
    return json + L"\"";
}

// Text between tags or inside a quoted attribute. Control characters, which a page may not hold,
// show as the replacement character, as do halves of surrogate pairs once in UTF-8.
std::wstring HtmlText(const std::wstring& text)
{
    static const std::pair<wchar_t, const wchar_t*> kEntities[] = {
        {L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'"', L"&quot;"}, {L'\'', L"&#39;"}};
    std::wstring html;
    for (const wchar_t c : text) {
        const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                         [c](const auto& known) { return known.first == c; });
        if (entity != std::end(kEntities))
            html += entity->second;
        else
            html += c < 0x20 && c != L'\t' ? L'\xFFFD' : c;
    }
    return html;
}

std::wstring JsonBool(bool value)
{
    return value ? L"true" : L"false";
}

// "12,345,678": the page's sizes are read by people.
std::wstring Grouped(ULONGLONG value)
{
    std::wstring digits = std::to_wstring(value);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, L',');
    return digits;
}

ULONGLONG Ticks(const SYSTEMTIME& time)
{
    FILETIME file = {};
    ::SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// "2026-12-08T15:30:12"
std::wstring IsoDateTime(const SYSTEMTIME& time, wchar_t separator)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%04u-%02u-%02u%lc%02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, separator,
                  time.wHour, time.wMinute, time.wSecond);
    return text;
}

// "+01:00": local time against UTC, in minutes.
std::wstring UtcOffset(const ReportTime& time)
{
    const long long minutes =
        (static_cast<long long>(Ticks(time.local)) - static_cast<long long>(Ticks(time.utc))) / 600000000LL;
    const long long magnitude = minutes < 0 ? -minutes : minutes;
    wchar_t text[16];
    std::swprintf(text, 16, L"%lc%02lld:%02lld", minutes < 0 ? L'-' : L'+', magnitude / 60, magnitude % 60);
    return text;
}

std::wstring JsonTime(const ReportTime& time)
{
    return L"{\"local\": \"" + IsoDateTime(time.local, L'T') + UtcOffset(time) + L"\", \"utc\": \""
           + IsoDateTime(time.utc, L'T') + L"Z\"}";
}

std::wstring HtmlTime(const ReportTime& time)
{
    return IsoDateTime(time.local, L' ') + L" (UTC" + UtcOffset(time) + L"), " + IsoDateTime(time.utc, L' ') + L" UTC";
}

// The words of the JSON, which programs match, and of the page, by the enumerations' order.
const wchar_t* const kJsonKinds[] = {L"file", L"fileWithStreams", L"link", L"folder", L"drive", L"freeSpace"};
const wchar_t* const kHtmlKinds[] = {L"file", L"file with streams", L"link", L"folder", L"drive", L"free space"};
// Also the keys of the totals.
const wchar_t* const kJsonResults[ReportItem::kResultCount] = {L"erased",  L"namesRemoved", L"linkRemoved",
                                                               L"skipped", L"notRemoved",   L"interrupted"};

const wchar_t* const kResultTotals[ReportItem::kResultCount] = {
    L"erased", L"names removed (content kept)", L"links removed", L"skipped", L"not removed", L"interrupted"};

const wchar_t* JsonKind(ReportItem::Kind kind)
{
    return kJsonKinds[static_cast<int>(kind)];
}

const wchar_t* HtmlKind(ReportItem::Kind kind)
{
    return kHtmlKinds[static_cast<int>(kind)];
}

const wchar_t* JsonResult(ReportItem::Result result)
{
    return kJsonResults[static_cast<int>(result)];
}

// What "erased" means for each kind of item, and what the other results are, as a person reads them.
const wchar_t* const kHtmlErased[] = {L"erased", L"erased", L"erased", L"removed", L"emptied", L"overwritten"};
const wchar_t* const kHtmlResults[ReportItem::kResultCount] = {
    nullptr,
    L"names removed, content kept under other names",
    L"link removed",
    L"skipped",
    L"not removed",
    L"interrupted: the job stopped while at it, the content may be partly overwritten",
};

} // namespace

const wchar_t* ResultTotalText(ReportItem::Result result)
{
    return kResultTotals[static_cast<int>(result)];
}

std::wstring ItemResultText(const ReportItem& item)
{
    std::wstring text = item.result != ReportItem::Result::Erased ? kHtmlResults[static_cast<int>(item.result)]
                        : item.verified                            ? L"erased and verified"
                                                                   : kHtmlErased[static_cast<int>(item.kind)];
    if (!item.reason.empty())
        text += L": " + item.reason;
    if (item.earlierClustersMayRemain)
        text += L"; earlier clusters may remain in free space (a free-space wipe of the drive removes them)";
    return text;
}

namespace {

bool IsProblem(ReportItem::Result result)
{
    return result == ReportItem::Result::Skipped || result == ReportItem::Result::NotRemoved
           || result == ReportItem::Result::Interrupted;
}

const wchar_t* JsonKind(JobKind kind)
{
    return kind == JobKind::Erase ? L"erase" : L"freeSpaceWipe";
}

// By JobOutcome.
const wchar_t* const kJsonOutcomes[] = {L"completed", L"completedWithProblems", L"cancelled", L"stoppedByError"};

std::wstring PassesText(int passes)
{
    return std::to_wstring(passes) + (passes == 1 ? L" pass" : L" passes");
}

std::wstring JsonItem(const ReportItem& item)
{
    return L"{\"path\": " + JsonString(item.path) + L", \"kind\": \"" + JsonKind(item.kind) + L"\", \"size\": "
           + std::to_wstring(item.size) + L", \"result\": \"" + JsonResult(item.result) + L"\", \"verified\": "
           + JsonBool(item.verified) + L", \"earlierClustersMayRemain\": " + JsonBool(item.earlierClustersMayRemain)
           + L", \"reason\": " + (item.reason.empty() ? L"null" : JsonString(item.reason)) + L"}";
}

std::wstring HtmlRow(const ReportItem& item)
{
    return std::wstring(IsProblem(item.result) ? L"<tr class=\"problem\">" : L"<tr>") + L"<td class=\"path\">"
           + HtmlText(item.path) + L"</td><td>" + HtmlKind(item.kind) + L"</td><td class=\"number\">"
           + Grouped(item.size) + L"</td><td>" + HtmlText(ItemResultText(item)) + L"</td></tr>\n";
}

const wchar_t kHtmlStyle[] =
    L"body{font-family:\"Segoe UI\",Arial,sans-serif;font-size:10pt;color:#000;background:#fff;margin:2em}\n"
    L"h1{font-size:16pt}h2{font-size:12pt;margin-top:1.5em}\n"
    L"table{border-collapse:collapse}th,td{border:1px solid #999;padding:2px 6px;text-align:left;vertical-align:top}\n"
    L"td.path{word-break:break-all}td.number{text-align:right;white-space:nowrap}tr.problem td{color:#a00000}\n"
    L"@media print{body{margin:0}thead{display:table-header-group}tr{page-break-inside:avoid}}\n";

std::wstring HtmlHeadRow(const wchar_t* name, const std::wstring& value)
{
    return std::wstring(L"<tr><th>") + name + L"</th><td>" + value + L"</td></tr>\n";
}

} // namespace

bool ReportFormatOf(const std::wstring& path, ReportFormat& format)
{
    const std::wstring extension = ::PathFindExtensionW(path.c_str());
    const auto is = [&extension](const wchar_t* known) { return SameName(extension, known); };
    if (is(L".html") || is(L".htm")) {
        format = ReportFormat::Html;
        return true;
    }
    if (is(L".json")) {
        format = ReportFormat::Json;
        return true;
    }
    return false;
}

ReportTime ReportTime::Now()
{
    ReportTime now;
    ::GetSystemTime(&now.utc);
    if (!::SystemTimeToTzSpecificLocalTime(nullptr, &now.utc, &now.local))
        now.local = now.utc;
    return now;
}

void ReportHead::TakeThisComputer()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    computer = ::GetComputerNameW(name, &length) ? std::wstring(name, length) : L"";
    // "DOMAIN\user" where the system can say it, else the user's own name.
    wchar_t account[512];
    ULONG size = 512;
    DWORD plainSize = 512;
    if (::GetUserNameExW(NameSamCompatible, account, &size))
        user.assign(account, size);
    else
        user = ::GetUserNameW(account, &plainSize) ? std::wstring(account) : L"";
}

bool ErasureReport::Begin(const ReportHead& head)
{
    m_head = head;
    m_totals = ReportTotals();
    m_begun = m_jsonItems.Open() && m_htmlRows.Open();
    return m_begun;
}

void ErasureReport::Add(const ReportItem& item)
{
    ++m_totals.items;
    ++m_totals.byResult[static_cast<int>(item.result)];
    if (item.result == ReportItem::Result::Erased && !item.erasedWithAnotherName)
        m_totals.bytes += item.size;
    m_totals.verified += item.verified ? 1 : 0;
    m_totals.earlierClustersMayRemain += item.earlierClustersMayRemain ? 1 : 0;
    if (!m_begun)
        return;
    const std::wstring separator = m_totals.items == 1 ? L"\n    " : L",\n    ";
    m_itemsKept = m_jsonItems.Append(Utf8(separator + JsonItem(item))) && m_itemsKept;
    m_itemsKept = m_htmlRows.Append(Utf8(HtmlRow(item))) && m_itemsKept;
}

void ErasureReport::End(JobOutcome outcome, const ReportTime& ended)
{
    m_outcome = outcome;
    m_ended = ended;
}

bool ErasureReport::WriteTo(HANDLE file, ReportFormat format)
{
    if (!m_begun)
        return false;
    const EraseMethodInfo& method = EraseMethodOf(m_head.methodId);
    std::wstring head, tail;
    if (format == ReportFormat::Json) {
        head = std::wstring(L"{\n  \"program\": \"") + kProgram + L"\",\n  \"version\": \"" + kVersion
               + L"\",\n  \"computer\": " + JsonString(m_head.computer) + L",\n  \"user\": " + JsonString(m_head.user)
               + L",\n  \"job\": \"" + JsonKind(m_head.kind) + L"\",\n  \"started\": " + JsonTime(m_head.started)
               + L",\n  \"ended\": " + JsonTime(m_ended) + L",\n  \"method\": {\"id\": "
               + std::to_wstring(m_head.methodId) + L", \"name\": " + JsonString(method.name) + L", \"passes\": "
               + std::to_wstring(method.passes) + L"},\n  \"verification\": " + JsonBool(m_head.verification)
               + L",\n  \"result\": \"" + kJsonOutcomes[static_cast<int>(m_outcome)] + L"\",\n  \"items\": [";
        tail = std::wstring(m_totals.items ? L"\n  ],\n" : L"],\n") + L"  \"totals\": {\"items\": "
               + std::to_wstring(m_totals.items) + L", \"bytes\": " + std::to_wstring(m_totals.bytes);
        for (int i = 0; i < ReportItem::kResultCount; ++i)
            tail += std::wstring(L", \"") + kJsonResults[i] + L"\": " + std::to_wstring(m_totals.byResult[i]);
        tail += L", \"verified\": " + std::to_wstring(m_totals.verified) + L", \"earlierClustersMayRemain\": "
                + std::to_wstring(m_totals.earlierClustersMayRemain) + L"}\n}\n";
    } else {
        head = std::wstring(L"<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>") + kProgram
               + L" erasure report</title>\n<style>\n" + kHtmlStyle + L"</style>\n</head>\n<body>\n<h1>" + kProgram
               + L" erasure report</h1>\n<table>\n" + HtmlHeadRow(L"Program", std::wstring(kProgram) + L" " + kVersion)
               + HtmlHeadRow(L"Computer", HtmlText(m_head.computer)) + HtmlHeadRow(L"User", HtmlText(m_head.user))
               + HtmlHeadRow(L"Job", JobKindText(m_head.kind))
               + HtmlHeadRow(L"Started", HtmlTime(m_head.started)) + HtmlHeadRow(L"Ended", HtmlTime(m_ended))
               + HtmlHeadRow(L"Method", HtmlText(method.name) + L", " + PassesText(method.passes))
               + HtmlHeadRow(L"Verification of the last pass", m_head.verification ? L"on" : L"off")
               + HtmlHeadRow(L"Result", JobOutcomeText(m_outcome))
               + L"</table>\n<h2>Items</h2>\n<table>\n<thead><tr><th>Path</th><th>Kind</th><th>Size (bytes)</th>"
                 L"<th>Result</th></tr></thead>\n<tbody>\n";
        tail = L"</tbody>\n</table>\n<h2>Totals</h2>\n<table>\n" + HtmlHeadRow(L"Items", Grouped(m_totals.items))
               + HtmlHeadRow(L"Bytes erased", Grouped(m_totals.bytes));
        for (int i = 0; i < ReportItem::kResultCount; ++i) {
            std::wstring name = kResultTotals[i];
            name[0] = static_cast<wchar_t>(std::towupper(name[0]));
            tail += HtmlHeadRow(name.c_str(), Grouped(m_totals.byResult[i]));
        }
        tail += HtmlHeadRow(L"Verified", Grouped(m_totals.verified))
                + HtmlHeadRow(L"Earlier clusters may remain in free space", Grouped(m_totals.earlierClustersMayRemain))
                + L"</table>\n</body>\n</html>\n";
    }
    const std::string headBytes = Utf8(head), tailBytes = Utf8(tail);
    ReportSpool& items = format == ReportFormat::Json ? m_jsonItems : m_htmlRows;
    return WriteAll(file, headBytes.data(), headBytes.size()) && items.CopyTo(file)
           && WriteAll(file, tailBytes.data(), tailBytes.size()) && m_itemsKept;
}
