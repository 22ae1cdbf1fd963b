#!/usr/bin/env python3
# Generates resources/vendors.txt, the vendor table built into Lanwick, from the IEEE MA-L registry that
# Debian's ieee-data package installs. Run it by hand when the registry should be refreshed; the build only
# reads the committed result.
#
#   scripts/gen_vendor_table.py [oui.csv] [output]
#
# Line format, relied on by LookupVendor: six upper-case hex digits, ",", the name (at most 99 bytes of UTF-8,
# cut on a character boundary), CR LF. Ascending by prefix; a stable sort keeps the registry's order among
# duplicate prefixes, so the first registered owner is the one found.
import csv
import re
import sys
from pathlib import Path

MAX_NAME = 99


def cut(name: str) -> bytes:
    data = name.encode("utf-8")
    if len(data) <= MAX_NAME:
        return data
    data = data[:MAX_NAME]
    # Drop a multi-byte character cut in half.
    return data.decode("utf-8", errors="ignore").encode("utf-8")


def main() -> int:
    source = Path(sys.argv[1] if len(sys.argv) > 1 else "/usr/share/ieee-data/oui.csv")
    target = Path(sys.argv[2] if len(sys.argv) > 2 else Path(__file__).resolve().parent.parent / "resources/vendors.txt")
    entries = []
    with source.open(encoding="utf-8", newline="") as f:
        rows = csv.reader(f)
        header = next(rows)
        if header[:3] != ["Registry", "Assignment", "Organization Name"]:
            print(f"{source}: unexpected header {header}", file=sys.stderr)
            return 1
        for row in rows:
            if len(row) < 3 or row[0] != "MA-L":
                continue
            prefix = row[1].strip().upper()
            if not re.fullmatch(r"[0-9A-F]{6}", prefix):
                print(f"{source}: skipping bad assignment {row[1]!r}", file=sys.stderr)
                continue
            # A line break or tab inside a name would break the line format.
            name = re.sub(r"[\r\n\t]+", " ", row[2]).strip()
            entries.append((prefix, cut(name)))
    entries.sort(key=lambda e: e[0])
    with target.open("wb") as out:
        for prefix, name in entries:
            out.write(prefix.encode("ascii") + b"," + name + b"\r\n")
    print(f"{target}: {len(entries)} entries, {target.stat().st_size} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
