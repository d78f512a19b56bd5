// The light and blend tables of `paltool shade` and `paltool blend` laid out
// as their --layout asks, ready to be written, with the words their summary
// line uses.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "export/layouts.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/translucency_tables.hpp"

namespace paltab::paltool {

struct TableOutput {
    std::vector<std::uint8_t> bytes;
    std::string text;  // a C header, written instead of `bytes` when not empty
    TableStats stats;
    std::string what;  // "Doom colormap", "alpha 66 %"

    std::size_t Size() const { return text.empty() ? bytes.size() : text.size(); }
};

// The light table of `colors` (read from `palettePath`) in `layout`, for the
// file `output`; `commandLine` goes into a C header's comment. A table that
// cannot be built, or a picture that cannot be encoded, is a failure, thrown.
TableOutput LightTableOutput(std::span<const Rgb8> colors, const LightSettings& settings, LightLayout layout,
                             const std::string& palettePath, const std::string& output,
                             const std::string& commandLine);
// The same for a translucency or blend-mode table.
TableOutput TranslucencyTableOutput(std::span<const Rgb8> colors, const TranslucencySettings& settings,
                                    BlendLayout layout, const std::string& palettePath, const std::string& output,
                                    const std::string& commandLine);

// Writes `table` to `path` whole, or throws the failure.
void WriteTableOutput(const std::string& path, const TableOutput& table);

}  // namespace paltab::paltool
