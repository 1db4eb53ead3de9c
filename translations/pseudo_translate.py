#!/usr/bin/env python3
"""Writes the pseudo-translation of a Qt Linguist catalogue: every source text
is visibly transformed, so that a window test or a screenshot shows at once a
text that never went through a catalogue.

Usage: pseudo_translate.py SOURCE.ts OUTPUT.ts

Each text is wrapped in "⟦" and "⟧" and its letters get accents, while what
the program or Qt reads in it stays as it stands: %1, %L1 and %n
placeholders, & mnemonics with their letter ("&&" too), HTML tags and
entities.
"""
import re
import sys
import xml.etree.ElementTree as ET

OPEN, CLOSE = "\u27e6", "\u27e7"
ACCENTS = str.maketrans("aceinosuyzACEINOSUYZ", "áçéíñóšúýžÁÇÉÍÑÓŠÚÝŽ")
# Kept as they stand; the first alternative that matches at a place wins.
KEEP = re.compile(r"%L?\d+|%n|<[^>]*>|&[A-Za-z]+;|&#\d+;|&&|&.", re.S)
# Plural forms of the catalogue's language, English.
NUMERUS_FORMS = 2


def transform(text):
    parts = []
    position = 0
    for kept in KEEP.finditer(text):
        parts.append(text[position:kept.start()].translate(ACCENTS))
        parts.append(kept.group())
        position = kept.end()
    parts.append(text[position:].translate(ACCENTS))
    return OPEN + "".join(parts) + CLOSE


def main(source_file, output_file):
    tree = ET.parse(source_file)
    root = tree.getroot()
    root.set("language", "en")
    for context in root.iter("context"):
        for message in list(context.iter("message")):
            translation = message.find("translation")
            if translation is not None and translation.get("type") in ("vanished", "obsolete"):
                context.remove(message)
                continue
            if translation is None:
                translation = ET.SubElement(message, "translation")
            translation.attrib.clear()
            for child in list(translation):
                translation.remove(child)
            text = transform(message.findtext("source", default=""))
            if message.get("numerus") == "yes":
                translation.text = None
                for _ in range(NUMERUS_FORMS):
                    ET.SubElement(translation, "numerusform").text = text
            else:
                translation.text = text
    tree.write(output_file, encoding="utf-8", xml_declaration=True)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: pseudo_translate.py SOURCE.ts OUTPUT.ts")
    main(sys.argv[1], sys.argv[2])
