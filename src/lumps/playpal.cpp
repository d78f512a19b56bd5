// PLAYPAL: the base palette and its tinted copies (pain, pick-up, radiation
// suit), each component moved towards the tint by an exact fraction.
#include <charconv>

#include "paltab/lumps.hpp"

namespace paltab {
namespace {

constexpr PaletteTint kRed{{255, 0, 0}, {}};
constexpr PaletteTint kPickUp{{215, 186, 69}, {}};
constexpr PaletteTint kGreen{{0, 255, 0}, {1, 5}};
constexpr int kRedPalettes = 8;     // 1..8
constexpr int kPickUpPalettes = 4;  // 9..12
// Decimal fractions are kept exact as n / 10^digits.
constexpr int kMostDecimals = 6;

// floor(a / b) for b > 0, rounding towards minus infinity as the tint's
// floor asks (C++ division truncates towards zero).
int FloorDivide(int a, int b) {
    const int q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

std::uint8_t TintComponent(std::uint8_t c, std::uint8_t t, Fraction f) {
    return static_cast<std::uint8_t>(c + FloorDivide((t - c) * f.numerator, f.denominator));
}

bool Valid(Fraction f) {
    return f.denominator >= 1 && f.numerator >= 0 && f.numerator <= f.denominator;
}

// 'text', built by appending (GCC 12 warns wrongly about "'" + std::string).
std::string Quoted(std::string_view text) {
    std::string quoted(1, '\'');
    quoted.append(text);
    quoted += '\'';
    return quoted;
}

std::optional<int> ParseInt(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

Rgb8 ApplyTint(Rgb8 c, const PaletteTint& tint) {
    return {TintComponent(c.r, tint.color.r, tint.amount), TintComponent(c.g, tint.color.g, tint.amount),
            TintComponent(c.b, tint.color.b, tint.amount)};
}

PlaypalTints DefaultPlaypalTints() {
    PlaypalTints tints{};
    for (int k = 1; k <= kRedPalettes; ++k) {
        tints[static_cast<std::size_t>(k)] = {kRed.color, {9 * k, 80}};
    }
    for (int k = 1; k <= kPickUpPalettes; ++k) {
        tints[static_cast<std::size_t>(kRedPalettes + k)] = {kPickUp.color, {k, 8}};
    }
    tints[kPlaypalPalettes - 1] = kGreen;
    return tints;
}

Result<std::vector<std::uint8_t>> MakePlaypal(std::span<const Rgb8> base, const PlaypalTints& tints) {
    if (base.empty() || base.size() > kPaletteSize) {
        return Error{"", "a PLAYPAL needs a base palette of 1..256 colours, not " + std::to_string(base.size())};
    }
    for (std::size_t k = 1; k < tints.size(); ++k) {
        if (!Valid(tints[k].amount)) {
            return Error{"",
                         "palette " + std::to_string(k) + ": the tint's fraction " +
                             std::to_string(tints[k].amount.numerator) + "/" +
                             std::to_string(tints[k].amount.denominator) + " lies outside 0..1",
                         ErrorKind::kBadSettings};
        }
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kPlaypalSize);
    for (std::size_t palette = 0; palette < kPlaypalPalettes; ++palette) {
        for (std::size_t entry = 0; entry < kPaletteSize; ++entry) {
            const Rgb8 c = entry < base.size() ? base[entry] : Rgb8{};
            const Rgb8 tinted = palette == 0 ? c : ApplyTint(c, tints[palette]);
            bytes.insert(bytes.end(), {tinted.r, tinted.g, tinted.b});
        }
    }
    return bytes;
}

std::optional<Fraction> ParseFraction(std::string_view text) {
    if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
        const auto n = ParseInt(text.substr(0, slash), 0, 1 << 20);
        const auto d = ParseInt(text.substr(slash + 1), 1, 1 << 20);
        if (!n || !d || *n > *d) {
            return std::nullopt;
        }
        return Fraction{*n, *d};
    }
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view decimals = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    if ((whole.empty() && decimals.empty()) || decimals.size() > kMostDecimals ||
        (dot != std::string_view::npos && decimals.empty())) {
        return std::nullopt;
    }
    const auto w = whole.empty() ? std::optional<int>(0) : ParseInt(whole, 0, 1);
    const auto d = decimals.empty() ? std::optional<int>(0) : ParseInt(decimals, 0, 999999);
    const auto digitsOnly = [](std::string_view part) {
        return part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!w || !d || !digitsOnly(whole) || !digitsOnly(decimals)) {
        return std::nullopt;
    }
    int denominator = 1;
    for (std::size_t k = 0; k < decimals.size(); ++k) {
        denominator *= 10;
    }
    const Fraction f{*w * denominator + *d, denominator};
    return Valid(f) ? std::optional(f) : std::nullopt;
}

Result<TintOption> ParseTintOption(std::string_view text) {
    const auto bad = [](std::string cause) { return Error{"", std::move(cause), ErrorKind::kBadSettings}; };
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return bad(Quoted(text) + " is not K:R,G,B:F");
    }
    TintOption option;
    const auto palette = ParseInt(text.substr(0, first), 1, kPlaypalPalettes - 1);
    if (!palette) {
        return bad(Quoted(text.substr(0, first)) + " is not a palette 1..13");
    }
    option.palette = *palette;
    std::string_view colour = text.substr(first + 1, second - first - 1);
    std::uint8_t* components[] = {&option.tint.color.r, &option.tint.color.g, &option.tint.color.b};
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t comma = k < 2 ? colour.find(',') : colour.size();
        const auto value = comma == std::string_view::npos ? std::nullopt : ParseInt(colour.substr(0, comma), 0, 255);
        if (!value) {
            return bad(Quoted(text.substr(first + 1, second - first - 1)) +
                       " is not a colour R,G,B of three numbers 0..255");
        }
        *components[k] = static_cast<std::uint8_t>(*value);
        colour = k < 2 ? colour.substr(comma + 1) : std::string_view{};
    }
    const auto amount = ParseFraction(text.substr(second + 1));
    if (!amount) {
        return bad(Quoted(text.substr(second + 1)) + " is not a fraction 0..1 (0.125, 1/8)");
    }
    option.tint.amount = *amount;
    return option;
}

}  // namespace paltab
