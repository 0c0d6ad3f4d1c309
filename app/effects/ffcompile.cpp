// Tokenizer and operator-precedence compiler of the formula language.
//
// The parser keeps one explicit operator stack for the whole expression;
// a sub-expression (parentheses, a function argument, a branch of a
// conditional) works above the level it found, and leaving it emits every
// operator stacked since. Each emitted instruction adds its byte cost; a
// program that would pass 4096 bytes with its epilogue fails to compile.
#include "effects/ffcompile.h"

#include <cstring>
#include <string>

namespace kv::ff {

namespace {

struct SyntaxError {
    int Pos;
};

enum class Kind { End, Number, Punct, Operator, Ident };

struct Token {
    Kind What = Kind::End;
    int Pos = 0, Len = 0;
    std::uint32_t Value = 0; // a number
    char Punct = 0;
    Op Binary = Op::End; // an operator
    int Prec = 0;
};

struct OperatorText {
    const char* Text;
    Op Code;
    int Prec;
};

// Longest first, so that "<<" is not read as "<".
constexpr OperatorText kOperators[] = {
    {"||", Op::LogOr, 68}, {"&&", Op::LogAnd, 69}, {"==", Op::Eq, 73},  {"!=", Op::Ne, 73},
    {"<=", Op::Le, 74},    {">=", Op::Ge, 74},     {"<<", Op::Shl, 75}, {">>", Op::Shr, 75},
    {"|", Op::Or, 70},     {"^", Op::Xor, 71},     {"&", Op::And, 72},  {"<", Op::Lt, 74},
    {">", Op::Gt, 74},     {"+", Op::Add, 76},     {"-", Op::Sub, 76},  {"*", Op::Mul, 77},
    {"/", Op::Div, 77},    {"%", Op::Mod, 77},
};
constexpr int kUnaryPrec = 78;

struct Name {
    const char* Text;
    Op Code;
    int Args;  // -1: a variable
    int Bytes; // cost of the push or the call
    std::int32_t Value = 0;
    std::uint32_t Uses = 0;
};

// A function call costs 10 bytes whatever its arguments; the arguments are
// ordinary pushes before it.
constexpr int kCallBytes = 10;
constexpr int kConstBytes = 6;

const Name kNames[] = {
    {"r", Op::R, -1, 4, 0, kUsesR},
    {"g", Op::G, -1, 4, 0, kUsesG},
    {"b", Op::B, -1, 4, 0, kUsesB},
    {"a", Op::Const, -1, 3, 0},
    {"x", Op::X, -1, 4},
    {"y", Op::Y, -1, 4},
    {"X", Op::BigX, -1, 4},
    {"Y", Op::BigY, -1, 4},
    {"i", Op::I, -1, 4, 0, kUsesI},
    {"u", Op::U, -1, 4, 0, kUsesU},
    {"v", Op::V, -1, 4, 0, kUsesV},
    {"Z", Op::Const, -1, 6, 3},
    {"d", Op::D, -1, 4, 0, kUsesD},
    {"dmin", Op::Const, -1, 3, 0},
    {"D", Op::Const, -1, 6, 1024},
    {"m", Op::M, -1, 4, 0, kUsesM},
    {"mmin", Op::Const, -1, 3, 0},
    {"M", Op::BigM, -1, 4},
    {"abs", Op::Abs, 1, kCallBytes},
    {"add", Op::AddMin, 3, kCallBytes},
    {"sub", Op::SubMax, 3, kCallBytes},
    {"dif", Op::Dif, 2, kCallBytes},
    {"min", Op::Min, 2, kCallBytes},
    {"max", Op::Max, 2, kCallBytes},
    {"ctl", Op::Ctl, 1, kCallBytes},
    {"val", Op::Val, 3, kCallBytes},
    {"map", Op::Map, 2, kCallBytes},
    {"mix", Op::Mix, 4, kCallBytes},
    {"scl", Op::Scl, 5, kCallBytes},
    {"rnd", Op::Rnd, 2, kCallBytes},
    {"sqr", Op::Sqr, 1, kCallBytes},
    {"put", Op::Put, 2, kCallBytes},
    {"get", Op::Get, 1, kCallBytes},
    {"src", Op::Src, 3, kCallBytes},
    {"rad", Op::Rad, 3, kCallBytes},
    {"sin", Op::Sin, 1, kCallBytes},
    {"cos", Op::Cos, 1, kCallBytes},
    {"tan", Op::Tan, 1, kCallBytes},
    {"r2x", Op::R2x, 2, kCallBytes},
    {"r2y", Op::R2y, 2, kCallBytes},
    {"c2d", Op::C2d, 2, kCallBytes},
    {"c2m", Op::C2m, 2, kCallBytes},
};

int BinaryBytes(Op op) {
    switch (op) {
    case Op::LogOr:
    case Op::LogAnd:
    case Op::Ne:
        return 17;
    case Op::Eq:
    case Op::Div:
        return 15;
    case Op::Lt:
    case Op::Le:
    case Op::Gt:
    case Op::Ge:
        return 13;
    case Op::Shl:
    case Op::Shr:
        return 5;
    case Op::Sub:
        return 8;
    case Op::Mul:
        return 7;
    case Op::Mod:
        return 12;
    case Op::Not:
        return 11;
    case Op::Compl:
    case Op::Neg:
        return 2;
    default: // | ^ & +
        return 6;
    }
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
bool IsPunct(char c) {
    return c != 0 && std::strchr("()?:,~", c) != nullptr;
}
bool IsOperatorChar(char c) {
    return c != 0 && std::strchr("|&^=!<>+-*/%", c) != nullptr;
}

class Compiler {
  public:
    Compiler(std::string_view text, int channel) : text_(text), channel_(channel) {}

    Program Run() {
        if (text_.size() > std::size_t(kMaxText)) throw SyntaxError{kMaxText};
        Expression(true);
        const Token left = Peek();
        if (left.What != Kind::End) throw SyntaxError{left.Pos};
        Emit({Op::End, 0}, 0, 0);
        program_.Bytes = bytes_ + kFrameBytes;
        program_.Depth = maxDepth_;
        program_.Uses = uses_;
        return std::move(program_);
    }

  private:
    // Reads the token at pos_ without moving past it.
    Token Peek() const {
        std::size_t p = pos_;
        while (p < text_.size() && IsSpace(text_[p])) ++p;
        Token t;
        t.Pos = int(p);
        if (p == text_.size()) return t;
        const char c = text_[p];
        if (IsDigit(c)) return Number(p);
        if (IsPunct(c)) {
            t.What = Kind::Punct, t.Punct = c, t.Len = 1;
            return t;
        }
        for (const OperatorText& o : kOperators) {
            const std::size_t n = std::strlen(o.Text);
            if (text_.substr(p, n) == o.Text) {
                t.What = Kind::Operator, t.Binary = o.Code, t.Prec = o.Prec, t.Len = int(n);
                return t;
            }
        }
        // A lone "=" or "!" is a one-character identifier.
        std::size_t e = p + 1;
        if (!IsOperatorChar(c))
            while (e < text_.size() && !IsSpace(text_[e]) && !IsOperatorChar(text_[e]) &&
                   !IsPunct(text_[e]))
                ++e;
        t.What = Kind::Ident, t.Len = int(e - p);
        return t;
    }

    Token Number(std::size_t p) const {
        Token t;
        t.What = Kind::Number, t.Pos = int(p);
        std::size_t e = p;
        std::uint32_t v = 0;
        const bool hex = text_[p] == '0' && p + 2 < text_.size() &&
                         (text_[p + 1] == 'x' || text_[p + 1] == 'X') &&
                         HexValue(text_[p + 2]) >= 0;
        if (hex) {
            for (e = p + 2; e < text_.size() && HexValue(text_[e]) >= 0; ++e)
                v = v * 16u + std::uint32_t(HexValue(text_[e]));
        } else {
            for (; e < text_.size() && IsDigit(text_[e]); ++e)
                v = v * 10u + std::uint32_t(text_[e] - '0');
        }
        t.Value = v, t.Len = int(e - p);
        return t;
    }

    void Take(const Token& t) {
        pos_ = std::size_t(t.Pos + t.Len);
        last_ = t.Pos;
    }

    void Expect(char punct) {
        const Token t = Peek();
        if (t.What != Kind::Punct || t.Punct != punct) throw SyntaxError{t.Pos};
        Take(t);
    }

    // Adds an instruction of the given cost and its effect on the number
    // of saved values.
    std::size_t Emit(Instr in, int bytes, int depthChange) {
        bytes_ += bytes;
        if (bytes_ + kFrameBytes > kCodeCapacity) throw SyntaxError{last_};
        depth_ += depthChange;
        if (depth_ > maxDepth_) maxDepth_ = depth_;
        program_.Code.push_back(in);
        return program_.Code.size() - 1;
    }

    void PushOperator(Op op, int prec) {
        if (ops_.size() >= std::size_t(kOperatorStack)) throw SyntaxError{last_};
        ops_.push_back({op, prec});
    }

    // Emits the stacked operators above level whose precedence is at least
    // prec (all of them for prec 0).
    void PopOperators(std::size_t level, int prec) {
        while (ops_.size() > level && ops_.back().Prec >= prec) {
            const Op op = ops_.back().Code;
            ops_.pop_back();
            const bool unary = op == Op::Not || op == Op::Compl || op == Op::Neg;
            Emit({op, 0}, BinaryBytes(op), unary ? 0 : -1);
        }
    }

    void Expression(bool commas) {
        const std::size_t level = ops_.size();
        for (;;) {
            Operand();
            const Token t = Peek();
            if (t.What == Kind::Operator) {
                Take(t);
                PopOperators(level, t.Prec);
                PushOperator(t.Binary, t.Prec);
                continue;
            }
            PopOperators(level, 0);
            Token next = t;
            if (t.What == Kind::Punct && t.Punct == '?') {
                Take(t);
                Conditional();
                next = Peek();
            }
            if (commas && next.What == Kind::Punct && next.Punct == ',') {
                Take(next);
                Emit({Op::Discard, 0}, 1, -1);
                continue;
            }
            return;
        }
    }

    void Conditional() {
        if (++open_ > kOpenConditionals) throw SyntaxError{last_};
        const std::size_t skipTrue = Emit({Op::JumpIfZero, 0}, 9, -1);
        Expression(true);
        Expect(':');
        const std::size_t skipFalse = Emit({Op::Jump, 0}, 5, 0);
        program_.Code[skipTrue].Arg = std::int32_t(program_.Code.size());
        depth_ -= 1; // the false branch starts where the true branch did
        Expression(false);
        program_.Code[skipFalse].Arg = std::int32_t(program_.Code.size());
        --open_;
    }

    // Unary operators, then a number, a name, a call or a parenthesis.
    void Operand() {
        for (;;) {
            const Token t = Peek();
            if (t.What == Kind::Operator && t.Binary == Op::Add) {
                Take(t);
            } else if (t.What == Kind::Operator && t.Binary == Op::Sub) {
                Take(t);
                PushOperator(Op::Neg, kUnaryPrec);
            } else if (t.What == Kind::Punct && t.Punct == '~') {
                Take(t);
                PushOperator(Op::Compl, kUnaryPrec);
            } else if (t.What == Kind::Ident && t.Len == 1 && text_[std::size_t(t.Pos)] == '!') {
                Take(t);
                PushOperator(Op::Not, kUnaryPrec);
            } else {
                break;
            }
        }
        const Token t = Peek();
        Take(t);
        if (t.What == Kind::Number) {
            Emit({Op::Const, std::int32_t(t.Value)}, kConstBytes, 1);
        } else if (t.What == Kind::Punct && t.Punct == '(') {
            Expression(true);
            Expect(')');
        } else if (t.What == Kind::Ident) {
            NameOperand(t);
        } else {
            throw SyntaxError{t.Pos};
        }
    }

    void NameOperand(const Token& t) {
        // Only the first four characters are looked up.
        std::string_view name = text_.substr(std::size_t(t.Pos), std::size_t(t.Len)).substr(0, 4);
        if (name == "z") {
            Emit({Op::Const, channel_}, kConstBytes, 1);
            return;
        }
        if (name == "c") name = std::string_view("rgb").substr(std::size_t(channel_), 1);
        for (const Name& n : kNames) {
            if (name != n.Text) continue;
            uses_ |= n.Uses;
            if (n.Args < 0) {
                Emit({n.Code, n.Value}, n.Bytes, 1);
                return;
            }
            Expect('(');
            for (int a = 0; a < n.Args; ++a) {
                if (a > 0) Expect(',');
                Expression(false);
            }
            Expect(')');
            Emit({n.Code, 0}, n.Bytes, -(n.Args - 1));
            return;
        }
        // Unknown names, "=", and cnv, which has no implementation.
        throw SyntaxError{t.Pos};
    }

    struct Stacked {
        Op Code;
        int Prec;
    };

    std::string_view text_;
    std::int32_t channel_;
    std::size_t pos_ = 0;
    int last_ = 0; // where the last token taken starts
    std::vector<Stacked> ops_;
    int open_ = 0;
    int bytes_ = kFrameBytes;
    int depth_ = 0, maxDepth_ = 0;
    std::uint32_t uses_ = 0;
    Program program_{{}, 0, 0, 0};
};

} // namespace

Compiled Compile(std::string_view text, int channel) {
    Compiled result;
    try {
        result.Code = Compiler(text, channel).Run();
        result.Ok = true;
    } catch (const SyntaxError& e) {
        result.ErrorPos = e.Pos;
    }
    return result;
}

} // namespace kv::ff
