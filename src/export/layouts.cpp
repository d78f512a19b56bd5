// Pictures and C headers of the light and blend tables.
#include "export/layouts.hpp"

#include <array>

#include "export/c_header.hpp"

namespace paltab {
namespace {

void FillSquare(RgbImage& image, int x0, int y0, int size, Rgb8 color) {
    for (int y = y0; y < y0 + size; ++y) {
        for (int x = x0; x < x0 + size; ++x) {
            image.Set(x, y, color);
        }
    }
}

// Every cell of the tables holds an index below the palette's count when its
// row and column are below it; anything else would show as black.
Rgb8 ColorOf(std::span<const Rgb8> colors, std::uint8_t index) {
    return index < colors.size() ? colors[index] : Rgb8{};
}

template <typename Layout, std::size_t N>
std::optional<Layout> ParseName(std::string_view name, const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            return static_cast<Layout>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<LightLayout> ParseLightLayout(std::string_view name) {
    static constexpr std::array<std::string_view, 5> kNames{"raw", "doom-colormap", "build-palette", "png", "c-header"};
    return ParseName<LightLayout>(name, kNames);
}

std::optional<BlendLayout> ParseBlendLayout(std::string_view name) {
    static constexpr std::array<std::string_view, 3> kNames{"raw", "png", "c-header"};
    return ParseName<BlendLayout>(name, kNames);
}

RgbImage RenderLightTable(std::span<const Rgb8> colors, const LightTable& table) {
    const int size = LightSwatchSize(colors.size());
    const int count = static_cast<int>(colors.size());
    RgbImage image(count * size, table.levels * size, Rgb8{});
    for (int level = 0; level < table.levels; ++level) {
        for (int c = 0; c < count; ++c) {
            const std::uint8_t index = table.bytes[PairIndex(level, c)];
            FillSquare(image, c * size, level * size, size, ColorOf(colors, index));
        }
    }
    return image;
}

RgbImage RenderTranslucencyTable(std::span<const Rgb8> colors, const TranslucencyTable& table) {
    const int count = static_cast<int>(colors.size());
    RgbImage image(count * kPairCellSize, count * kPairCellSize, Rgb8{});
    for (int behind = 0; behind < count; ++behind) {
        for (int front = 0; front < count; ++front) {
            FillSquare(image, front * kPairCellSize, behind * kPairCellSize, kPairCellSize,
                       ColorOf(colors, table.bytes[PairIndex(behind, front)]));
        }
    }
    return image;
}

std::string LightTableCHeader(const LightTable& table, std::string_view name, std::string_view what,
                              std::string_view command) {
    const std::string n(name);
    const std::string description = "A " + std::string(what) + ": " + n + "[level * 256 + i] is the entry that\n"
                                    "shows palette entry i at that level (row 0 the colours themselves).";
    return MakeCArrayHeader(name, table.bytes, description, command);
}

std::string TranslucencyTableCHeader(const TranslucencyTable& table, std::string_view name, std::string_view what,
                              std::string_view command) {
    const std::string n(name);
    const std::string description = "A blend table, " + std::string(what) + ": " + n +
                                    "[behind * 256 + front] is the entry for\n"
                                    "colour front drawn over colour behind (Boom's TRANMAP order).";
    return MakeCArrayHeader(name, table.bytes, description, command);
}

std::string CNameFromPath(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = file.find('.');
    if (dot != std::string_view::npos && dot > 0) {
        file = file.substr(0, dot);
    }
    std::string name;
    for (const char c : file) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        name += word ? c : '_';
    }
    // "__" and '_' before a capital begin the compiler's own names.
    while (name.size() > 1 && name[0] == '_' && (name[1] == '_' || (name[1] >= 'A' && name[1] <= 'Z'))) {
        name.erase(0, 1);
    }
    if (name.empty() || (name.front() >= '0' && name.front() <= '9')) {
        name.insert(0, 1, '_');
    }
    if (!CArrayNameProblem(name).empty()) {
        name += '_';
    }
    return name;
}

}  // namespace paltab
