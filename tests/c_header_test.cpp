// C header export: the header paltool exported at build time compiles here,
// and its arrays equal the table file it came from.
#include "export/c_header.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "default_tables.h"
#include "paltab/color_tables.hpp"
#include "test_palettes.hpp"

namespace paltab {
namespace {

template <std::size_t N>
bool SameBytes(const unsigned char (&array)[N], std::span<const std::uint8_t> bytes) {
    return bytes.size() == N && std::equal(std::begin(array), std::end(array), bytes.begin());
}

TEST(ExportedHeader, ArraysEqualTheFile) {
    const auto file = ColorTableFile::Load(EXPORTED_TABLES);
    ASSERT_TRUE(file) << file.error().Message();
    const auto bytes = file->View().Bytes();
    ASSERT_TRUE(file->View().HasExtension());
    EXPECT_TRUE(SameBytes(default_tables_palette, bytes.subspan(kPaletteSectionOffset, kPaletteSectionSize)));
    EXPECT_TRUE(SameBytes(default_tables_map, bytes.subspan(kMapOffset, kMapSize)));
    EXPECT_TRUE(SameBytes(default_tables_shade, bytes.subspan(kShadeOffset, kShadeTableSize)));
    EXPECT_TRUE(SameBytes(default_tables_add, bytes.subspan(kAdditiveOffset, kPairTableSize)));
    EXPECT_TRUE(SameBytes(default_tables_mul, bytes.subspan(kMultiplicativeOffset, kPairTableSize)));
}

TEST(MakeCHeader, CommentSaysHowItWasMadeAndCannotBeClosedEarly) {
    const auto plain = GenerateColorTableFile(MakePalette({Rgb(4, 8, 255)}), {});
    const auto view = ColorTableView::Parse(plain);
    ASSERT_TRUE(view);
    const std::string header = MakeCHeader(*view, "t", "paltool export a*/b\n.tab --c-header t.h --name t");
    EXPECT_TRUE(header.starts_with("/* Colour tables for 256-colour graphics, made by `paltool export a* /b?.tab "
                                   "--c-header t.h --name t`\n"))
        << header.substr(0, 200);
    // The only "*/" is the one that ends the opening comment.
    EXPECT_EQ(header.find("*/"), header.find(" */\n#ifndef t_TABLES_H\n") + 1);
    EXPECT_NE(header.find("static const unsigned char t_palette[768] = {\n     1,   2,  63, 255,"), std::string::npos);
    EXPECT_NE(header.find("static const unsigned char t_map[32768] = {\n"), std::string::npos);
    EXPECT_EQ(header.find("t_shade"), std::string::npos);
    EXPECT_TRUE(header.ends_with("};\n\n#endif\n"));
}

TEST(IsCIdentifier, AcceptsOnlyIdentifiers) {
    for (const char* good : {"a", "_", "default_tables", "T2", "_x9_"}) {
        EXPECT_TRUE(IsCIdentifier(good)) << good;
    }
    for (const char* bad : {"", "9lives", "my-tables", "a b", "tables.h", "caf\xc3\xa9", "a$"}) {
        EXPECT_FALSE(IsCIdentifier(bad)) << bad;
    }
}

TEST(CArrayNameProblem, KeywordsReservedNamesAndPredefinedMacros) {
    const struct {
        const char* name;
        std::string_view problem;
    } cases[] = {
        {"tables", ""},         {"_x9_", ""},          {"int_", ""},
        {"9lives", "is not a C identifier"},           {"int", "is a C or C++ keyword"},
        {"class", "is a C or C++ keyword"},            {"typeof", "is a C or C++ keyword"},
        {"__FILE__", "is reserved for the compiler"},  {"_Bool", "is reserved for the compiler"},
        {"linux", "is a macro GCC and Clang predefine"}, {"unix", "is a macro GCC and Clang predefine"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CArrayNameProblem(c.name), c.problem) << c.name;
    }
}

}  // namespace
}  // namespace paltab
