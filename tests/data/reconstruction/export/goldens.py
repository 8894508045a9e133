#!/usr/bin/env python3
"""Writes the golden export files of the fixture card (code 7) into this folder.

The fixture is restated here on purpose, independently of the C++ test that reads the
goldens: LAO frame 512 x 512, RAO frame 640 x 480, IVUS frame 400 x 300, pixel spacing
0.0123, catheter centre (200, 150).
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))

LAO = {
    "catheter": [(10, 20), (15, 30), (22, 41)],
    "lumenA": [(5, 6), (7, 8)],
    "lumenB": [],
    "catheterWidth": [(100, 200), (110, 190)],
}
RAO = {
    "catheter": [(10, 20), (600, 470)],
    "lumenA": [(1, 1)],
    "lumenB": [(2, 3), (4, 5)],
    "catheterWidth": [],
}
OUTER = [
    [(100, 100), (130, 100), (100, 140), (100, 100)],
    [(1, 3), (2, 4)],
    [(5, 6)],
]
INNER = [
    [(110, 110), (120, 110), (110, 120), (110, 110)],
    [(-3, 7), (8, -9)],
]
CENTRE = (200, 150)
SPACING = 0.0123


def write(name, lines):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("ascii"))


def angio_xml(tag, w, h, lists):
    out = ['<?xml version="1.0" encoding="ISO-8859-1"?>',
           '<%s imageWidth="%d" imageHeight="%d">' % (tag, w, h)]
    for element in ("catheter", "lumenA", "lumenB", "catheterWidth"):
        pts = lists[element]
        out.append('<%s numPoints="%d">' % (element, len(pts)))
        for x, y in pts:
            out += ["<point>", "<x>%d</x>" % x, "<y>%d</y>" % y, "</point>"]
        out.append("</%s>" % element)
    out.append("</%s>" % tag)
    return out


def length_mm():
    pts = OUTER[0]
    px = sum(math.sqrt((pts[j][0] - pts[j - 1][0]) ** 2 + (pts[j][1] - pts[j - 1][1]) ** 2)
             for j in range(1, len(pts)))
    return px * SPACING


def ivus_xml(w, h):
    out = ['<?xml version="1.0" encoding="ISO-8859-1"?>',
           '<IVUS imageWidth="%d" imageHeight="%d">' % (w, h)]
    for element, rows in (("outerWall", OUTER), ("innerWall", INNER)):
        out.append('<%s numFrames="%d">' % (element, len(rows)))
        for i, row in enumerate(rows, 1):
            out.append('<points numPoints="%d" zOrder="%d">' % (len(row), 5 * i))
            out += ['<point x="%d" y="%d" />' % p for p in row]
            out.append("</points>")
        out.append("</%s>" % element)
    out += ["<info>",
            '<catheterCenter x="%d" y="%d" />' % CENTRE,
            "<arcLength>%.18g</arcLength>" % length_mm(),
            "<pixelSpacing>%.15g</pixelSpacing>" % SPACING,
            "</info>",
            "</IVUS>"]
    return out


def angio_script(lists, point):
    out = []
    for element in ("catheter", "lumenA", "lumenB"):
        out.append("_Interpcrv")
        out += [point(x, y) for x, y in lists[element]]
        out.append("_Enter")
    out.append("_Polyline")
    out += [point(x, y) for x, y in lists["catheterWidth"]]
    out.append("_Enter")
    return out


def ivus_script():
    out = []
    for rows in (OUTER, INNER):
        for i, row in enumerate(rows, 1):
            out.append("_Interpcrv")
            out += ["%d,%d,%d" % (x, y, 5 * i) for x, y in row]
            out.append("_Enter")
    for i in range(1, len(INNER) + 1):
        out += ["_Point", "%d,%d,%d" % (CENTRE[0], CENTRE[1], 5 * i)]
    out += ["length = %.18g" % length_mm(), "calibration_video = %.15g" % SPACING]
    return out


write("7_LAO.xml", angio_xml("LAO", 512, 512, LAO))
write("7_RAO.xml", angio_xml("RAO", 640, 480, RAO))
write("7_IVUS.xml", ivus_xml(400, 300))
write("7_LAO.txt", angio_script(LAO, lambda x, y: "0,%d,%d" % (x, 512 - y)))
write("7_RAO.txt", angio_script(RAO, lambda x, y: "%d,0,%d" % (640 - x, 480 - y)))
write("7_IVUS.txt", ivus_script())
