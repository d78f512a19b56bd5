/* paltab's C interface: exact palette matching, light and translucency tables,
 * the generator's table file and image remapping, for programs written in C.
 *
 * Stable from version 0.2.0: within a major version, names, values, layouts
 * and the bytes every function writes for the same arguments do not change.
 * (The C++ headers beside this one are not stable yet.)
 *
 * Conventions
 * - Every function that can fail returns a paltab_status; PALTAB_OK is 0. No
 *   failure aborts the process, and no exception crosses this interface.
 * - Callers own every buffer. A function that fills `out` of `size` bytes
 *   returns PALTAB_ERROR_BUFFER_TOO_SMALL, writing nothing, when `size` is
 *   below what the table needs; on any other failure the contents of `out`
 *   are unspecified.
 * - A palette index is 0..255. Ties between entries at the same distance go to
 *   the lowest index everywhere.
 * - "Exact" means: the entry a plain full search over every selectable entry
 *   gives by the palette's metric, with targets such as 66 % mixes kept as
 *   exact fractions for PALTAB_METRIC_RGB.
 *
 * Thread safety: there is no global state. A paltab_palette is read-only
 * after paltab_palette_create and may be used by any number of threads at
 * once; every other argument is read or written only during the call. Only
 * paltab_palette_destroy must not run while another thread uses the palette.
 *
 * Linking: `pkg-config --cflags --libs paltab` (add --static for
 * libpaltab.a), or find_package(paltab CONFIG REQUIRED) in CMake.
 */
#ifndef PALTAB_PALTAB_H
#define PALTAB_PALTAB_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && defined(PALTAB_SHARED_BUILD)
#define PALTAB_API __declspec(dllexport)
#elif defined(__GNUC__)
#define PALTAB_API __attribute__((visibility("default")))
#else
#define PALTAB_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define PALTAB_VERSION_MAJOR 0
#define PALTAB_VERSION_MINOR 2
#define PALTAB_VERSION_PATCH 0

/* "MAJOR.MINOR.PATCH" of the library linked, which may be newer than the
 * header compiled against. Never NULL. */
PALTAB_API const char *paltab_version(void);

typedef enum paltab_status {
    PALTAB_OK = 0,
    /* A NULL pointer, a count, size or setting outside its range. */
    PALTAB_ERROR_INVALID_ARGUMENT = 1,
    /* `size` is below the bytes the table needs; nothing was written. */
    PALTAB_ERROR_BUFFER_TOO_SMALL = 2,
    PALTAB_ERROR_OUT_OF_MEMORY = 3,
    /* The bytes are not a palette of any known format. */
    PALTAB_ERROR_BAD_DATA = 4,
    /* A file could not be read. */
    PALTAB_ERROR_IO = 5,
    /* A fault inside the library; please report it. */
    PALTAB_ERROR_INTERNAL = 6
} paltab_status;

/* One line of English naming the status ("invalid argument"); "unknown
 * status" for a value not listed above. Never NULL. */
PALTAB_API const char *paltab_status_text(paltab_status status);

typedef struct paltab_rgb {
    uint8_t r, g, b;
} paltab_rgb;

/* How near two colours are. Comparisons use the squared distance.
 * RGB: of the 8-bit components, in integers. LINEAR: in linear light (the
 * sRGB transfer function), in double precision. OKLAB: in Oklab, in double
 * precision. */
typedef enum paltab_metric {
    PALTAB_METRIC_RGB = 0,
    PALTAB_METRIC_LINEAR = 1,
    PALTAB_METRIC_OKLAB = 2
} paltab_metric;

/* ---- Palettes ------------------------------------------------------------ */

/* A palette of 1..256 colours with its search prepared; opaque. */
typedef struct paltab_palette paltab_palette;

/* Creates a palette of `count` colours (entries 0..count-1) compared by
 * `metric`. `reserved` is NULL or 256 flags: a non-zero flag marks an entry
 * that is never chosen (a transparent index, fullbrights, cycling ranges);
 * flags at or past `count` are ignored. Entries past `count` are unused: never
 * chosen, and passed through unchanged by the light and blend tables.
 * On success stores the palette in *out; otherwise stores NULL there (when
 * `out` is not NULL) and returns
 *   PALTAB_ERROR_INVALID_ARGUMENT: `colors` or `out` NULL, `count` outside
 *     1..256, an unknown metric, or every entry reserved;
 *   PALTAB_ERROR_OUT_OF_MEMORY. */
PALTAB_API paltab_status paltab_palette_create(const paltab_rgb *colors, int count, paltab_metric metric,
                                               const uint8_t *reserved, paltab_palette **out);

/* Frees a palette; NULL is allowed and does nothing. */
PALTAB_API void paltab_palette_destroy(paltab_palette *palette);

/* The exact nearest selectable entry to `color`, 0..255, or -1 when
 * `palette` is NULL. */
PALTAB_API int paltab_nearest(const paltab_palette *palette, paltab_rgb color);

/* ---- Tables into caller-owned memory ------------------------------------- */

/* The nearest entry of every cell of a colour cube of `bits` (5..8) bits per
 * component: (1 << (3 * bits)) bytes (32768 at 5 bits, 16777216 at 8).
 * Cell number r << (2 * bits) | g << bits | b, where a cell's colour has the
 * components k * w + w / 2 with w = 1 << (8 - bits): the colour itself at 8
 * bits. Look a colour up at (r >> (8 - bits)) << (2 * bits) | ... .
 * PALTAB_ERROR_INVALID_ARGUMENT: `palette` or `out` NULL, `bits` outside 5..8. */
PALTAB_API paltab_status paltab_exact_map(const paltab_palette *palette, int bits, uint8_t *out, size_t size);

/* A light table of `levels` (1..256) rows of 256 bytes, the byte at
 * level * 256 + entry: row i maps entry c to the exact nearest entry to
 * c + (fog - c) * i / levels, so row 0 is the palette itself (an entry maps
 * to itself unless it is reserved or repeats a lower entry's colour) and
 * later rows fade towards `fog` (black: {0, 0, 0}). `fullbright` is NULL or
 * 256 flags: a non-zero flag marks an entry that keeps its own index in every
 * row and is never chosen for another. Entries past the palette's count keep
 * their own index. Needs levels * 256 bytes.
 * PALTAB_ERROR_INVALID_ARGUMENT: `palette` or `out` NULL, `levels` outside
 * 1..256, or no entry left to choose. */
PALTAB_API paltab_status paltab_light_table(const paltab_palette *palette, int levels, paltab_rgb fog,
                                            const uint8_t *fullbright, uint8_t *out, size_t size);

/* A Doom COLORMAP lump, PALTAB_DOOM_COLORMAP_SIZE bytes: rows 0..31 the light
 * table of 32 levels towards black, row 32 the inverted grey map (each entry
 * to the entry nearest to the grey 255 - Y, Y = 0.2126 R + 0.7152 G +
 * 0.0722 B exactly), row 33 all zero.
 * PALTAB_ERROR_INVALID_ARGUMENT: `palette` or `out` NULL. */
#define PALTAB_DOOM_COLORMAP_SIZE 8704
PALTAB_API paltab_status paltab_doom_colormap(const paltab_palette *palette, uint8_t *out, size_t size);

/* Blend modes. Per component, on 8-bit values, `front` the translucent
 * colour drawn over `behind`:
 *   ALPHA     front * p / 100 + behind * (100 - p) / 100, p = alpha_percent
 *   ADD       min(front + behind, 255)
 *   SUBTRACT  max(behind - front, 0)
 *   MULTIPLY  front * behind / 255
 *   SCREEN    255 - (255 - front) * (255 - behind) / 255
 *   MIN, MAX  of front and behind
 *   AVERAGE   ALPHA at 50 %
 * Values are fixed; later versions may add modes. */
typedef enum paltab_blend_mode {
    PALTAB_BLEND_ALPHA = 0,
    PALTAB_BLEND_ADD = 1,
    PALTAB_BLEND_SUBTRACT = 2,
    PALTAB_BLEND_MULTIPLY = 3,
    PALTAB_BLEND_SCREEN = 4,
    PALTAB_BLEND_MIN = 5,
    PALTAB_BLEND_MAX = 6,
    PALTAB_BLEND_AVERAGE = 7
} paltab_blend_mode;

/* A translucency or blend table, PALTAB_BLEND_TABLE_SIZE bytes, laid out as
 * Boom's TRANMAP and the engines after it index it: out[behind * 256 + front]
 * (tran_filter_pct, 66 in Boom, is `alpha_percent`). Each byte is the exact
 * nearest entry to the mix. A cell where one operand is past the palette's
 * count holds the other operand (`behind` when both are).
 * `alpha_percent` (0..100) is read by PALTAB_BLEND_ALPHA only.
 * PALTAB_ERROR_INVALID_ARGUMENT: `palette` or `out` NULL, an unknown mode, or
 * an alpha outside 0..100. */
#define PALTAB_BLEND_TABLE_SIZE 65536
PALTAB_API paltab_status paltab_blend_table(const paltab_palette *palette, paltab_blend_mode mode,
                                            int alpha_percent, uint8_t *out, size_t size);

/* ---- The generator's table file ------------------------------------------ */

/* The inverse map with a weighted starting distance (the generator's -c). */
#define PALTAB_WEIGHTED_DISTANCE 1u
/* The "CWEN" tag and the shade, additive and multiplicative tables (-n). */
#define PALTAB_WITH_EXTENSION 2u
#define PALTAB_TABLE_FILE_SIZE 33536
#define PALTAB_TABLE_FILE_EXTENDED_SIZE 230148

/* The table file the `paltab` generator writes for these colours, byte for
 * byte: 768 bytes of palette at 6 bits, the 32768-byte map of 5-bit cells and,
 * with PALTAB_WITH_EXTENSION, the extension; 33536 or 230148 bytes. `count`
 * is 1..256; entries past it are unused. `flags` is 0 or a combination of
 * the two flags above. `written` may be NULL; otherwise it receives the
 * file's size both on success and on PALTAB_ERROR_BUFFER_TOO_SMALL, so that
 * a call with `out` NULL and `size` 0 asks for the size.
 * PALTAB_ERROR_INVALID_ARGUMENT: `colors` NULL, `count` outside 1..256, an
 * unknown flag, or `out` NULL with `size` above 0. */
PALTAB_API paltab_status paltab_color_table_file(const paltab_rgb *colors, int count, unsigned flags, uint8_t *out,
                                                 size_t size, size_t *written);

/* ---- Images -------------------------------------------------------------- */

/* Dithering. Every lookup, dithered or not, is the exact nearest entry of
 * some colour: dithering only chooses which colour is looked up.
 *   NONE             each pixel's nearest entry
 *   ORDERED          an 8 x 8 Bayer pattern moves each component by -15..15
 *                    before the lookup
 *   FLOYD_STEINBERG  error diffusion 7/16 right, 3/16, 5/16, 1/16 on the next
 *                    row, rows left to right
 * Error diffusion with other kernels: FALSE_FLOYD_STEINBERG (3, 3, 2 / 8),
 * JARVIS (Jarvis, Judice and Ninke, / 48), STUCKI (/ 42), BURKES (/ 32),
 * SIERRA (three rows, / 32), SIERRA_2ROW (/ 16), SIERRA_LITE (2, 1, 1 / 4),
 * ATKINSON (six neighbours 1/8 each: 3/4 of the error passed on).
 * Ordered patterns whose spread fits the palette: BAYER2, BAYER4, BAYER8,
 * BAYER16 and BLUE_NOISE (a 64 x 64 void-and-cluster pattern). YLILUOMA: a
 * palette-aware positional mix of each colour's nearest entry and its best
 * partner, placed by an 8 x 8 Bayer pattern. Patterns and YLILUOMA give a
 * pixel's index from its position and colour only.
 * Values are fixed; later versions add modes with new values. */
typedef enum paltab_dither {
    PALTAB_DITHER_NONE = 0,
    PALTAB_DITHER_ORDERED = 1,
    PALTAB_DITHER_FLOYD_STEINBERG = 2,
    PALTAB_DITHER_FALSE_FLOYD_STEINBERG = 3,
    PALTAB_DITHER_JARVIS = 4,
    PALTAB_DITHER_STUCKI = 5,
    PALTAB_DITHER_BURKES = 6,
    PALTAB_DITHER_SIERRA = 7,
    PALTAB_DITHER_SIERRA_2ROW = 8,
    PALTAB_DITHER_SIERRA_LITE = 9,
    PALTAB_DITHER_ATKINSON = 10,
    PALTAB_DITHER_BAYER2 = 11,
    PALTAB_DITHER_BAYER4 = 12,
    PALTAB_DITHER_BAYER8 = 13,
    PALTAB_DITHER_BAYER16 = 14,
    PALTAB_DITHER_BLUE_NOISE = 15,
    PALTAB_DITHER_YLILUOMA = 16
} paltab_dither;

/* The palette index of every pixel of an image of `width` x `height` (each at
 * least 1) pixels. `rgba` holds 4 bytes per pixel (r, g, b, alpha), rows
 * `stride` bytes apart (0: width * 4; otherwise at least width * 4), top row
 * first; it must hold (height - 1) * stride + width * 4 bytes. `indices`
 * receives width * height bytes, rows packed. With `transparent_index` 0..255,
 * pixels whose alpha is below 128 get it and take no part in dithering, and
 * no other pixel gets it (it is treated as reserved); with -1 alpha is
 * ignored. Any dither above, with the defaults of paltab_remap_options_init.
 * Deterministic: the same arguments give the same indices.
 * PALTAB_ERROR_INVALID_ARGUMENT: a NULL pointer, a size below 1, a stride
 * below width * 4, an image too large to address, an unknown dither,
 * `transparent_index` outside -1..255, or no entry left to choose.
 * PALTAB_ERROR_OUT_OF_MEMORY. */
PALTAB_API paltab_status paltab_remap(const paltab_palette *palette, const uint8_t *rgba, int width, int height,
                                      size_t stride, paltab_dither dither, int transparent_index, uint8_t *indices);

/* Where dithering measures and spreads the error (and adds a pattern's
 * offset): 8-bit sRGB values, linear light, or Oklab (the offset to its
 * lightness). The lookup stays exact by the palette's metric. */
typedef enum paltab_dither_space {
    PALTAB_DITHER_SPACE_SRGB = 0,
    PALTAB_DITHER_SPACE_LINEAR = 1,
    PALTAB_DITHER_SPACE_OKLAB = 2
} paltab_dither_space;

/* The settings of paltab_remap_ex. Fill it with paltab_remap_options_init,
 * then change what you need. */
typedef struct paltab_remap_options {
    /* sizeof(paltab_remap_options) as the caller was compiled: set by
     * paltab_remap_options_init. A later version's larger struct (up to
     * 1024 bytes) is accepted when every byte this version does not know is
     * zero. */
    size_t size;
    paltab_dither dither;    /* PALTAB_DITHER_NONE */
    int transparent_index;   /* -1, as paltab_remap's */
    int serpentine;          /* 0; non-zero: error diffusion scans odd rows
                                right to left, the kernel mirrored */
    int strength;            /* 100: percent 0..100 of the error passed on,
                                of a pattern's spread, or of the mix; 0 is no
                                dithering */
    double spread;           /* -1 (any value below 0): from the palette,
                                the median distance of its colours to their
                                nearest others; 0 or more: the patterns'
                                offsets span this many units (8-bit sRGB
                                units; linear light and Oklab lightness times
                                255). ORDERED keeps its fixed spread. */
    paltab_dither_space space; /* PALTAB_DITHER_SPACE_SRGB */
} paltab_remap_options;

/* Sets `options` to the defaults above (nothing when it is NULL). */
PALTAB_API void paltab_remap_options_init(paltab_remap_options *options);

/* How far the result lies from the image, over its opaque pixels, in 8-bit
 * sRGB units: the mean squared difference per component, and the same after
 * both are blurred by a Gaussian of standard deviation 2 pixels (cut at 6),
 * which is closer to what the eye sees of a dither. */
typedef struct paltab_dither_quality {
    double mean_squared_error;
    double blurred_error;
} paltab_dither_quality;

/* paltab_remap with every setting: the same image, stride and `indices`
 * rules, the dither and transparent index taken from `options`. `quality`
 * is NULL or receives the figures above (at the cost of a pass over the
 * image). paltab_remap(..., dither, transparent_index, ...) gives what this
 * gives with the defaults and those two fields.
 * PALTAB_ERROR_INVALID_ARGUMENT: as paltab_remap's, and `options` NULL, its
 * size below this version's struct or a larger struct with a field unknown
 * here set, a strength outside 0..100, a spread that is not a finite
 * number, or an unknown space.
 * PALTAB_ERROR_OUT_OF_MEMORY. */
PALTAB_API paltab_status paltab_remap_ex(const paltab_palette *palette, const uint8_t *rgba, int width, int height,
                                         size_t stride, const paltab_remap_options *options, uint8_t *indices,
                                         paltab_dither_quality *quality);

/* ---- Palette files -------------------------------------------------------- */

/* Reads a palette from the bytes of a file in any of these formats, detected
 * from the content first and then from `name` (a file name, or NULL): the
 * palette text ("PAL" header optional, lines "r g b"), GIMP .gpl, JASC-PAL,
 * Photoshop .act, RIFF PAL, raw and 6-bit VGA .pal, Doom PLAYPAL (its first
 * palette), Lospec .hex, Paint.NET .txt, and PNG (an indexed PNG's palette,
 * or the distinct colours of any other, at most 32 Mi pixels). Reading is
 * strict: a value outside 0..255, a short file or more than 256 colours is
 * PALTAB_ERROR_BAD_DATA. On success stores the colours in colors[0..*count-1]
 * (*count 1..256); on failure stores 0 in *count (when it is not NULL).
 * PALTAB_ERROR_INVALID_ARGUMENT: `colors` or `count` NULL, or `bytes` NULL
 * with `size` above 0. */
PALTAB_API paltab_status paltab_read_palette(const void *bytes, size_t size, const char *name,
                                             paltab_rgb colors[256], int *count);

/* The same for the file at `path` (its name also helps detection); files
 * over 64 MiB are refused. PALTAB_ERROR_IO when it cannot be read. */
PALTAB_API paltab_status paltab_read_palette_file(const char *path, paltab_rgb colors[256], int *count);

/* ---- Fingerprints for table caches -------------------------------------- */

typedef enum paltab_table_kind {
    PALTAB_TABLE_NONE = 0, /* the palette alone */
    PALTAB_TABLE_EXACT_MAP = 1,
    PALTAB_TABLE_LIGHT = 2,
    PALTAB_TABLE_DOOM_COLORMAP = 3,
    PALTAB_TABLE_BLEND = 4,
    PALTAB_TABLE_COLOR_TABLE_FILE = 5
} paltab_table_kind;

/* The settings of one table, as passed to the function that builds it.
 * Fields the kind does not use are ignored. */
typedef struct paltab_table_settings {
    paltab_table_kind kind;
    int bits;                     /* EXACT_MAP */
    int levels;                   /* LIGHT */
    paltab_rgb fog;               /* LIGHT */
    const uint8_t *fullbright;    /* LIGHT: NULL or 256 flags */
    paltab_blend_mode blend_mode; /* BLEND */
    int alpha_percent;            /* BLEND with PALTAB_BLEND_ALPHA */
    unsigned flags;               /* COLOR_TABLE_FILE */
} paltab_table_settings;

/* A 64-bit key for a cache of tables on disk: equal for equal palettes and
 * settings on every platform and in every version of this interface, and
 * different, but for the chance of a 64-bit collision, otherwise. It is
 * FNV-1a (64-bit: offset basis 0xcbf29ce484222325, prime 0x100000001b3;
 * for each byte: hash ^= byte, hash *= prime) over these bytes:
 *   2    the palette's count, little-endian
 *   768  r, g, b of entries 0..255; 0, 0, 0 for entries past the count
 *   1    the metric
 *   256  the reserved flags, 1 or 0 each; 0 past the count
 *   1    the kind (NONE when `settings` is NULL), then by kind:
 *        EXACT_MAP      1  bits
 *        LIGHT          2  levels, little-endian
 *                       3  fog r, g, b
 *                     256  fullbright flags, 1 or 0 each (all 0 for NULL)
 *        BLEND          1  mode
 *                       1  alpha percent (0 for other modes)
 *        COLOR_TABLE_FILE 1  flags
 *        NONE, DOOM_COLORMAP: nothing more
 * A table file depends on the colours alone, but its key covers the whole
 * palette like every other.
 * PALTAB_ERROR_INVALID_ARGUMENT: `palette` or `out` NULL, an unknown kind,
 * or a setting its building function would refuse. */
PALTAB_API paltab_status paltab_palette_fingerprint(const paltab_palette *palette,
                                                    const paltab_table_settings *settings, uint64_t *out);

#ifdef __cplusplus
}
#endif

#endif /* PALTAB_PALTAB_H */
