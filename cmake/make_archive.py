"""Packs the release archive so that the same inputs give the same bytes.

Usage: make_archive.py OUTPUT.zip SOURCE_DATE_EPOCH FILE...

Every entry gets the given time (rounded to the two seconds ZIP keeps), the
same permissions and the same compression; entries keep the order given.
"""
import os
import sys
import time
import zipfile


def main():
    output, epoch, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    stamp = max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))
    temporary = output + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS: no Unix permissions in the entry
            entry.external_attr = 0x20  # the archive attribute, as Windows sets it
            with open(path, "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
    os.replace(temporary, output)


if __name__ == "__main__":
    main()
