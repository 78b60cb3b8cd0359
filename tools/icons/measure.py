#!/usr/bin/python3
"""How legible the two looks are as the shell draws them, measured on the built icons:

  measure.py RUNNING.png STOPPED.png TABLE.md [PICTURES_DIR]

RUNNING.png and STOPPED.png are the 56 px images the icon files hold. Each is scaled as Windows
scales it: first to SM_CXICON (32, 40, 48, 64 px at 100, 125, 150, 200 %), as LoadIconW does,
then to the small-icon size of the notification area (16, 20, 24, 32 px), both times by area
averaging (Pillow's box filter), and drawn over Windows 11's light (#f3f3f3) and dark (#202020)
taskbars and the white and black of the contrast themes. Writes TABLE.md, and with PICTURES_DIR
both looks on a light and a dark taskbar at 100 % and 200 % (taskbar-light.png, taskbar-dark.png).
Exits 1, naming each look, size and background below its goal:
- the outline: at least GOAL_OUTLINE of the icon's edge pixels reach 3:1 against the background,
  each by its own colour or by the rim's one grid unit inside it (the emblem is drawn on 8 units),
  which carries the shape where a dark outline meets a dark taskbar;
- the two looks apart in lightness under greyscale by at least 2:1 (their mean relative
  luminances, as WCAG's contrast ratio compares two colours).
"""

import sys

from PIL import Image

SCALES = [(100, 32, 16), (125, 40, 20), (150, 48, 24), (200, 64, 32)]  # percent, SM_CXICON, small icon
BACKGROUNDS = [("light taskbar", (0xF3, 0xF3, 0xF3)), ("dark taskbar", (0x20, 0x20, 0x20)),
               ("white", (0xFF, 0xFF, 0xFF)), ("black", (0, 0, 0))]
GOAL_OUTLINE = 0.7
GOAL_APART = 2.0
UNITS = 8


def channel(c):
    c /= 255
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def luminance(rgb):
    r, g, b = (channel(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def ratio(a, b):
    high, low = max(a, b), min(a, b)
    return (high + 0.05) / (low + 0.05)


def as_the_shell_draws(image, icon, small):
    return image.resize((icon, icon), Image.BOX).resize((small, small), Image.BOX)


def over(image, background):
    plate = Image.new("RGBA", image.size, background + (255,))
    return Image.alpha_composite(plate, image).convert("RGB")


def outline_share(image, background):
    """The share of the edge pixels that reach 3:1: by their own colour, or by the rim's, one grid
    unit inside them."""
    size, alpha, drawn = image.size[0], image.getchannel("A").load(), over(image, background).load()
    back = luminance(background)
    opaque = lambda x, y: 0 <= x < size and 0 <= y < size and alpha[x, y] >= 128
    legible = lambda x, y: ratio(luminance(drawn[x, y]), back) >= 3
    unit = -(-size // UNITS)  # a unit in whole pixels, rounded up: 2, 3, 3 and 4 px
    edge = legible_edge = 0
    for y in range(size):
        for x in range(size):
            outward = [(dx, dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)) if not opaque(x + dx, y + dy)]
            if not opaque(x, y) or not outward:
                continue
            edge += 1
            inside = [(x - dx * unit, y - dy * unit) for dx, dy in outward]
            legible_edge += legible(x, y) or any(opaque(*p) and legible(*p) for p in inside)
    return legible_edge / edge


def mean_lightness(image):
    grey, alpha = image.convert("RGB"), image.getchannel("A")
    values = [luminance(p) for p, a in zip(grey.getdata(), alpha.getdata()) if a >= 128]
    return sum(values) / len(values)


def pictures(looks, folder):
    for name, background in (("light", (0xF3, 0xF3, 0xF3)), ("dark", (0x20, 0x20, 0x20))):
        bar = Image.new("RGBA", (160, 48), background + (255,))
        x = 8
        for _, icon, small in (SCALES[0], SCALES[3]):
            for look in looks.values():
                drawn = as_the_shell_draws(look, icon, small)
                bar.alpha_composite(drawn, (x, (48 - small) // 2))
                x += small + 8
            x += 8
        bar.convert("RGB").resize((bar.width * 3, bar.height * 3), Image.NEAREST).save(f"{folder}/taskbar-{name}.png")


def main(running_png, stopped_png, table_path, folder=None):
    looks = {"running": Image.open(running_png).convert("RGBA"), "stopped": Image.open(stopped_png).convert("RGBA")}
    rows, short = [], []
    for percent, icon, small in SCALES:
        drawn = {name: as_the_shell_draws(image, icon, small) for name, image in looks.items()}
        cells = []
        for name, image in drawn.items():
            for background_name, background in BACKGROUNDS:
                share = outline_share(image, background)
                cells.append(f"{share:.0%}")
                if share < GOAL_OUTLINE:
                    short.append(f"the {name} look's outline at {small} px on {background_name}: {share:.0%} of it at 3:1")
        apart = ratio(mean_lightness(drawn["running"]), mean_lightness(drawn["stopped"]))
        if apart < GOAL_APART:
            short.append(f"the two looks at {small} px under greyscale: {apart:.2f}:1 apart")
        rows.append(f"| {small} px ({percent} %) | " + " | ".join(cells) + f" | {apart:.1f}:1 |")
    header = " | ".join(f"{look} on {b}" for look in looks for b, _ in BACKGROUNDS)
    table = [f"| size | {header} | apart in greyscale |", "|---" * (2 + 2 * len(BACKGROUNDS)) + "|"] + rows
    with open(table_path, "w", encoding="utf-8") as file:
        file.write("\n".join(table) + "\n")
    if folder:
        pictures(looks, folder)
    for line in short:
        print(f"measure.py: below its goal: {line}", file=sys.stderr)
    return 1 if short else 0


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
