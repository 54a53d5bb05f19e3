/* The peer workloads through libvips' C API, timed in-process: median of several runs after a
 * warm-up. Usage: peers_vips CAMERA_JPEG ALBUM_JPEG OUTPUT_DIR RUNS; prints "<workload> <ms>". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <vips/vips.h>

static const char *camera, *album, *outdir;

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void fail(const char *what) {
    fprintf(stderr, "peers_vips: %s: %s\n", what, vips_error_buffer());
    exit(1);
}

static void save_jpeg(VipsImage *image, const char *name) {
    char path[4096];
    snprintf(path, sizeof path, "%s/vips-%s.jpg", outdir, name);
    if (vips_jpegsave(image, path, "Q", 95, "subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON, NULL))
        fail("jpegsave");
}

static VipsImage *upright(const char *path) {
    VipsImage *in, *up;
    if (!(in = vips_image_new_from_file(path, NULL))) fail("load");
    if (vips_autorot(in, &up, NULL)) fail("autorot");
    g_object_unref(in);
    return up;
}

/* Aspect fill of the upright camera picture: scale, then cut `cut` columns from the left. */
static void fill(const char *name, double scale, int width, int height, int cut) {
    VipsImage *up = upright(camera), *scaled, *out;
    if (vips_resize(up, &scaled, scale, "kernel", VIPS_KERNEL_LINEAR, NULL)) fail("resize");
    if (vips_extract_area(scaled, &out, cut, 0, width, height, NULL)) fail("extract");
    save_jpeg(out, name);
    g_object_unref(out);
    g_object_unref(scaled);
    g_object_unref(up);
}

static void zoom(const char *name, int x, int y, int width, int height, double scale) {
    VipsImage *up = upright(camera), *crop, *out;
    if (vips_extract_area(up, &crop, x, y, width, height, NULL)) fail("extract");
    if (scale == 1.0) {
        save_jpeg(crop, name);
    } else {
        if (vips_resize(crop, &out, scale, "kernel", VIPS_KERNEL_LINEAR, NULL)) fail("resize");
        save_jpeg(out, name);
        g_object_unref(out);
    }
    g_object_unref(crop);
    g_object_unref(up);
}

static void run_T0(void) {
    VipsImage *up = upright(camera);
    save_jpeg(up, "T0");
    g_object_unref(up);
}
static void run_T1(void) { fill("T1", 2584.0 / 2048.0, 1936, 2584, 1); }
static void run_T2(void) { fill("T2", 3160.0 / 2048.0, 2368, 3160, 1); }
static void run_Z2(void) { zoom("Z2", 384, 512, 768, 1024, 1.0); }
static void run_Z8(void) { zoom("Z8", 672, 896, 192, 256, 4.0); }

static void run_ALBUM(void) {
    char path[4096];
    snprintf(path, sizeof path, "%s/vips-album.png", outdir);
    VipsImage *up = upright(album), *back, *decoded;
    if (vips_pngsave(up, path, "compression", 1, NULL)) fail("pngsave");
    g_object_unref(up);
    if (!(back = vips_image_new_from_file(path, NULL))) fail("pngload");
    if (!(decoded = vips_image_copy_memory(back))) fail("decode");
    g_object_unref(decoded);
    g_object_unref(back);
}

static int by_value(const void *a, const void *b) {
    const double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

static void time_workload(const char *name, void (*workload)(void), int runs) {
    double times[64];
    workload(); /* warm-up */
    for (int i = 0; i < runs; ++i) {
        const double start = now_ms();
        workload();
        times[i] = now_ms() - start;
    }
    qsort(times, (size_t)runs, sizeof times[0], by_value);
    printf("%s %.2f\n", name, times[runs / 2]);
    fflush(stdout);
}

int main(int argc, char **argv) {
    if (argc != 5 || VIPS_INIT(argv[0])) {
        fprintf(stderr, "usage: peers_vips CAMERA_JPEG ALBUM_JPEG OUTPUT_DIR RUNS\n");
        return 2;
    }
    camera = argv[1];
    album = argv[2];
    outdir = argv[3];
    int runs = atoi(argv[4]);
    if (runs < 1 || runs > 64) runs = 7;
    vips_cache_set_max(0); /* every run does the whole work */
    time_workload("T0", run_T0, runs);
    time_workload("T1", run_T1, runs);
    time_workload("T2", run_T2, runs);
    time_workload("Z2", run_Z2, runs);
    time_workload("Z8", run_Z8, runs);
    time_workload("ALBUM", run_ALBUM, runs);
    vips_shutdown();
    return 0;
}
