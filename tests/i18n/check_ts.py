#!/usr/bin/env python3
"""Fails when a committed .ts file is out of step with the sources.

lupdate runs over the sources into a copy of each .ts file, keeping what vanished; the check
then names every text that is new (not in the committed file), untranslated (unfinished),
vanished from the sources, or whose translation lost or gained a %1 argument or a plural form.

    check_ts.py LUPDATE SOURCES_LIST TS_FILE... [-- LUPDATE_OPTION...]

The options are those with which the build's update runs lupdate (but -no-obsolete).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r"%(?:L?\d+|n)")


def problems_in(ts_path):
    problems = []
    root = ET.parse(ts_path).getroot()
    for context in root.iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source") or ""
            where = f"{name}: \"{source}\""
            translation = message.find("translation")
            kind = translation.get("type") if translation is not None else "missing"
            if kind in ("vanished", "obsolete"):
                problems.append(f"no longer in the sources: {where}")
                continue
            if kind == "unfinished" or translation is None:
                problems.append(f"not translated: {where}")
                continue
            forms = [f.text or "" for f in translation.iter("numerusform")]
            if message.get("numerus") == "yes":
                if not forms or any(not f for f in forms):
                    problems.append(f"plural form missing: {where}")
                    continue
            else:
                forms = [translation.text or ""]
            wanted = sorted(set(PLACEHOLDER.findall(source)))
            for form in forms:
                if not form.strip():
                    problems.append(f"empty translation: {where}")
                elif sorted(set(PLACEHOLDER.findall(form))) != wanted:
                    problems.append(f"arguments differ ({', '.join(wanted) or 'none'}): {where}"
                                    f" -> \"{form}\"")
    return problems


def main():
    if len([a for a in sys.argv[1:] if a != "--"]) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    args = sys.argv[1:]
    options = args[args.index("--") + 1:] if "--" in args else []
    args = args[:args.index("--")] if "--" in args else args
    lupdate, sources, ts_files = args[0], args[1], args[2:]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        for ts in ts_files:
            copy = os.path.join(tmp, os.path.basename(ts))
            shutil.copyfile(ts, copy)
            run = subprocess.run([lupdate] + options + ["@" + sources, "-ts", copy],
                                 capture_output=True, text=True)
            if run.returncode != 0:
                failures.append(f"{ts}: lupdate failed:\n{run.stdout}{run.stderr}")
                continue
            failures += [f"{os.path.basename(ts)}: {p}" for p in problems_in(copy)]
    for f in failures:
        print(f)
    if failures:
        print(f"{len(failures)} problem(s); run `cmake --build BUILD --target "
              "korvalen_update_translations`, translate what is new and remove nothing by hand")
        return 1
    print("translations complete: " + ", ".join(os.path.basename(t) for t in ts_files))
    return 0


if __name__ == "__main__":
    sys.exit(main())
