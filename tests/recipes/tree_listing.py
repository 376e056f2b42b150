#!/usr/bin/python3
"""What an archive of a folder must list, read from the folder itself: the
tests' own account of it, against which tar-entries' list is held.

    tree_listing.py ROOT      one line per entry, sorted: NAME<TAB>SIZE for a
                              file, and for a link that leads to a file
                              within ROOT (its size); NAME/<TAB>0 for a folder

A link leads where the archive's root stands for "/": an absolute link from
ROOT, "..", at ROOT, stays there, and a folder on the way may be a link
itself. Links to folders, links out of ROOT or to nothing, and anything but
files and folders are left out, and so is a name with a control character.
"""

import os
import sys

HOPS = 40


def resolve(root, parts):
    """The parts of the file a path of ROOT leads to, following links as
    the archive's root would; None when it is no file within ROOT."""
    done = []
    parts = list(parts)
    hops = HOPS
    while parts:
        part = parts.pop(0)
        if part in ("", "."):
            continue
        if part == "..":
            if done:
                done.pop()
            continue
        here = os.path.join(root, *done, part)
        if os.path.islink(here):
            hops -= 1
            if hops == 0:
                return None
            target = os.readlink(here)
            if target.startswith("/"):
                done = []
            parts = target.split("/") + parts
        else:
            done.append(part)
    path = os.path.join(root, *done)
    return done if done and os.path.isfile(path) and not os.path.islink(path) else None


def main(root):
    lines = []
    for folder, folders, files in os.walk(root):
        relative = os.path.relpath(folder, root)
        for name in folders + files:
            rel = name if relative == "." else relative + "/" + name
            if any(ord(c) < 32 or ord(c) == 127 for c in rel):
                continue
            path = os.path.join(root, rel)
            if os.path.isdir(path) and not os.path.islink(path):
                lines.append(rel + "/\t0")
                continue
            target = resolve(root, rel.split("/"))
            if target is not None:
                lines.append("%s\t%d" % (rel, os.path.getsize(os.path.join(root, *target))))
    out = sys.stdout.buffer
    for line in sorted(os.fsencode(line) for line in lines):
        out.write(line + b"\n")


if __name__ == "__main__":
    main(sys.argv[1])
