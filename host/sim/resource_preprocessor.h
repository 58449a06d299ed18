// The resource script reader's first half, shared with its template parser:
// the preprocessor (#define, #if family) and the tokens the templates are
// read from. Every error is a Failure naming its line.
#pragma once

#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim::rc {

constexpr int kMaxDepth = 64;  // nesting of #if, parentheses and macros

struct Failure {
    std::string message;
};

[[noreturn]] inline void Fail(int line, const std::string& what) {
    throw Failure{"line " + std::to_string(line) + ": " + what};
}

inline bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
inline bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

struct SourceLine {
    int number = 0;
    std::string text;
};

struct Macro {
    std::string body;
    int line = 0;
    bool functionLike = false;
};

// Lines that survive the #if family, macros defined on the way.
void Preprocess(const std::string& script, std::vector<SourceLine>* lines, std::map<std::string, Macro>* macros);

enum class TokenKind { Name, Number, String, Punct, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    std::uint64_t value = 0;
    int line = 0;
};

void Tokenize(const std::string& text, int line, std::vector<Token>* out);

// Object-like macros replaced by their bodies, recursively. A budget of
// tokens keeps macros that double at every level from running for ever.
class Expander {
public:
    explicit Expander(const std::map<std::string, Macro>& macros) : macros_(macros) {}

    void Expand(Token token, int depth, std::vector<Token>* out);

private:
    const std::map<std::string, Macro>& macros_;
    std::map<std::string, std::vector<Token>> bodies_;
    long budget_ = 200000;
};

}  // namespace sim::rc
