// Laying out and writing the tables of shade and blend.
#include "table_output.hpp"

#include "command.hpp"
#include "io/file_io.hpp"
#include "paltab/lumps.hpp"

namespace paltab::paltool {
namespace {

std::vector<std::uint8_t> PictureOrFail(const RgbImage& picture, const std::string& output) {
    auto png = EncodePng(picture);
    if (!png) {
        ThrowFailure(CannotWrite(output, std::move(png).error()).Message());
    }
    return std::move(*png);
}

// The table of `made`, or its error thrown as a failure of the palette at
// `palettePath`.
template <class Table>
Table TableOrFail(Result<Table> made, const std::string& palettePath) {
    if (!made) {
        ThrowFailure(QuotedPath(palettePath) + ": " + made.error().Message());
    }
    return std::move(made).value();
}

}  // namespace

TableOutput LightTableOutput(std::span<const Rgb8> colors, const LightSettings& settings, LightLayout layout,
                             const std::string& palettePath, const std::string& output,
                             const std::string& commandLine) {
    TableOutput result;
    result.what = "light table of " + std::to_string(settings.levels) + " levels";
    if (layout == LightLayout::kDoomColormap || layout == LightLayout::kBuildPalette) {
        const bool doom = layout == LightLayout::kDoomColormap;
        if (doom) {
            const LightTable colormap = TableOrFail(MakeDoomColormap(colors, settings), palettePath);
            result.bytes = colormap.bytes;
            result.stats = colormap.stats;
        } else {
            const PaletteDat file = TableOrFail(MakePaletteDat(colors, settings), palettePath);
            result.bytes = file.bytes;
            result.stats = file.stats;
        }
        result.what = doom ? "Doom colormap"
                           : "Build palette.dat with " + result.what + " and a 50 % translucency table";
        return result;
    }
    const LightTable table = TableOrFail(MakeLightTable(colors, settings), palettePath);
    result.stats = table.stats;
    if (layout == LightLayout::kPng) {
        result.bytes = PictureOrFail(RenderLightTable(colors, table), output);
        result.what += " (picture)";
    } else if (layout == LightLayout::kCHeader) {
        const std::string fog = std::to_string(settings.fog.r) + " " + std::to_string(settings.fog.g) + " " +
                                std::to_string(settings.fog.b);
        result.text = LightTableCHeader(table, CNameFromPath(output), result.what + " towards " + fog, commandLine);
    } else {
        result.bytes = table.bytes;
    }
    return result;
}

TableOutput TranslucencyTableOutput(std::span<const Rgb8> colors, const TranslucencySettings& settings,
                                    BlendLayout layout, const std::string& palettePath, const std::string& output,
                                    const std::string& commandLine) {
    const auto table = MakeTranslucencyTable(colors, settings);
    if (!table) {
        ThrowFailure(QuotedPath(palettePath) + ": " + table.error().Message());
    }
    TableOutput result;
    result.stats = table->stats;
    result.what = BlendModeName(settings.mode);
    if (settings.mode == BlendMode::kAlpha) {
        result.what += " " + std::to_string(settings.alphaPercent) + " %";
    }
    if (settings.search.linearMix) {
        result.what += " in linear light";
    }
    if (layout == BlendLayout::kCHeader) {
        result.text = TranslucencyTableCHeader(*table, CNameFromPath(output), result.what, commandLine);
    } else if (layout == BlendLayout::kPng) {
        result.bytes = PictureOrFail(RenderTranslucencyTable(colors, *table), output);
    } else {
        result.bytes.assign(table->bytes.begin(), table->bytes.end());
    }
    return result;
}

void WriteTableOutput(const std::string& path, const TableOutput& table) {
    if (table.text.empty()) {
        WriteOrFail(path, table.bytes);
    } else {
        WriteOrFail(path, std::string_view(table.text));
    }
}

}  // namespace paltab::paltool
