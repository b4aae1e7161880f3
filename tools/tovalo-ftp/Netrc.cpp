// The .netrc tokenizer and the entry look-up.
#include "tools/tovalo-ftp/Netrc.h"

#include <cstddef>
#include <utility>

namespace nsFtpCli {
namespace {

constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr char Lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameHost(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

class CTokens {
public:
    explicit CTokens(std::string_view text) : m_text(text) {}

    // The next token, or nullopt at the end of the text.
    std::optional<std::string> Next() {
        while (m_at < m_text.size() && IsBlank(m_text[m_at])) ++m_at;
        if (m_at == m_text.size()) return std::nullopt;
        std::string token;
        if (m_text[m_at] != '"') {
            while (m_at < m_text.size() && !IsBlank(m_text[m_at])) token += m_text[m_at++];
            return token;
        }
        for (++m_at; m_at < m_text.size() && m_text[m_at] != '"'; ++m_at) {
            char c = m_text[m_at];
            if (c == '\\' && m_at + 1 < m_text.size()) {
                c = m_text[++m_at];
                c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            }
            token += c;
        }
        if (m_at < m_text.size()) ++m_at;  // the closing quote
        return token;
    }

    // Skips a macro definition: everything up to the next empty line.
    void SkipMacro() {
        const std::size_t end = m_text.find("\n\n", m_at);
        m_at = end == std::string_view::npos ? m_text.size() : end + 2;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

struct CParsedEntry {
    bool isDefault = false;
    std::string machine;
    CNetrcEntry values;
};

}  // namespace

std::optional<CNetrcEntry> FindNetrcEntry(std::string_view text, std::string_view host, std::string_view login) {
    std::optional<CNetrcEntry> fallback;  // the default entry
    std::optional<CParsedEntry> current;
    const auto close = [&]() -> std::optional<CNetrcEntry> {
        if (!current || (!login.empty() && current->values.login != login)) return std::nullopt;
        if (current->isDefault) {
            if (!fallback) fallback = current->values;
            return std::nullopt;
        }
        if (SameHost(current->machine, host)) return current->values;
        return std::nullopt;
    };

    CTokens tokens(text);
    while (const std::optional<std::string> token = tokens.Next()) {
        if (*token == "machine" || *token == "default") {
            if (auto found = close()) return found;
            current = CParsedEntry{};
            current->isDefault = *token == "default";
            if (!current->isDefault) current->machine = tokens.Next().value_or(std::string());
        } else if (*token == "macdef") {
            tokens.Next();  // the macro's name
            tokens.SkipMacro();
        } else if (current && (*token == "login" || *token == "password" || *token == "account")) {
            std::string value = tokens.Next().value_or(std::string());
            std::string& field = *token == "login"      ? current->values.login
                                 : *token == "password" ? current->values.password
                                                        : current->values.account;
            field = std::move(value);
        }
    }
    if (auto found = close()) return found;
    return fallback;
}

}  // namespace nsFtpCli
