// Calls into the units behind the public headers that a program linking
// paltab::paltab alone must find: the generator's tables, palette formats,
// exact maps, light tables, the PNG codec and the remap call. Exit 0 when
// every result is what it must be.
#include <cstdio>
#include <string>
#include <vector>

int main() {
    using namespace paltab;
    int faults = 0;
    const auto check = [&](bool ok, const char* what) {
        if (!ok) {
            std::fprintf(stderr, "consumer: %s\n", what);
            ++faults;
        }
    };
    const std::string text = "0 0 0\n255 255 255\n255 0 0\n";
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    std::vector<std::string> warnings;
    const auto palette = ReadPalette(bytes, PaletteFormat::kText, {}, warnings);
    check(palette && palette->colors.size() == 3, "the text palette does not read as 3 colours");
    if (!palette) {
        return 1;
    }
    const std::vector<std::uint8_t> file = GenerateColorTableFile(ToGeneratorPalette(palette->colors), {});
    check(file.size() == kPlainFileSize, "the table file has the wrong size");

    const auto map = ExactColorMap::Build(palette->colors, 5, {});
    check(map && map->Lookup({250, 10, 10}) == 2, "the exact map does not find red");

    LightSettings light;
    light.levels = 2;
    const auto table = MakeLightTable(palette->colors, light);
    check(table && table->bytes.size() == 2 * kPaletteSize && table->bytes[kPaletteSize + 1] == 0,
          "white at half light is not black in a black, white and red palette");

    const std::vector<std::uint8_t> pixels{0, 1, 2, 1};
    const auto png = EncodeIndexedPng(2, 2, pixels, palette->colors, std::nullopt);
    const auto target = RemapTargetOfPalette(palette->colors, {});
    check(png && target, "the indexed PNG or the remap target could not be made");
    if (png && target) {
        const auto remapped = RemapImage(*png, *target, {});
        check(remapped && remapped->indices == pixels, "a palette image does not remap to itself");
    }
    return faults == 0 ? 0 : 1;
}
