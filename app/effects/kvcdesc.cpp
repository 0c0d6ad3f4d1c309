#include "effects/kvcdesc.h"

#include "kvc.h"
#include "protocol.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace kv {

namespace {

std::string Trim(std::string s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The comma-separated fields of text.
std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        out.push_back(
            text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) return out;
        from = comma + 1;
    }
}

// Numbers as "." writes them, whatever the locale.
template <typename T> bool Number(const std::string& field, T& out, int base = 10) {
    std::string s = Trim(field);
    if constexpr (std::is_integral_v<T>) {
        if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
            s.erase(0, 2);
        if (!s.empty() && s[0] == '+') s.erase(0, 1);
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
        return ec == std::errc() && end == s.data() + s.size();
    } else {
        if (!s.empty() && s[0] == '+') s.erase(0, 1);
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
        return ec == std::errc() && end == s.data() + s.size();
    }
}

// n numeric fields starting at args[0]; extra fields are allowed.
bool Ints(const std::vector<std::string>& args, int n, int* out) {
    if (static_cast<int>(args.size()) < n) return false;
    for (int i = 0; i < n; ++i)
        if (!Number(args[static_cast<std::size_t>(i)], out[i])) return false;
    return true;
}

int KindOf(char letter) {
    switch (letter) {
    case KVCP_INTEGER:
        return KVCK_INTEGER;
    case KVCP_FLOAT:
        return KVCK_FLOAT;
    case KVCP_BUTTON:
        return KVCK_BUTTON;
    case KVCP_CHECK:
        return KVCK_CHECK;
    case KVCP_SLIDER:
        return KVCK_SLIDER;
    case KVCP_LIST:
        return KVCK_LIST;
    case KVCP_COLOR:
        return KVCK_COLOR;
    case KVCP_POINT:
        return KVCK_POINT;
    case KVCP_IMAGE:
        return KVCK_IMAGE;
    default:
        return 0;
    }
}

bool ParseArgs(ParamDesc& d, ParamValue& v, const std::vector<std::string>& a) {
    int n[3] = {};
    switch (d.Kind) {
    case KVCK_BUTTON:
        return true;
    case KVCK_CHECK:
        if (!Ints(a, 1, n)) return false;
        v.Int = n[0] != 0 ? 1 : 0;
        return true;
    case KVCK_IMAGE:
        if (!Ints(a, 1, n)) return false;
        v.Int = std::clamp(n[0], 1, 10);
        return true;
    case KVCK_INTEGER:
    case KVCK_SLIDER:
        if (!Ints(a, 3, n)) return false;
        d.Min = n[0], d.Max = std::max(n[0], n[1]);
        v.Int = std::clamp(n[2], d.Min, d.Max);
        return true;
    case KVCK_POINT:
        if (!Ints(a, 2, n)) return false;
        v.X = std::clamp(n[0], 0, 65535), v.Y = std::clamp(n[1], 0, 65535);
        return true;
    case KVCK_COLOR:
        if (a.empty() || !Number(a[0], v.Rgb, 16)) return false;
        v.Rgb &= 0xFFFFFF;
        return true;
    case KVCK_FLOAT: {
        double r[4];
        if (a.size() < 5 || !Number(a[0], d.Decimals)) return false;
        for (int i = 0; i < 4; ++i)
            if (!Number(a[static_cast<std::size_t>(i) + 1], r[i])) return false;
        d.Decimals = std::clamp(d.Decimals, 0, 10);
        d.Step = r[0], d.FMin = r[1], d.FMax = std::max(r[1], r[2]);
        v.Real = std::clamp(r[3], d.FMin, d.FMax);
        return true;
    }
    case KVCK_LIST: {
        int count = 0;
        if (a.empty() || !Number(a[0], count) || count < 1 ||
            static_cast<std::size_t>(count) + 2 > a.size())
            return false;
        int chosen = 0;
        if (!Number(a[static_cast<std::size_t>(count) + 1], chosen)) return false;
        d.Items.assign(a.begin() + 1, a.begin() + 1 + count);
        v.Int = std::clamp(chosen, 1, count);
        return true;
    }
    default:
        return false;
    }
}

void Put(ValueBlock& block, std::size_t& at, const void* bytes, std::size_t n) {
    if (at + n > block.size()) {
        at = block.size();
        return;
    }
    std::memcpy(block.data() + at, bytes, n);
    at += n;
}

} // namespace

int ParamDesc::Bytes() const {
    switch (Kind) {
    case 0:
    case KVCK_BUTTON:
        return 0;
    case KVCK_FLOAT:
        return 8;
    default:
        return 4;
    }
}

bool ParseParam(const std::string& text, ParamDesc& desc, ParamValue& initial) {
    if (text.size() <= 2) return false;
    ParamDesc d;
    ParamValue v;
    d.Kind = KindOf(text[0]);
    if (d.Kind == 0) return false;
    if (text[1] >= '0' && text[1] <= '9') d.Level = text[1] - '0';
    std::vector<std::string> fields = Fields(text);
    if (fields.size() < 2) return false;
    d.Label = fields[1];
    if (!ParseArgs(d, v, std::vector<std::string>(fields.begin() + 2, fields.end()))) return false;
    desc = std::move(d);
    initial = v;
    return true;
}

std::string ParseDescription(const std::string& text, ComponentDesc& out) {
    ComponentDesc d;
    const std::string ver = Trim(kvc::DescValue(text, KVCD_VER));
    if (ver.empty()) return "no Ver=";
    if (!Number(ver, d.Version) || !(d.Version >= 1.48f && d.Version < 2.0f))
        return "Ver=" + ver + " is not accepted (1.48 to below 2)";
    d.Name = kvc::DescValue(text, KVCD_NAME);
    if (d.Name.empty()) return "no Name=";
    d.Copyright = kvc::DescValue(text, KVCD_COPYRIGHT);
    d.Contact = kvc::DescValue(text, KVCD_CONTACT);
    d.Options = kvc::DescValue(text, KVCD_OPT);
    d.Icon = kvc::DescValue(text, KVCD_ICON);
    d.HelpFile = kvc::DescValue(text, KVCD_HELP);
    if (const std::size_t comma = d.HelpFile.find(','); comma != std::string::npos) {
        int context = 100;
        if (Number(d.HelpFile.substr(comma + 1), context)) d.HelpContext = context;
        d.HelpFile.resize(comma);
        d.HelpHasContext = true;
    }
    for (int i = 0; i < kMaxComponentParams; ++i) {
        const std::string key = std::string(KVCD_PAR) + std::to_string(i + 1) + "=";
        const auto n = static_cast<std::size_t>(i);
        ParseParam(kvc::DescValue(text, key), d.Params[n], d.Defaults[n]);
    }
    out = std::move(d);
    return {};
}

int ToUnit(int pixel, int size) {
    if (size <= 1) return 0;
    return static_cast<int>(std::int64_t(pixel) * 65535 / (size - 1));
}

int FromUnit(int unit, int size) {
    if (size <= 1) return 0;
    return static_cast<int>(std::int64_t(unit) * (size - 1) / 65535);
}

void PackValues(const ComponentDesc& desc, const std::array<ParamValue, kMaxComponentParams>& v,
                ValueBlock& block) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < desc.Params.size(); ++i) {
        const ParamValue& p = v[i];
        switch (desc.Params[i].Kind) {
        case 0:
        case KVCK_BUTTON:
            break;
        case KVCK_FLOAT:
            Put(block, at, &p.Real, 8);
            break;
        case KVCK_COLOR:
            Put(block, at, &p.Rgb, 4);
            break;
        case KVCK_POINT: {
            const std::uint16_t xy[2] = {static_cast<std::uint16_t>(p.X),
                                         static_cast<std::uint16_t>(p.Y)};
            Put(block, at, xy, 4);
            break;
        }
        default: {
            const std::int32_t n = p.Int;
            Put(block, at, &n, 4);
        }
        }
    }
}

} // namespace kv
