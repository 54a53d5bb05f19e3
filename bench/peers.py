"""Side-by-side timing of Orvex's picture workloads and the same work done by other tools.

Run through bench/peers, which installs the peers and builds Orvex's benchmark first.
Every tool starts from the same input files and writes the same output sizes; in-process
tools are timed inside their own process (median after a warm-up), command-line tools as
whole processes and reported apart. PEERS_RUNS, PEERS_ROUNDS and PEERS_PROCESS_RUNS set the
repetitions; PEERS_WORKLOADS (e.g. "ALBUM" or "T0,T1") runs only some workloads.
"""
import json
import os
import statistics
import subprocess
import sys
import time

import cv2
import numpy as np
from PIL import Image, ImageOps

ALL_WORKLOADS = ["T0", "T1", "T2", "Z2", "Z8", "ALBUM"]
WORKLOADS = [w for w in os.environ.get("PEERS_WORKLOADS", ",".join(ALL_WORKLOADS)).split(",")
             if w in ALL_WORKLOADS]
EXPECTED_SIZE = {"T0": (1536, 2048), "T1": (1936, 2584), "T2": (2368, 3160),
                 "Z2": (768, 1024), "Z8": (768, 1024)}
# Centred crops and aspect fills of the upright 1536 x 2048 camera picture.
FILL = {"T1": ((1938, 2584), 1), "T2": ((2370, 3160), 1)}
ZOOM = {"Z2": ((384, 512, 768, 1024), None), "Z8": ((672, 896, 192, 256), (768, 1024))}


def photo_like(width, height, seed):
    """Smooth shading, hard-edged shapes and sensor grain, so codecs work as on a photo."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width].astype(np.float32)
    u, v = x / width, y / height
    picture = np.stack([0.5 + 0.35 * np.sin(6 * u + 2 * v) + 0.1 * np.sin(40 * u * v),
                        0.3 + 0.5 * u * v + 0.1 * np.cos(25 * v),
                        0.6 - 0.35 * np.cos(9 * v + 3 * u)], axis=-1) * 255
    for _ in range(60):
        x0, y0 = rng.integers(0, width), rng.integers(0, height)
        w, h = rng.integers(20, width // 4), rng.integers(20, height // 4)
        picture[y0:y0 + h, x0:x0 + w] = picture[y0:y0 + h, x0:x0 + w] * 0.5 + rng.integers(0, 255, 3) * 0.5
    picture += rng.normal(0, 4, picture.shape)
    return Image.fromarray(np.clip(picture, 0, 255).astype(np.uint8), "RGB")


def make_input(path, width, height, seed):
    exif = Image.Exif()
    exif[0x0112] = 6  # orientation: turn right to see it upright
    photo_like(width, height, seed).save(path, quality=95, subsampling=2, exif=exif.tobytes())


def median_ms(function, runs):
    function()  # warm-up
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)


def opencv_workload(name, camera, album, out):
    if name == "ALBUM":
        cv2.imwrite(f"{out}/opencv-album.png", cv2.imread(album))  # defaults: level 1, RLE
        cv2.imread(f"{out}/opencv-album.png", cv2.IMREAD_UNCHANGED)
        return
    picture = cv2.imread(camera)  # EXIF orientation applied
    if name in FILL:
        (width, height), cut = FILL[name]
        scaled = cv2.resize(picture, (width, height), interpolation=cv2.INTER_LINEAR)
        picture = scaled[:, cut:cut + EXPECTED_SIZE[name][0]]
    elif name in ZOOM:
        (x, y, w, h), enlarged = ZOOM[name]
        picture = picture[y:y + h, x:x + w]
        if enlarged:
            picture = cv2.resize(picture, enlarged, interpolation=cv2.INTER_LINEAR)
    cv2.imwrite(f"{out}/opencv-{name}.jpg", picture, [cv2.IMWRITE_JPEG_QUALITY, 95])


def pillow_workload(name, camera, album, out):
    if name == "ALBUM":
        ImageOps.exif_transpose(Image.open(album)).save(f"{out}/pillow-album.png", compress_level=1)
        Image.open(f"{out}/pillow-album.png").load()
        return
    picture = ImageOps.exif_transpose(Image.open(camera))
    if name in FILL:
        (width, height), cut = FILL[name]
        picture = picture.resize((width, height), Image.BILINEAR)
        picture = picture.crop((cut, 0, cut + EXPECTED_SIZE[name][0], height))
    elif name in ZOOM:
        (x, y, w, h), enlarged = ZOOM[name]
        picture = picture.crop((x, y, x + w, y + h))
        if enlarged:
            picture = picture.resize(enlarged, Image.BILINEAR)
    picture.save(f"{out}/pillow-{name}.jpg", quality=95, subsampling=2)


def imagemagick_commands(name, camera, album, out):
    jpeg = ["-quality", "95", "-sampling-factor", "4:2:0"]
    if name == "ALBUM":
        png = f"{out}/magick-album.png"
        return [["convert", album, "-auto-orient", "-define", "png:compression-level=1", png],
                ["convert", png, "null:"]]
    steps = ["-auto-orient"]
    if name in FILL:
        (width, height), cut = FILL[name]
        steps += ["-filter", "Triangle", "-resize", f"{width}x{height}!",
                  "-crop", f"{EXPECTED_SIZE[name][0]}x{height}+{cut}+0", "+repage"]
    elif name in ZOOM:
        (x, y, w, h), enlarged = ZOOM[name]
        steps += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        if enlarged:
            steps += ["-filter", "Triangle", "-resize", f"{enlarged[0]}x{enlarged[1]}!"]
    return [["convert", camera] + steps + jpeg + [f"{out}/magick-{name}.jpg"]]


def vips_commands(name, camera, album, out):
    jpeg = "[Q=95,subsample_mode=on]"
    upright = f"{out}/vipscli-upright.v"
    if name == "ALBUM":
        png = f"{out}/vipscli-album.png"
        return [["vips", "autorot", album, f"{png}[compression=1]"], ["vips", "copy", png, f"{out}/vipscli-back.v"]]
    target = f"{out}/vipscli-{name}.jpg{jpeg}"
    if name == "T0":
        return [["vips", "autorot", camera, target]]
    first = ["vips", "autorot", camera, upright]
    if name in FILL:
        (width, height), cut = FILL[name]
        scaled = f"{out}/vipscli-scaled.v"
        return [first, ["vips", "resize", upright, scaled, str(height / 2048), "--kernel", "linear"],
                ["vips", "extract_area", scaled, target, str(cut), "0", str(EXPECTED_SIZE[name][0]), str(height)]]
    (x, y, w, h), enlarged = ZOOM[name]
    if not enlarged:
        return [first, ["vips", "extract_area", upright, target, str(x), str(y), str(w), str(h)]]
    crop = f"{out}/vipscli-crop.v"
    return [first, ["vips", "extract_area", upright, crop, str(x), str(y), str(w), str(h)],
            ["vips", "resize", crop, target, str(enlarged[0] / w), "--kernel", "linear"]]


def run_commands(commands):
    for command in commands:
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def orvex_medians(binary, camera, album, out, runs):
    environment = dict(os.environ, ORVEX_BENCH_CAMERA_JPEG=camera, ORVEX_BENCH_ALBUM_JPEG=album,
                       ORVEX_BENCH_OUT=out)
    chosen = "|".join(WORKLOADS)
    report = subprocess.run([binary, f"--benchmark_filter=^Workload/({chosen})(/|$)", "--benchmark_format=json",
                             f"--benchmark_repetitions={runs}"],
                            env=environment, check=True, capture_output=True, text=True)
    medians = {}
    for entry in json.loads(report.stdout)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            medians[entry["run_name"].split("/")[1]] = entry["real_time"]
    return medians


def vips_medians(binary, camera, album, out, runs):
    report = subprocess.run([binary, camera, album, out, str(runs)], check=True,
                            capture_output=True, text=True)
    return {name: float(ms) for name, ms in (line.split() for line in report.stdout.splitlines())}


def check_sizes(out, tools):
    for tool in tools:
        for name, size in EXPECTED_SIZE.items():
            if name not in WORKLOADS:
                continue
            path = f"{out}/{tool}-{name}.jpg"
            if os.path.exists(path) and Image.open(path).size != size:
                print(f"WARNING {path} is {Image.open(path).size}, expected {size}")


def main():
    orvex_binary, vips_binary, out = sys.argv[1:4]
    runs = int(os.environ.get("PEERS_RUNS", "7"))
    process_runs = int(os.environ.get("PEERS_PROCESS_RUNS", "5"))
    os.makedirs(out, exist_ok=True)
    camera, album = f"{out}/camera-2048x1536-exif6.jpg", f"{out}/album-4032x3024-exif6.jpg"
    make_input(camera, 2048, 1536, 1)
    make_input(album, 4032, 3024, 2)

    # Rounds in turn, each tool's place rotating, so that a machine whose load drifts (other
    # work on shared cores) weighs on every tool alike; a tool's figure is its median round.
    timers = {
        "orvex": lambda: orvex_medians(orvex_binary, camera, album, out, runs),
        "opencv": lambda: {w: median_ms(lambda: opencv_workload(w, camera, album, out), runs) for w in WORKLOADS},
        "pillow": lambda: {w: median_ms(lambda: pillow_workload(w, camera, album, out), runs) for w in WORKLOADS},
        "libvips": lambda: vips_medians(vips_binary, camera, album, out, runs),
    }
    rounds = {tool: [] for tool in timers}
    order = list(timers)
    for turn in range(int(os.environ.get("PEERS_ROUNDS", "3"))):
        for tool in order[turn % len(order):] + order[:turn % len(order)]:
            rounds[tool].append(timers[tool]())
    inprocess = {tool: {w: statistics.median(r[w] for r in results) for w in WORKLOADS}
                 for tool, results in rounds.items()}
    processes = {
        "imagemagick": {w: median_ms(lambda: run_commands(imagemagick_commands(w, camera, album, out)), process_runs)
                        for w in WORKLOADS},
        "vips-cli": {w: median_ms(lambda: run_commands(vips_commands(w, camera, album, out)), process_runs)
                     for w in WORKLOADS},
    }
    check_sizes(out, ["orvex", "opencv", "pillow", "vips", "magick", "vipscli"])

    tools = list(inprocess) + list(processes)
    print(f"{'workload':10}" + "".join(f"{t:>13}" for t in tools) + "   (ms; last two: whole processes)")
    for w in WORKLOADS:
        row = [inprocess[t][w] for t in inprocess] + [processes[t][w] for t in processes]
        print(f"{w:10}" + "".join(f"{ms:13.1f}" for ms in row))
    for w in WORKLOADS:
        peer = min((t for t in inprocess if t != "orvex"), key=lambda t: inprocess[t][w])
        mine, theirs = inprocess["orvex"][w], inprocess[peer][w]
        print(f"RATIO {w} orvex_ms={mine:.1f} best_peer={peer} peer_ms={theirs:.1f} ratio={mine / theirs:.2f}")


if __name__ == "__main__":
    main()
