// paltool formats: the palette formats, what is read and written, and how
// each is recognised.
#include "command.hpp"
#include "paltab/palette_formats.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool formats

Lists the palette formats that 'paltool build', 'convert' and
'verify --palette' read and write: the name given to --format, --from and
--to, whether it is read and written, how it is recognised when no format
is given (content first, then the file name), and what it holds.
                         paltool formats
)";

constexpr std::size_t kNameWidth = 10;
constexpr std::size_t kAccessWidth = 12;

std::string Padded(std::string_view text, std::size_t width) {
    std::string padded(text);
    padded.resize(std::max(width, text.size() + 1), ' ');
    return padded;
}

int Run(std::span<const char* const> args) {
    CLI::App cli;
    if (!ParseCommandLine(cli, kFormatsCommand, args)) {
        return kSuccess;
    }
    std::string text = Padded("name", kNameWidth) + Padded("access", kAccessWidth) + "recognised by\n";
    for (const FormatInfo& info : PaletteFormats()) {
        const std::string_view access = info.writes ? "read, write" : "read";
        text += Padded(info.name, kNameWidth) + Padded(access, kAccessWidth) + std::string(info.recognisedBy) + "\n";
        text += std::string(kNameWidth + kAccessWidth, ' ') + std::string(info.description) + "\n";
    }
    Print(text);
    return kSuccess;
}

}  // namespace

const Command kFormatsCommand{"formats", "formats", "the palette formats, and how each is recognised", kHelp, Run};

}  // namespace paltab::paltool
