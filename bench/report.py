#!/usr/bin/env python3
"""Merges the benchmark runs' JSON files into results.json and writes
RESULTS.md: each figure beside its baseline, their ratio and the target.

usage: report.py OUT_DIR LINUX_RUN_DIR [WINDOWS_RUN_DIR]
Each run folder holds one Google Benchmark JSON file per benchmark (each
benchmark runs in a process of its own, so its peak memory is its own)."""
import json
import pathlib
import sys

UNIT = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def median(values):
    values = sorted(values)
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2


def load(folder):
    """Context of the first file and, per benchmark, the median of each of
    its figures over the rounds (each round a file of its own)."""
    context, rounds = None, {}
    if folder is None or not folder.is_dir():
        return context, []
    for path in sorted(folder.glob("*.json")):
        data = json.loads(path.read_text())
        context = context or data.get("context")
        for run in data.get("benchmarks", []):
            if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
                continue
            run = dict(run)
            run["seconds"] = run["real_time"] * UNIT[run.get("time_unit", "ns")]
            rounds.setdefault(run.get("run_name", run["name"]), []).append(run)
    runs = []
    for name, measured in rounds.items():
        merged = dict(measured[0])
        for key, value in measured[0].items():
            if isinstance(value, (int, float)) and not isinstance(value, bool):
                values = [m[key] for m in measured if key in m]
                merged[key] = median(values)
                if key.endswith("_ratio"):
                    merged[key + "_range"] = (min(values), max(values))
        merged["rounds"] = len(measured)
        runs.append(merged)
    return context, runs


class Figures:
    def __init__(self, runs):
        self.runs = runs

    def find(self, prefix):
        for run in self.runs:
            if run.get("run_name", run["name"]).startswith(prefix):
                return run
        return None

    def paired(self, prefix, baseline, digits=3):
        """The median over the rounds of a ratio measured beside its
        baseline, with its lowest and highest."""
        run = self.find(prefix)
        if run is None or f"{baseline}_ratio" not in run:
            return "n/a"
        low, high = run.get(f"{baseline}_ratio_range", (None, None))
        spread = f" ({fmt(low, digits)}–{fmt(high, digits)})" if low is not None and run.get("rounds", 1) > 1 else ""
        return fmt(run[f"{baseline}_ratio"], digits) + spread

    def value(self, prefix, key="seconds"):
        run = self.find(prefix)
        if run is None or key not in run:
            return None
        return run[key]


def fmt(value, digits=3):
    if value is None:
        return "n/a"
    if abs(value) >= 1000:
        return f"{value:,.0f}"
    return f"{value:.{digits}g}"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return None
    return a / b


def verdict(value, limit, at_most=True):
    if value is None:
        return "not measured"
    ok = value <= limit if at_most else value >= limit
    return "met" if ok else "**missed**"


# What each figure includes, said once per kind of row: the simulated
# cameras show a still picture in every benchmark, so no figure includes
# the drawing of a scene.
CORVID_PATH = ("corvid's path: the driver's copy of a still picture into its ring, getImages16 into the run "
               "buffer, putImage into the frame, the engine's hand-overs between the threads")
CORVID_SMALL = ("the same path at 64×64: two thread wake-ups by design (the image wakes corvid's thread, the frame "
                "the toolbox's) and corvid's own work")
WATCH_PATH = "driver event (a 16×8 still-picture image) → callback on MATLAB's thread; the session polls"
SUBMIT_PATH = ("from the completion routine's return (the frame's message queued) to the callback's return; the "
               "driver's fill, a copy of a still picture, is outside the time")
STREAM_PATH = ("the whole stream: the driver's fill (one copy of a still picture per frame), the dispatch, the "
               "callback's re-queue")


def rows(f):
    """(figure, includes, value, baseline, ratio, target, verdict) for one
    platform."""
    out = []
    big = "corvid/acquisition/2560/2160"
    t = f.value(big)
    b = f.value(big, "three_memcpy_us")
    r = f.value(big, "three_memcpy_ratio")
    out.append(("corvid 2560×2160 16-bit: time per frame (ms)", CORVID_PATH, fmt(t and t * 1e3),
                f"3 memcpy: {fmt(b and b / 1e3)}", f.paired(big, "three_memcpy"), "≤ 1.25", verdict(r, 1.25)))
    fps = f.value(big, "items_per_second")
    gbs = f.value(big, "bytes_per_second")
    out.append(("corvid 2560×2160: frames/s, GB/s delivered", CORVID_PATH,
                f"{fmt(fps)} /s, {fmt(gbs and gbs / 1e9)} GB/s",
                f"{fmt(b and t and gbs and gbs * t / (b * 1e-6) / 1e9)} GB/s by the 3 memcpys", "", "", ""))
    skipped = f.value(big, "frames_skipped")
    lost = f.value(big, "images_lost")
    out.append(("corvid 2560×2160: images skipped / lost in the driver's ring", "counts of the same run",
                f"{fmt(skipped)} / {fmt(lost)}", "", "", "0",
                verdict((skipped or 0) + (lost or 0), 0) if skipped is not None else "not measured"))
    small = "corvid/acquisition/64/64"
    t = f.value(small)
    fps = f.value(small, "items_per_second")
    wake = f.value("watchDriverSignal/baseline_ping_pong", "median_us")
    r = ratio(t and t * 1e6, wake)
    out.append(("corvid 64×64: fixed cost per frame (µs), frames/s, against one bare two-thread wake-up",
                CORVID_SMALL, f"{fmt(t and t * 1e6)} µs, {fmt(fps)} /s",
                f"ping-pong median: {fmt(wake)} µs", fmt(r), "≤ 2.5 (two wake-ups and half of one)",
                verdict(r, 2.5)))
    sel = f.value("corvid/camera_selection")
    share = ratio(sel and 2 * sel, t)
    out.append(("corvid: the lock with the camera selected, twice per image (µs), against the 64×64 frame",
                "the process's camera lock and selectCamera, uncontended, timed alone",
                fmt(sel and 2 * sel * 1e6), f"64×64 frame: {fmt(t and t * 1e6)} µs", fmt(share), "≤ 0.03",
                verdict(share, 0.03)))
    two = "corvid/two_cameras"
    alone, beside = f.value(two, "alone_fps"), f.value(two, "beside_fps")
    r = f.value(two, "ratio")
    out.append(("corvid two 64×64 cameras at 1,000 images/s each, at once: frames/s of the slower",
                "two free-running still-picture cameras through corvid and the engine; rates from the stamps",
                fmt(beside), f"one alone: {fmt(alone)} /s", fmt(r), "≥ 0.95", verdict(r, 0.95, at_most=False)))
    out += acquire_rows(f)
    med, p99 = f.value("watchDriverSignal/event_to_callback", "median_us"), f.value(
        "watchDriverSignal/event_to_callback", "p99_us")
    bmed, bp99 = f.value("watchDriverSignal/baseline_ping_pong", "median_us"), f.value(
        "watchDriverSignal/baseline_ping_pong", "p99_us")
    r = ratio(med, bmed)
    out.append(("watchDriverSignal event → callback: median (µs)", WATCH_PATH, fmt(med), f"ping-pong: {fmt(bmed)}",
                fmt(r), "≤ 2", verdict(r, 2)))
    out.append(("watchDriverSignal event → callback: 99th percentile (µs)", WATCH_PATH, fmt(p99),
                f"ping-pong: {fmt(bp99)}", fmt(ratio(p99, bp99)), "", ""))
    name2k = "submitBuffers/completion_to_callback/2048/2048"
    s64 = f.value("submitBuffers/completion_to_callback/64/64", "median_us")
    s2k = f.value(name2k, "median_us")
    copy = f.value(name2k, "one_memcpy_us")
    r = ratio(s2k, copy)
    out.append(("submitBuffers completion → callback: 2048×2048, median (µs), against one memcpy of the frame",
                SUBMIT_PATH, fmt(s2k), f"one 8 MB memcpy: {fmt(copy)}", fmt(r, 3),
                "≤ 0.1 (zero copy: a small fraction of one copy)", verdict(r, 0.1)))
    out.append(("submitBuffers completion → callback: 2048×2048 against 64×64, medians (µs)", SUBMIT_PATH, fmt(s2k),
                f"64×64: {fmt(s64)}", fmt(ratio(s2k, s64)), "(mostly the allocator: no target)", ""))
    stirred = f.value("submitBuffers/completion_to_callback_after_16MB_moved/64/64", "median_us")
    out.append(("submitBuffers 64×64 after MATLAB's thread moved 16 MB, as a 2048×2048 fill does (µs)",
                SUBMIT_PATH + "; 16 MB moved by MATLAB's thread outside it", fmt(stirred), f"64×64: {fmt(s64)}",
                fmt(ratio(stirred, s64)), "", ""))
    first = f.value(name2k, "first_after_submit_us")
    other = f.value(name2k, "other_frames_us")
    slowest = f.value(name2k, "slowest_us")
    out.append(("submitBuffers 2048×2048: mean of the first frame after a submission / the others; slowest (µs)",
                SUBMIT_PATH, f"{fmt(first)} / {fmt(other)}; {fmt(slowest)}", "", "", "", ""))
    out += stream_rows(f)
    for size, label in (("2048/2048", "2048×2048"), ("64/64", "64×64")):
        name = f"takeEarliest/call/{size}"
        t, b = f.value(name), f.value(name, "memcpy_fresh_us")
        r = f.value(name, "memcpy_fresh_ratio")
        big_one = size == "2048/2048"
        includes = ("the call: the driver's copy of its oldest image into a new array, and its release; the "
                    "image was made (a copy of a still picture) outside the time")
        out.append((f"takeEarliest {label} 16-bit: time per call (µs)", includes, fmt(t and t * 1e6),
                    f"memcpy to fresh: {fmt(b)}", f.paired(name, "memcpy_fresh"),
                    "≤ 1.3" if big_one else "(fixed cost)", verdict(r, 1.3) if big_one else ""))
        if big_one:
            z = f.value(name, "memcpy_fresh_zeroed_us")
            out.append((f"takeEarliest {label}: the same call against a zero-filled fresh buffer", includes,
                        fmt(t and t * 1e6), f"memcpy to fresh zeroed: {fmt(z)}",
                        f.paired(name, "memcpy_fresh_zeroed"), "(the array is zero-filled)", ""))
    for size, label in (("2048/2048", "2048×2048"), ("640/480", "640×480")):
        name = f"snapPicture/call/{size}"
        t, b = f.value(name), f.value(name, "memcpy_kept_plus_safety_copy_us")
        r = f.value(name, "memcpy_kept_plus_safety_copy_ratio")
        big_one = size == "2048/2048"
        out.append((f"snapPicture {label} 8-bit: time per call (µs)",
                    "the call: the driver's grab (one copy of a still picture) into the kept picture, and the "
                    "duplicate returned", fmt(t and t * 1e6),
                    f"memcpy to kept + safety copy: {fmt(b)}", f.paired(name, "memcpy_kept_plus_safety_copy"),
                    "≤ 1.3" if big_one else "(fixed cost)", verdict(r, 1.3) if big_one else ""))
    reg = f.value("watchDriverSignal/register_100")
    out.append(("100 cameras: time to register all (ms)", "100 watchDriverSignal registrations; no image",
                fmt(reg and reg * 1e3), f"per camera: {fmt(reg and reg / 100 * 1e6)} µs", "", "", ""))
    out.append(("100 cameras: memory per camera", "resident growth of the registrations",
                f"{fmt(f.value('watchDriverSignal/register_100', 'rss_per_camera_KB'))} KB resident",
                f"kept by the library: {fmt(f.value('watchDriverSignal/register_100', 'kept_per_camera_B'))} B", "",
                "", ""))
    ev = f.value("watchDriverSignal/event_on_100")
    out.append(("100 cameras: one event on each → all callbacks (ms)",
                "100 still-picture images made, then every callback", fmt(ev and ev * 1e3),
                f"callbacks per round: {fmt(f.value('watchDriverSignal/event_on_100', 'callbacks'))}", "",
                "100 callbacks", verdict(f.value('watchDriverSignal/event_on_100', 'callbacks'), 100, at_most=False)))
    return out


def acquire_rows(f):
    """acquire to a disk slower than the camera: the frame memory limit
    bounds what waits, and the frames dropped are the file's gaps."""
    name = "acquire/disk_bound_run/"
    includes = ("acquire's whole run: a 2560×2160 camera at 100 images/s (still picture, a 2-image ring), corvid, "
                "the engine's buffer, acquire's writer into a sink that takes 50 pages/s")
    limit = f.value(name, "limit_MB")
    growth = f.value(name, "peak_growth_MB")
    over = f.value(name, "growth_over_limit_frames")
    out = [("acquire 2560×2160 to a disk at half the camera's rate, 300 frames: peak resident growth after the "
            "first page (MB)", includes, fmt(growth), f"frame memory limit: {fmt(limit)} MB",
            f"{fmt(over)} frames over", "≤ limit + 4 frames", verdict(over, 4))]
    behind = f.value(name, "dropped_disk_behind")
    before = f.value(name, "dropped_before_engine")
    gaps = f.value(name, "gaps_in_image_numbers")
    ring = f.value(name, "gaps_from_ring")
    lost = f.value(name, "images_lost_in_ring")
    ok = None
    if gaps is not None and ring is not None and lost is not None:
        ok = "met" if 0 <= ring <= lost and f.value(name, "pages_out_of_order") == 0 else "**missed**"
    out.append(("acquire to the slow disk: frames dropped while the disk was behind / wanted and never "
                "delivered; gaps in the file's image numbers", includes,
                f"{fmt(behind)} / {fmt(before)}; {fmt(gaps)} gaps",
                f"images the ring let go: {fmt(lost)} (behind the gaps: {fmt(ring)})", "",
                "gaps = drops + ring's, pages in order", ok or "not measured"))
    return out


def stream_rows(f):
    """The stream of submitBuffers: K frames out at once, each callback
    queueing the next; its memory against the bytes of those K frames. The
    memory ratios are shown to 4 digits: a megabyte over the target must not
    read as the target."""
    name = "submitBuffers/stream/"
    k = f.value(name, "frames_out")
    k_text = fmt(k) if k is not None else "K"
    frames_mb = f.value(name, "frames_MB")
    before = f.value(name, "rss_before_MB")
    peak = f.value(name, "stream_peak_rss_MB")
    growth = peak - before if peak is not None and before is not None else None
    steady = f.value(name, "after_first_set_ratio")
    steady_growth = steady * frames_mb if steady is not None and frames_mb is not None else None
    out = [(f"submitBuffers stream 2048×2048, {k_text} frames out, 1,000 frames: peak resident growth (MB)",
            STREAM_PATH, fmt(growth), f"{k_text} frames: {fmt(frames_mb)}", f.paired(name, "frames_out", 4), "≤ 1.25",
            verdict(f.value(name, "frames_out_ratio"), 1.25)),
           (f"submitBuffers stream: the same from the time the first call's {k_text} frames are back (MB)",
            STREAM_PATH, fmt(steady_growth), f"{k_text} frames: {fmt(frames_mb)}", f.paired(name, "after_first_set", 4), "", "")]
    after = f.value(name, "rss_after_drain_MB")
    out.append(("submitBuffers stream: resident before the stream / peak / once every frame is back (MB)",
                STREAM_PATH, f"{fmt(before)} / {fmt(peak)} / {fmt(after)}", "", "", "", ""))
    fps = f.value(name, "items_per_second")
    alone = f.value("submitBuffers/stream_camera_alone/", "items_per_second")
    out.append(("submitBuffers stream: frames/s (ratio: time per frame against the camera alone)",
                STREAM_PATH + "; the camera alone: the same fills and re-queues with no library and no MATLAB",
                f"{fmt(fps)} /s",
                f"camera alone: {fmt(alone)} /s",
                fmt(ratio(alone, fps)), "", ""))
    first = f.value(name, "kept_after_first_set_MB")
    end = f.value(name, "kept_at_end_MB")
    drained = f.value(name, "kept_drained_MB")
    out.append((f"submitBuffers stream: kept by the library after the first {k_text} frames / at the end / at most; "
                "once every frame is back",
                "the library's persistent memory, as the session counts it",
                f"{fmt(first)} / {fmt(end)} / {fmt(f.value(name, 'kept_highest_MB'))} MB; "
                f"{fmt(drained and drained * 1e3)} KB",
                "", "", f"at the end ≤ after the first {k_text}",
                verdict(f.value(name, "kept_grew"), 0) if end is not None else "not measured"))
    return out


def table(header, body):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in body]
    return "\n".join(lines)


def memory_rows(runs):
    out = []
    for run in runs:
        if "peak_rss_MB" in run:
            out.append((run.get("run_name", run["name"]), fmt(run["peak_rss_MB"]), fmt(run.get("frames_MB"))))
    return out


def describe(context):
    if not context:
        return "no run"
    mhz = context.get('mhz_per_cpu') or 0
    return (f"{context.get('host_name', '?')}, {context.get('num_cpus', '?')} CPUs"
            f"{f' at {mhz} MHz' if mhz else ''}, {context.get('date', '')}, "
            f"benchmark library: {context.get('library_build_type', '?')} build; load average "
            f"{', '.join(f'{x:.1f}' for x in context.get('load_avg', [])) or 'n/a'}")


def main():
    out_dir = pathlib.Path(sys.argv[1])
    linux_ctx, linux = load(pathlib.Path(sys.argv[2]))
    win_ctx, windows = load(pathlib.Path(sys.argv[3]) if len(sys.argv) > 3 else None)
    (out_dir / "results.json").write_text(json.dumps(
        {"linux": {"context": linux_ctx, "benchmarks": linux},
         "windows-x64 (wine64)": {"context": win_ctx, "benchmarks": windows}}, indent=1) + "\n")

    header = ("figure", "includes", "value", "baseline (same run)", "ratio", "target", "")
    lin_rows = rows(Figures(linux))
    md = ["# Benchmark results", "",
          "Written by `./run-benchmarks.sh` from `bench/results.json`. Each benchmark ran in a process of "
          "its own, once per round, in rounds that run every benchmark in turn; each figure is the median "
          f"over the rounds ({max((r['rounds'] for r in linux), default=0)} on Linux).", "",
          f"Linux (release preset): {describe(linux_ctx)}.", "",
          "The machine is a shared virtual machine whose speed drifts from one second to the next. The "
          "memcpy baselines of corvid, takeEarliest and snapPicture are therefore timed in the same process "
          "as their figure, in blocks of 32 iterations between blocks of the figure's; their ratio column "
          "gives the median over the rounds and, in brackets, the lowest and highest round. The other "
          "ratios set a figure against a baseline measured in the same run of the command. Debian's Google "
          "Benchmark library calls itself a debug build (a flag of the package); the timed loops are the "
          "benchmarks' own code and the libraries', built optimised. The submitBuffers stream's memory ratio is "
          "its peak resident memory during the stream less that just before it, over the bytes of the frames it has "
          "out at once; on Linux the kernel's high-water mark is reset when the stream starts, under wine64 the "
          "process's peak stands in for it.", "",
          "What the figures time: our code's path only, by a still scene. Every simulated camera in every "
          "benchmark shows a still picture (`andorSimSetStillPicture`, `qcamSimSetStillPicture`): its scene's "
          "image drawn once, then copied for each image (into the Andor driver's ring, into each QCam frame) and "
          "stamped with the image's number, as a camera's transfer is one copy. No figure includes the drawing "
          "of a moving scene with noise, which the simulators do otherwise; the baselines' first memcpy is that "
          "one copy. Figures of earlier results pages (before the still picture) include that drawing where the "
          "driver's fill was inside the time: corvid at 2560×2160, the submitBuffers stream and its camera "
          "alone, snapPicture, acquire's runs. The column *includes* says, per row, what the figure times.", "",
          "Two targets are set by what the physics allows: submitBuffers' completion → callback at 2048×2048 "
          "against one memcpy of that frame (handing the frame over uncopied costs a small fraction of one copy; "
          "its ratio to 64×64 mostly measures the allocator and has no target now), and corvid's fixed cost per "
          "64×64 frame against one bare two-thread wake-up, the ping-pong baseline of watchDriverSignal measured "
          "by the same run (two wake-ups happen by design: the image wakes corvid's thread, the frame the "
          "toolbox's).", ""]
    if windows:
        win_rows = rows(Figures(windows))
        merged = []
        for lin, win in zip(lin_rows, win_rows):
            merged.append(lin[:5] + (win[2], win[4]) + lin[5:])
        md += [f"windows-x64 under wine64: {describe(win_ctx)}.", "",
               table(("figure", "includes", "Linux", "Linux baseline", "Linux ratio", "wine64", "wine64 ratio",
                      "target", "Linux verdict"), merged)]
    else:
        md += [table(header, lin_rows), "", "windows-x64: no run."]
    md += ["", "## Peak resident memory per benchmark", "",
           "Peak resident memory of the process that ran the benchmark (ru_maxrss; on Windows the peak working "
           "set), against the bytes of the frames the benchmark holds at once.", "",
           table(("benchmark", "peak resident (MB)", "frames need (MB)"), memory_rows(linux))]
    if windows:
        md += ["", "windows-x64 under wine64:", "",
               table(("benchmark", "peak resident (MB)", "frames need (MB)"), memory_rows(windows))]
    notes = pathlib.Path(__file__).with_name("NOTES.md")
    if notes.exists():
        md += ["", notes.read_text().rstrip()]
    (out_dir / "RESULTS.md").write_text("\n".join(md) + "\n")


if __name__ == "__main__":
    main()
