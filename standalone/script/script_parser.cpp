#include "standalone/script/script_parser.h"

#include <cctype>
#include <charconv>

namespace {

struct Token {
    enum Kind { End, Newline, Ident, Number, String, Name, Path, Symbol };
    Kind kind = End;
    std::string text; // identifiers and names lower-cased; paths as written
    ScriptValue number;
    int line = 1;
    bool spaceBefore = false;

    Token() = default;
    Token(Kind k, std::string t) : kind(k), text(std::move(t)) {}
};

std::string lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

bool ident_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

[[noreturn]] void syntax_error(int line, const std::string& what) {
    throw ScriptError("Syntax error: at line " + std::to_string(line) + ", " + what);
}

// Whether only blanks follow position i up to the end of its line.
bool closes_line(const std::string& s, std::size_t i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) {
        ++i;
    }
    return i >= s.size() || s[i] == '\n';
}

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> out;
    int line = 1;
    std::size_t i = 0;
    bool space = false;
    auto push = [&](Token t) {
        t.line = line;
        t.spaceBefore = space;
        space = false;
        out.push_back(std::move(t));
    };
    while (i < s.size()) {
        const char c = s[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            space = true;
            ++i;
        } else if (c == '\n' || c == ';') {
            push({Token::Newline, std::string(1, c)});
            line += c == '\n' ? 1 : 0;
            ++i;
        } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
            while (i < s.size() && s[i] != '\n') { // a comment to the end of the line
                ++i;
            }
        } else if (c == '"') {
            std::string text;
            ++i;
            for (;; ++i) {
                if (i >= s.size()) {
                    syntax_error(line, "unterminated string");
                }
                if (s[i] == '"') {
                    ++i;
                    break;
                }
                if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == '"' && closes_line(s, i + 2)) {
                    // A folder handed to a script ends with its separator:
                    // a backslash before the line's last quote is the
                    // folder's, and the quote closes the string.
                    text += '\\';
                    i += 2;
                    break;
                }
                if (s[i] == '\\' && i + 1 < s.size()) {
                    const char e = s[++i];
                    // Unknown escapes keep their backslash, so a Windows path
                    // survives with only its first backslash doubled.
                    text += e == 'n'                ? std::string("\n")
                            : e == 't'              ? std::string("\t")
                            : e == 'r'              ? std::string("\r")
                            : e == '"' || e == '\\' ? std::string(1, e)
                                                    : std::string("\\") + e;
                } else {
                    line += s[i] == '\n' ? 1 : 0;
                    text += s[i];
                }
            }
            push({Token::String, std::move(text)});
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0 ||
                   (c == '.' && i + 1 < s.size() &&
                    std::isdigit(static_cast<unsigned char>(s[i + 1])) != 0)) {
            std::size_t j = i;
            bool real = false;
            while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) != 0 ||
                                    s[j] == '.' || s[j] == 'e' || s[j] == 'E' ||
                                    ((s[j] == '-' || s[j] == '+') && j > i &&
                                     (s[j - 1] == 'e' || s[j - 1] == 'E')))) {
                real = real || !std::isdigit(static_cast<unsigned char>(s[j]));
                ++j;
            }
            const std::string text = s.substr(i, j - i);
            Token t{Token::Number, text};
            if (real) {
                float f = 0;
                const auto r = std::from_chars(text.data(), text.data() + text.size(), f);
                if (r.ec != std::errc() || r.ptr != text.data() + text.size()) {
                    syntax_error(line, "bad number " + text);
                }
                t.number = f;
            } else {
                int n = 0;
                const auto r = std::from_chars(text.data(), text.data() + text.size(), n);
                if (r.ec != std::errc()) {
                    syntax_error(line, "number out of range " + text);
                }
                t.number = n;
            }
            push(std::move(t));
            i = j;
        } else if (ident_char(c) || c == '#' || c == '$') {
            std::size_t j = (c == '#' || c == '$') ? i + 1 : i;
            const std::size_t start = j;
            while (j < s.size() && ident_char(s[j])) {
                ++j;
            }
            if (j == start) {
                syntax_error(line, std::string("nothing after ") + c);
            }
            const std::string word = s.substr(start, j - start);
            push({c == '#'   ? Token::Name
                  : c == '$' ? Token::Path
                             : Token::Ident,
                  c == '$' ? word : lower(word)});
            i = j;
        } else if (std::string("=.():,-").find(c) != std::string::npos) {
            push({Token::Symbol, std::string(1, c)});
            ++i;
        } else {
            syntax_error(line, std::string("unexpected character '") + c + "'");
        }
    }
    push({Token::End, ""});
    return out;
}

class Parser {
  public:
    explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    std::vector<ScriptStmt> Program() {
        std::vector<ScriptStmt> out;
        for (;;) {
            while (peek().kind == Token::Newline) {
                ++p_;
            }
            if (peek().kind == Token::End) {
                return out;
            }
            out.push_back(Statement());
            if (peek().kind != Token::Newline && peek().kind != Token::End) {
                syntax_error(peek().line, "unexpected '" + peek().text + "'");
            }
        }
    }

  private:
    const Token& peek(std::size_t ahead = 0) const {
        return t_[std::min(p_ + ahead, t_.size() - 1)];
    }
    bool symbol(const char* s, std::size_t ahead = 0) const {
        return peek(ahead).kind == Token::Symbol && peek(ahead).text == s;
    }
    bool word(const char* w) const { return peek().kind == Token::Ident && peek().text == w; }
    void expect(const char* s) {
        if (!symbol(s)) {
            syntax_error(peek().line, std::string("expected '") + s + "'");
        }
        ++p_;
    }

    ScriptStmt Statement() {
        ScriptStmt st;
        st.line = peek().line;
        if (word("if")) {
            ++p_;
            st.kind = ScriptStmt::IfDo;
            st.expr = Expression();
            if (!word("do")) {
                syntax_error(peek().line, "expected 'do'");
            }
            ++p_;
            st.body = std::make_shared<ScriptStmt>(Statement());
            return st;
        }
        std::shared_ptr<ScriptExpr> e = Expression();
        if (symbol("=")) {
            ++p_;
            if (e->kind != ScriptExpr::Variable && e->kind != ScriptExpr::Property) {
                syntax_error(st.line, "cannot assign to this expression");
            }
            st.kind = ScriptStmt::Assign;
            st.target = e;
            st.expr = Expression();
            return st;
        }
        st.expr = e;
        return st;
    }

    std::shared_ptr<ScriptExpr> Expression() {
        if (word("not")) {
            auto e = make(ScriptExpr::Not);
            ++p_;
            e->target = Expression();
            return e;
        }
        std::shared_ptr<ScriptExpr> head = Operand();
        auto call = make(ScriptExpr::Call);
        call->target = head;
        bool called = false;
        for (;;) {
            const Token& t = peek();
            if (t.kind == Token::Newline || t.kind == Token::End || symbol(")") || symbol("=") ||
                word("do")) {
                break;
            }
            if (symbol("(") && symbol(")", 1)) { // f(): a call without arguments
                p_ += 2;
                called = true;
                continue;
            }
            if (t.kind == Token::Ident && symbol(":", 1)) {
                const std::string key = t.text;
                p_ += 2;
                call->keywords.emplace_back(key, Operand());
            } else {
                call->args.push_back(Operand());
            }
            called = true;
        }
        return called ? call : head;
    }

    std::shared_ptr<ScriptExpr> Operand() {
        std::shared_ptr<ScriptExpr> e;
        const Token t = peek();
        if (symbol("-")) {
            ++p_;
            e = make(ScriptExpr::Negate);
            e->target = Operand();
            return e;
        }
        ++p_;
        switch (t.kind) {
        case Token::Number:
            e = make(ScriptExpr::Literal);
            e->literal = t.number;
            break;
        case Token::String:
            e = make(ScriptExpr::Literal);
            e->literal = t.text;
            break;
        case Token::Name:
            e = make(ScriptExpr::Literal);
            e->literal = ScriptName{t.text};
            break;
        case Token::Path:
            e = make(ScriptExpr::NodePath);
            e->name = t.text;
            break;
        case Token::Ident:
            if (t.text == "true" || t.text == "false") {
                e = make(ScriptExpr::Literal);
                e->literal = t.text == "true";
            } else if (t.text == "undefined") {
                e = make(ScriptExpr::Literal);
            } else {
                e = make(ScriptExpr::Variable);
                e->name = t.text;
            }
            break;
        case Token::Symbol:
            if (t.text == "(") {
                e = Expression();
                expect(")");
                break;
            }
            syntax_error(t.line, "unexpected '" + t.text + "'");
        default:
            syntax_error(t.line, "unexpected end of statement");
        }
        // Property paths bind tighter than calls: a.b.c x means (a.b.c) x.
        while (symbol(".") && !peek(1).spaceBefore && peek(1).kind == Token::Ident) {
            auto prop = make(ScriptExpr::Property);
            prop->target = e;
            prop->name = peek(1).text;
            p_ += 2;
            e = prop;
        }
        return e;
    }

    std::shared_ptr<ScriptExpr> make(ScriptExpr::Kind kind) const {
        auto e = std::make_shared<ScriptExpr>();
        e->kind = kind;
        e->line = peek().line;
        return e;
    }

    std::vector<Token> t_;
    std::size_t p_ = 0;
};

} // namespace

std::vector<ScriptStmt> ParseScript(const std::string& text) {
    return Parser(tokenize(text)).Program();
}
