#!/usr/bin/env python3
"""Reads an exported XML file with ElementTree and prints what it holds, one item a line.

Angio file:  root <tag> <width> <height>
             <list> <numPoints> <children> x,y x,y ...
IVUS file:   root IVUS <width> <height>
             <wall> <numFrames> <children>
             points <numPoints> <zOrder> <children> x,y x,y ...
             catheterCenter <x> <y>
             arcLength <value as %.17g>
             pixelSpacing <value as %.17g>
"""
import sys
import xml.etree.ElementTree as ET

root = ET.parse(sys.argv[1]).getroot()
print("root %s %s %s" % (root.tag, root.get("imageWidth"), root.get("imageHeight")))
if root.tag in ("LAO", "RAO"):
    for element in root:
        points = ["%d,%d" % (int(p.find("x").text), int(p.find("y").text))
                  for p in element.findall("point")]
        print(" ".join([element.tag, element.get("numPoints"), str(len(points))] + points))
else:
    for wall in (root.find("outerWall"), root.find("innerWall")):
        print("%s %s %d" % (wall.tag, wall.get("numFrames"), len(wall.findall("points"))))
        for row in wall.findall("points"):
            points = ["%d,%d" % (int(p.get("x")), int(p.get("y"))) for p in row.findall("point")]
            print(" ".join(["points", row.get("numPoints"), row.get("zOrder"), str(len(points))]
                           + points))
    info = root.find("info")
    centre = info.find("catheterCenter")
    print("catheterCenter %d %d" % (int(centre.get("x")), int(centre.get("y"))))
    print("arcLength %.17g" % float(info.find("arcLength").text))
    print("pixelSpacing %.17g" % float(info.find("pixelSpacing").text))
