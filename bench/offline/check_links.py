#!/usr/bin/env python3
"""Counts the links of a saved copy that do not work when it is opened from disk.

usage: check_links.py [--list] SAVE_DIR   (--list: print each broken link)

Every page (.html, .htm) and stylesheet (.css) under SAVE_DIR is read; each link
(a, area and link href; src, srcset, poster, data, background; url() and
@import in style blocks, style attributes and stylesheets) is resolved the way a browser
resolves it from a file: URL. A link is broken when it names no file of the
copy (a missing file, or a folder, which a browser shows as a listing). Links
to the web (http:, https:) are counted apart: they need the network. Prints one
line: files, pages, links, broken, to-the-web.
"""
import html.parser
import os
import re
import sys
from urllib.parse import unquote, urljoin, urlsplit

CSS_URL = re.compile(r"""url\(\s*(?:"([^"]*)"|'([^']*)'|([^)\s"']*))\s*\)""", re.I)
CSS_IMPORT = re.compile(r"""@import\s+(?:"([^"]*)"|'([^']*)')""", re.I)
CSS_COMMENT = re.compile(r"/\*.*?\*/", re.S)
# The attributes that make a browser follow or load a link, by tag.
URL_ATTRIBUTES = {
    "href": {"a", "area", "link"},
    "src": {"img", "script", "iframe", "frame", "embed", "source", "audio", "video", "track",
            "input"},
    "poster": {"video"},
    "data": {"object"},
    "background": {"body", "table", "td", "th"},
}


def css_links(text):
    text = CSS_COMMENT.sub("", text)
    for match in CSS_URL.finditer(text):
        yield next(g for g in match.groups() if g is not None)
    for match in CSS_IMPORT.finditer(text):
        yield next(g for g in match.groups() if g is not None)


def srcset_links(value):
    for candidate in value.split(","):
        parts = candidate.split()
        if parts:
            yield parts[0]


class PageLinks(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.links = []
        self.in_style = False

    def handle_starttag(self, tag, attrs):
        if tag == "style":
            self.in_style = True
        for name, value in attrs:
            if value is None:
                continue
            if tag in URL_ATTRIBUTES.get(name, ()):
                self.links.append(value)
            elif name == "srcset":
                self.links.extend(srcset_links(value))
            elif name == "style":
                self.links.extend(css_links(value))

    def handle_endtag(self, tag):
        if tag == "style":
            self.in_style = False

    def handle_data(self, data):
        if self.in_style:
            self.links.extend(css_links(data))


def check(root, listing=False):
    root = os.path.realpath(root)
    files = pages = links = broken = web = 0
    for folder, _, names in os.walk(root):
        for name in names:
            if name == "downloads.log" or name.startswith("hts-"):
                continue
            files += 1
            path = os.path.join(folder, name)
            lower = name.lower()
            if lower.endswith((".html", ".htm")):
                pages += 1
                parser = PageLinks()
                with open(path, encoding="utf-8", errors="replace") as f:
                    parser.feed(f.read())
                found = parser.links
            elif lower.endswith(".css"):
                with open(path, encoding="utf-8", errors="replace") as f:
                    found = list(css_links(f.read()))
            else:
                continue
            base = "file://" + path
            for link in found:
                link = link.strip()
                if not link or link.startswith("#"):
                    continue
                target = urljoin(base, link)
                scheme = urlsplit(target).scheme.lower()
                if scheme in ("http", "https"):
                    links += 1
                    web += 1
                    continue
                if scheme != "file":
                    continue
                links += 1
                local = unquote(urlsplit(target).path)
                if not os.path.isfile(local):
                    broken += 1
                    if listing:
                        print("broken: %s -> %s" % (os.path.relpath(path, root), link))
    return files, pages, links, broken, web


if __name__ == "__main__":
    arguments = sys.argv[1:]
    listing = arguments[:1] == ["--list"]
    if listing:
        arguments = arguments[1:]
    if len(arguments) != 1:
        sys.exit(__doc__)
    print("files %d pages %d links %d broken %d to-the-web %d" % check(arguments[0], listing))
