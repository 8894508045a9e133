#!/usr/bin/python3
"""Prints every cell of a workbook's first sheet as read by openpyxl: one line per row,
cells separated by tabs, each written as type:value ("n" numbers in repr form, "s"
texts, "e" empty)."""
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1], read_only=True)
sheet = book.worksheets[0]
for row in sheet.iter_rows(values_only=True):
    cells = []
    for value in row:
        if value is None:
            cells.append("e:")
        elif isinstance(value, bool):
            cells.append("b:" + str(value))
        elif isinstance(value, (int, float)):
            cells.append("n:" + repr(float(value)))
        else:
            cells.append("s:" + str(value))
    print("\t".join(cells))
