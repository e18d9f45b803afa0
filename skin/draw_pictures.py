#!/usr/bin/python3
"""Draws every picture of the installer's skin: those under skin/skin/ and
scrollbar.bmp beside the layouts.

The pictures are committed; this script is for publishers who restyle the
skin: change the palette or a drawing below and run it again (it needs
python3-pil and optipng: scripts/install-deps.sh pictures). Each picture is drawn at SCALE times its size and
reduced by area averaging, which gives smooth edges; optipng then shrinks
the files losslessly. The layouts name the pictures and their sizes, so a
restyled picture keeps its name and size.
"""
import math
import os
import shutil
import subprocess
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter

SCALE = 4
SKIN = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(SKIN, "skin")
CLEAR = (0, 0, 0, 0)

# One accent family (the layouts' link colour is #28BF74) and soft neutrals.
GREEN = (0x28, 0xBF, 0x74)
GREEN_LIGHT = (0x3D, 0xD0, 0x88)
GREEN_DARK = (0x1B, 0x9E, 0x5E)
GREEN_DEEP = (0x12, 0x7A, 0x4A)
MINT = (0x9F, 0xE5, 0xC2)
MINT_PALE = (0xD9, 0xF4, 0xE6)
MINT_MIST = (0xEF, 0xFA, 0xF4)
INK = (0x1F, 0x29, 0x33)
SLATE = (0x5F, 0x6B, 0x7A)
GREY = (0x8C, 0x98, 0xA4)
SILVER = (0xC8, 0xD0, 0xD8)
CLOUD = (0xE3, 0xE8, 0xEC)
SNOW = (0xF4, 0xF6, 0xF8)
WHITE = (0xFF, 0xFF, 0xFF)
AMBER = (0xEE, 0x9B, 0x1C)
AMBER_DARK = (0xE1, 0x84, 0x07)
SHADOW = (0x17, 0x3A, 0x2B)


def rgba(colour, alpha=255):
    return tuple(colour[:3]) + (alpha,)


def s(value):
    return value * SCALE


# ---- drawing on a canvas held at SCALE times the picture size -----------------

def canvas(width, height, background=CLEAR):
    return Image.new("RGBA", (s(width), s(height)), rgba(background) if len(background) == 3 else background)


def mask(image, draw):
    """A coverage mask of the image's size; `draw` paints it with ImageDraw (in picture pixels)."""
    m = Image.new("L", image.size, 0)
    draw(Pen(ImageDraw.Draw(m)))
    return m


class Pen:
    """ImageDraw in picture pixels: every coordinate and width is scaled."""

    def __init__(self, draw):
        self.draw = draw

    def rect(self, box, radius=0, fill=255):
        box = [s(v) for v in box]
        if radius:
            self.draw.rounded_rectangle(box, radius=s(radius), fill=fill)
        else:
            self.draw.rectangle(box, fill=fill)

    def ellipse(self, box, fill=255):
        self.draw.ellipse([s(v) for v in box], fill=fill)

    def circle(self, cx, cy, r, fill=255):
        self.ellipse((cx - r, cy - r, cx + r, cy + r), fill)

    def polygon(self, points, fill=255):
        self.draw.polygon([(s(x), s(y)) for x, y in points], fill=fill)

    def line(self, points, width, fill=255):
        """A polyline with round joins and round caps."""
        scaled = [(s(x), s(y)) for x, y in points]
        self.draw.line(scaled, fill=fill, width=round(s(width)), joint="curve")
        for x, y in (points[0], points[-1]):
            self.circle(x, y, width / 2, fill)

    def arc(self, cx, cy, r, start, end, width, fill=255):
        """An arc along the circle of radius r, angles in degrees clockwise from 3 o'clock."""
        steps = max(8, int(abs(end - start) / 3))
        points = [(cx + r * math.cos(math.radians(start + (end - start) * i / steps)),
                   cy + r * math.sin(math.radians(start + (end - start) * i / steps))) for i in range(steps + 1)]
        self.line(points, width, fill)

    def ring(self, cx, cy, r, width, fill=255):
        self.circle(cx, cy, r + width / 2, fill)
        self.circle(cx, cy, r - width / 2, 0)


def paint(image, coverage, colour):
    """Lays `colour` (an RGB(A) tuple or an RGBA image of the canvas size) over the image where `coverage` says."""
    if isinstance(colour, tuple):
        colour = Image.new("RGBA", image.size, rgba(colour) if len(colour) == 3 else colour)
    layer = colour.copy()
    layer.putalpha(ImageChops.multiply(colour.getchannel("A"), coverage))
    image.alpha_composite(layer)


def shape(image, draw, colour):
    paint(image, mask(image, draw), colour)


def shadow(image, draw, offset=(0, 3), blur=8, alpha=40):
    """A soft shadow of a shape, laid down before the shape itself."""
    m = mask(image, draw).filter(ImageFilter.GaussianBlur(s(blur) / 2))
    moved = Image.new("L", m.size, 0)
    moved.paste(m, (round(s(offset[0])), round(s(offset[1]))))
    m = moved
    paint(image, m.point(lambda v: v * alpha // 255), SHADOW)


def gradient(image, top, bottom, horizontal=False):
    """A linear gradient image of the canvas size, from `top` (or left) to `bottom` (or right)."""
    ramp = Image.linear_gradient("L")
    if horizontal:
        ramp = ramp.rotate(90, expand=True).transpose(Image.FLIP_LEFT_RIGHT)
    ramp = ramp.resize(image.size, Image.BICUBIC)
    first = Image.new("RGBA", image.size, rgba(top) if len(top) == 3 else top)
    second = Image.new("RGBA", image.size, rgba(bottom) if len(bottom) == 3 else bottom)
    return Image.composite(second, first, ramp)


def reduced(image):
    """The canvas at the picture's size, averaged premultiplied so that transparent edges stay clean."""
    return image.convert("RGBa").reduce(SCALE).convert("RGBA")


def save(image, name):
    picture = reduced(image)
    path = os.path.join(OUT, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if all(a == 255 for a in picture.getchannel("A").getextrema()):
        picture = picture.convert("RGB")
    picture.save(path, optimize=True)
    return path


def stack(cells, name):
    """State pictures stacked top to bottom in one file (the layouts pick them by source rectangle)."""
    width, height = cells[0].size
    strip = Image.new("RGBA", (width, height * len(cells)), CLEAR)
    for i, cell in enumerate(cells):
        strip.paste(cell, (0, height * i))
    return save(strip, name)


# ---- the mark -----------------------------------------------------------------

def draw_mark(image, x, y, size, with_shadow=True):
    """The Quenlo mark: a green rounded square holding a white ring whose tail is a page corner."""
    def square(p):
        p.rect((x, y, x + size, y + size), radius=size * 0.26)

    if with_shadow:
        shadow(image, square, offset=(0, size * 0.04), blur=size * 0.08, alpha=70)
    coverage = mask(image, square)
    tint = gradient(image, GREEN_LIGHT, GREEN_DARK)
    paint(image, coverage, tint)
    # a soft light sweep across the upper half
    paint(image, ImageChops.multiply(coverage, mask(image, lambda p: p.ellipse(
        (x - size * 0.5, y - size * 0.95, x + size * 1.3, y + size * 0.45)))), rgba(WHITE, 34))
    cx, cy, r = x + size * 0.5, y + size * 0.48, size * 0.21
    stroke = size * 0.105
    shape(image, lambda p: p.ring(cx, cy, r, stroke), WHITE)
    # the tail of the Q crosses the ring's stroke, its ends cut square
    ux = uy = math.sqrt(0.5)
    mx, my = cx + r * ux, cy + r * uy
    half, thick = r * 0.62, stroke * 0.5
    shape(image, lambda p: p.polygon([(mx - ux * half * 0.55 + uy * thick, my - uy * half * 0.55 - ux * thick),
                                      (mx + ux * half + uy * thick, my + uy * half - ux * thick),
                                      (mx + ux * half - uy * thick, my + uy * half + ux * thick),
                                      (mx - ux * half * 0.55 - uy * thick, my - uy * half * 0.55 + ux * thick)]), WHITE)


def logos():
    image = canvas(72, 72)
    draw_mark(image, 4, 3, 64)
    yield save(image, "logo.png")
    image = canvas(64, 64)
    draw_mark(image, 0, 0, 64, with_shadow=False)
    yield save(image, "logo_running.png")


# ---- backgrounds ----------------------------------------------------------------

def dot_grid(image, x, y, columns, rows, step, radius, colour):
    def dots(p):
        for i in range(columns):
            for j in range(rows):
                p.circle(x + i * step, y + j * step, radius)
    shape(image, dots, colour)


def frame_line(image, width, height, colour):
    """The 1-pixel window edge drawn into the upper background."""
    shape(image, lambda p: (p.rect((0, 0, width, 1)), p.rect((0, 0, 1, height)), p.rect((width - 1, 0, width, height)),
                            p.rect((0, height - 1, width, height))), colour)


def upper_background(mirrored):
    width, height = 650, 360
    image = canvas(width, height)
    image.alpha_composite(gradient(image, WHITE, (0xF1, 0xF9, 0xF5)))
    flip = (lambda x: width - x) if mirrored else (lambda x: x)
    shape(image, lambda p: p.circle(flip(-30), -70, 230), rgba(GREEN, 12))
    shape(image, lambda p: p.circle(flip(-30), -70, 150), rgba(GREEN, 10))
    shape(image, lambda p: p.circle(flip(700), 420, 250), rgba(GREEN, 14))
    shape(image, lambda p: p.ring(flip(596), 118, 56, 1.5), rgba(GREEN, 40))
    shape(image, lambda p: p.circle(flip(596 - 39.6), 118 + 39.6, 4), rgba(GREEN, 110))
    dot_grid(image, flip(40) - (60 if mirrored else 0), 150, 6, 4, 12, 1.6, rgba(GREEN, 60))
    dot_grid(image, flip(560) - (60 if mirrored else 0), 250, 6, 3, 12, 1.6, rgba(SLATE, 40))
    if mirrored:  # the finished page: a soft halo behind the mark
        glow = mask(image, lambda p: p.circle(325, 76, 70)).filter(ImageFilter.GaussianBlur(s(30)))
        paint(image, glow, rgba(GREEN, 60))
    frame_line(image, width, height, CLOUD)
    return image


def backgrounds():
    yield save(upper_background(False), "backgroud.png")
    yield save(upper_background(True), "backgroud_complete.png")
    # the message box: white with a pale title band and a thin accent line;
    # uniform across its width, so it also stretches to the narrower box
    image = canvas(500, 190, WHITE)
    shape(image, lambda p: p.rect((0, 0, 500, 30)), MINT_MIST)
    paint(image, mask(image, lambda p: p.rect((0, 0, 500, 3))), gradient(image, GREEN_LIGHT, GREEN_DARK, horizontal=True))
    yield save(image, "bg_message.png")
    # the launch splash card: the window clips it with rounded corners
    image = canvas(320, 320)
    image.alpha_composite(gradient(image, (0xF3, 0xFB, 0xF7), WHITE))
    shape(image, lambda p: p.circle(160, 136, 118), rgba(GREEN, 10))
    shape(image, lambda p: p.ring(160, 136, 96, 1), rgba(GREEN, 30))
    dot_grid(image, 28, 26, 4, 3, 10, 1.4, rgba(GREEN, 60))
    dot_grid(image, 262, 262, 4, 3, 10, 1.4, rgba(SLATE, 40))
    shape(image, lambda p: (p.rect((0, 0, 320, 1)), p.rect((0, 0, 1, 320)), p.rect((319, 0, 320, 320)),
                            p.rect((0, 319, 320, 320))), CLOUD)
    yield save(image, "waiting.png")


# ---- buttons ----------------------------------------------------------------------

def primary_button(width, height, radius, state):
    top, bottom = {"normal": (GREEN_LIGHT, GREEN), "hot": ((0x4C, 0xDA, 0x95), GREEN_LIGHT),
                   "pushed": (GREEN_DARK, GREEN_DARK)}[state]
    image = canvas(width, height)
    body = mask(image, lambda p: p.rect((0, 0, width, height), radius))
    paint(image, body, gradient(image, top, bottom))
    if state != "pushed":  # a hairline of light along the top edge
        edge = ImageChops.subtract(body, ImageChops.offset(body, 0, s(1)))
        paint(image, edge, rgba(WHITE, 70))
    return image


def secondary_button(width, height, radius, state):
    fill, border = {"normal": (WHITE, SILVER), "hot": (SNOW, GREY), "pushed": (CLOUD, GREY)}[state]
    image = canvas(width, height)
    shape(image, lambda p: p.rect((0, 0, width, height), radius), border)
    shape(image, lambda p: p.rect((1, 1, width - 1, height - 1), radius - 1), fill)
    return image


STATES = ("normal", "hot", "pushed")


def buttons():
    for name, width, height, radius in (("btn_install", 200, 40, 8), ("btn_Start_now", 200, 40, 8), ("btn_yes", 160, 28, 6)):
        for state in STATES:
            suffix = "" if state == "normal" else "_" + state
            yield save(primary_button(width, height, radius, state), name + suffix + ".png")
    for state in STATES:
        suffix = "" if state == "normal" else "_" + state
        yield save(secondary_button(160, 28, 6, state), "btn_no" + suffix + ".png")
    for name in ("btn_browse", "btn_hide"):
        yield stack([secondary_button(110, 28, 6, state) for state in STATES], name + ".png")
    yield stack([title_button(glyph_minimise, state) for state in STATES], "btn_min.png")
    yield stack([title_button(glyph_close, state) for state in STATES], "btn_close.png")


def glyph_minimise(p):
    p.line([(6, 10), (14, 10)], 1.5)


def glyph_close(p):
    p.line([(6.5, 6.5), (13.5, 13.5)], 1.5)
    p.line([(13.5, 6.5), (6.5, 13.5)], 1.5)


def title_button(glyph, state):
    image = canvas(20, 20)
    if state != "normal":
        shape(image, lambda p: p.circle(10, 10, 10), CLOUD if state == "hot" else SILVER)
    shape(image, glyph, GREY if state == "normal" else INK)
    return image


# ---- form controls ------------------------------------------------------------------

def field(width, height, border, chevron=None):
    """An input frame; the layouts stretch it with a nine-grid that keeps its corners and right end."""
    image = canvas(width, height)
    shape(image, lambda p: p.rect((0, 0, width, height), 4), border)
    shape(image, lambda p: p.rect((1, 1, width - 1, height - 1), 3), WHITE)
    if chevron:
        cx, cy = width - 14, height / 2
        d = 1 if chevron == "down" else -1
        shape(image, lambda p: p.line([(cx - 4, cy - 2 * d), (cx, cy + 2 * d), (cx + 4, cy - 2 * d)], 1.5),
              GREEN if border == GREEN else SLATE)
    return image


def check_box(state):
    image = canvas(16, 16)
    if state == "checked":
        shape(image, lambda p: p.rect((0, 0, 16, 16), 4), GREEN)
        shape(image, lambda p: p.line([(4.2, 8.3), (7, 11), (11.8, 5.4)], 1.8), WHITE)
    else:
        shape(image, lambda p: p.rect((0, 0, 16, 16), 4), GREEN if state == "hot" else SILVER)
        shape(image, lambda p: p.rect((1.2, 1.2, 14.8, 14.8), 3), WHITE)
    return image


def controls():
    yield stack([field(40, 28, SILVER, "down"), field(40, 28, GREEN, "down"), field(40, 28, GREEN, "up")], "combo.png")
    yield stack([field(20, 28, SILVER), field(20, 28, GREEN)], "edit.png")
    yield stack([check_box("normal"), check_box("hot")], "checkbox.png")
    yield save(check_box("checked"), "checkbox_checked.png")
    for name, colour in (("OptionNormal.png", rgba(SLATE, 90)), ("OptionSelected.png", GREEN)):
        image = canvas(6, 6)
        shape(image, lambda p: p.circle(3, 3, 3), colour)
        yield save(image, name)
    image = canvas(12, 6, (0xE6, 0xEA, 0xEE))
    yield save(image, "bkprogress.png")
    image = canvas(12, 6)
    image.alpha_composite(gradient(image, GREEN_LIGHT, GREEN_DARK))
    yield save(image, "progress.png")


# ---- icons --------------------------------------------------------------------------------

def exclamation(p, cx, top, bottom, dot, width):
    p.line([(cx, top), (cx, bottom)], width)
    p.circle(cx, dot, width * 0.62)


def icons():
    image = canvas(24, 24)
    shape(image, lambda p: p.line([(12, 3.2), (21.2, 19.8), (2.8, 19.8), (12, 3.2)], 2.6), AMBER_DARK)
    shape(image, lambda p: p.polygon([(12, 3.2), (21.2, 19.8), (2.8, 19.8)]), AMBER)
    shape(image, lambda p: exclamation(p, 12, 9, 14.2, 17.4, 2.1), WHITE)
    yield save(image, "warning.png")

    def badge(colour, glyph, name):
        image = canvas(40, 40)
        shadow(image, lambda p: p.circle(20, 20, 17), offset=(0, 1.5), blur=3, alpha=60)
        paint(image, mask(image, lambda p: p.circle(20, 20, 17)), gradient(image, colour[0], colour[1]))
        shape(image, glyph, WHITE)
        return save(image, name)

    yield badge((GREEN_LIGHT, GREEN_DARK), lambda p: (p.arc(20, 15.6, 5.4, 180, 405, 3.4),
                                                      p.line([(23.8, 19.4), (20, 22.4), (20, 23.6)], 3.4),
                                                      p.circle(20, 29, 2.2)), "message_help.png")
    yield badge(((0xF4, 0xAE, 0x3A), AMBER_DARK), lambda p: exclamation(p, 20, 10.5, 22.5, 28.5, 3.6),
                "message_exclamation.png")


# ---- carousel ------------------------------------------------------------------------------
# 650 by 300; the program writes each caption in dark grey across the top
# (from y 40), so the top stays calm and the drawing sits below it; the
# option dots float over the bottom centre.

def page_card(image, box, radius=8, lines=None, heading=True):
    x0, y0, x1, y1 = box
    shadow(image, lambda p: p.rect(box, radius), offset=(0, 6), blur=16, alpha=45)
    shape(image, lambda p: p.rect(box, radius), WHITE)
    if heading:
        shape(image, lambda p: p.rect((x0 + 18, y0 + 20, x0 + 18 + (x1 - x0) * 0.45, y0 + 28), 4), SLATE)
    for y, length in (lines or []):
        shape(image, lambda p, y=y, length=length: p.rect((x0 + 18, y, x0 + 18 + (x1 - x0 - 36) * length, y + 6), 3), CLOUD)


def folded_corner(image, box, size=22):
    x0, y0, x1, y1 = box
    shape(image, lambda p: p.polygon([(x1 - size, y0), (x1, y0 + size), (x1, y0)]), (0xEE, 0xF4, 0xF1))
    shape(image, lambda p: p.polygon([(x1 - size, y0), (x1 - size, y0 + size), (x1, y0 + size)]), MINT)


def carousel_base():
    image = canvas(650, 300)
    image.alpha_composite(gradient(image, (0xF4, 0xFB, 0xF7), (0xEA, 0xF7, 0xF0)))
    shape(image, lambda p: p.ellipse((120, 118, 530, 330)), rgba(WHITE, 150))
    shape(image, lambda p: p.circle(70, 250, 90), rgba(GREEN, 10))
    shape(image, lambda p: p.circle(600, 120, 70), rgba(GREEN, 10))
    dot_grid(image, 60, 120, 4, 3, 11, 1.5, rgba(GREEN, 70))
    dot_grid(image, 555, 215, 4, 3, 11, 1.5, rgba(SLATE, 45))
    return image


def sparkle(image, cx, cy, r, colour):
    shape(image, lambda p: p.polygon([(cx, cy - r), (cx + r * 0.28, cy - r * 0.28), (cx + r, cy), (cx + r * 0.28, cy + r * 0.28),
                                      (cx, cy + r), (cx - r * 0.28, cy + r * 0.28), (cx - r, cy), (cx - r * 0.28, cy - r * 0.28)]), colour)


def pencil(image, x, y, length, angle, body=GREEN):
    """A pencil from its tip (x, y), pointing along `angle` (degrees) backwards."""
    a = math.radians(angle)
    ux, uy = math.cos(a), math.sin(a)
    nx, ny = -uy, ux
    w = 7.5

    def at(t, n):
        return (x + ux * t + nx * n, y + uy * t + ny * n)

    shadow(image, lambda p: p.polygon([at(0, 0), at(18, w), at(length, w), at(length, -w), at(18, -w)]), offset=(3, 6), blur=8, alpha=40)
    shape(image, lambda p: p.polygon([at(0, 0), at(18, w), at(18, -w)]), (0xF6, 0xE3, 0xC4))
    shape(image, lambda p: p.polygon([at(0, 0), at(6, w / 3), at(6, -w / 3)]), INK)
    shape(image, lambda p: p.polygon([at(18, w), at(length - 14, w), at(length - 14, -w), at(18, -w)]), body)
    shape(image, lambda p: p.polygon([at(18, 0), at(length - 14, 0), at(length - 14, -w), at(18, -w)]), rgba(WHITE, 45))
    shape(image, lambda p: p.polygon([at(length - 14, w), at(length - 6, w), at(length - 6, -w), at(length - 14, -w)]), SILVER)
    shape(image, lambda p: p.polygon([at(length - 6, w), at(length, w * 0.8), at(length, -w * 0.8), at(length - 6, -w)]), MINT)


def carousel_edit():
    image = carousel_base()
    card = (232, 102, 420, 300)
    page_card(image, card, lines=[(146, 0.9), (160, 0.75), (200, 0.85), (214, 0.6), (254, 0.9), (268, 0.7)])
    # the line being edited: selected, with the text cursor at its end
    shape(image, lambda p: p.rect((244, 177, 392, 193), 3), MINT_PALE)
    shape(image, lambda p: p.rect((250, 182, 370, 188), 3), GREEN)
    shape(image, lambda p: (p.rect((377, 173, 379.5, 197)), p.rect((373.5, 172, 383, 174.5), 1), p.rect((373.5, 195.5, 383, 198), 1)), GREEN_DEEP)
    # a floating format bar
    bar = (140, 150, 214, 180)
    shadow(image, lambda p: p.rect(bar, 8), offset=(0, 4), blur=10, alpha=45)
    shape(image, lambda p: p.rect(bar, 8), WHITE)
    shape(image, lambda p: p.rect((147, 156, 165, 174), 4), MINT_PALE)
    shape(image, lambda p: (p.rect((151, 159, 161, 161), 1), p.rect((151, 164, 158, 166), 1), p.rect((151, 169, 161, 171), 1)), GREEN_DARK)
    shape(image, lambda p: p.circle(177, 165, 5), GREEN)
    shape(image, lambda p: [(p.circle(191, y, 1.4), p.rect((195, y - 1, 204, y + 1), 1)) for y in (159.5, 165, 170.5)], SLATE)
    pencil(image, 400, 214, 118, -52)
    sparkle(image, 470, 196, 7, GREEN)
    sparkle(image, 190, 222, 5, MINT)
    return image


def mini_doc(image, box, kind):
    x0, y0, x1, y1 = box
    shadow(image, lambda p: p.rect(box, 6), offset=(0, 4), blur=10, alpha=40)
    shape(image, lambda p: p.rect(box, 6), WHITE)
    w = x1 - x0
    if kind == "table":
        shape(image, lambda p: p.rect((x0 + 10, y0 + 12, x1 - 10, y0 + 22), 2), GREEN)
        for row in range(4):
            for col in range(3):
                cx = x0 + 10 + col * (w - 20) / 3
                cy = y0 + 26 + row * 12
                shape(image, lambda p, cx=cx, cy=cy: p.rect((cx + 1, cy, cx + (w - 20) / 3 - 1, cy + 9), 1.5), MINT_PALE if (row + col) % 2 else CLOUD)
    elif kind == "text":
        shape(image, lambda p: p.rect((x0 + 10, y0 + 12, x0 + w * 0.6, y0 + 18), 3), SLATE)
        for i, length in enumerate((0.9, 0.8, 0.92, 0.7, 0.85)):
            shape(image, lambda p, i=i, length=length: p.rect((x0 + 10, y0 + 26 + i * 9, x0 + 10 + (w - 20) * length, y0 + 30 + i * 9), 2), CLOUD)
    else:
        shape(image, lambda p: p.rect((x0 + 10, y0 + 12, x1 - 10, y1 - 12), 4), MINT_PALE)
        shape(image, lambda p: p.circle(x1 - 24, y0 + 26, 5), rgba(AMBER, 220))
        shape(image, lambda p: p.polygon([(x0 + 10, y1 - 12), (x0 + 30, y1 - 40), (x0 + 44, y1 - 24), (x0 + 54, y1 - 32),
                                          (x1 - 10, y1 - 12)]), GREEN)


def carousel_convert():
    image = carousel_base()
    card = (150, 112, 270, 272)
    page_card(image, card, lines=[(150, 0.9), (162, 0.7), (174, 0.85), (186, 0.6), (210, 0.9), (222, 0.75)], heading=False)
    shape(image, lambda p: p.rect((150, 112, 270, 140), 8), GREEN)
    shape(image, lambda p: p.rect((150, 130, 270, 140)), GREEN)
    shape(image, lambda p: p.rect((164, 122, 214, 129), 3), rgba(WHITE, 220))
    # the conversion: an arrow with a trail of dots
    for i, x in enumerate((290, 302, 314)):
        shape(image, lambda p, x=x: p.circle(x, 192, 2.5), rgba(GREEN, 90 + 50 * i))
    shape(image, lambda p: p.line([(326, 192), (366, 192)], 7), GREEN)
    shape(image, lambda p: p.line([(354, 178), (369, 192), (354, 206)], 7), GREEN)
    mini_doc(image, (392, 118, 472, 196), "text")
    mini_doc(image, (412, 200, 492, 274), "table")
    mini_doc(image, (486, 150, 556, 226), "image")
    sparkle(image, 380, 128, 7, GREEN)
    return image


def carousel_forms():
    image = carousel_base()
    card = (205, 102, 425, 300)
    page_card(image, card)
    x0 = 223
    for y, width in ((144, 180), (186, 120)):
        shape(image, lambda p, y=y: p.rect((x0, y - 10, x0 + 52, y - 5), 2.5), SILVER)
        shape(image, lambda p, y=y, width=width: p.rect((x0, y, x0 + width, y + 22), 5), CLOUD)
        shape(image, lambda p, y=y, width=width: p.rect((x0 + 1.2, y + 1.2, x0 + width - 1.2, y + 20.8), 4), WHITE)
    shape(image, lambda p: p.rect((x0 + 10, 152, x0 + 96, 158), 3), GREEN)
    for i, checked in enumerate((True, False)):
        y = 218 + i * 22
        if checked:
            shape(image, lambda p, y=y: p.rect((x0, y, x0 + 14, y + 14), 4), GREEN)
            shape(image, lambda p, y=y: p.line([(x0 + 3.5, y + 7.3), (x0 + 6, y + 10), (x0 + 10.5, y + 4.5)], 2), WHITE)
        else:
            shape(image, lambda p, y=y: p.rect((x0, y, x0 + 14, y + 14), 4), SILVER)
            shape(image, lambda p, y=y: p.rect((x0 + 1.5, y + 1.5, x0 + 12.5, y + 12.5), 3), WHITE)
        shape(image, lambda p, y=y, i=i: p.rect((x0 + 22, y + 4, x0 + 22 + (90 if i == 0 else 70), y + 10), 3), CLOUD)
    # the signature on its line
    shape(image, lambda p: p.rect((318, 254, 408, 256), 1), SILVER)
    curve = []
    for i in range(61):
        t = i / 60
        curve.append((322 + 80 * t + 6 * math.sin(t * 9), 244 - 10 * math.sin(t * math.pi * 3.2) * (1 - t * 0.4) - 4 * t))
    shape(image, lambda p: p.line(curve, 2.4), GREEN_DEEP)
    pencil(image, 402, 236, 110, -40, body=INK)
    # an accepted badge
    shadow(image, lambda p: p.circle(440, 128, 20), offset=(0, 4), blur=8, alpha=50)
    shape(image, lambda p: p.circle(440, 128, 20), GREEN)
    shape(image, lambda p: p.line([(431, 128.5), (437.5, 135), (449.5, 121.5)], 4), WHITE)
    sparkle(image, 180, 150, 7, GREEN)
    return image


def speech_bubble(image, box, fill, tail_left, lines, line_colour):
    x0, y0, x1, y1 = box
    shadow(image, lambda p: p.rect(box, 12), offset=(0, 4), blur=10, alpha=40)
    tail = [(x0 + 14, y1 - 2), (x0 + 4, y1 + 12), (x0 + 30, y1 - 2)] if tail_left else [(x1 - 30, y1 - 2), (x1 - 4, y1 + 12), (x1 - 14, y1 - 2)]
    shape(image, lambda p: (p.rect(box, 12), p.polygon(tail)), fill)
    for i, length in enumerate(lines):
        shape(image, lambda p, i=i, length=length: p.rect((x0 + 14, y0 + 14 + i * 12, x0 + 14 + (x1 - x0 - 28) * length, y0 + 20 + i * 12), 3), line_colour)


def avatar(image, cx, cy, r, colour):
    shape(image, lambda p: p.circle(cx, cy, r), WHITE)
    shape(image, lambda p: p.circle(cx, cy, r - 2), colour)
    shape(image, lambda p: (p.circle(cx, cy - r * 0.2, r * 0.32), p.ellipse((cx - r * 0.55, cy + r * 0.2, cx + r * 0.55, cy + r * 0.95))), rgba(WHITE, 235))


def carousel_comment():
    image = carousel_base()
    card = (170, 102, 370, 300)
    page_card(image, card, lines=[(146, 0.9), (160, 0.8), (174, 0.92), (188, 0.6), (214, 0.88), (228, 0.75), (242, 0.9), (256, 0.5)])
    shape(image, lambda p: p.rect((184, 170, 340, 182), 2), (0xFF, 0xE2, 0x8A))
    shape(image, lambda p: p.rect((188, 174, 330, 180), 3), rgba(SLATE, 150))
    shape(image, lambda p: p.rect((184, 210, 300, 222), 2), rgba(GREEN, 70))
    shape(image, lambda p: p.rect((188, 214, 296, 220), 3), rgba(SLATE, 150))
    # a marker pen lying on the page
    pencil(image, 318, 270, 96, -35, body=GREEN_DARK)
    speech_bubble(image, (392, 118, 520, 164), GREEN, True, (0.85, 0.55), rgba(WHITE, 220))
    speech_bubble(image, (412, 184, 540, 230), WHITE, False, (0.8, 0.5), CLOUD)
    avatar(image, 377, 172, 14, GREEN_DEEP)
    avatar(image, 560, 236, 14, SLATE)
    sparkle(image, 140, 128, 6, GREEN)
    return image


def carousel_protect():
    image = carousel_base()
    card = (196, 104, 356, 300)
    page_card(image, card, lines=[(146, 0.9), (160, 0.75), (174, 0.85), (200, 0.9), (214, 0.6), (240, 0.8), (254, 0.7)])
    folded_corner(image, card)
    # a shield behind the lock
    def shield(p):
        p.polygon([(400, 110), (456, 128), (452, 196), (400, 240), (348, 196), (344, 128)])
    shadow(image, shield, offset=(0, 6), blur=12, alpha=45)
    paint(image, mask(image, shield), gradient(image, GREEN_LIGHT, GREEN_DARK))
    shape(image, lambda p: p.polygon([(400, 110), (456, 128), (452, 196), (400, 240)]), rgba(SHADOW, 28))
    # the padlock
    shape(image, lambda p: p.arc(400, 160, 15, 180, 360, 6.5), WHITE)
    shape(image, lambda p: (p.rect((385, 159, 391.5, 172)), p.rect((408.5, 159, 415, 172))), WHITE)
    shape(image, lambda p: p.rect((378, 166, 422, 206), 7), WHITE)
    shape(image, lambda p: (p.circle(400, 182, 5), p.rect((397.5, 182, 402.5, 195), 2)), GREEN_DARK)
    # the password field
    box = (330, 244, 520, 280)
    shadow(image, lambda p: p.rect(box, 10), offset=(0, 4), blur=10, alpha=45)
    shape(image, lambda p: p.rect(box, 10), WHITE)
    shape(image, lambda p: (p.rect((330, 244, 520, 280), 10), p.rect((331.5, 245.5, 518.5, 278.5), 9, fill=0)), MINT)
    for i in range(7):
        shape(image, lambda p, i=i: p.circle(350 + i * 16, 262, 4.2), INK if i < 6 else GREEN)
    shape(image, lambda p: p.rect((462, 252, 464, 272), 1), GREEN)
    shape(image, lambda p: (p.circle(497, 262, 8), p.circle(497, 262, 5, fill=0)), GREEN)
    sparkle(image, 480, 112, 8, GREEN)
    sparkle(image, 168, 200, 5, MINT)
    return image


def carousel():
    for number, draw in enumerate((carousel_edit, carousel_convert, carousel_forms, carousel_comment, carousel_protect), 1):
        yield save(draw(), "anima/%d.png" % number)


def scroll_bar():
    """scrollbar.bmp beside the layouts: the rail and the thumb side by side, 8 by 32 each, on
    the licence panel's colour (a BMP has no transparency)."""
    panel = (0xF7, 0xF9, 0xFA)
    image = canvas(16, 32, panel)
    shape(image, lambda p: p.rect((2.5, 1, 5.5, 31), 1.5), CLOUD)
    shape(image, lambda p: p.rect((9, 1, 15, 31), 3), SILVER)
    reduced(image).convert("RGB").save(os.path.join(SKIN, "scrollbar.bmp"))


# ---- launch splash: 21 frames of a ring that turns once per loop ----------------------------

FRAMES = 21
RING = 160


def conic(size):
    """An 8-bit map of the angle around the centre (0 at 3 o'clock, growing clockwise)."""
    m = Image.new("L", (size, size))
    c = (size - 1) / 2
    m.putdata([int((math.degrees(math.atan2(y - c, x - c)) % 360) * 256 / 360) % 256
               for y in range(size) for x in range(size)])
    return m


def splash_frames():
    angles = conic(s(RING))
    cx = cy = RING / 2
    r, width, tail = 66, 7, 240  # the comet spans `tail` degrees behind its head
    for frame in range(FRAMES):
        head = (frame * 360 / FRAMES - 90) % 360
        image = canvas(RING, RING)
        shape(image, lambda p: p.ring(cx, cy, r, width), MINT_PALE)

        def fade(v, head=head):
            behind = (head - v * 360 / 256) % 360
            return int(255 * (1 - behind / tail) ** 1.2) if behind < tail else 0

        comet = ImageChops.multiply(mask(image, lambda p: p.ring(cx, cy, r, width)), angles.point(fade))
        paint(image, comet, GREEN)
        hx, hy = cx + r * math.cos(math.radians(head)), cy + r * math.sin(math.radians(head))
        shape(image, lambda p: p.circle(hx, hy, width / 2), GREEN)
        yield save(image, "gif/bg%02d.png" % frame)


def optimise(paths):
    if not shutil.which("optipng"):
        sys.exit("optipng is missing (scripts/install-deps.sh pictures)")
    subprocess.run(["optipng", "-quiet", "-o7", "-strip", "all"] + paths, check=True)


def main():
    paths = []
    for group in (logos, backgrounds, buttons, controls, icons, carousel, splash_frames):
        paths.extend(group())
    optimise(paths)
    scroll_bar()
    total = sum(os.path.getsize(p) for p in paths)
    print("%d pictures, %d bytes" % (len(paths), total))


if __name__ == "__main__":
    main()
