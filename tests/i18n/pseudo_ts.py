#!/usr/bin/env python3
"""Makes a pseudo-translation from a .ts file: every translation is its source text between
"[~" and "~]" (arguments and access letters kept), compiled to a .qm file with lrelease.

    pseudo_ts.py LRELEASE TS_FILE OUT.qm
"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def mark(text):
    return "[~" + text + "~]"


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    lrelease, ts, qm = sys.argv[1:]
    tree = ET.parse(ts)
    for message in tree.getroot().iter("message"):
        source = message.findtext("source") or ""
        translation = message.find("translation")
        if translation is None:
            translation = ET.SubElement(message, "translation")
        translation.attrib.pop("type", None)
        if message.get("numerus") == "yes":
            forms = list(translation.iter("numerusform")) or [
                ET.SubElement(translation, "numerusform") for _ in range(2)]
            for form in forms:
                form.text = mark(source)
        else:
            translation.text = mark(source)
    with tempfile.TemporaryDirectory() as tmp:
        pseudo = os.path.join(tmp, "pseudo.ts")
        tree.write(pseudo, encoding="utf-8", xml_declaration=True)
        run = subprocess.run([lrelease, pseudo, "-qm", qm], capture_output=True, text=True)
        if run.returncode != 0:
            print(run.stdout + run.stderr, file=sys.stderr)
            return 1
    print("pseudo-translation written to " + qm)
    return 0


if __name__ == "__main__":
    sys.exit(main())
