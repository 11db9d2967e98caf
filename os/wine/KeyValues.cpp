// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/KeyValues.h"

#include <cstdint>

#include "base/Text.h"

namespace sx::os::wine {

const KvNode* KvNode::Child(std::string_view name) const {
    for (const KvNode& c : children)
        if (EqualsNoCase(c.key, name)) return &c;
    return nullptr;
}

std::string KvNode::Text(std::string_view name) const {
    const KvNode* c = Child(name);
    return c != nullptr && !c->block ? c->value : std::string();
}

namespace {

enum class Token { End, Open, Close, Text };

class Lexer {
  public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    // The next token; a quoted or bare text lands in text.
    Token Next(std::string& text) {
        for (;;) {
            SkipBlanks();
            if (m_pos >= m_text.size()) return Token::End;
            const char c = m_text[m_pos];
            if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/') {
                const size_t eol = m_text.find('\n', m_pos);
                m_pos = eol == std::string_view::npos ? m_text.size() : eol + 1;
                continue;
            }
            if (c == '[') {  // a condition ([$WIN32]) applies to what it follows: passed over
                const size_t close = m_text.find(']', m_pos);
                m_pos = close == std::string_view::npos ? m_text.size() : close + 1;
                continue;
            }
            if (c == '{' || c == '}') {
                ++m_pos;
                return c == '{' ? Token::Open : Token::Close;
            }
            text.clear();
            if (c == '"') return Quoted(text) ? Token::Text : Token::End;
            while (m_pos < m_text.size() && !IsBlank(m_text[m_pos]) &&
                   std::string_view("{}\"").find(m_text[m_pos]) == std::string_view::npos)
                text += m_text[m_pos++];
            return Token::Text;
        }
    }

  private:
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void SkipBlanks() {
        while (m_pos < m_text.size() && IsBlank(m_text[m_pos])) ++m_pos;
    }
    // False when the closing quote is missing.
    bool Quoted(std::string& text) {
        for (++m_pos; m_pos < m_text.size(); ++m_pos) {
            char c = m_text[m_pos];
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (c == '\\' && m_pos + 1 < m_text.size()) {
                c = m_text[++m_pos];
                c = c == 'n' ? '\n' : c == 't' ? '\t' : c;
            }
            text += c;
        }
        return false;
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

}  // namespace

KvNode ParseKeyValues(std::string_view text) {
    KvNode root;
    root.block = true;
    Lexer lexer(text);
    std::vector<KvNode*> open = {&root};  // the blocks being read, innermost last
    size_t nodes = 0;
    std::string key, value;
    for (;;) {
        Token t = lexer.Next(key);
        if (t == Token::End) break;
        if (t == Token::Close) {
            if (open.size() > 1) open.pop_back();
            continue;
        }
        if (t == Token::Open) continue;  // a block without a key: its keys belong here
        if (++nodes > kKvMaxNodes) break;
        t = lexer.Next(value);
        if (t == Token::End) break;
        KvNode node;
        node.key = std::move(key);
        if (t == Token::Text) {
            node.value = std::move(value);
            open.back()->children.push_back(std::move(node));
            continue;
        }
        if (t == Token::Close) {  // a key without a value ends its block
            if (open.size() > 1) open.pop_back();
            continue;
        }
        if (static_cast<int>(open.size()) > kKvMaxDepth) break;
        node.block = true;
        open.back()->children.push_back(std::move(node));
        open.push_back(&open.back()->children.back());
    }
    return root;
}

KvNode ParseBinaryKeyValues(std::string_view data) {
    KvNode root;
    root.block = true;
    std::vector<KvNode*> open = {&root};
    size_t pos = 0, nodes = 0;
    const auto cstring = [&](std::string& out) {
        const size_t end = data.find('\0', pos);
        if (end == std::string_view::npos) return false;
        out.assign(data.substr(pos, end - pos));
        pos = end + 1;
        return true;
    };
    const auto integer = [&](size_t bytes, uint64_t& out) {
        if (data.size() - pos < bytes) return false;
        out = 0;
        for (size_t k = 0; k < bytes; ++k) out |= static_cast<uint64_t>(static_cast<unsigned char>(data[pos + k])) << (8 * k);
        pos += bytes;
        return true;
    };
    while (pos < data.size()) {
        const auto type = static_cast<unsigned char>(data[pos++]);
        if (type == 8 || type == 11) {
            if (open.size() == 1) break;
            open.pop_back();
            continue;
        }
        KvNode node;
        if (++nodes > kKvMaxNodes || !cstring(node.key)) break;
        uint64_t number = 0;
        if (type == 0) {
            if (static_cast<int>(open.size()) > kKvMaxDepth) break;
            node.block = true;
            open.back()->children.push_back(std::move(node));
            open.push_back(&open.back()->children.back());
            continue;
        }
        if (type == 1) {
            if (!cstring(node.value)) break;
        } else if (type == 2 || type == 4 || type == 6) {
            if (!integer(4, number)) break;
            node.value = std::to_string(number);
        } else if (type == 7 || type == 10) {
            if (!integer(8, number)) break;
            node.value = std::to_string(number);
        } else if (type == 3) {
            if (!integer(4, number)) break;  // a float: only its presence matters here
        } else {
            break;
        }
        open.back()->children.push_back(std::move(node));
    }
    return root;
}

}  // namespace sx::os::wine
