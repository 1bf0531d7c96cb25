"""Reads the gcov counters of a build and reports line coverage of a source tree.

Usage: coverage_report.py BUILD_DIR SOURCE_DIR [MINIMUM_PERCENT]
"""
import gzip
import json
import os
import subprocess
import sys
import tempfile


def gcov_json(gcda_files, work):
    """The gcov JSON documents for the counter files (one per object)."""
    subprocess.run(["x86_64-w64-mingw32-gcov", "--json-format", "--preserve-paths", *gcda_files],
                   cwd=work, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for name in os.listdir(work):
        if name.endswith(".gcov.json.gz"):
            with gzip.open(os.path.join(work, name)) as f:
                yield json.load(f)


def main():
    build, source = (os.path.abspath(p) for p in sys.argv[1:3])
    minimum = float(sys.argv[3]) if len(sys.argv) > 3 else 90.0
    gcda = [os.path.join(d, f) for d, _, files in os.walk(build) for f in files if f.endswith(".gcda")]
    if not gcda:
        sys.exit("no counters found under " + build)
    lines = {}  # file -> {line: ran}
    with tempfile.TemporaryDirectory() as work:
        project = os.path.dirname(source)  # the build maps the project folder to "."
        for document in gcov_json(gcda, work):
            for f in document["files"]:
                path = os.path.normpath(os.path.join(project, f["file"]))
                if not path.startswith(source + os.sep):
                    continue
                seen = lines.setdefault(os.path.relpath(path, source), {})
                for line in f["lines"]:
                    seen[line["line_number"]] = seen.get(line["line_number"], False) or line["count"] > 0
    total = covered = 0
    for name in sorted(lines):
        ran = lines[name]
        if not ran:
            continue  # declarations only
        hit = sum(ran.values())
        total += len(ran)
        covered += hit
        missed = sorted(n for n, r in ran.items() if not r)
        print(f"{100.0 * hit / len(ran):6.1f} %  {hit:4d}/{len(ran):<4d} src/{name}")
        if missed:
            print("          never run: " + ", ".join(map(str, missed)))
    if not total:
        sys.exit("no lines of " + source + " in the counters")
    percent = 100.0 * covered / total
    print(f"{percent:6.1f} %  {covered}/{total} lines of src/")
    if percent < minimum:
        sys.exit(f"line coverage below {minimum:.0f} %")


if __name__ == "__main__":
    main()
