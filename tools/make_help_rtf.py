#!/usr/bin/env python3
"""Writes help/readme.doc, the help page as a document a word processor opens (RTF text),
from help/mainpage.htm, so the two always say the same.

    tools/make_help_rtf.py            (run from anywhere; rewrites help/readme.doc)
"""
import html
import html.parser
import pathlib

HERE = pathlib.Path(__file__).resolve().parent.parent
SOURCE = HERE / "help" / "mainpage.htm"
TARGET = HERE / "help" / "readme.doc"


def rtf_text(text):
    out = []
    for ch in text:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ord(ch) > 127:
            out.append("\\u%d?" % (ord(ch) if ord(ch) < 32768 else ord(ch) - 65536))
        else:
            out.append(ch)
    return "".join(out)


class Converter(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out = []
        self.skip = 0          # inside <head>, <style>, <title>
        self.cells = 0         # cells written in the current table row
        self.in_cell = False
        self.pending_space = False

    def emit(self, text):
        self.out.append(text)

    def handle_starttag(self, tag, attrs):
        if tag in ("head", "style", "title"):
            self.skip += 1
        elif self.skip:
            return
        elif tag == "h1":
            self.emit("\\pard\\sa200\\b\\fs36 ")
        elif tag == "h2":
            self.emit("\\pard\\sb240\\sa120\\b\\fs28 ")
        elif tag == "p":
            self.emit("\\pard\\sa120 ")
        elif tag == "li":
            self.emit("\\pard\\fi-240\\li480\\sa60 \\bullet\\tab ")
        elif tag == "dt":
            self.emit("\\pard\\sb120 ")
        elif tag == "dd":
            self.emit("\\pard\\li360\\sa120 ")
        elif tag == "tr":
            self.cells = 0
            self.emit("\\trowd\\trgaph100\\cellx2800\\cellx9000 ")
        elif tag in ("td", "th"):
            self.in_cell = True
            self.emit("\\pard\\intbl " + ("\\b " if tag == "th" else ""))
        elif tag in ("b", "strong"):
            self.emit("{\\b ")
        elif tag in ("code", "kbd"):
            self.emit("{\\f1 ")
        elif tag == "br":
            self.emit("\\line ")

    def handle_endtag(self, tag):
        if tag in ("head", "style", "title"):
            self.skip -= 1
        elif self.skip:
            return
        elif tag in ("h1", "h2"):
            self.emit("\\b0\\fs20\\par\n")
        elif tag in ("p", "li", "dt", "dd"):
            self.emit("\\par\n")
        elif tag in ("td", "th"):
            self.in_cell = False
            self.emit(("\\b0" if tag == "th" else "") + "\\cell ")
        elif tag == "tr":
            self.emit("\\row\n")
        elif tag == "table":
            self.emit("\\pard\\sa120\\par\n")
        elif tag in ("b", "strong", "code", "kbd"):
            self.emit("}")

    def handle_data(self, data):
        if self.skip:
            return
        text = " ".join(data.split())
        spaced = self.out and not self.out[-1].endswith((" ", "\n"))
        if not text:
            if data and spaced:
                self.emit(" ")
            return
        if data[:1].isspace() and spaced:
            text = " " + text
        if data[-1:].isspace():
            text += " "
        self.emit(rtf_text(text))


def main():
    converter = Converter()
    converter.feed(SOURCE.read_text(encoding="utf-8"))
    body = "".join(converter.out)
    document = ("{\\rtf1\\ansi\\ansicpg1252\\deff0\n"
                "{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}\n"
                "{\\info{\\title Murlavo Help}}\n"
                "\\fs20\n" + body + "}\n")
    TARGET.write_text(document, encoding="ascii", newline="\r\n")
    print("wrote", TARGET)


if __name__ == "__main__":
    main()
