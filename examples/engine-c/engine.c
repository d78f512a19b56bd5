/* What an engine does with paltab at start-up or on a palette change: read
 * the palette, build a light table, a translucency table and a map, remap a
 * true-colour image, and key a table cache. Usage: engine PALETTE */
#include <stdio.h>
#include <stdlib.h>

#include <paltab/paltab.h>

#define LEVELS 32
#define WIDTH 64
#define HEIGHT 48

static int Failed(const char *what, paltab_status status) {
    fprintf(stderr, "engine: %s: %s\n", what, paltab_status_text(status));
    return 1;
}

int main(int argc, char **argv) {
    paltab_rgb colors[256];
    int count = 0, x, y;
    uint8_t reserved[256] = {0};
    static uint8_t light[LEVELS * 256], tranmap[PALTAB_BLEND_TABLE_SIZE], map[32768];
    static uint8_t rgba[WIDTH * HEIGHT * 4], indices[WIDTH * HEIGHT];
    const paltab_rgb black = {0, 0, 0};
    paltab_table_settings settings = {PALTAB_TABLE_BLEND, 0, 0, {0, 0, 0}, NULL, PALTAB_BLEND_ALPHA, 66, 0};
    paltab_palette *palette = NULL;
    paltab_status status;
    uint64_t key = 0;

    if (argc != 2) {
        fprintf(stderr, "usage: engine PALETTE\n");
        return 2;
    }
    status = paltab_read_palette_file(argv[1], colors, &count);
    if (status != PALTAB_OK) {
        return Failed(argv[1], status);
    }
    /* Entry 255 is the transparent colour: never chosen for a pixel. */
    reserved[255] = 1;
    status = paltab_palette_create(colors, count, PALTAB_METRIC_RGB, reserved, &palette);
    if (status != PALTAB_OK) {
        return Failed("palette", status);
    }
    if ((status = paltab_light_table(palette, LEVELS, black, NULL, light, sizeof light)) != PALTAB_OK ||
        (status = paltab_blend_table(palette, PALTAB_BLEND_ALPHA, 66, tranmap, sizeof tranmap)) != PALTAB_OK ||
        (status = paltab_exact_map(palette, 5, map, sizeof map)) != PALTAB_OK ||
        (status = paltab_palette_fingerprint(palette, &settings, &key)) != PALTAB_OK) {
        paltab_palette_destroy(palette);
        return Failed("tables", status);
    }

    /* A gradient with a clear hole in the middle, remapped with dithering. */
    for (y = 0; y < HEIGHT; ++y) {
        for (x = 0; x < WIDTH; ++x) {
            uint8_t *p = &rgba[(y * WIDTH + x) * 4];
            p[0] = (uint8_t)(x * 255 / (WIDTH - 1));
            p[1] = (uint8_t)(y * 255 / (HEIGHT - 1));
            p[2] = 128;
            p[3] = (x > 24 && x < 40 && y > 16 && y < 32) ? 0 : 255;
        }
    }
    status = paltab_remap(palette, rgba, WIDTH, HEIGHT, 0, PALTAB_DITHER_FLOYD_STEINBERG, 255, indices);
    if (status != PALTAB_OK) {
        paltab_palette_destroy(palette);
        return Failed("remap", status);
    }

    printf("paltab %s, %d colours from %s\n", paltab_version(), count, argv[1]);
    printf("entry 1 at light level 16 of %d: %d\n", LEVELS, light[16 * 256 + 1]);
    printf("entry 1 drawn 66 %% over entry 2: %d\n", tranmap[2 * 256 + 1]);
    printf("orange (255,128,0) in the 5-bit map: %d; nearest: %d\n", map[(31 << 10) | (16 << 5) | 0],
           paltab_nearest(palette, (paltab_rgb){255, 128, 0}));
    printf("remapped %dx%d: top left %d, centre %d (transparent), bottom right %d\n", WIDTH, HEIGHT, indices[0],
           indices[24 * WIDTH + 32], indices[WIDTH * HEIGHT - 1]);
    printf("cache key of the translucency table: %016llx\n", (unsigned long long)key);
    paltab_palette_destroy(palette);
    return 0;
}
