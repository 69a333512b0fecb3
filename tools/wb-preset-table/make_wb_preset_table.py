#!/usr/bin/env python3
"""Writes app/menus/wb_preset_table_data.inc, the built-in white-balance presets
of the cameras whose raw files carry no white-balance table the decoder reads.

The figures come from darktable's wb_presets.json. Run by hand (the build never
runs it); the .deb and the json stay out of the tree:

    mkdir /tmp/dt && cd /tmp/dt && apt-get download darktable &&
        dpkg-deb -x darktable_*.deb root
    tools/wb-preset-table/make_wb_preset_table.py /tmp/dt/root \
        > app/menus/wb_preset_table_data.inc

ROOT is the folder the package was unpacked into. The models missing from the
source are named in the output's header and on standard error.
"""

import gzip
import json
import math
import os
import re
import sys

# The cameras of the table, in table order, as the program names them.
MODELS = [
    "Nikon 1 AW1", "Nikon 1 J1", "Nikon 1 J2", "Nikon 1 J3", "Nikon 1 S1", "Nikon 1 V1", "Nikon 1 V2",
    "Nikon COOLPIX A", "Nikon COOLPIX P330", "Nikon COOLPIX P340", "Nikon COOLPIX P6000", "Nikon COOLPIX P7000",
    "Nikon COOLPIX P7100", "Nikon COOLPIX P7700", "Nikon COOLPIX P7800", "Nikon D1", "Nikon D100", "Nikon D1H",
    "Nikon D1X", "Nikon D200", "Nikon D2H", "Nikon D2HS", "Nikon D2X", "Nikon D2XS", "Nikon D3", "Nikon D300",
    "Nikon D3000", "Nikon D300S", "Nikon D3100", "Nikon D3200", "Nikon D3300", "Nikon D3S", "Nikon D3X",
    "Nikon D4", "Nikon D40", "Nikon D40X", "Nikon D4S", "Nikon D50", "Nikon D5000", "Nikon D5100", "Nikon D5200",
    "Nikon D5300", "Nikon D60", "Nikon D600", "Nikon D610", "Nikon D70", "Nikon D700", "Nikon D750",
    "Nikon D7000", "Nikon D70S", "Nikon D7100", "Nikon D80", "Nikon D800", "Nikon D800E", "Nikon D90",
    "Nikon DF", "Nikon E5400", "Nikon E5700", "Nikon E8800", "Nikon Z 7",
]

# Nikon's nominal colour temperatures of its presets (the cameras' manuals).
# "Daylight" and "Fluorescent" are the older cameras' names of direct
# sunlight and of the one (cool white) fluorescent preset.
TEMPERATURES = {
    "Incandescent": 3000,
    "Sodium-Vapor Fluorescent": 2700,
    "Warm White Fluorescent": 3000,
    "White Fluorescent": 3700,
    "Cool White Fluorescent": 4200,
    "Fluorescent": 4200,
    "Day White Fluorescent": 5000,
    "Daylight Fluorescent": 6500,
    "High Temp. Mercury-Vapor Fluorescent": 7200,
    "Direct Sunlight": 5200,
    "Daylight": 5200,
    "Flash": 5400,
    "Cloudy": 6000,
    "Shade": 8000,
}

# The row the table held before these figures were added: it stays first,
# with its own multipliers, in place of the source's row of that name.
KEPT_ROW = ("Nikon 1 AW1", "Direct Sunlight, 5200K", "2.24164", "1.61545")


def fail(message):
    sys.exit("make_wb_preset_table: " + message)


def preset_name(name):
    """"Direct Sunlight, 5200K" for a preset of known temperature; a name that
    is a temperature ("2700K") or has none stays as it is."""
    if re.fullmatch(r"\d+K", name) or name not in TEMPERATURES:
        return name
    return "%s, %dK" % (name, TEMPERATURES[name])


def with_tuning(name, tuning):
    return name if not tuning else "%s, %+d" % (name, tuning)


def float_literal(value):
    text = repr(float(value))
    if "e" in text or "E" in text:
        fail("unexpected multiplier %r" % value)
    return text + "f"


def multiplier(value, green):
    """R or B with G = 1: the source's own figure when G is already 1."""
    if green == 1:
        return float_literal(value)
    return float_literal(float("%.7g" % (value / green)))


def c_string(text):
    if not re.fullmatch(r"[ -~]*", text) or '"' in text or "\\" in text:
        fail("name needs escaping: %r" % text)
    return '"%s"' % text


def source_version(root):
    log = os.path.join(root, "usr/share/doc/darktable/changelog.Debian.gz")
    with gzip.open(log, "rt", encoding="utf-8") as f:
        m = re.match(r"darktable \(([^)]+)\)", f.readline())
    if not m:
        fail("no version in " + log)
    return m.group(1)


def main():
    if len(sys.argv) != 2:
        fail("usage: make_wb_preset_table.py ROOT")
    root = sys.argv[1]
    version = source_version(root)
    with open(os.path.join(root, "usr/share/darktable/wb_presets.json"), encoding="utf-8") as f:
        data = json.load(f)

    source = {}
    for maker in data["wb_presets"]:
        for model in maker["models"]:
            source.setdefault((maker["maker"] + " " + model["model"]).upper(), model["presets"])

    names = []  # preset names, by first use
    cameras = []  # (model, first row, row count)
    rows = []  # (name index, tuning, R, B)
    missing = []

    def name_index(name):
        if name not in names:
            names.append(name)
        return names.index(name)

    for model in MODELS:
        presets = source.get(model.upper())
        if not presets:
            missing.append(model)
            continue
        first = len(rows)
        seen = set()
        if model == KEPT_ROW[0]:
            rows.append((name_index(KEPT_ROW[1]), 0, KEPT_ROW[2] + "f", KEPT_ROW[3] + "f"))
            seen.add((KEPT_ROW[1], 0))
        for p in presets:
            r, g, b, g2 = p["channels"]
            if g <= 0 or r <= 0 or b <= 0 or g2 not in (0, g):
                fail("%s %s: unusable multipliers %r" % (model, p["name"], p["channels"]))
            tuning = int(p.get("tuning", 0))
            if not -99 <= tuning <= 99:
                fail("%s %s: tuning %d" % (model, p["name"], tuning))
            name = preset_name(p["name"])
            if (name, tuning) in seen:
                continue  # the kept row, or a repeat
            seen.add((name, tuning))
            rows.append((name_index(name), tuning, multiplier(r, g), multiplier(b, g)))
        cameras.append((model, first, len(rows) - first))

    if len(names) > 255 or len(rows) > 65535:
        fail("the table outgrew its index types")

    out = sys.stdout
    out.write("// Built-in white-balance presets. Generated by tools/wb-preset-table/make_wb_preset_table.py;\n")
    out.write("// do not edit. Source: darktable %s (Debian), /usr/share/darktable/wb_presets.json,\n" % version)
    out.write("// licence GPL-3.0-or-later (the figures go back to UFRaw's wb_presets.c, GPL-2.0-or-later).\n")
    out.write("// %d rows for %d cameras.\n" % (len(rows), len(cameras)))
    if missing:
        out.write("// Cameras of the table the source has no presets for:\n")
        line = "//  "
        for m in missing:
            if len(line) + len(m) + 4 > 118:
                out.write(line.rstrip() + "\n")
                line = "//  "
            line += ' "%s",' % m
        out.write(line.rstrip(",") + ".\n")
    out.write("\n// Preset names; a row adds its fine-tuning step (\", +3\").\n")
    out.write("constexpr const char* kPresetNames[] = {\n")
    for n in names:
        out.write("    %s,\n" % c_string(n))
    out.write("};\n\n// Cameras in table order: model, first row, row count.\n")
    out.write("constexpr PresetCamera kCameras[] = {\n")
    for model, first, count in cameras:
        out.write("    {%s, %d, %d},\n" % (c_string(model), first, count))
    out.write("};\n\n// Rows: preset name, fine-tuning step, R, B (G = G2 = 1).\n")
    out.write("constexpr PresetRow kRows[] = {\n")
    for n, tuning, r, b in rows:
        out.write("    {%d, %d, %s, %s},\n" % (n, tuning, r, b))
    out.write("};\n")
    if missing:
        sys.stderr.write("No presets in the source for: %s\n" % ", ".join(missing))
    sys.stderr.write("%d rows, %d cameras\n" % (len(rows), len(cameras)))


if __name__ == "__main__":
    main()
