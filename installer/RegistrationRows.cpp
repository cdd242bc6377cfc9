// Turns the extension's registrar script into what the setups write instead of running the
// extension's own registration: the MSI's registry rows and the NSIS setup's register and
// unregister macros. Both come from the script the DLL carries, so the three cannot drift
// apart. Built and run on the build machine by scripts/lib.sh (build_setup).
//
//   registration-rows wix  SCRIPT.rgs MODULE   > rows.wxi   MODULE: e.g. [#MorvaneExt.dll]
//   registration-rows nsis SCRIPT.rgs          > rows.nsh   macros take the module as MODULE

#include "com/RegistrarScript.h"

#include <algorithm>
#include <initializer_list>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// Stands for %MODULE% through the escaping: the module text is the installer's own expression.
const char kModuleMark = '\x1';

const char* RootName(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return "HKCR";
    case RegistryRoot::CurrentUser:
        return "HKCU";
    case RegistryRoot::LocalMachine:
        return "HKLM";
    default:
        return "HKU";
    }
}

// The script is ASCII; anything else is refused rather than guessed at.
bool Narrow(const std::wstring& text, std::string& narrow)
{
    narrow.clear();
    for (wchar_t c : text) {
        if (c > 0x7E || (c < 0x20 && c != static_cast<wchar_t>(kModuleMark)))
            return false;
        narrow += static_cast<char>(c);
    }
    return true;
}

struct Escape {
    char c;
    const char* with;
};

// Each character of the text, or what stands for it where the table names it.
std::string Escaped(const std::string& text, std::initializer_list<Escape> escapes)
{
    std::string escaped;
    for (char c : text) {
        const Escape* found = std::find_if(escapes.begin(), escapes.end(), [c](const Escape& e) { return e.c == c; });
        escaped += found != escapes.end() ? std::string(found->with) : std::string(1, c);
    }
    return escaped;
}

// A formatted-text column of the MSI's Registry table: brackets are property references there
// (a leading '#', which would make a value a number, wixl escapes itself); then XML's escapes.
std::string WixText(const std::string& text, const std::string& module)
{
    const std::string formatted = Escaped(text, {{'[', "[\\[]"}, {']', "[\\]]"}});
    return Escaped(Escaped(formatted, {{kModuleMark, module.c_str()}}),
                   {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}});
}

// An NSIS string in double quotes.
std::string NsisText(const std::string& text)
{
    return "\"" + Escaped(text, {{'$', "$$"}, {'"', "$\\\""}, {kModuleMark, "${MODULE}"}}) + "\"";
}

struct Row {
    RegistryOperation::Kind kind;
    const char* root;
    std::string path;
    std::string name;
    std::string data;
};

bool Rows(const std::vector<RegistrarRoot>& roots, RegistrarMode mode, std::vector<Row>& rows)
{
    for (const RegistryOperation& operation : PlanRegistryUpdate(roots, mode)) {
        Row row{operation.kind, RootName(operation.root), {}, {}, {}};
        if (!Narrow(operation.path, row.path) || !Narrow(operation.valueName, row.name)
            || !Narrow(operation.data, row.data))
            return false;
        rows.push_back(row);
    }
    return true;
}

// Every value the registration sets; Windows Installer removes what it wrote when the product
// goes, and creates the keys on the way.
void WriteWix(const std::vector<Row>& rows, const std::string& module)
{
    std::cout << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                 "<!-- Generated from the extension's registrar script by installer/RegistrationRows.cpp. -->\n"
                 "<Include>\n";
    for (const Row& row : rows) {
        if (row.kind != RegistryOperation::SetString)
            continue;
        std::cout << "  <RegistryValue Root=\"" << row.root << "\" Key=\"" << WixText(row.path, module) << "\"";
        if (!row.name.empty())
            std::cout << " Name=\"" << WixText(row.name, module) << "\"";
        std::cout << " Type=\"string\" Value=\"" << WixText(row.data, module) << "\"/>\n";
    }
    std::cout << "</Include>\n";
}

void WriteNsisMacro(const char* name, const std::vector<Row>& rows)
{
    std::cout << "!macro " << name << " MODULE\n";
    for (const Row& row : rows) {
        const std::string key = std::string(row.root) + " " + NsisText(row.path);
        switch (row.kind) {
        case RegistryOperation::DeleteTree:
            std::cout << "  DeleteRegKey " << key << "\n";
            break;
        case RegistryOperation::SetString:
            std::cout << "  WriteRegStr " << key << " " << NsisText(row.name) << " " << NsisText(row.data) << "\n";
            break;
        case RegistryOperation::DeleteValue:
            std::cout << "  DeleteRegValue " << key << " " << NsisText(row.name) << "\n";
            break;
        case RegistryOperation::DeleteKeyIfEmpty:
            std::cout << "  DeleteRegKey /ifempty " << key << "\n";
            break;
        case RegistryOperation::CreateKey:
            // WriteRegStr creates the keys it writes into; an empty key has no use here.
            break;
        }
    }
    std::cout << "!macroend\n";
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string format = argc > 1 ? argv[1] : "";
    if (argc < 3 || (format == "wix" && argc != 4) || (format == "nsis" && argc != 3)
        || (format != "wix" && format != "nsis")) {
        std::cerr << "usage: registration-rows wix SCRIPT.rgs MODULE | nsis SCRIPT.rgs\n";
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    if (!file) {
        std::cerr << argv[2] << ": cannot be read\n";
        return 1;
    }
    const std::string text = content.str();
    const std::wstring module(1, static_cast<wchar_t>(kModuleMark));
    const RegistrarParseResult parsed =
        ParseRegistrarScript(std::wstring(text.begin(), text.end()), {{L"MODULE", module}, {L"Module_Raw", module}});
    std::vector<Row> registering, unregistering;
    if (!parsed.ok || !Rows(parsed.roots, RegistrarMode::Register, registering)
        || !Rows(parsed.roots, RegistrarMode::Unregister, unregistering)) {
        std::string error;
        Narrow(parsed.error, error);
        std::cerr << argv[2] << ": " << (parsed.ok ? "only printable ASCII is supported" : error) << "\n";
        return 1;
    }
    if (format == "wix") {
        WriteWix(registering, argv[3]);
    } else {
        std::cout << "; Generated from the extension's registrar script by installer/RegistrationRows.cpp.\n";
        WriteNsisMacro("RegisterExtension", registering);
        WriteNsisMacro("UnregisterExtension", unregistering);
    }
    return 0;
}
