"""check-icon on icons broken on the fly from the shipped one: each fails naming what is wrong, and
icons on the grid pass. Run as: PYTHON check_icon_test.py CHECK_ICON QUORVANE_ICNS"""
import io
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

check, shipped_path = sys.argv[1], sys.argv[2]
with open(shipped_path, "rb") as file:
    shipped = file.read()

KINDS = [("ic04", 16), ("ic05", 32), ("ic07", 128), ("ic08", 256), ("ic09", 512),
         ("ic10", 1024), ("ic11", 32), ("ic12", 64), ("ic13", 256), ("ic14", 512)]
CORNERS = ["the canvas's top left corner", "the canvas's top right corner",
           "the canvas's bottom left corner", "the canvas's bottom right corner"]
ROUNDED = ["the tile's rounded top left corner", "the tile's rounded top right corner",
           "the tile's rounded bottom left corner", "the tile's rounded bottom right corner"]
MARGINS = ["40 px left of the tile", "40 px right of the tile", "40 px above the tile"]
EDGES = ["the tile's left edge", "the tile's right edge", "the tile's top edge",
         "the tile's bottom edge"]


def members():
    found, at = [], 8
    while at < len(shipped):
        length = struct.unpack(">I", shipped[at + 4:at + 8])[0]
        found.append([shipped[at:at + 4].decode(), shipped[at + 8:at + length]])
        at += length
    return found


def icns(parts):
    body = b"".join(k.encode() + struct.pack(">I", 8 + len(d)) + d for k, d in parts)
    return b"icns" + struct.pack(">I", 8 + len(body)) + body


def edited(kind, change):
    """The shipped icon with the data of member kind changed."""
    return icns([k, change(d) if k == kind else d] for k, d in members())


def swapped(*pairs):
    parts = members()
    data = dict(parts)
    for one, other in pairs:
        data[one], data[other] = data[other], data[one]
    return icns([k, data[k]] for k, _ in parts)


def with_ic10(alpha, tile, radius=0):
    """The shipped icon with ic10 a clear canvas but for a white tile of that alpha from tile[0] to
    tile[1] on each axis, its corners rounded by radius."""
    image = Image.new("RGBA", (1024, 1024), (255, 255, 255, 0))
    box = (tile[0], tile[0], tile[1], tile[1])
    ImageDraw.Draw(image).rounded_rectangle(box, radius, fill=(255, 255, 255, alpha))
    return edited("ic10", lambda _: encoded(image, "PNG"))


def encoded(image, kind):
    data = io.BytesIO()
    image.save(data, kind)
    return data.getvalue()


def off(alpha, places):
    return [f"ic10 (1024 px): off Apple's grid: alpha {alpha} at {place}" for place in places]


last = len(shipped) - len(members()[-1][1]) - 8
past_end = shipped[:4] + struct.pack(">I", len(shipped) - 1) + shipped[8:-1]

# Each case: what it is, the icon, and the lines check-icon gives; a line given may go on past the
# table's (with Pillow's reason).
CASES = [(f"{kind} dropped", icns(m for m in members() if m[0] != kind),
          [f"{kind} ({pixels} px) is missing"]) for kind, pixels in KINDS] + [
    ("the shipped icon", shipped, []),
    ("ic04 repeated", icns(members() + members()[:1]), ["ic04 (16 px) appears 2 times"]),
    ("sizes swapped", swapped(("ic04", "ic05"), ("ic07", "ic12")),
     ["ic04 (16 px): 32 px", "ic05 (32 px): 16 px", "ic07 (128 px): 64 x 64 px",
      "ic12 (64 px): 128 x 128 px"]),
    ("the file cut short", shipped[:-100], ["not an icns file whose header gives its length"]),
    ("the last member past the end", past_end, [f"member at byte {last} runs past the file's end"]),
    ("ARGB cut short", edited("ic05", lambda d: d[:-1]), ["ic05 (32 px): not ARGB"]),
    ("ARGB a byte long", edited("ic04", lambda d: d + b"\0\0"), ["ic04 (16 px): not ARGB"]),
    ("not a PNG", edited("ic09", lambda _: b"not a PNG"), ["ic09 (512 px): not a PNG"]),
    ("a BMP", edited("ic13", lambda _: encoded(Image.new("RGB", (256, 256)), "BMP")),
     ["ic13 (256 px): not a PNG"]),
    ("a PNG cut short", edited("ic08", lambda d: d[:len(d) // 2]),
     ["ic08 (256 px): a PNG that Pillow cannot decode ("]),
    ("a rounded tile on the grid", with_ic10(255, (100, 923), 185), []),
    ("full bleed", with_ic10(255, (0, 1023)), off(255, CORNERS + ROUNDED + MARGINS)),
    ("a square tile", with_ic10(255, (100, 923)), off(255, ROUNDED)),
    ("a tile too small", with_ic10(255, (200, 823), 150), off(0, EDGES)),
    ("a see-through tile", with_ic10(128, (100, 923), 185),
     off(128, ["the tile's centre"] + EDGES)),
]
# Bad arguments: the arguments, and the start of the one line check-icon gives.
BAD_ARGUMENTS = [
    ([], "usage: check-icon ICNS..."),
    (["--verbose", shipped_path], "usage: check-icon ICNS..."),
    (["/no/such.icns"], "check-icon: /no/such.icns: cannot open it (No such file"),
]


def run(args):
    done = subprocess.run([sys.executable, check] + args, capture_output=True, text=True)
    return done.returncode, (done.stdout + done.stderr).splitlines()


def agrees(lines, expected):
    return len(lines) == len(expected) and all(map(str.startswith, lines, expected))


failures = []
with tempfile.TemporaryDirectory() as work:
    for number, (what, icon, expected) in enumerate(CASES):
        path = os.path.join(work, f"{number}.icns")
        with open(path, "wb") as file:
            file.write(icon)
        status, lines = run([path])
        lines = [line.replace(f"{path}: ", "", 1) for line in lines]
        if status != (1 if expected else 0) or not agrees(lines, expected):
            failures.append(f"{what}: exit {status}, gave {lines}, expected {expected}")
for args, expected in BAD_ARGUMENTS:
    status, lines = run(args)
    if status != 2 or not agrees(lines, [expected]):
        failures.append(f"{args}: exit {status}, gave {lines}, expected 2 and {expected}")
print("\n".join(failures) or f"{len(CASES) + len(BAD_ARGUMENTS)} cases pass")
sys.exit(1 if failures else 0)
