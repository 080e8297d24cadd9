#!/usr/bin/env python3
"""The XSLT conformance corpus: every cases/NAME.xsl applied to cases/NAME.xml (or
cases/input.xml) by `qvxml transform` and by xsltproc, each under a time cap, the
results compared after normalising only what a serializer may choose: the XML
declaration, attribute order, namespace declaration order and the empty-element
form (XML results are compared in canonical form; text and HTML as written, less
trailing newlines). A case named error_* passes when both refuse the stylesheet.
NAME.args holds extra command-line arguments given to both (--param, --stringparam).

differences.tsv lists the cases where the two legitimately differ, with the reason.
For those the library's result must still match cases/NAME.expected (our own result,
reviewed), and the two must really differ: a listed case that agrees fails, so the
table stays true.

usage: run_corpus.py QVXML CORPUS_DIR [CASE...]
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

TIME_CAP = 20  # seconds per run of one case by one processor


def run(command, cwd):
    try:
        done = subprocess.run(command, cwd=cwd, capture_output=True, timeout=TIME_CAP)
    except subprocess.TimeoutExpired:
        return None, b"", b"timed out after %d s" % TIME_CAP
    return done.returncode, done.stdout, done.stderr


def normalise(raw):
    text = raw.decode("utf-8", errors="replace") if isinstance(raw, bytes) else raw
    encoding = re.match(r'<\?xml[^>]*encoding="([^"]+)"', text)
    if encoding and encoding.group(1).lower() not in ("utf-8", "utf8"):
        text = raw.decode(encoding.group(1), errors="replace")
    text = re.sub(r"^<\?xml[^>]*\?>\s*", "", text).rstrip("\n")
    doctype = ""
    match = re.match(r"^(<!DOCTYPE[^>]*>)\s*", text)
    if match:
        doctype = " ".join(match.group(1).split()) + "\n"
        text = text[match.end():]
    if re.match(r"(?i)<html", text):
        # The html method indents by default: the line breaks between tags are
        # the serializer's.
        return doctype + re.sub(r">\s+<", "><", text)
    try:
        wrapped = "<corpus-result>" + text + "</corpus-result>"
        return doctype + ET.canonicalize(wrapped)
    except ET.ParseError:
        return doctype + text.rstrip("\n")


def load_differences(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            case, kind, reason = line.rstrip("\n").split("\t", 2)
            table[case] = (kind, reason)
    return table


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, corpus = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if not shutil.which("xsltproc"):
        print("xsltproc is not installed (scripts/install-deps installs it)")
        return 77
    cases_dir = os.path.join(corpus, "cases")
    differences = load_differences(os.path.join(corpus, "differences.tsv"))
    names = sys.argv[3:] or sorted(
        f[:-4] for f in os.listdir(cases_dir) if f.endswith(".xsl"))
    failures = []
    for name in names:
        stylesheet = name + ".xsl"
        source = name + ".xml" if os.path.exists(os.path.join(cases_dir, name + ".xml")) else "input.xml"
        extra = []
        args_file = os.path.join(cases_dir, name + ".args")
        if os.path.exists(args_file):
            with open(args_file, encoding="utf-8") as f:
                extra = shlex.split(f.read())
        ours = run([tool, "transform", source, stylesheet] + extra, cases_dir)
        theirs = run(["xsltproc"] + extra + [stylesheet, source], cases_dir)
        problem = None
        if ours[0] is None or theirs[0] is None:
            problem = "hang: " + (ours[2] if ours[0] is None else theirs[2]).decode()
        elif name.startswith("error_") and name in differences:
            # XSLT 1.0 names the error; libxslt recovers from it.
            if ours[0] == 0 or theirs[0] != 0:
                problem = "a listed error case: qvxml must refuse it and xsltproc recover"
        elif name.startswith("error_"):
            if ours[0] == 0 or theirs[0] == 0:
                problem = "an error case that %s accepted" % ("qvxml" if ours[0] == 0 else "xsltproc")
        elif ours[0] != 0 or theirs[0] != 0:
            problem = "failed: qvxml %s %s / xsltproc %s %s" % (
                ours[0], ours[2].decode(errors="replace").strip(), theirs[0],
                theirs[2].decode(errors="replace").strip())
        else:
            mine, other = normalise(ours[1]), normalise(theirs[1])
            if name in differences:
                expected_file = os.path.join(cases_dir, name + ".expected")
                with open(expected_file, "rb") as f:
                    expected = normalise(f.read())
                if mine != expected:
                    problem = "differs from %s.expected:\n  qvxml:    %s\n  expected: %s" % (name, mine, expected)
                elif mine == other:
                    problem = "listed in differences.tsv but agrees with xsltproc"
            elif mine != other:
                problem = "differs:\n  qvxml:    %s\n  xsltproc: %s" % (mine, other)
            if not problem and name.startswith("message"):
                said = [l for l in theirs[2].decode().splitlines() if l.strip()]
                if not all(l in ours[2].decode() for l in said):
                    problem = "messages differ: %r / %r" % (ours[2], theirs[2])
        status = "ok" if not problem else "FAIL"
        listed = " (listed: %s)" % differences[name][0] if name in differences and not problem else ""
        print("%-28s %s%s" % (name, status, listed))
        if problem:
            print("  " + problem)
            failures.append(name)
    print("%d cases, %d failed, %d listed differences" % (len(names), len(failures), len(differences)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
