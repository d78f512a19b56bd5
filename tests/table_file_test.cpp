// Colour table file: sizes, section offsets, the tag, the 6-bit palette
// bytes, each section against its table built on its own, and golden hashes
// of the bundled palettes' files.
//
// The golden hashes are the SHA-256 of the files the generator writes. After
// a deliberate change to the output, regenerate them with
//   for p in default sixteen; do for o in "" -n -c "-c -n"; do
//     build/paltab $o examples/$p.pal.txt /tmp/t.tab; echo "$p [$o] $(sha256sum </tmp/t.tab)"; done; done
// (the test also prints the new hash of each row that no longer matches).
#include "paltab/table_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "paltab/blend.hpp"
#include "paltab/color_tables.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/palette_text.hpp"
#include "paltab/shade.hpp"
#include "sha256.hpp"
#include "test_palettes.hpp"

namespace paltab {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Offsets written out rather than taken from table_file.hpp, so that a wrong
// constant there cannot hide itself.
constexpr std::size_t kMapAt = 768;
constexpr std::size_t kTagAt = 33536;
constexpr std::size_t kShadeAt = 33540;
constexpr std::size_t kAdditiveAt = 99076;
constexpr std::size_t kMultiplicativeAt = 164612;
constexpr std::size_t kPlainSize = 33536;
constexpr std::size_t kExtendedSize = 230148;

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t size) {
    if (offset + size > bytes.size()) {
        ADD_FAILURE() << "section " << offset << "+" << size << " past the end " << bytes.size();
        return {};
    }
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
}

template <std::size_t N>
Bytes AsBytes(const std::array<std::uint8_t, N>& table) {
    return Bytes(table.begin(), table.end());
}

Palette ReadExample(const std::string& name) {
    const std::string path = std::string(PALTAB_EXAMPLES_DIR) + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) {
        return {};
    }
    const PaletteReadResult read = ReadPaletteText(file);
    std::fclose(file);
    EXPECT_FALSE(read.readFailed) << path;
    return read.palette;
}

TEST(Sha256, StandardTestVectors) {
    auto hash = [](const std::string& text) {
        return Sha256Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    };
    EXPECT_EQ(hash(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hash("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hash("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hash(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(ColorTableFile, Sizes) {
    const Palette palette = TestPalettes().front().second;
    EXPECT_EQ(GenerateColorTableFile(palette, {}).size(), kPlainSize);
    EXPECT_EQ(GenerateColorTableFile(palette, {.weightedDistance = true}).size(), kPlainSize);
    EXPECT_EQ(GenerateColorTableFile(palette, {.writeExtension = true}).size(), kExtendedSize);
    EXPECT_EQ(GenerateColorTableFile(Palette{}, {.weightedDistance = true, .writeExtension = true}).size(),
              kExtendedSize);

    const auto map = std::make_unique<InverseColorMap>();
    const auto extension = std::make_unique<ExtensionTables>();
    EXPECT_EQ(SerializeColorTableFile(palette, *map, nullptr).size(), kPlainSize);
    EXPECT_EQ(SerializeColorTableFile(palette, *map, extension.get()).size(), kExtendedSize);
}

// Every table filled with its own pattern, so a section written at the wrong
// offset, in the wrong order or twice shows.
TEST(ColorTableFile, SerializePutsEachSectionAtItsOffset) {
    const Palette palette = TestPalettes().front().second;
    const auto map = std::make_unique<InverseColorMap>();
    const auto extension = std::make_unique<ExtensionTables>();
    for (std::size_t i = 0; i < map->size(); ++i) {
        (*map)[i] = static_cast<std::uint8_t>(i % 251);
    }
    for (std::size_t i = 0; i < kPairTableSize; ++i) {
        extension->shade[i] = static_cast<std::uint8_t>(i % 241);
        extension->additive[i] = static_cast<std::uint8_t>(i % 239);
        extension->multiplicative[i] = static_cast<std::uint8_t>(i % 233);
    }

    const Bytes plain = SerializeColorTableFile(palette, *map, nullptr);
    const Bytes file = SerializeColorTableFile(palette, *map, extension.get());
    EXPECT_EQ(Slice(plain, 0, kMapAt), AsBytes(EncodePaletteSection(palette)));
    EXPECT_EQ(Slice(plain, kMapAt, 32768), AsBytes(*map));
    EXPECT_EQ(Slice(file, 0, kPlainSize), plain);
    EXPECT_EQ(Slice(file, kTagAt, 4), (Bytes{0x43, 0x57, 0x45, 0x4E}));
    EXPECT_EQ(Slice(file, kShadeAt, 65536), AsBytes(extension->shade));
    EXPECT_EQ(Slice(file, kAdditiveAt, 65536), AsBytes(extension->additive));
    EXPECT_EQ(Slice(file, kMultiplicativeAt, 65536), AsBytes(extension->multiplicative));
}

TEST(ColorTableFile, PaletteSectionBytes) {
    struct Case {
        PaletteEntry entry;
        std::array<std::uint8_t, 3> bytes;
    };
    const Case cases[] = {
        {Rgb(255, 255, 255), {63, 63, 63}},  // used white differs from unused
        {Rgb(0, 0, 0), {0, 0, 0}},
        {Rgb(3, 7, 254), {0, 1, 63}},
        {Rgb(4, 8, 252), {1, 2, 63}},
        {Rgb(300, 256, 511), {11, 0, 63}},  // low 8 bits: 44, 0, 255
        {Rgb(-5, -256, -2), {62, 0, 63}},   // low 8 bits: 251, 0, 254
        {Rgb(-1, 40, 200), {255, 255, 255}},  // red -1 alone marks it unused
        {Rgb(0, -1, -1), {0, 63, 63}},        // only red decides
        {kUnusedEntry, {255, 255, 255}},
    };
    std::vector<PaletteEntry> entries;
    for (const Case& c : cases) {
        entries.push_back(c.entry);
    }
    const Palette palette = MakePalette(entries);
    const auto section = EncodePaletteSection(palette);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(section[3 * i + k], cases[i].bytes[k]) << "entry " << i << " component " << k;
        }
    }
    for (std::size_t i = 3 * std::size(cases); i < section.size(); ++i) {
        ASSERT_EQ(section[i], 255) << "byte " << i;
    }
    EXPECT_EQ(Slice(GenerateColorTableFile(palette, {}), 0, kMapAt), AsBytes(section));
}

// The bundled 16-colour palette: entries 16..255 unused, and the map can
// only name the sixteen used entries.
TEST(ColorTableFile, SixteenColours) {
    const Palette palette = ReadExample("sixteen.pal.txt");
    for (const bool extension : {false, true}) {
        SCOPED_TRACE(extension ? "with extension" : "plain");
        const Bytes file = GenerateColorTableFile(palette, {.writeExtension = extension});
        ASSERT_EQ(file.size(), extension ? kExtendedSize : kPlainSize);
        EXPECT_TRUE(std::all_of(file.begin(), file.begin() + 48, [](std::uint8_t b) { return b <= 63; }));
        EXPECT_TRUE(std::all_of(file.begin() + 48, file.begin() + 768, [](std::uint8_t b) { return b == 255; }));
        EXPECT_TRUE(std::all_of(file.begin() + 768, file.begin() + 33536, [](std::uint8_t b) { return b < 16; }));
        if (extension) {
            EXPECT_EQ(Slice(file, kTagAt, 4), (Bytes{'C', 'W', 'E', 'N'}));
        }
    }
}

// The file is the builders' tables laid end to end: build each table here on
// its own and compare it with its section.
TEST(ColorTableFile, SectionsEqualTheTablesBuiltSeparately) {
    for (const auto& [name, palette] : TestPalettes()) {
        for (const bool weighted : {false, true}) {
            SCOPED_TRACE(name + (weighted ? ", weighted" : ""));
            const auto t = std::make_unique<BuiltTables>();
            ASSERT_TRUE(BuildInverseColorMap(256, palette, t->distances, t->map, {.weightedDistance = weighted}));
            BuildShadeTable(palette, t->map, t->shade);
            BuildBlendTables(palette, t->map, t->shade, t->additive, t->multiplicative);

            const Bytes file = GenerateColorTableFile(palette, {.weightedDistance = weighted, .writeExtension = true});
            EXPECT_EQ(Slice(file, 0, kMapAt), AsBytes(EncodePaletteSection(palette)));
            EXPECT_EQ(Slice(file, kMapAt, 32768), AsBytes(t->map));
            EXPECT_EQ(Slice(file, kTagAt, 4), (Bytes{'C', 'W', 'E', 'N'}));
            EXPECT_EQ(Slice(file, kShadeAt, 65536), AsBytes(t->shade));
            EXPECT_EQ(Slice(file, kAdditiveAt, 65536), AsBytes(t->additive));
            EXPECT_EQ(Slice(file, kMultiplicativeAt, 65536), AsBytes(t->multiplicative));
            EXPECT_EQ(GenerateColorTableFile(palette, {.weightedDistance = weighted}), Slice(file, 0, kPlainSize));
        }
    }
}

TEST(ColorTableFile, GoldenHashes) {
    struct Golden {
        const char* palette;
        GenerateOptions options;
        const char* sha256;
    };
    const Golden goldens[] = {
        {"default.pal.txt", {}, "96eaf20434793dc36e7cbc6ac58c16cf0b9bb4ffe7af2b2588db24b8ff87c956"},
        {"default.pal.txt", {.writeExtension = true}, "162fa07b6966cc0bf287f53e8f1ac3b0aa04fb856ce45950832efc5eb6e1dcc3"},
        {"default.pal.txt", {.weightedDistance = true}, "df0a8a705559437318507408f0494a999f5c0d09eb6501b0c0629517ef9194a3"},
        {"default.pal.txt", {.weightedDistance = true, .writeExtension = true},
         "928231e53186e0deebdc11bc254cb2d510181ba97f2956f2b4cd6c09fe34bed2"},
        {"sixteen.pal.txt", {}, "3d3760732f62dfa56e49a1a10d4ad8202b59b8136b533a5fe7c8ab6ebb67a36d"},
        {"sixteen.pal.txt", {.writeExtension = true}, "cd8d279d1755a5338a948ed70c5d350888d60124a2692a0c2327f6876f4ec13c"},
        {"sixteen.pal.txt", {.weightedDistance = true}, "2ffaf618647efddd22b76ee4ea20b18a7fac28d3a8e979a19a54dd5a730b5f2f"},
        {"sixteen.pal.txt", {.weightedDistance = true, .writeExtension = true},
         "40c3474271f04b25c7361fdef9e504868165276cbe3ee677452e08c6c7d59142"},
    };
    for (const Golden& golden : goldens) {
        const Bytes file = GenerateColorTableFile(ReadExample(golden.palette), golden.options);
        const std::string actual = Sha256Hex(file);
        EXPECT_EQ(actual, golden.sha256) << golden.palette << (golden.options.weightedDistance ? " -c" : "")
                                         << (golden.options.writeExtension ? " -n" : "") << ": new hash " << actual;
    }
}

}  // namespace
}  // namespace paltab
