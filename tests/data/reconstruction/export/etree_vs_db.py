#!/usr/bin/env python3
"""Checks the XML files of one export against the database they were read from.

    etree_vs_db.py <database file> <patient code> <export folder>

Reads the rows with Python's sqlite3 module and the files with ElementTree; prints every
difference and exits with status 1 when there is one.
"""
import math
import sqlite3
import sys
import xml.etree.ElementTree as ET

db_file, code, folder = sys.argv[1], int(sys.argv[2]), sys.argv[3]
con = sqlite3.connect(db_file)
con.row_factory = sqlite3.Row
problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


def numbers(text):
    """A stored point-list text: each value followed by one blank, closed by -1."""
    if not text:
        return []
    pieces = text.split(" ")
    assert pieces[-1] == "-1", text
    return [int(p) for p in pieces[:-1]]


def pairs(x_text, y_text):
    return list(zip(numbers(x_text), numbers(y_text)))


angio = con.execute("SELECT * FROM angio WHERE patientID = ?", (code,)).fetchone()
for view, prefix in (("LAO", "L"), ("RAO", "R")):
    root = ET.parse("%s/%d_%s.xml" % (folder, code, view)).getroot()
    check(root.tag == view, "%s: root element %s" % (view, root.tag))
    for element, column in (("catheter", "catheter"), ("lumenA", "lumenA"), ("lumenB", "lumenB"),
                            ("catheterWidth", "width")):
        expected = pairs(angio[prefix + column + "X"], angio[prefix + column + "Y"]) if angio else []
        node = root.find(element)
        got = [(int(p.find("x").text), int(p.find("y").text)) for p in node.findall("point")]
        check(got == expected, "%s %s: %s, stored %s" % (view, element, got, expected))
        check(int(node.get("numPoints")) == len(got), "%s %s: numPoints" % (view, element))

root = ET.parse("%s/%d_IVUS.xml" % (folder, code)).getroot()
first_outer = []
for wall in ("outerWall", "innerWall"):
    rows = con.execute("SELECT %sX AS x, %sY AS y FROM %s WHERE patientID = ? ORDER BY id"
                       % (wall, wall, wall), (code,)).fetchall()
    node = root.find(wall)
    check(int(node.get("numFrames")) == len(rows), "%s: numFrames %s, %d rows" % (wall, node.get("numFrames"), len(rows)))
    written = node.findall("points")
    check(len(written) == len(rows), "%s: %d contours, %d rows" % (wall, len(written), len(rows)))
    for i, (row, contour) in enumerate(zip(rows, written), 1):
        expected = pairs(row["x"], row["y"])
        got = [(int(p.get("x")), int(p.get("y"))) for p in contour.findall("point")]
        check(got == expected, "%s row %d: %s, stored %s" % (wall, i, got, expected))
        check(int(contour.get("numPoints")) == len(expected), "%s row %d: numPoints" % (wall, i))
        check(int(contour.get("zOrder")) == 5 * i, "%s row %d: zOrder %s" % (wall, i, contour.get("zOrder")))
        if wall == "outerWall" and i == 1:
            first_outer = expected

ivus = con.execute("SELECT * FROM ivus WHERE patientID = ?", (code,)).fetchone()
centre = root.find("info/catheterCenter")
expected_centre = (ivus["catheterCenterX"] or 0, ivus["catheterCenterY"] or 0) if ivus else (0, 0)
check((int(centre.get("x")), int(centre.get("y"))) == expected_centre, "catheterCenter")

patient = con.execute("SELECT pixelSpacing FROM patient WHERE code = ?", (code,)).fetchone()
spacing = patient["pixelSpacing"] or 0.0
if spacing > 0:
    length = sum(math.dist(first_outer[j], first_outer[j - 1]) for j in range(1, len(first_outer))) * spacing
    check(float(root.find("info/pixelSpacing").text) == spacing, "pixelSpacing")
    check(math.isclose(float(root.find("info/arcLength").text), length, rel_tol=1e-15, abs_tol=0.0),
          "arcLength %s, expected %r" % (root.find("info/arcLength").text, length))

for p in problems:
    print(p)
sys.exit(1 if problems else 0)
