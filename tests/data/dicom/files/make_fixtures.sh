#!/usr/bin/env bash
# Rebuilds the DICOM file fixtures and their dcmdump listings (the oracle of
# the reader tests) with DCMTK and libjpeg-turbo's tools.
set -euo pipefail
cd "$(dirname "$0")"
# base.dump writes \xfc for a Latin-1 byte.
sed 's/\\xfc/\xfc/' base.dump > /tmp/kestrova_base.dump
dump2dcm -q /tmp/kestrova_base.dump explicit_le.dcm
dcmconv -q +ti explicit_le.dcm implicit_le.dcm
dcmconv -q +tb explicit_le.dcm explicit_be.dcm
dcmconv -q +te -e explicit_le.dcm undefined_lengths.dcm
dcmconv -q -F +ti explicit_le.dcm nema_implicit.dcm
# An 8-bit JPEG wrapped as encapsulated pixel data.
python3 -c "
import sys
w, h = 16, 8
sys.stdout.buffer.write(b'P5 %d %d 255\n' % (w, h) + bytes((x * 16 + y * 8) % 256 for y in range(h) for x in range(w)))
" > /tmp/kestrova_gradient.pgm
cjpeg -quality 90 /tmp/kestrova_gradient.pgm > /tmp/kestrova_gradient.jpg
img2dcm -q -k "PatientName=Doe^John" -k "PatientID=J1" /tmp/kestrova_gradient.jpg encapsulated.dcm
for f in explicit_le implicit_le explicit_be undefined_lengths encapsulated; do
  dcmdump -q -Un "$f.dcm" | iconv -f ISO-8859-1 -t UTF-8 > "$f.dcmdump.txt"
done
dcmdump -q -Un -f nema_implicit.dcm | iconv -f ISO-8859-1 -t UTF-8 > nema_implicit.dcmdump.txt
rm -f /tmp/kestrova_base.dump /tmp/kestrova_gradient.pgm /tmp/kestrova_gradient.jpg
