// The formula language of the Filter Factory: one integer expression per
// channel, compiled into a straight-line program for an accumulator machine
// with a value stack, and the evaluator that runs it. No Qt and no pixkit
// here: kv, the component template of Make, the fuzzer and the benchmark
// share this code.
//
// A compiled program is a byte code whose size is counted in the bytes the
// matching native instructions would take (a push of a constant 6, an
// addition 6, ...), so that a channel's program is limited to 4096 bytes
// however it is represented. Arithmetic is on 32-bit integers with
// wrap-around; no input makes the evaluator trap (INT_MIN / -1 gives
// INT_MIN, a remainder by 0 or by -1 gives 0, a quotient by 0 gives 0).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv::ff {

inline constexpr int kMaxText = 1023;      // characters of one expression
inline constexpr int kCodeCapacity = 4096; // bytes of one channel's program
inline constexpr int kFrameBytes = 3;      // the prologue, and the epilogue
inline constexpr int kOperatorStack = 128; // operators waiting at once
inline constexpr int kOpenConditionals = 128;
inline constexpr int kSliders = 8;
inline constexpr int kCells = 1024;
inline constexpr int kTurn = 1024; // table entries per full turn

// What a program reads; the filter step computes only the inputs used.
enum Usage : std::uint32_t {
    kUsesR = 1,
    kUsesG = 2,
    kUsesB = 4,
    kUsesI = 8,
    kUsesU = 0x10,
    kUsesV = 0x20,
    kUsesD = 0x40,
    kUsesM = 0x80,
};

enum class Op : std::uint8_t {
    End,
    Const,
    R,
    G,
    B,
    X,
    Y,
    BigX,
    BigY,
    I,
    U,
    V,
    D,
    M,
    BigM,
    Or,
    Xor,
    And,
    LogOr,
    LogAnd,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Shl,
    Shr,
    Add,
    Sub,
    Mul,
    Div,
    Mod,
    Not,
    Compl,
    Neg,
    JumpIfZero,
    Jump,
    Discard,
    Abs,
    AddMin,
    SubMax,
    Dif,
    Min,
    Max,
    Ctl,
    Val,
    Map,
    Mix,
    Scl,
    Rnd,
    Sqr,
    Put,
    Get,
    Src,
    Rad,
    Sin,
    Cos,
    Tan,
    R2x,
    R2y,
    C2d,
    C2m,
};

struct Instr {
    Op Code = Op::End;
    std::int32_t Arg = 0; // the constant, or the jump target (an index)
};

struct Program {
    std::vector<Instr> Code{{Op::Const, 0}, {Op::End, 0}};
    int Bytes = 2 * kFrameBytes + 6; // counted with prologue and epilogue
    int Depth = 1;                   // values saved on the stack at most
    std::uint32_t Uses = 0;
};

struct Compiled {
    bool Ok = false;
    int ErrorPos = 0; // characters from the start of the text
    Program Code;     // a push of 0 when compilation failed
};

// channel: 0 red, 1 green, 2 blue (what "c" and "z" stand for).
Compiled Compile(std::string_view text, int channel);

// Integer tables indexed by angle, 1024 steps per full turn, the same as
// the host passes to components: Sin[i] is 512 * sin(2 pi i / 1024)
// truncated toward zero, Cos[i] the same table from entry 256 on (so Cos[0]
// is 512), Tan[i] is 1024 * tan(2 pi i / 1024) rounded, held to
// -INT32_MAX..INT32_MAX at a quarter turn.
struct TrigTables {
    std::array<std::int32_t, kTurn> Sin{}, Cos{}, Tan{};
};
const TrigTables& Trig();

// What a program reads while it runs for one pixel.
struct Env {
    const std::uint32_t* Source = nullptr; // first pixel, 0x00RRGGBB
    std::ptrdiff_t Stride = 0;             // pixels per row
    std::int32_t W = 0, H = 0;             // X and Y
    std::int32_t MaxM = 0;                 // M
    std::int32_t x = 0, y = 0;
    std::int32_t r = 0, g = 0, b = 0, i = 0, u = 0, v = 0, d = 0, m = 0;
    std::array<std::int32_t, kSliders> Ctl{};
    std::array<std::int32_t, kCells> Cell{};
};

std::int32_t Evaluate(const Program& program, Env& env);

// The generator of rnd: one seed for the whole program, 0 at start.
std::uint32_t& RandomSeed();

// Rounded to the nearest integer (ties to even), the way the per-pixel
// direction and distance are rounded; exposed for the filter step.
std::int32_t Direction(std::int64_t dx, std::int64_t dy);
std::int32_t Magnitude(std::int64_t dx, std::int64_t dy);

} // namespace kv::ff
