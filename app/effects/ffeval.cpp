// The evaluator of compiled Filter Factory programs and the angle tables.
// The accumulator holds the current value; a push saves it on the value
// stack, a binary operator combines the saved value (left) with the
// accumulator (right). Every operation wraps to 32 bits through unsigned
// arithmetic, so no value is undefined and nothing traps.
#include "effects/ffcompile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace kv::ff {

namespace {

// No push costs less than 3 bytes: no program saves more values than this.
constexpr int kMaxDepth = kCodeCapacity / 3 + 1;
constexpr double kStepsPerRadian = 162.97466;

std::int32_t Wrap(std::uint32_t v) {
    return static_cast<std::int32_t>(v);
}
std::int32_t Plus(std::int32_t a, std::int32_t b) {
    return Wrap(std::uint32_t(a) + std::uint32_t(b));
}
std::int32_t Minus(std::int32_t a, std::int32_t b) {
    return Wrap(std::uint32_t(a) - std::uint32_t(b));
}
std::int32_t Times(std::int32_t a, std::int32_t b) {
    return Wrap(std::uint32_t(a) * std::uint32_t(b));
}
// Truncating; 0 for a zero divisor; INT_MIN / -1 is INT_MIN.
std::int32_t Quotient(std::int32_t a, std::int32_t b) {
    if (b == 0) return 0;
    if (b == -1) return Minus(0, a);
    return a / b;
}
// With the sign of the dividend; 0 for the divisors 0 and -1.
std::int32_t Remainder(std::int32_t a, std::int32_t b) {
    if (b == 0 || b == -1) return 0;
    return a % b;
}
std::int32_t Magn(std::int32_t a) {
    return a < 0 ? Minus(0, a) : a;
}

std::int32_t Channel(const Env& e, std::int32_t col, std::int32_t row, std::int32_t channel) {
    row = std::clamp(row, 0, e.H - 1);
    col = std::clamp(col, 0, e.W - 1);
    const std::uint32_t p = e.Source[row * e.Stride + col];
    switch (channel & 3) {
    case 0:
        return std::int32_t(p >> 16 & 0xFF);
    case 1:
        return std::int32_t(p >> 8 & 0xFF);
    case 2:
        return std::int32_t(p & 0xFF);
    default: // there is no alpha channel: a is 0 too
        return 0;
    }
}

std::int32_t Map(const Env& e, std::int32_t a1, std::int32_t a2) {
    const int k = Times(a2, 2) & 7;
    const std::int32_t lo = e.Ctl[std::size_t(k + 1)], hi = e.Ctl[std::size_t(k)];
    if (a1 <= lo) return 0;
    if (a1 >= hi) return 255;
    return Quotient(Times(Minus(a1, lo), 255), Minus(hi, lo));
}

std::int32_t Mix(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t a4) {
    const std::int32_t scaled = Times(Minus(a1, a2), a3);
    if (a4 == 0) return scaled;
    return Plus(Quotient(Plus(scaled, a4 >> 1), a4), a2);
}

std::int32_t Scale(const std::int32_t* a) {
    const std::int32_t range = Minus(a[2], a[1]);
    if (range == 0) return Minus(a[4], a[3]);
    const std::int32_t scaled = Times(Minus(a[0], a[1]), Minus(a[4], a[3]));
    return Plus(Quotient(Plus(scaled, range >> 1), range), a[3]);
}

std::int32_t Random(std::int32_t a1, std::int32_t a2) {
    std::uint32_t& seed = RandomSeed();
    seed = seed * 1103515245u + 12345u;
    const auto q = std::int32_t(seed >> 16 & 0x7FFF);
    return Plus(a1, Times(Plus(Minus(a2, a1), 1), q) >> 15);
}

std::int32_t Root(std::int32_t a) {
    if (a <= 0) return 0;
    return std::int32_t(std::nearbyint(std::sqrt(double(a))));
}

std::int32_t Radial(const Env& e, std::int32_t angle, std::int32_t radius, std::int32_t channel) {
    const TrigTables& t = Trig();
    const std::size_t k = std::size_t(angle & (kTurn - 1));
    const std::int32_t col = Plus(e.W, Times(radius, t.Cos[k]) >> 8) >> 1;
    const std::int32_t row = Plus(e.H, Times(radius, t.Sin[k]) >> 8) >> 1;
    return Channel(e, col, row, channel);
}

TrigTables MakeTables() {
    TrigTables t;
    const double step = 2 * std::numbers::pi / kTurn;
    for (int i = 0; i < kTurn; ++i) {
        t.Sin[std::size_t(i)] = std::int32_t(512 * std::sin(step * i));
        t.Cos[std::size_t(i)] = std::int32_t(512 * std::sin(step * (i + kTurn / 4)));
        // At a quarter turn the tangent is far beyond 32 bits: it is held
        // to the largest value of its sign.
        const double tangent = std::round(1024 * std::tan(step * i));
        t.Tan[std::size_t(i)] =
            std::int32_t(std::clamp(tangent, -double(INT_MAX), double(INT_MAX)));
    }
    return t;
}

} // namespace

const TrigTables& Trig() {
    static const TrigTables tables = MakeTables();
    return tables;
}

std::uint32_t& RandomSeed() {
    static std::uint32_t seed = 0;
    return seed;
}

std::int32_t Direction(std::int64_t dx, std::int64_t dy) {
    if (dx == 0) return dy > 0 ? 256 : dy < 0 ? -256 : 0;
    return std::int32_t(std::nearbyint(std::atan2(double(dy), double(dx)) * kStepsPerRadian));
}

std::int32_t Magnitude(std::int64_t dx, std::int64_t dy) {
    const auto sum = std::uint64_t(dx * dx) + std::uint64_t(dy * dy);
    const long double root = std::nearbyint(std::sqrt(static_cast<long double>(sum)));
    return Wrap(std::uint32_t(static_cast<std::uint64_t>(root)));
}

std::int32_t Evaluate(const Program& program, Env& e) {
    std::int32_t stack[kMaxDepth];
    std::int32_t* sp = stack;
    std::int32_t acc = 0;
    const Instr* code = program.Code.data();
    const TrigTables& t = Trig();
    for (const Instr* in = code;; ++in) {
        std::int32_t lhs;
        switch (in->Code) {
        case Op::End:
            return acc;
        case Op::Const:
            *sp++ = acc, acc = in->Arg;
            break;
        case Op::R:
            *sp++ = acc, acc = e.r;
            break;
        case Op::G:
            *sp++ = acc, acc = e.g;
            break;
        case Op::B:
            *sp++ = acc, acc = e.b;
            break;
        case Op::X:
            *sp++ = acc, acc = e.x;
            break;
        case Op::Y:
            *sp++ = acc, acc = e.y;
            break;
        case Op::BigX:
            *sp++ = acc, acc = e.W;
            break;
        case Op::BigY:
            *sp++ = acc, acc = e.H;
            break;
        case Op::I:
            *sp++ = acc, acc = e.i;
            break;
        case Op::U:
            *sp++ = acc, acc = e.u;
            break;
        case Op::V:
            *sp++ = acc, acc = e.v;
            break;
        case Op::D:
            *sp++ = acc, acc = e.d;
            break;
        case Op::M:
            *sp++ = acc, acc = e.m;
            break;
        case Op::BigM:
            *sp++ = acc, acc = e.MaxM;
            break;
        case Op::Or:
            acc = *--sp | acc;
            break;
        case Op::Xor:
            acc = *--sp ^ acc;
            break;
        case Op::And:
            acc = *--sp & acc;
            break;
        case Op::LogOr:
            acc = (*--sp | acc) != 0;
            break;
        case Op::LogAnd:
            acc = (*--sp & acc) != 0;
            break;
        case Op::Eq:
            acc = *--sp == acc;
            break;
        case Op::Ne:
            acc = *--sp != acc;
            break;
        case Op::Lt:
            acc = *--sp < acc;
            break;
        case Op::Le:
            acc = *--sp <= acc;
            break;
        case Op::Gt:
            acc = *--sp > acc;
            break;
        case Op::Ge:
            acc = *--sp >= acc;
            break;
        case Op::Shl:
            acc = Wrap(std::uint32_t(*--sp) << (acc & 31));
            break;
        case Op::Shr:
            acc = Wrap(std::uint32_t(*--sp) >> (acc & 31));
            break;
        case Op::Add:
            acc = Plus(*--sp, acc);
            break;
        case Op::Sub:
            acc = Minus(*--sp, acc);
            break;
        case Op::Mul:
            acc = Times(*--sp, acc);
            break;
        case Op::Div:
            acc = Quotient(*--sp, acc);
            break;
        case Op::Mod:
            acc = Remainder(*--sp, acc);
            break;
        case Op::Not:
            acc = acc == 0;
            break;
        case Op::Compl:
            acc = ~acc;
            break;
        case Op::Neg:
            acc = Minus(0, acc);
            break;
        case Op::JumpIfZero:
            lhs = acc, acc = *--sp;
            if (lhs == 0) in = code + in->Arg - 1;
            break;
        case Op::Jump:
            in = code + in->Arg - 1;
            break;
        case Op::Discard:
            acc = *--sp;
            break;
        case Op::Abs:
            acc = Magn(acc);
            break;
        case Op::AddMin:
            sp -= 2, acc = std::min(Plus(sp[0], sp[1]), acc);
            break;
        case Op::SubMax:
            sp -= 2, acc = std::max(Minus(sp[0], sp[1]), acc);
            break;
        case Op::Dif:
            acc = Magn(Minus(*--sp, acc));
            break;
        case Op::Min:
            acc = std::min(*--sp, acc);
            break;
        case Op::Max:
            acc = std::max(*--sp, acc);
            break;
        case Op::Ctl:
            acc = e.Ctl[std::size_t(acc & 7)];
            break;
        case Op::Val:
            sp -= 2;
            acc = Plus(
                sp[1],
                Quotient(Plus(Times(Minus(acc, sp[1]), e.Ctl[std::size_t(sp[0] & 7)]), 127), 255));
            break;
        case Op::Map:
            lhs = *--sp, acc = Map(e, lhs, acc);
            break;
        case Op::Mix:
            sp -= 3, acc = Mix(sp[0], sp[1], sp[2], acc);
            break;
        case Op::Scl: {
            sp -= 4;
            const std::int32_t a[5] = {sp[0], sp[1], sp[2], sp[3], acc};
            acc = Scale(a);
            break;
        }
        case Op::Rnd:
            lhs = *--sp, acc = Random(lhs, acc);
            break;
        case Op::Sqr:
            acc = Root(acc);
            break;
        case Op::Put:
            lhs = *--sp, e.Cell[std::size_t(acc & (kCells - 1))] = lhs, acc = lhs;
            break;
        case Op::Get:
            acc = e.Cell[std::size_t(acc & (kCells - 1))];
            break;
        case Op::Src:
            sp -= 2, acc = Channel(e, sp[0], sp[1], acc);
            break;
        case Op::Rad:
            sp -= 2, acc = Radial(e, sp[0], sp[1], acc);
            break;
        case Op::Sin:
            acc = t.Sin[std::size_t(acc & (kTurn - 1))];
            break;
        case Op::Cos:
            acc = t.Cos[std::size_t(acc & (kTurn - 1))];
            break;
        case Op::Tan:
            acc = t.Tan[std::size_t(acc & (kTurn - 1))];
            break;
        case Op::R2x:
            lhs = *--sp, acc = Plus(Times(acc, t.Cos[std::size_t(lhs & (kTurn - 1))]), 256) >> 9;
            break;
        case Op::R2y:
            lhs = *--sp, acc = Plus(Times(acc, t.Sin[std::size_t(lhs & (kTurn - 1))]), 256) >> 9;
            break;
        case Op::C2d:
            lhs = *--sp, acc = Direction(lhs, acc);
            break;
        case Op::C2m:
            lhs = *--sp, acc = Magnitude(lhs, acc);
            break;
        }
    }
}

} // namespace kv::ff
