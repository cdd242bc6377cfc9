#include "com/RegistrarScript.h"

#include <utility>

namespace {

// Deep enough for any real script, shallow enough that the recursion cannot exhaust the stack.
constexpr int kMaxDepth = 64;

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z')
            x += L'a' - L'A';
        if (y >= L'A' && y <= L'Z')
            y += L'a' - L'A';
        if (x != y)
            return false;
    }
    return true;
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool RootFromName(std::wstring_view name, RegistryRoot& root)
{
    static const struct {
        const wchar_t* shortName;
        const wchar_t* longName;
        RegistryRoot root;
    } roots[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
        {L"HKCU", L"HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
        {L"HKU", L"HKEY_USERS", RegistryRoot::Users},
    };
    for (const auto& entry : roots) {
        if (EqualsNoCase(name, entry.shortName) || EqualsNoCase(name, entry.longName)) {
            root = entry.root;
            return true;
        }
    }
    return false;
}

// An empty name would address the parent itself, a separator or NUL a key other than the one
// written in the script: with ForceRemove either would delete what the script never named.
bool IsSingleKeyName(const std::wstring& name)
{
    return !name.empty() && name.find(L'\\') == std::wstring::npos && name.find(L'\0') == std::wstring::npos;
}

struct Token {
    enum Kind { End, Word, Quoted } kind = End;
    std::wstring_view raw;  // for quoted text, without the quotes and with '' still doubled
    unsigned line = 0;
};

bool IsWord(const Token& token, std::wstring_view word)
{
    return token.kind == Token::Word && token.raw == word;
}

bool IsKeyword(const Token& token, std::wstring_view keyword)
{
    return token.kind == Token::Word && EqualsNoCase(token.raw, keyword);
}

std::wstring Describe(const Token& token)
{
    switch (token.kind) {
    case Token::End:
        return L"the end of the script";
    case Token::Quoted:
        return L"quoted text";
    default:
        return L"'" + std::wstring(token.raw) + L"'";
    }
}

class CRegistrarParser {
public:
    CRegistrarParser(std::wstring_view text, const std::vector<RegistrarReplacement>& replacements)
        : m_text(text), m_replacements(replacements)
    {
    }

    bool ParseScript(std::vector<RegistrarRoot>& roots);
    const std::wstring& Error() const { return m_error; }

private:
    bool Next(Token& token);
    bool Peek(Token& token);
    bool Lex(Token& token);
    bool ParseItems(std::vector<RegistrarKey>& keys, std::vector<RegistrarValue>* values, unsigned openLine,
                    int depth);
    bool ParseName(const Token& token, std::wstring& name);
    bool ParseValue(std::wstring& data);
    bool Expand(const Token& token, std::wstring& out);
    bool Fail(unsigned line, const std::wstring& message);

    std::wstring_view m_text;
    const std::vector<RegistrarReplacement>& m_replacements;
    size_t m_pos = 0;
    unsigned m_line = 1;
    bool m_peeked = false;
    Token m_peek;
    std::wstring m_error;
};

bool CRegistrarParser::Fail(unsigned line, const std::wstring& message)
{
    m_error = L"line " + std::to_wstring(line) + L": " + message;
    return false;
}

bool CRegistrarParser::Lex(Token& token)
{
    while (m_pos < m_text.size() && IsBlank(m_text[m_pos])) {
        if (m_text[m_pos] == L'\n')
            ++m_line;
        ++m_pos;
    }
    token.line = m_line;
    if (m_pos == m_text.size()) {
        token.kind = Token::End;
        token.raw = {};
        return true;
    }
    if (m_text[m_pos] == L'\'') {
        const size_t start = m_pos + 1;
        size_t end = start;
        for (;;) {
            if (end == m_text.size())
                return Fail(token.line, L"quoted text is not closed by a quote");
            if (m_text[end] == L'\'') {
                if (end + 1 < m_text.size() && m_text[end + 1] == L'\'') {
                    end += 2;
                    continue;
                }
                break;
            }
            if (m_text[end] == L'\n')
                ++m_line;
            ++end;
        }
        token.kind = Token::Quoted;
        token.raw = m_text.substr(start, end - start);
        m_pos = end + 1;
        return true;
    }
    const size_t start = m_pos;
    while (m_pos < m_text.size() && !IsBlank(m_text[m_pos]))
        ++m_pos;
    token.kind = Token::Word;
    token.raw = m_text.substr(start, m_pos - start);
    return true;
}

bool CRegistrarParser::Next(Token& token)
{
    if (m_peeked) {
        m_peeked = false;
        token = m_peek;
        return true;
    }
    return Lex(token);
}

bool CRegistrarParser::Peek(Token& token)
{
    if (!m_peeked) {
        if (!Lex(m_peek))
            return false;
        m_peeked = true;
    }
    token = m_peek;
    return true;
}

bool CRegistrarParser::Expand(const Token& token, std::wstring& out)
{
    out.clear();
    const std::wstring_view raw = token.raw;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (token.kind == Token::Quoted && raw[i] == L'\'') {
            // The lexer let a quote into quoted text only as a doubled pair.
            out += L'\'';
            ++i;
        } else if (raw[i] == L'%') {
            const size_t close = raw.find(L'%', i + 1);
            if (close == std::wstring_view::npos)
                return Fail(token.line, L"'%' without a closing '%'");
            const std::wstring_view name = raw.substr(i + 1, close - i - 1);
            if (name.empty()) {
                out += L'%';
            } else {
                const RegistrarReplacement* found = nullptr;
                for (const auto& replacement : m_replacements) {
                    if (EqualsNoCase(name, replacement.name))
                        found = &replacement;
                }
                if (!found)
                    return Fail(token.line, L"unknown replacement %" + std::wstring(name) + L"%");
                out += found->value;
            }
            i = close;
        } else {
            out += raw[i];
        }
    }
    return true;
}

bool CRegistrarParser::ParseName(const Token& token, std::wstring& name)
{
    if (token.kind == Token::End || IsWord(token, L"{") || IsWord(token, L"}") || IsWord(token, L"="))
        return Fail(token.line, L"expected a name, found " + Describe(token));
    return Expand(token, name);
}

bool CRegistrarParser::ParseValue(std::wstring& data)
{
    Token type, text;
    if (!Next(type))
        return false;
    if (!IsKeyword(type, L"s"))
        return Fail(type.line, L"value type " + Describe(type) + L" is not supported (only s, a string)");
    if (!Next(text))
        return false;
    if (text.kind != Token::Quoted)
        return Fail(text.line, L"expected quoted text after 's', found " + Describe(text));
    return Expand(text, data);
}

bool CRegistrarParser::ParseItems(std::vector<RegistrarKey>& keys, std::vector<RegistrarValue>* values, unsigned openLine,
                        int depth)
{
    if (depth > kMaxDepth)
        return Fail(openLine, L"keys nested deeper than " + std::to_wstring(kMaxDepth) + L" levels");
    for (;;) {
        Token token;
        if (!Next(token))
            return false;
        if (token.kind == Token::End)
            return Fail(openLine, L"'{' is not closed by a '}'");
        if (IsWord(token, L"}"))
            return true;

        if (IsKeyword(token, L"val")) {
            if (!values)
                return Fail(token.line, L"'val' outside a key");
            RegistrarValue value;
            Token name, equals;
            if (!Next(name) || !ParseName(name, value.name) || !Next(equals))
                return false;
            if (!IsWord(equals, L"="))
                return Fail(equals.line, L"expected '=' after the value name, found " + Describe(equals));
            if (!ParseValue(value.data))
                return false;
            values->push_back(std::move(value));
            continue;
        }

        RegistrarKey key;
        if (IsKeyword(token, L"NoRemove") || IsKeyword(token, L"ForceRemove")) {
            key.flag = IsKeyword(token, L"NoRemove") ? KeyFlag::NoRemove : KeyFlag::ForceRemove;
            if (!Next(token))
                return false;
        }
        if (!ParseName(token, key.name))
            return false;
        if (!IsSingleKeyName(key.name))
            return Fail(token.line, L"a key name must be one non-empty name without '\\'");

        Token next;
        if (!Peek(next))
            return false;
        if (IsWord(next, L"=")) {
            Next(next);
            RegistrarValue value;
            if (!ParseValue(value.data))
                return false;
            key.values.push_back(std::move(value));
            if (!Peek(next))
                return false;
        }
        if (IsWord(next, L"{")) {
            Next(next);
            if (!ParseItems(key.subkeys, &key.values, next.line, depth + 1))
                return false;
        }
        keys.push_back(std::move(key));
    }
}

bool CRegistrarParser::ParseScript(std::vector<RegistrarRoot>& roots)
{
    for (;;) {
        Token token, open;
        if (!Next(token))
            return false;
        if (token.kind == Token::End)
            return true;
        RegistrarRoot root{};
        if (token.kind != Token::Word || !RootFromName(token.raw, root.root))
            return Fail(token.line, L"expected a root key (HKCR, HKCU, HKLM or HKU), found " + Describe(token));
        if (!Next(open))
            return false;
        if (!IsWord(open, L"{"))
            return Fail(open.line, L"expected '{' after the root key, found " + Describe(open));
        if (!ParseItems(root.subkeys, nullptr, open.line, 1))
            return false;
        roots.push_back(std::move(root));
    }
}

void PlanKey(const RegistrarKey& key, RegistryRoot root, const std::wstring& parentPath, RegistrarMode mode,
             std::vector<RegistryOperation>& operations)
{
    const std::wstring path = parentPath.empty() ? key.name : parentPath + L'\\' + key.name;
    if (mode == RegistrarMode::Register) {
        if (key.flag == KeyFlag::ForceRemove)
            operations.push_back({RegistryOperation::DeleteTree, root, path, {}, {}});
        operations.push_back({RegistryOperation::CreateKey, root, path, {}, {}});
        for (const auto& value : key.values)
            operations.push_back({RegistryOperation::SetString, root, path, value.name, value.data});
        for (const auto& subkey : key.subkeys)
            PlanKey(subkey, root, path, mode, operations);
        return;
    }
    if (key.flag == KeyFlag::ForceRemove) {
        operations.push_back({RegistryOperation::DeleteTree, root, path, {}, {}});
        return;
    }
    for (const auto& subkey : key.subkeys)
        PlanKey(subkey, root, path, mode, operations);
    for (const auto& value : key.values)
        operations.push_back({RegistryOperation::DeleteValue, root, path, value.name, {}});
    if (key.flag == KeyFlag::None)
        operations.push_back({RegistryOperation::DeleteKeyIfEmpty, root, path, {}, {}});
}

}  // namespace

RegistrarParseResult ParseRegistrarScript(std::wstring_view text, const std::vector<RegistrarReplacement>& replacements)
{
    RegistrarParseResult result;
    CRegistrarParser parser(text, replacements);
    result.ok = parser.ParseScript(result.roots);
    if (!result.ok) {
        result.error = parser.Error();
        result.roots.clear();
    }
    return result;
}

std::vector<RegistryOperation> PlanRegistryUpdate(const std::vector<RegistrarRoot>& roots, RegistrarMode mode)
{
    std::vector<RegistryOperation> operations;
    for (const auto& root : roots) {
        for (const auto& key : root.subkeys)
            PlanKey(key, root.root, std::wstring(), mode, operations);
    }
    return operations;
}
