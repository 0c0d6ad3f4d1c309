#include "bardesc.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace kv {

namespace {

class Tokens {
  public:
    explicit Tokens(std::string_view text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find(',', start), text.size());
            list_.emplace_back(text.substr(start, end - start));
            start = end + 1;
        }
    }
    bool Done() const { return pos_ >= list_.size(); }
    // The next token, empty once the text is used up.
    std::string Next() { return Done() ? std::string() : list_[pos_++]; }
    double Number() {
        const std::string t = Next();
        const char* b = t.data();
        while (b < t.data() + t.size() && *b == ' ') ++b;
        double v = 0;
        std::from_chars(b, t.data() + t.size(), v);
        return v;
    }
    int Integer() { return static_cast<int>(std::clamp(Number(), -2147483647.0, 2147483647.0)); }

  private:
    std::vector<std::string> list_;
    std::size_t pos_ = 0;
};

std::uint32_t HexColor(const std::string& t) {
    std::uint32_t v = 0;
    const char* b = t.data();
    while (b < t.data() + t.size() && *b == ' ') ++b;
    std::from_chars(b, t.data() + t.size(), v, 16);
    return v & 0xFFFFFF;
}

} // namespace

BarDescriptor ParseBarDescriptor(std::string_view text) {
    BarDescriptor d;
    Tokens t(text);
    d.Caption = t.Next();
    while (!t.Done()) {
        const std::string type = t.Next();
        if (type.empty()) continue;
        BarItem item;
        item.Type = type[0];
        item.Level = static_cast<int>(type.size()) - 1;
        switch (item.Type) {
        case 'B':
        case 'T':
            item.Caption = t.Next();
            item.Hint = t.Next();
            break;
        case 'C':
            item.Caption = t.Next();
            item.Value = t.Integer() != 0 ? 1 : 0;
            item.Hint = t.Next();
            break;
        case 'F':
            item.Caption = t.Next();
            item.Decimals = std::clamp(t.Integer(), 0, 10);
            [[fallthrough]];
        case 'I':
            if (item.Type == 'I') item.Caption = t.Next();
            item.Min = t.Number();
            item.Max = t.Number();
            item.Value = t.Number();
            item.Hint = t.Next();
            break;
        case 'L': {
            item.Caption = t.Next();
            const int n = t.Integer();
            for (int i = 0; i < n && !t.Done(); ++i) item.Items.push_back(t.Next());
            item.Hint = t.Next();
            break;
        }
        case 'N':
            item.Hint = t.Next();
            break;
        case 'O':
            item.Caption = t.Next();
            item.Color = HexColor(t.Next());
            item.Hint = t.Next();
            break;
        case 'P':
            item.Caption = t.Next();
            item.Hint = t.Next();
            break;
        case 'S':
            break;
        default:
            continue; // unknown: nothing, the next token is read as a type
        }
        d.Items.push_back(std::move(item));
    }
    return d;
}

std::string FormatBarNumber(double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 10), v);
    return text;
}

} // namespace kv
