#!/usr/bin/env python3
"""Fuzzing the raw loading: mutated raw files through dvk-develop and dvk-probe.

Takes the real raw files of the test data and a small DNG made here, mutates
them (bytes flipped, TIFF entries changed, files cut short) and runs each
mutant through the (sanitizer) build's dvk-develop (--info at half and full
size, now and then --preview) and, when dvk-develop reports that the probe
could not read a file safely, through dvk-probe alone to see where it ends.
Runs for a given time; prints the cases run and every abnormal end, and keeps
each such input with what the program said in the output folder:

  crash      dvk-develop ended by a signal (a fault of ours or in the process)
  sanitizer  AddressSanitizer / UndefinedBehaviorSanitizer reported in dvk-develop
  exit       dvk-develop ended with a status other than 0 or 1
  hang       dvk-develop did not end within the time limit
  memory     dvk-develop's largest resident size passed the memory limit
  probe      the probe could not read the file (the program went on; the fault
             is LibRaw's, and dvk-probe's own report is kept beside it)

Not part of the test suite. Usage:

  bench/fuzz_load.py [--build build-asan] [--minutes 15] [--jobs 2]
                     [--out fuzz-out] [--seed N] [--memory-mb 1024]
  bench/fuzz_load.py --minimize FILE [--build build-asan]
      shrinks FILE (cuts and zeroed runs) while dvk-probe still ends the
      same way, and writes FILE.min
"""
import argparse
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:")
UNSAFE_MARK = "the file could not be read safely"


# --- a small DNG -------------------------------------------------------------

def tiff_bytes(entries, extra_data=b""):
    """Little-endian TIFF, one directory at 8; entries (tag, type, values)."""
    sizes = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1, 10: 8, 11: 4, 12: 8}
    n = len(entries)
    data_at = 8 + 2 + 12 * n + 4
    out, data = bytearray(b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", n)), bytearray()
    for tag, typ, values in sorted(entries, key=lambda e: e[0]):
        if typ == 2:
            raw = values.encode() + b"\0"
        elif typ in (1, 7):
            raw = bytes(values)
        elif typ == 3:
            raw = struct.pack("<%dH" % len(values), *values)
        elif typ == 4:
            raw = struct.pack("<%dI" % len(values), *values)
        elif typ in (5, 10):
            raw = b"".join(struct.pack("<ii" if typ == 10 else "<II", *v) for v in values)
        count = len(raw) // sizes[typ]
        if len(raw) <= 4:
            out += struct.pack("<HHI", tag, typ, count) + raw.ljust(4, b"\0")
        else:
            out += struct.pack("<HHI", tag, typ, count) + struct.pack("<I", data_at + len(data))
            data += raw + (b"\0" if len(raw) % 2 else b"")
    out += b"\0\0\0\0" + data
    return bytes(out) + extra_data


def small_dng(width=64, height=48, seed=1):
    rng = random.Random(seed)
    samples = bytearray()
    for y in range(height):
        for x in range(width):
            samples += struct.pack("<H", 256 + (x * 37 + y * 53 + rng.randrange(200)) % 3800)
    cm = [(4716, 10000), (603, 10000), (-830, 10000), (-7798, 10000), (15474, 10000), (2480, 10000),
          (-1496, 10000), (1937, 10000), (6651, 10000)]
    entries = [(254, 4, [0]), (256, 4, [width]), (257, 4, [height]), (258, 3, [16]), (259, 3, [1]),
               (262, 3, [32803]), (271, 2, "Acme"), (272, 2, "Fuzz"), (273, 4, [0]), (277, 3, [1]),
               (278, 4, [height]), (279, 4, [len(samples)]), (33421, 3, [2, 2]), (33422, 1, [0, 1, 1, 2]),
               (50706, 1, [1, 4, 0, 0]), (50708, 2, "Acme Fuzz"), (50714, 4, [256]), (50717, 4, [4095]),
               (50721, 10, cm), (50728, 5, [(1, 2), (1, 1), (4, 5)]), (50778, 3, [21])]
    head = tiff_bytes(entries)
    # The strip follows the directory: its offset patched in.
    entries[8] = (273, 4, [len(head)])
    head = tiff_bytes(entries)
    return head + bytes(samples)


# --- mutations ---------------------------------------------------------------

def tiff_entries(data):
    """(offset of each 12-byte entry) of the TIFF directories reachable from the header."""
    if len(data) < 8 or data[:2] not in (b"II", b"MM"):
        return []
    e = "<" if data[:2] == b"II" else ">"
    found, seen = [], set()
    todo = [struct.unpack(e + "I", data[4:8])[0]]
    while todo and len(seen) < 32:
        ifd = todo.pop()
        if ifd in seen or ifd + 2 > len(data):
            continue
        seen.add(ifd)
        n = struct.unpack(e + "H", data[ifd:ifd + 2])[0]
        for i in range(min(n, 512)):
            at = ifd + 2 + 12 * i
            if at + 12 > len(data):
                break
            found.append(at)
            tag, typ, count, value = struct.unpack(e + "HHII", data[at:at + 12])
            if tag in (330, 34665, 50740) and typ in (4, 13) and count >= 1:  # SubIFDs, EXIF, private
                todo.append(value)
        if ifd + 2 + 12 * n + 4 <= len(data):
            nxt = struct.unpack(e + "I", data[ifd + 2 + 12 * n:ifd + 6 + 12 * n])[0]
            if nxt:
                todo.append(nxt)
    return found


INTERESTING = [0, 1, 2, 3, 4, 6, 7, 8, 16, 36, 255, 256, 0x7fff, 0x8000, 0xffff, 0x10000, 0x7fffffff,
               0x80000000, 0xffffffff]


def mutate(data, rng):
    data = bytearray(data)
    kind = rng.choice(["flip", "flip", "entry", "entry", "entry", "cut", "splice"])
    if kind == "flip":
        for _ in range(rng.randint(1, 16)):
            if rng.random() < 0.7:
                at = rng.randrange(min(len(data), 65536))  # the structure lies mostly near the start
            else:
                at = rng.randrange(len(data))
            data[at] ^= 1 << rng.randrange(8)
    elif kind == "entry":
        entries = tiff_entries(bytes(data))
        if not entries:
            return mutate(bytes(data), rng)
        e = "<" if data[:2] == b"II" else ">"
        for _ in range(rng.randint(1, 3)):
            at = rng.choice(entries)
            field = rng.choice(["type", "count", "value", "value"])
            special = INTERESTING + [len(data), len(data) - 1, len(data) + 1, rng.randrange(len(data))]
            if field == "type":
                data[at + 2:at + 4] = struct.pack(e + "H", rng.choice([1, 2, 3, 4, 5, 7, 9, 10, 11, 12, 13, 0, 99]))
            elif field == "count":
                data[at + 4:at + 8] = struct.pack(e + "I", rng.choice(special))
            else:
                data[at + 8:at + 12] = struct.pack(e + "I", rng.choice(special))
    elif kind == "cut":
        data = data[:rng.randrange(1, len(data))]
    else:  # a run of bytes copied over another place
        n = rng.randint(1, 64)
        src, dst = rng.randrange(len(data)), rng.randrange(len(data))
        data[dst:dst + n] = data[src:src + n]
    return bytes(data), kind


# --- runs --------------------------------------------------------------------

def run(argv, timeout, env):
    """(status or -signal or None on time-out, stderr text, max rss KB)."""
    with tempfile.TemporaryFile() as err:
        child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err, env=env,
                                 start_new_session=True)
        deadline = time.monotonic() + timeout
        while True:
            done, st, usage = os.wait4(child.pid, os.WNOHANG)
            if done:
                status = os.waitstatus_to_exitcode(st)
                break
            if time.monotonic() > deadline:
                try:
                    os.killpg(child.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                _, st, usage = os.wait4(child.pid, 0)
                status = None
                break
            time.sleep(0.005)
        child.returncode = status if status is not None else -signal.SIGKILL  # reaped here
        err.seek(0)
        return status, err.read().decode(errors="replace"), usage.ru_maxrss


def sanitizer_env():
    env = dict(os.environ)
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1:allocator_may_return_null=1")
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    env["DVK_NO_REDIRECT"] = "1"
    return env


def first_lines(text, marks, n=12):
    lines = text.splitlines()
    for i, line in enumerate(lines):
        if any(m in line for m in marks):
            return "\n".join(lines[i:i + n])
    return "\n".join(lines[:n])


def check(case_path, mode, opts, env):
    """The abnormal end of one case, or None."""
    develop = str(Path(opts.build) / "bin" / "dvk-develop")
    argv = [develop] + {"half": ["--info", "--half"], "full": ["--info"], "preview": ["--preview"]}[mode]
    status, err, rss = run(argv + [str(case_path)], opts.timeout, env)
    if status is None:
        return "hang", err
    if status < 0:
        return "crash", "signal %d\n%s" % (-status, first_lines(err, SANITIZER_MARKS + ("ERROR",)))
    if any(m in err for m in SANITIZER_MARKS):
        return "sanitizer", first_lines(err, SANITIZER_MARKS, 40)
    if status not in (0, 1):
        return "exit", "status %d\n%s" % (status, err[-2000:])
    if rss > opts.memory_mb * 1024:
        return "memory", "max rss %d MB\n%s" % (rss // 1024, err[-1000:])
    if UNSAFE_MARK in err:
        probe = str(Path(opts.build) / "bin" / "dvk-probe")
        pstatus, perr, _ = run([probe, str(case_path)], opts.timeout, env)
        return "probe", "dvk-probe: %s\n%s" % (
            "timed out" if pstatus is None else "status %d" % pstatus, first_lines(perr, SANITIZER_MARKS, 40))
    return None


def fuzz(opts):
    seeds = []
    data_dir = Path(opts.testdata) / "raw"
    for f in sorted(data_dir.glob("*")) if data_dir.is_dir() else []:
        seeds.append((f.name, f.read_bytes()))
    seeds.append(("generated.dng", small_dng()))
    out = Path(opts.out)
    out.mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="dvk-fuzz-"))
    env = sanitizer_env()
    rng = random.Random(opts.seed)
    print("seed %d, %d inputs (%s), %d jobs, %.1f minutes, output %s"
          % (opts.seed, len(seeds), ", ".join(n for n, _ in seeds), opts.jobs, opts.minutes, out), flush=True)
    end = time.monotonic() + opts.minutes * 60
    counts, found = {}, {}

    def one(index, case_seed):
        r = random.Random(case_seed)
        name, data = r.choice(seeds)
        mutant, kind = mutate(data, r)
        for _ in range(r.choice([0, 0, 1, 2])):
            mutant, more = mutate(mutant, r)
            kind += "+" + more
        mode = r.choice(["half", "half", "full", "preview"])
        path = work / ("case-%d%s" % (index, Path(name).suffix))
        path.write_bytes(mutant)
        verdict, kept = None, None
        try:
            verdict = check(path, mode, opts, env)
            if verdict:
                kept = out / ("%s-%06d-%s%s" % (verdict[0], index, Path(name).stem, Path(name).suffix))
                shutil.copyfile(path, kept)
                kept.with_suffix(kept.suffix + ".txt").write_text(
                    "input %s, mutation %s, mode %s, case seed %d\n%s\n" % (name, kind, mode, case_seed, verdict[1]))
        finally:
            path.unlink(missing_ok=True)
        return name, kind, mode, verdict, kept

    index = 0
    last_report = time.monotonic()
    with ThreadPoolExecutor(max_workers=opts.jobs) as pool:
        pending = set()
        while time.monotonic() < end or pending:
            while time.monotonic() < end and len(pending) < opts.jobs * 2:
                pending.add(pool.submit(one, index, rng.randrange(1 << 62)))
                index += 1
            done = [f for f in pending if f.done()]
            if not done:
                time.sleep(0.01)
                continue
            for f in done:
                pending.remove(f)
                name, kind, mode, verdict, kept = f.result()
                counts[mode] = counts.get(mode, 0) + 1
                if verdict:
                    found[verdict[0]] = found.get(verdict[0], 0) + 1
                    print("%s: %s (%s, %s, %s)\n  %s" % (verdict[0], kept, name, kind, mode,
                                                        verdict[1].splitlines()[0] if verdict[1] else ""),
                          flush=True)
            if time.monotonic() - last_report > 60:
                last_report = time.monotonic()
                print("... %d cases run, abnormal ends: %s" % (sum(counts.values()), found or "none"), flush=True)
    shutil.rmtree(work, ignore_errors=True)
    print("cases run: %d (%s); abnormal ends: %s"
          % (sum(counts.values()), ", ".join("%s %d" % kv for kv in sorted(counts.items())), found or "none"))
    return 1 if any(k != "probe" for k in found) else 0


def minimize(opts):
    """Shrinks a file while dvk-probe ends the same way (a signal, or a sanitizer report)."""
    probe = str(Path(opts.build) / "bin" / "dvk-probe")
    env = sanitizer_env()
    data = Path(opts.minimize).read_bytes()
    tmp = Path(tempfile.mkdtemp(prefix="dvk-min-")) / ("m" + Path(opts.minimize).suffix)

    def outcome(candidate):
        tmp.write_bytes(candidate)
        status, err, _ = run([probe, str(tmp)], opts.timeout, env)
        if status is None:
            return "hang"
        if status < 0:
            return "signal %d" % -status
        if any(m in err for m in SANITIZER_MARKS):
            return "sanitizer"
        return None

    target = outcome(data)
    if not target:
        print("dvk-probe reads %s without fault" % opts.minimize)
        return 1
    # Cut the end while it still fails, then zero runs of bytes, halving the run.
    lo, hi = 1, len(data)
    while lo < hi:
        mid = (lo + hi) // 2
        if outcome(data[:mid]) == target:
            hi = mid
        else:
            lo = mid + 1
    data = data[:hi]
    run_len = max(1, len(data) // 2)
    while run_len >= 1:
        at = 0
        while at < len(data):
            candidate = data[:at] + bytes(min(run_len, len(data) - at)) + data[at + run_len:]
            if candidate != data and outcome(candidate) == target:
                data = candidate
            at += run_len
        run_len //= 2
    out = Path(opts.minimize + ".min")
    out.write_bytes(data)
    print("%s: %d bytes, dvk-probe ends with %s; non-zero bytes at %s"
          % (out, len(data), target, [i for i, b in enumerate(data) if b][:64]))
    return 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--build", default=str(ROOT / "build-asan"))
    p.add_argument("--testdata", default=str(ROOT.parent / "shared" / "testdata"))
    p.add_argument("--minutes", type=float, default=15)
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("--out", default="fuzz-out")
    p.add_argument("--seed", type=int, default=int(time.time()))
    p.add_argument("--timeout", type=float, default=60, help="seconds a run may take")
    p.add_argument("--memory-mb", type=int, default=1024, help="largest resident size of a run")
    p.add_argument("--minimize", metavar="FILE")
    opts = p.parse_args()
    for tool in ("dvk-develop", "dvk-probe"):
        if not os.access(Path(opts.build) / "bin" / tool, os.X_OK):
            sys.exit("%s/bin/%s is missing: build it first" % (opts.build, tool))
    sys.exit(minimize(opts) if opts.minimize else fuzz(opts))


if __name__ == "__main__":
    main()
