#!/usr/bin/env python3
"""Checks a translation file against the texts of the sources.

    check_translations.py COMMITTED.ts UPDATED.ts

UPDATED.ts is COMMITTED.ts after lupdate ran over the sources (keeping obsolete
entries): a text of the sources that the translation lacks shows there as unfinished,
one the sources no longer have as vanished or obsolete. Both must be none, every
translation must be finished, and every translation must have the places of its source
text: as many "%s", "%d", "%n" and "%1".."%9", "%s" and "%d" in the same order (the
program fills them in order), and as many "|" (the two parts of a hint).
"""
import re
import sys
import xml.etree.ElementTree as ET

PLACE = re.compile(r"%(?:%|[sdn]|[1-9])")


def text_of(element):
    """The text of an element, with the characters lupdate writes as <byte value="xd"/>."""
    if element is None:
        return ""
    out = element.text or ""
    for child in element:
        if child.tag == "byte":
            value = child.get("value", "0")
            out += chr(int(value[1:], 16) if value.startswith("x") else int(value))
        out += child.tail or ""
    return out


def places(text):
    return [p for p in PLACE.findall(text or "") if p != "%%"]


def forms(message):
    tr = message.find("translation")
    if tr is None:
        return None, []
    numerus = tr.findall("numerusform")
    texts = [text_of(n) for n in numerus] if numerus else [text_of(tr)]
    return tr, texts


def main():
    committed, updated = sys.argv[1], sys.argv[2]
    problems = []
    for message in ET.parse(updated).getroot().iter("message"):
        source = text_of(message.find("source"))
        tr = message.find("translation")
        kind = tr.get("type") if tr is not None else "unfinished"
        if kind in ("unfinished", "vanished", "obsolete"):
            what = {"unfinished": "not translated", "vanished": "no longer in the sources",
                    "obsolete": "no longer in the sources"}[kind]
            problems.append(f"{what}: {source!r}")
    for message in ET.parse(committed).getroot().iter("message"):
        source = text_of(message.find("source"))
        want = places(source)
        ordered = [p for p in want if p in ("%s", "%d")]
        _, texts = forms(message)
        for text in texts:
            if not text:
                continue  # reported above as not translated
            got = places(text)
            if sorted(got) != sorted(want):
                problems.append(f"places {got} where the source has {want}: {source!r}")
            elif [p for p in got if p in ("%s", "%d")] != ordered:
                problems.append(f"places in another order: {source!r}")
            if text.count("|") != source.count("|"):
                problems.append(f"the hint's '|' is lost: {source!r}")
            if message.get("numerus") == "yes" and "%n" not in text:
                problems.append(f"a plural form without %n: {source!r}")
    for p in problems:
        print(p)
    print(f"{committed}: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
