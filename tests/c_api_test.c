/* The C interface from a C program: every function, its bad arguments, and
 * its tables against plain full searches in exact integers. Compiled as C99. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "paltab/paltab.h"

static int failures;

#define CHECK(cond)                                                               \
    do {                                                                          \
        if (!(cond)) {                                                            \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond);    \
            ++failures;                                                           \
        }                                                                         \
    } while (0)

#define CHECK_STATUS(expr, expected)                                                                     \
    do {                                                                                                 \
        const paltab_status got_ = (expr);                                                               \
        if (got_ != (expected)) {                                                                        \
            fprintf(stderr, "%s:%d: %s gave \"%s\", expected \"%s\"\n", __FILE__, __LINE__, #expr,       \
                    paltab_status_text(got_), paltab_status_text(expected));                             \
            ++failures;                                                                                  \
        }                                                                                                \
    } while (0)

/* Reports the first differing cell of a table and counts one failure. */
static void CheckTable(const char *what, const uint8_t *got, const uint8_t *expected, size_t size) {
    size_t i;
    for (i = 0; i < size; ++i) {
        if (got[i] != expected[i]) {
            fprintf(stderr, "%s: cell %zu is %d, a plain search gives %d\n", what, i, got[i], expected[i]);
            ++failures;
            return;
        }
    }
}

/* Sixteen colours; entry 9 repeats entry 3, so ties must go to 3. */
#define COUNT 16
static const paltab_rgb kColors[COUNT] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {128, 128, 0}, {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

/* The entry nearest to the target n / q (per component) among entries
 * 0..count-1 not flagged in `skip`: least sum of (e * q - n)^2, lowest index
 * on ties; -1 when none is left. */
static int PlainNearest(const int64_t n[3], int64_t q, const uint8_t *skip) {
    int best = -1;
    int64_t best_distance = 0;
    int e;
    for (e = 0; e < COUNT; ++e) {
        const int64_t dr = kColors[e].r * q - n[0], dg = kColors[e].g * q - n[1], db = kColors[e].b * q - n[2];
        const int64_t d = dr * dr + dg * dg + db * db;
        if ((skip == NULL || !skip[e]) && (best < 0 || d < best_distance)) {
            best = e;
            best_distance = d;
        }
    }
    return best;
}

static paltab_palette *MakePalette(const uint8_t *reserved) {
    paltab_palette *palette = NULL;
    CHECK_STATUS(paltab_palette_create(kColors, COUNT, PALTAB_METRIC_RGB, reserved, &palette), PALTAB_OK);
    return palette;
}

static void TestVersionAndStatus(void) {
    char expected[32];
    int status;
    snprintf(expected, sizeof expected, "%d.%d.%d", PALTAB_VERSION_MAJOR, PALTAB_VERSION_MINOR, PALTAB_VERSION_PATCH);
    CHECK(strcmp(paltab_version(), expected) == 0);
    for (status = PALTAB_OK; status <= PALTAB_ERROR_INTERNAL; ++status) {
        const char *text = paltab_status_text((paltab_status)status);
        CHECK(text != NULL && strcmp(text, "unknown status") != 0);
        CHECK(status == PALTAB_OK || strcmp(text, paltab_status_text((paltab_status)(status - 1))) != 0);
    }
    CHECK(strcmp(paltab_status_text((paltab_status)99), "unknown status") == 0);
    CHECK(strcmp(paltab_status_text((paltab_status)-1), "unknown status") == 0);
}

static void TestPaletteCreate(void) {
    uint8_t all[256];
    paltab_palette *palette = (paltab_palette *)&failures; /* must become NULL */
    struct {
        const paltab_rgb *colors;
        int count;
        int metric;
        const uint8_t *reserved;
    } const bad[] = {{NULL, COUNT, PALTAB_METRIC_RGB, NULL}, {kColors, 0, PALTAB_METRIC_RGB, NULL},
                     {kColors, 257, PALTAB_METRIC_RGB, NULL}, {kColors, -1, PALTAB_METRIC_RGB, NULL},
                     {kColors, COUNT, 3, NULL},               {kColors, COUNT, -1, NULL},
                     {kColors, COUNT, PALTAB_METRIC_OKLAB, all}};
    size_t i;
    memset(all, 1, sizeof all);
    for (i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
        CHECK_STATUS(paltab_palette_create(bad[i].colors, bad[i].count, (paltab_metric)bad[i].metric, bad[i].reserved,
                                           &palette),
                     PALTAB_ERROR_INVALID_ARGUMENT);
        CHECK(palette == NULL);
    }
    CHECK_STATUS(paltab_palette_create(kColors, COUNT, PALTAB_METRIC_RGB, NULL, NULL), PALTAB_ERROR_INVALID_ARGUMENT);
    /* Flags past the count are ignored: one selectable entry is enough. */
    all[COUNT - 1] = 0;
    CHECK_STATUS(paltab_palette_create(kColors, COUNT, PALTAB_METRIC_LINEAR, all, &palette), PALTAB_OK);
    CHECK(paltab_nearest(palette, kColors[0]) == COUNT - 1);
    paltab_palette_destroy(palette);
    paltab_palette_destroy(NULL);
}

static void TestNearestAndMap(void) {
    uint8_t reserved[256] = {0};
    paltab_palette *palette;
    uint8_t *map = malloc(32768), *expected = malloc(32768);
    int cell;
    reserved[7] = 1;
    palette = MakePalette(reserved);
    CHECK(paltab_nearest(NULL, kColors[0]) == -1);
    CHECK(paltab_nearest(palette, kColors[9]) == 3);
    for (cell = 0; cell < 32768; ++cell) {
        const int64_t n[3] = {(cell >> 10) * 8 + 4, ((cell >> 5) & 31) * 8 + 4, (cell & 31) * 8 + 4};
        const paltab_rgb color = {(uint8_t)n[0], (uint8_t)n[1], (uint8_t)n[2]};
        expected[cell] = (uint8_t)PlainNearest(n, 1, reserved);
        if (paltab_nearest(palette, color) != expected[cell]) {
            CHECK(paltab_nearest(palette, color) == expected[cell]);
            break;
        }
    }
    CHECK_STATUS(paltab_exact_map(palette, 5, map, 32768), PALTAB_OK);
    CheckTable("5-bit map", map, expected, 32768);

    CHECK_STATUS(paltab_exact_map(palette, 4, map, 32768), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_exact_map(palette, 9, map, 32768), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_exact_map(NULL, 5, map, 32768), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_exact_map(palette, 5, NULL, 32768), PALTAB_ERROR_INVALID_ARGUMENT);
    memset(map, 0xAB, 32768);
    CHECK_STATUS(paltab_exact_map(palette, 5, map, 32767), PALTAB_ERROR_BUFFER_TOO_SMALL);
    CHECK_STATUS(paltab_exact_map(palette, 6, map, 32768), PALTAB_ERROR_BUFFER_TOO_SMALL);
    CHECK(map[0] == 0xAB && map[32766] == 0xAB);
    paltab_palette_destroy(palette);
    free(map);
    free(expected);
}

static void TestLightTables(void) {
    const paltab_rgb fog = {96, 104, 120};
    const int levels = 32;
    uint8_t fullbright[256] = {0};
    paltab_palette *palette = MakePalette(NULL);
    uint8_t *table = malloc(PALTAB_DOOM_COLORMAP_SIZE), *expected = malloc(PALTAB_DOOM_COLORMAP_SIZE);
    int level, c;
    fullbright[15] = fullbright[40] = 1;
    for (level = 0; level < levels; ++level) {
        for (c = 0; c < 256; ++c) {
            int64_t n[3];
            if (c >= COUNT || fullbright[c]) {
                expected[level * 256 + c] = (uint8_t)c;
                continue;
            }
            n[0] = kColors[c].r * levels + (fog.r - kColors[c].r) * level;
            n[1] = kColors[c].g * levels + (fog.g - kColors[c].g) * level;
            n[2] = kColors[c].b * levels + (fog.b - kColors[c].b) * level;
            expected[level * 256 + c] = (uint8_t)PlainNearest(n, levels, fullbright);
        }
    }
    CHECK_STATUS(paltab_light_table(palette, levels, fog, fullbright, table, levels * 256), PALTAB_OK);
    CheckTable("light table", table, expected, (size_t)levels * 256);

    CHECK_STATUS(paltab_light_table(palette, 0, fog, NULL, table, 8704), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_light_table(palette, 257, fog, NULL, table, 8704), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_light_table(NULL, 1, fog, NULL, table, 8704), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_light_table(palette, 1, fog, NULL, NULL, 8704), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_light_table(palette, 34, fog, NULL, table, 8703), PALTAB_ERROR_BUFFER_TOO_SMALL);

    /* Doom: rows 0..31 towards black, row 32 inverted grey, row 33 zero. */
    {
        const paltab_rgb black = {0, 0, 0};
        CHECK_STATUS(paltab_light_table(palette, 32, black, NULL, expected, 8192), PALTAB_OK);
        for (c = 0; c < COUNT; ++c) {
            const int64_t grey = 255 * 10000 - (2126 * kColors[c].r + 7152 * kColors[c].g + 722 * kColors[c].b);
            const int64_t n[3] = {grey, grey, grey};
            expected[32 * 256 + c] = (uint8_t)PlainNearest(n, 10000, NULL);
        }
        memset(expected + 33 * 256, 0, 256);
        memset(table, 0xAB, PALTAB_DOOM_COLORMAP_SIZE);
        CHECK_STATUS(paltab_doom_colormap(palette, table, PALTAB_DOOM_COLORMAP_SIZE), PALTAB_OK);
        CheckTable("colormap rows 0..32", table, expected, 32 * 256 + COUNT);
        CheckTable("colormap row 33", table + 33 * 256, expected + 33 * 256, 256);
        CHECK_STATUS(paltab_doom_colormap(palette, table, PALTAB_DOOM_COLORMAP_SIZE - 1), PALTAB_ERROR_BUFFER_TOO_SMALL);
        CHECK_STATUS(paltab_doom_colormap(NULL, table, PALTAB_DOOM_COLORMAP_SIZE), PALTAB_ERROR_INVALID_ARGUMENT);
        CHECK_STATUS(paltab_doom_colormap(palette, NULL, PALTAB_DOOM_COLORMAP_SIZE), PALTAB_ERROR_INVALID_ARGUMENT);
    }
    paltab_palette_destroy(palette);
    free(table);
    free(expected);
}

/* The target of one blend cell as n / q, front over behind. */
static int64_t BlendTarget(int mode, int alpha, int front, int behind, int64_t *q) {
    *q = 1;
    switch (mode) {
        case PALTAB_BLEND_ALPHA:
        case PALTAB_BLEND_AVERAGE:
            if (mode == PALTAB_BLEND_AVERAGE) {
                alpha = 50;
            }
            *q = 100;
            return front * alpha + behind * (100 - alpha);
        case PALTAB_BLEND_ADD:
            return front + behind > 255 ? 255 : front + behind;
        case PALTAB_BLEND_SUBTRACT:
            return behind > front ? behind - front : 0;
        case PALTAB_BLEND_MULTIPLY:
            *q = 255;
            return front * behind;
        case PALTAB_BLEND_SCREEN:
            *q = 255;
            return 255 * 255 - (255 - front) * (255 - behind);
        case PALTAB_BLEND_MIN:
            return front < behind ? front : behind;
        default:
            return front > behind ? front : behind;
    }
}

static void TestBlendTables(void) {
    static const struct {
        int mode, alpha;
    } cases[] = {{PALTAB_BLEND_ALPHA, 66},   {PALTAB_BLEND_ALPHA, 0},    {PALTAB_BLEND_ALPHA, 100},
                 {PALTAB_BLEND_ADD, -5},     {PALTAB_BLEND_SUBTRACT, 0}, {PALTAB_BLEND_MULTIPLY, 0},
                 {PALTAB_BLEND_SCREEN, 0},   {PALTAB_BLEND_MIN, 0},      {PALTAB_BLEND_MAX, 0},
                 {PALTAB_BLEND_AVERAGE, 400}};
    uint8_t reserved[256] = {0};
    paltab_palette *palette;
    uint8_t *table = malloc(65536), *expected = malloc(65536);
    size_t k;
    reserved[0] = 1;
    palette = MakePalette(reserved);
    for (k = 0; k < sizeof cases / sizeof cases[0]; ++k) {
        int behind, front;
        char what[64];
        for (behind = 0; behind < 256; ++behind) {
            for (front = 0; front < 256; ++front) {
                int64_t n[3], q;
                uint8_t *cell = &expected[behind * 256 + front];
                if (front >= COUNT || behind >= COUNT) {
                    *cell = (uint8_t)(behind >= COUNT && front < COUNT ? front : behind);
                    continue;
                }
                n[0] = BlendTarget(cases[k].mode, cases[k].alpha, kColors[front].r, kColors[behind].r, &q);
                n[1] = BlendTarget(cases[k].mode, cases[k].alpha, kColors[front].g, kColors[behind].g, &q);
                n[2] = BlendTarget(cases[k].mode, cases[k].alpha, kColors[front].b, kColors[behind].b, &q);
                *cell = (uint8_t)PlainNearest(n, q, reserved);
            }
        }
        CHECK_STATUS(paltab_blend_table(palette, (paltab_blend_mode)cases[k].mode, cases[k].alpha, table, 65536),
                     PALTAB_OK);
        snprintf(what, sizeof what, "blend mode %d alpha %d", cases[k].mode, cases[k].alpha);
        CheckTable(what, table, expected, 65536);
    }
    CHECK_STATUS(paltab_blend_table(palette, PALTAB_BLEND_ALPHA, 101, table, 65536), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_blend_table(palette, PALTAB_BLEND_ALPHA, -1, table, 65536), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_blend_table(palette, (paltab_blend_mode)8, 50, table, 65536), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_blend_table(palette, (paltab_blend_mode)-1, 50, table, 65536), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_blend_table(NULL, PALTAB_BLEND_ADD, 0, table, 65536), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_blend_table(palette, PALTAB_BLEND_ADD, 0, NULL, 65536), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_blend_table(palette, PALTAB_BLEND_ADD, 0, table, 65535), PALTAB_ERROR_BUFFER_TOO_SMALL);
    paltab_palette_destroy(palette);
    free(table);
    free(expected);
}

static void TestColorTableFile(void) {
    uint8_t *file = malloc(PALTAB_TABLE_FILE_EXTENDED_SIZE);
    size_t written = 0;
    int i;
    CHECK_STATUS(paltab_color_table_file(kColors, COUNT, PALTAB_WITH_EXTENSION, NULL, 0, &written),
                 PALTAB_ERROR_BUFFER_TOO_SMALL);
    CHECK(written == PALTAB_TABLE_FILE_EXTENDED_SIZE);
    CHECK_STATUS(paltab_color_table_file(kColors, COUNT, 0, file, PALTAB_TABLE_FILE_SIZE - 1, &written),
                 PALTAB_ERROR_BUFFER_TOO_SMALL);
    CHECK(written == PALTAB_TABLE_FILE_SIZE);
    CHECK_STATUS(paltab_color_table_file(kColors, COUNT, 4, file, PALTAB_TABLE_FILE_EXTENDED_SIZE, NULL),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_color_table_file(kColors, 0, 0, file, PALTAB_TABLE_FILE_SIZE, NULL),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_color_table_file(kColors, 257, 0, file, PALTAB_TABLE_FILE_SIZE, NULL),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_color_table_file(NULL, COUNT, 0, file, PALTAB_TABLE_FILE_SIZE, NULL),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_color_table_file(kColors, COUNT, 0, NULL, PALTAB_TABLE_FILE_SIZE, NULL),
                 PALTAB_ERROR_INVALID_ARGUMENT);

    CHECK_STATUS(paltab_color_table_file(kColors, COUNT, PALTAB_WITH_EXTENSION | PALTAB_WEIGHTED_DISTANCE, file,
                                         PALTAB_TABLE_FILE_EXTENDED_SIZE, &written),
                 PALTAB_OK);
    CHECK(written == PALTAB_TABLE_FILE_EXTENDED_SIZE);
    for (i = 0; i < 256; ++i) {
        const uint8_t *entry = file + 3 * i;
        if (i < COUNT) {
            CHECK(entry[0] == kColors[i].r >> 2 && entry[1] == kColors[i].g >> 2 && entry[2] == kColors[i].b >> 2);
        } else {
            CHECK(entry[0] == 255 && entry[1] == 255 && entry[2] == 255);
        }
    }
    CHECK(memcmp(file + PALTAB_TABLE_FILE_SIZE, "CWEN", 4) == 0);
    free(file);
}

static void TestRemap(void) {
    enum { W = 5, H = 4, STRIDE = W * 4 + 7 };
    uint8_t padded[H * STRIDE], packed[W * H * 4], indices[W * H], again[W * H];
    paltab_palette *palette = MakePalette(NULL);
    const int dithers[] = {PALTAB_DITHER_NONE, PALTAB_DITHER_ORDERED, PALTAB_DITHER_FLOYD_STEINBERG};
    int p, d;
    memset(padded, 0xEE, sizeof padded);
    for (p = 0; p < W * H; ++p) {
        const paltab_rgb c = kColors[(p * 7) % COUNT];
        uint8_t *px = &padded[(p / W) * STRIDE + (p % W) * 4];
        px[0] = c.r;
        px[1] = c.g;
        px[2] = c.b;
        px[3] = (uint8_t)(p == 6 ? 10 : 255); /* one transparent pixel */
        memcpy(&packed[p * 4], px, 4);
    }
    /* Palette colours remap to their own (first) entries, undithered or diffused. */
    CHECK_STATUS(paltab_remap(palette, packed, W, H, 0, PALTAB_DITHER_FLOYD_STEINBERG, -1, indices), PALTAB_OK);
    for (p = 0; p < W * H; ++p) {
        const int e = (p * 7) % COUNT;
        CHECK(indices[p] == (e == 9 ? 3 : e));
    }
    /* A stride with padding gives what packed rows give, in every mode. */
    for (d = 0; d < 3; ++d) {
        CHECK_STATUS(paltab_remap(palette, packed, W, H, W * 4, (paltab_dither)dithers[d], 0, indices), PALTAB_OK);
        CHECK_STATUS(paltab_remap(palette, padded, W, H, STRIDE, (paltab_dither)dithers[d], 0, again), PALTAB_OK);
        CHECK(memcmp(indices, again, sizeof indices) == 0);
    }
    /* Transparent index 0: the clear pixel gets it, the black pixels do not. */
    CHECK_STATUS(paltab_remap(palette, packed, W, H, 0, PALTAB_DITHER_NONE, 0, indices), PALTAB_OK);
    for (p = 0; p < W * H; ++p) {
        CHECK((indices[p] == 0) == (p == 6));
    }

    CHECK_STATUS(paltab_remap(NULL, packed, W, H, 0, PALTAB_DITHER_NONE, -1, indices), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, NULL, W, H, 0, PALTAB_DITHER_NONE, -1, indices), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, packed, W, H, 0, PALTAB_DITHER_NONE, -1, NULL), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, packed, 0, H, 0, PALTAB_DITHER_NONE, -1, indices), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, packed, W, -1, 0, PALTAB_DITHER_NONE, -1, indices),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, packed, W, H, W * 4 - 1, PALTAB_DITHER_NONE, -1, indices),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, packed, W, H, 0, (paltab_dither)(PALTAB_DITHER_YLILUOMA + 1), -1, indices),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, packed, W, H, 0, PALTAB_DITHER_NONE, 256, indices),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap(palette, packed, W, H, 0, PALTAB_DITHER_NONE, -2, indices),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    /* A stride whose rows cannot be addressed is refused before any access. */
    CHECK_STATUS(paltab_remap(palette, packed, 1, 3, (size_t)-1 / 2, PALTAB_DITHER_NONE, -1, indices),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    paltab_palette_destroy(palette);
}

/* paltab_remap_ex: every dither, its settings, the quality figure, and
 * settings out of range. */
static void TestRemapEx(void) {
    enum { W = 9, H = 7 };
    uint8_t palette_image[W * H * 4], noisy[W * H * 4], indices[W * H], plain[W * H];
    paltab_palette *palette = MakePalette(NULL);
    paltab_remap_options options, defaults;
    paltab_dither_quality quality;
    struct {
        paltab_remap_options options;
        unsigned char later_field[8];
    } larger;
    int p, d, space;
    uint32_t seed = 7;
    for (p = 0; p < W * H; ++p) {
        const paltab_rgb c = kColors[(p * 5) % COUNT];
        palette_image[p * 4] = c.r;
        palette_image[p * 4 + 1] = c.g;
        palette_image[p * 4 + 2] = c.b;
        palette_image[p * 4 + 3] = 255;
        for (d = 0; d < 4; ++d) {
            seed = seed * 1103515245u + 12345u;
            noisy[p * 4 + d] = (uint8_t)(d == 3 ? 255 : 40 + (seed >> 16) % 170);
        }
    }
    paltab_remap_options_init(&defaults);
    CHECK(defaults.size == sizeof defaults && defaults.dither == PALTAB_DITHER_NONE &&
          defaults.transparent_index == -1 && defaults.serpentine == 0 && defaults.strength == 100 &&
          defaults.spread < 0 && defaults.space == PALTAB_DITHER_SPACE_SRGB);
    paltab_remap_options_init(NULL);

    CHECK_STATUS(paltab_remap(palette, noisy, W, H, 0, PALTAB_DITHER_NONE, -1, plain), PALTAB_OK);
    for (d = PALTAB_DITHER_NONE; d <= PALTAB_DITHER_YLILUOMA; ++d) {
        for (space = PALTAB_DITHER_SPACE_SRGB; space <= PALTAB_DITHER_SPACE_OKLAB; ++space) {
            uint8_t again[W * H];
            options = defaults;
            options.dither = (paltab_dither)d;
            options.space = (paltab_dither_space)space;
            /* Palette colours stay (entry 9 is entry 3's colour), exactly:
             * both errors are 0. Patterns move colours by less than half
             * the gaps between these entries. */
            options.spread = 30;
            CHECK_STATUS(paltab_remap_ex(palette, palette_image, W, H, 0, &options, indices, &quality), PALTAB_OK);
            options.spread = -1;
            for (p = 0; p < W * H; ++p) {
                const int e = (p * 5) % COUNT;
                CHECK(indices[p] == (e == 9 ? 3 : e));
            }
            CHECK(quality.mean_squared_error == 0 && quality.blurred_error == 0);
            /* The defaults and this dither are paltab_remap's. */
            if (space == PALTAB_DITHER_SPACE_SRGB) {
                CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, 0, &options, indices, NULL), PALTAB_OK);
                CHECK_STATUS(paltab_remap(palette, noisy, W, H, 0, (paltab_dither)d, -1, again), PALTAB_OK);
                CHECK(memcmp(indices, again, sizeof indices) == 0);
                CHECK((memcmp(indices, plain, sizeof plain) == 0) == (d == PALTAB_DITHER_NONE));
            }
            /* Strength 0 is no dithering; the error is some for a noisy image. */
            options.strength = 0;
            options.serpentine = 1;
            options.spread = 40;
            CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, 0, &options, indices, &quality), PALTAB_OK);
            CHECK(memcmp(indices, plain, sizeof plain) == 0);
            CHECK(quality.mean_squared_error > 0 && quality.blurred_error > 0 &&
                  quality.blurred_error < quality.mean_squared_error);
        }
    }
    /* A later version's larger settings: accepted while its own fields are zero. */
    memset(&larger, 0, sizeof larger);
    larger.options = defaults;
    larger.options.size = sizeof larger;
    CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, 0, &larger.options, indices, NULL), PALTAB_OK);
    larger.later_field[5] = 1;
    CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, 0, &larger.options, indices, NULL),
                 PALTAB_ERROR_INVALID_ARGUMENT);

    CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, 0, NULL, indices, NULL), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap_ex(NULL, noisy, W, H, 0, &defaults, indices, NULL), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, 0, &defaults, NULL, NULL), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, W * 4 - 1, &defaults, indices, NULL),
                 PALTAB_ERROR_INVALID_ARGUMENT);
    for (d = 0; d < 9; ++d) {
        options = defaults;
        switch (d) {
            case 0: options.size = sizeof options - 1; break;
            case 1: options.size = 1u << 20; break;
            case 2: options.dither = (paltab_dither)-1; break;
            case 3: options.strength = 101; break;
            case 4: options.strength = -1; break;
            case 5: options.spread = INFINITY; break;
            case 6: options.spread = NAN; break;
            case 7: options.space = (paltab_dither_space)3; break;
            default: options.transparent_index = 256; break;
        }
        CHECK_STATUS(paltab_remap_ex(palette, noisy, W, H, 0, &options, indices, &quality),
                     PALTAB_ERROR_INVALID_ARGUMENT);
    }
    paltab_palette_destroy(palette);
}

static void TestReadPalette(void) {
    static const struct {
        const char *bytes;
        const char *name;
        paltab_status status;
        int count;
        paltab_rgb last;
    } cases[] = {
        {"0 0 0\n255 128 7\n", NULL, PALTAB_OK, 2, {255, 128, 7}},
        {"PAL\n3\n1 2 3\n4 5 6\n7 8 9\n", "x.txt", PALTAB_OK, 3, {7, 8, 9}},
        {"GIMP Palette\nName: fire\n# c\n255 0 0\tRed\n0 128 255 Blue\n", NULL, PALTAB_OK, 2, {0, 128, 255}},
        {"JASC-PAL\r\n0100\r\n1\r\n10 20 30\r\n", NULL, PALTAB_OK, 1, {10, 20, 30}},
        {"ff8000\n#00ff7f\n", "lospec.hex", PALTAB_OK, 2, {0, 255, 127}},
        {"12 300 4\n", NULL, PALTAB_ERROR_BAD_DATA, 0, {0, 0, 0}},
        {"", NULL, PALTAB_ERROR_BAD_DATA, 0, {0, 0, 0}},
        {"JASC-PAL\r\n0100\r\n3\r\n10 20 30\r\n", NULL, PALTAB_ERROR_BAD_DATA, 0, {0, 0, 0}},
    };
    paltab_rgb colors[256];
    size_t i;
    int count = -1;
    for (i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        count = -1;
        CHECK_STATUS(paltab_read_palette(cases[i].bytes, strlen(cases[i].bytes), cases[i].name, colors, &count),
                     cases[i].status);
        CHECK(count == cases[i].count);
        if (count > 0) {
            const paltab_rgb last = colors[count - 1];
            CHECK(last.r == cases[i].last.r && last.g == cases[i].last.g && last.b == cases[i].last.b);
        }
    }
    /* A raw .pal: 3 bytes a colour, told apart by its name. */
    CHECK_STATUS(paltab_read_palette("\x01\x02\x03\xfa\xfb\xfc", 6, "game.pal", colors, &count), PALTAB_OK);
    CHECK(count == 2 && colors[1].r == 0xfa && colors[1].b == 0xfc);

    CHECK_STATUS(paltab_read_palette(NULL, 0, NULL, colors, &count), PALTAB_ERROR_BAD_DATA);
    CHECK_STATUS(paltab_read_palette(NULL, 5, NULL, colors, &count), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_read_palette("1 2 3\n", 6, NULL, NULL, &count), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_read_palette("1 2 3\n", 6, NULL, colors, NULL), PALTAB_ERROR_INVALID_ARGUMENT);

    CHECK_STATUS(paltab_read_palette_file(PALTAB_EXAMPLES_DIR "/sixteen.pal.txt", colors, &count), PALTAB_OK);
    CHECK(count == 16);
    count = 5;
    CHECK_STATUS(paltab_read_palette_file(PALTAB_EXAMPLES_DIR "/no-such-file.txt", colors, &count), PALTAB_ERROR_IO);
    CHECK(count == 0);
    CHECK_STATUS(paltab_read_palette_file(PALTAB_EXAMPLES_DIR, colors, &count), PALTAB_ERROR_IO);
    CHECK_STATUS(paltab_read_palette_file(NULL, colors, &count), PALTAB_ERROR_INVALID_ARGUMENT);
}

/* The fingerprint as documented, written out plainly. */
static uint64_t PlainFingerprint(const paltab_rgb *colors, int count, int metric, const uint8_t *reserved,
                                 const paltab_table_settings *s) {
    uint8_t bytes[2 + 768 + 1 + 256 + 1 + 2 + 3 + 256];
    size_t n = 0, i;
    uint64_t hash = 0xcbf29ce484222325u;
    int e;
    bytes[n++] = (uint8_t)(count & 0xff);
    bytes[n++] = (uint8_t)(count >> 8);
    for (e = 0; e < 256; ++e) {
        bytes[n++] = e < count ? colors[e].r : 0;
        bytes[n++] = e < count ? colors[e].g : 0;
        bytes[n++] = e < count ? colors[e].b : 0;
    }
    bytes[n++] = (uint8_t)metric;
    for (e = 0; e < 256; ++e) {
        bytes[n++] = (uint8_t)(reserved != NULL && e < count && reserved[e] != 0);
    }
    bytes[n++] = (uint8_t)(s != NULL ? s->kind : PALTAB_TABLE_NONE);
    if (s != NULL && s->kind == PALTAB_TABLE_EXACT_MAP) {
        bytes[n++] = (uint8_t)s->bits;
    } else if (s != NULL && s->kind == PALTAB_TABLE_LIGHT) {
        bytes[n++] = (uint8_t)(s->levels & 0xff);
        bytes[n++] = (uint8_t)(s->levels >> 8);
        bytes[n++] = s->fog.r;
        bytes[n++] = s->fog.g;
        bytes[n++] = s->fog.b;
        for (e = 0; e < 256; ++e) {
            bytes[n++] = (uint8_t)(s->fullbright != NULL && s->fullbright[e] != 0);
        }
    } else if (s != NULL && s->kind == PALTAB_TABLE_BLEND) {
        bytes[n++] = (uint8_t)s->blend_mode;
        bytes[n++] = (uint8_t)(s->blend_mode == PALTAB_BLEND_ALPHA ? s->alpha_percent : 0);
    } else if (s != NULL && s->kind == PALTAB_TABLE_COLOR_TABLE_FILE) {
        bytes[n++] = (uint8_t)s->flags;
    }
    for (i = 0; i < n; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001b3u;
    }
    return hash;
}

static void TestFingerprint(void) {
    uint8_t reserved[256] = {0}, fullbright[256] = {0};
    paltab_table_settings settings[7];
    paltab_palette *palette, *other;
    uint64_t got, seen[8];
    size_t k, j;
    reserved[2] = 7;
    reserved[200] = 1; /* past the count: not part of the key */
    fullbright[255] = 1;
    memset(settings, 0, sizeof settings);
    settings[0].kind = PALTAB_TABLE_EXACT_MAP;
    settings[0].bits = 8;
    settings[1].kind = PALTAB_TABLE_LIGHT;
    settings[1].levels = 256;
    settings[1].fog.g = 40;
    settings[1].fullbright = fullbright;
    settings[2].kind = PALTAB_TABLE_LIGHT;
    settings[2].levels = 256;
    settings[2].fog.g = 40;
    settings[3].kind = PALTAB_TABLE_DOOM_COLORMAP;
    settings[4].kind = PALTAB_TABLE_BLEND;
    settings[4].blend_mode = PALTAB_BLEND_ALPHA;
    settings[4].alpha_percent = 66;
    settings[5].kind = PALTAB_TABLE_BLEND;
    settings[5].blend_mode = PALTAB_BLEND_SCREEN;
    settings[5].alpha_percent = 66; /* ignored by screen */
    settings[6].kind = PALTAB_TABLE_COLOR_TABLE_FILE;
    settings[6].flags = PALTAB_WITH_EXTENSION;
    CHECK_STATUS(paltab_palette_create(kColors, COUNT, PALTAB_METRIC_OKLAB, reserved, &palette), PALTAB_OK);
    CHECK_STATUS(paltab_palette_fingerprint(palette, NULL, &seen[7]), PALTAB_OK);
    CHECK(seen[7] == PlainFingerprint(kColors, COUNT, PALTAB_METRIC_OKLAB, reserved, NULL));
    for (k = 0; k < 7; ++k) {
        CHECK_STATUS(paltab_palette_fingerprint(palette, &settings[k], &seen[k]), PALTAB_OK);
        CHECK(seen[k] == PlainFingerprint(kColors, COUNT, PALTAB_METRIC_OKLAB, reserved, &settings[k]));
        for (j = 0; j < k; ++j) {
            CHECK(seen[j] != seen[k]);
        }
    }
    /* Screen ignores the alpha; one colour or the metric changes the key. */
    settings[5].alpha_percent = 10;
    CHECK_STATUS(paltab_palette_fingerprint(palette, &settings[5], &got), PALTAB_OK);
    CHECK(got == seen[5]);
    CHECK_STATUS(paltab_palette_create(kColors, COUNT, PALTAB_METRIC_RGB, reserved, &other), PALTAB_OK);
    CHECK_STATUS(paltab_palette_fingerprint(other, NULL, &got), PALTAB_OK);
    CHECK(got != seen[7]);
    paltab_palette_destroy(other);
    {
        paltab_rgb changed[COUNT];
        memcpy(changed, kColors, sizeof changed);
        changed[COUNT - 1].b = 254;
        CHECK_STATUS(paltab_palette_create(changed, COUNT, PALTAB_METRIC_OKLAB, reserved, &other), PALTAB_OK);
        CHECK_STATUS(paltab_palette_fingerprint(other, NULL, &got), PALTAB_OK);
        CHECK(got != seen[7] && got == PlainFingerprint(changed, COUNT, PALTAB_METRIC_OKLAB, reserved, NULL));
        paltab_palette_destroy(other);
    }
    /* Settings the building function refuses are refused here too. */
    settings[0].bits = 9;
    settings[1].levels = 0;
    settings[4].alpha_percent = 101;
    settings[5].blend_mode = (paltab_blend_mode)8;
    settings[6].flags = 4;
    settings[3].kind = (paltab_table_kind)6;
    for (k = 0; k < 7; ++k) {
        if (k != 2) {
            CHECK_STATUS(paltab_palette_fingerprint(palette, &settings[k], &got), PALTAB_ERROR_INVALID_ARGUMENT);
        }
    }
    CHECK_STATUS(paltab_palette_fingerprint(NULL, NULL, &got), PALTAB_ERROR_INVALID_ARGUMENT);
    CHECK_STATUS(paltab_palette_fingerprint(palette, NULL, NULL), PALTAB_ERROR_INVALID_ARGUMENT);
    paltab_palette_destroy(palette);
}

int main(void) {
    TestVersionAndStatus();
    TestPaletteCreate();
    TestNearestAndMap();
    TestLightTables();
    TestBlendTables();
    TestColorTableFile();
    TestRemap();
    TestRemapEx();
    TestReadPalette();
    TestFingerprint();
    if (failures != 0) {
        fprintf(stderr, "c_api_test: %d checks failed\n", failures);
        return 1;
    }
    printf("c_api_test: all checks passed\n");
    return 0;
}
