// Registrar scripts to registry operations, without a registry: golden lists for whole scripts,
// and the exact complaint for each kind of malformed script.

#include "com/RegistrarScript.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::vector<RegistrarReplacement> kReplacements = {
    {L"MODULE", L"C:\\Program Files\\Morvane\\MorvaneExt.dll"},
    {L"APP", L"Morvane"},
};

std::string ReadSourceFile(const std::string& relative)
{
    // The sources are reached through Wine's drive for the Unix root.
    std::ifstream file("Z:" MORVANE_SOURCE_DIR "/" + relative, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                             static_cast<int>(wide.size()));
    wide.resize(length);
    return wide;
}

std::wstring Format(const std::vector<RegistryOperation>& operations)
{
    static const wchar_t* const kRoots[] = {L"HKCR", L"HKCU", L"HKLM", L"HKU"};
    static const wchar_t* const kKinds[] = {L"delete-tree", L"create", L"set", L"delete-value", L"delete-if-empty"};
    std::wstring text;
    for (const auto& operation : operations) {
        text += std::wstring(kKinds[operation.kind]) + L" " + kRoots[static_cast<int>(operation.root)] + L"\\"
                + operation.path;
        const std::wstring name = operation.valueName.empty() ? L"@" : operation.valueName;
        if (operation.kind == RegistryOperation::SetString)
            text += L": " + name + L" = '" + operation.data + L"'";
        else if (operation.kind == RegistryOperation::DeleteValue)
            text += L": " + name;
        text += L"\n";
    }
    return text;
}

void ExpectGolden(const std::string& script, const std::string& goldenStem)
{
    const RegistrarParseResult parsed = ParseRegistrarScript(Widen(ReadSourceFile(script)), kReplacements);
    ASSERT_TRUE(parsed.ok) << std::string(parsed.error.begin(), parsed.error.end());
    EXPECT_EQ(Widen(ReadSourceFile("tests/com/golden/" + goldenStem + ".register.txt")),
              Format(PlanRegistryUpdate(parsed.roots, RegistrarMode::Register)));
    EXPECT_EQ(Widen(ReadSourceFile("tests/com/golden/" + goldenStem + ".unregister.txt")),
              Format(PlanRegistryUpdate(parsed.roots, RegistrarMode::Unregister)));
}

}  // namespace

TEST(RegistrarScript, ExtensionScriptPlansItsRegistration)
{
    ExpectGolden("resources/MorvaneExt.rgs", "MorvaneExt");
}

// Quoted names and '' in text, %% and replacements, keywords in any letter case, long root
// names, several roots, values in NoRemove and plain keys, plain keys without values.
TEST(RegistrarScript, EveryConstructPlansAsWritten)
{
    ExpectGolden("tests/com/golden/features.rgs", "features");
}

TEST(RegistrarScript, MalformedScriptsFailWithTheirLineAndReason)
{
    const struct {
        const wchar_t* script;
        const wchar_t* error;
    } cases[] = {
        {L"HKCR\n{\n  A\n  {\n    B\n  }\n", L"line 2: '{' is not closed by a '}'"},
        {L"HKCR\n{\n}\n}\n", L"line 4: expected a root key (HKCR, HKCU, HKLM or HKU), found '}'"},
        {L"HKCR { A { } } }", L"line 1: expected a root key (HKCR, HKCU, HKLM or HKU), found '}'"},
        {L"HKCR\n{\n  A = d '1'\n}", L"line 3: value type 'd' is not supported (only s, a string)"},
        {L"HKCR { A { val V = x 'y' } }", L"line 1: value type 'x' is not supported (only s, a string)"},
        {L"HKCR\n{\n  A = s 'open\n}\n", L"line 3: quoted text is not closed by a quote"},
        {L"HKCR { A = s open }", L"line 1: expected quoted text after 's', found 'open'"},
        {L"HKCR { A = }", L"line 1: value type '}' is not supported (only s, a string)"},
        {L"HKCR { val V = s 'x' }", L"line 1: 'val' outside a key"},
        {L"HKCR { A { val V s 'x' } }", L"line 1: expected '=' after the value name, found 's'"},
        {L"HKCR { NoRemove { } }", L"line 1: expected a name, found '{'"},
        {L"HKCR { ForceRemove '' }", L"line 1: a key name must be one non-empty name without '\\'"},
        {L"HKCR { ForceRemove 'CLSID\\X' }", L"line 1: a key name must be one non-empty name without '\\'"},
        {L"HKCR { A = s '%NOPE%' }", L"line 1: unknown replacement %NOPE%"},
        {L"HKCR { A = s '50%' }", L"line 1: '%' without a closing '%'"},
        {L"HKXX { }", L"line 1: expected a root key (HKCR, HKCU, HKLM or HKU), found 'HKXX'"},
        {L"HKCR A", L"line 1: expected '{' after the root key, found 'A'"},
        {L"HKCR", L"line 1: expected '{' after the root key, found the end of the script"},
    };
    for (const auto& c : cases) {
        const RegistrarParseResult parsed = ParseRegistrarScript(c.script, kReplacements);
        EXPECT_FALSE(parsed.ok) << std::wstring(c.script).c_str();
        EXPECT_EQ(std::wstring(c.error), parsed.error) << std::wstring(c.script).c_str();
        EXPECT_TRUE(parsed.roots.empty());
    }
}

TEST(RegistrarScript, NestingIsBounded)
{
    auto nested = [](int depth) {
        std::wstring script = L"HKCR {";
        for (int i = 0; i < depth; ++i)
            script += L" K {";
        for (int i = 0; i <= depth; ++i)
            script += L" }";
        return script;
    };
    EXPECT_TRUE(ParseRegistrarScript(nested(63), kReplacements).ok);
    const RegistrarParseResult parsed = ParseRegistrarScript(nested(64), kReplacements);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(L"line 1: keys nested deeper than 64 levels", parsed.error);
}
