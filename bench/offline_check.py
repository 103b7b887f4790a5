"""Offline check of a copied site: what its pages need that the copy lacks.

Used by bench/real_sites (--offline); runs in its process, on its thread.

For every page of the copy (a file ending in .html or .htm) the check
collects the resources a browser loads to show it: img src, the candidates
of srcset (img, source) and imagesrcset (link), link rel=stylesheet href,
script src, object data, video poster, and url() and @import in <style>
blocks and style attributes; style sheets are read for url() and @import in
turn, through every imported sheet. Each value is resolved the way a browser
resolves it when the page is opened from disk: against the page's file://
URL (or the page's <base href>), a sheet's values against the sheet's own
URL. The rule for whether the resource is there:
- a file: URL counts when its path, percent-decoded, with query and
  fragment dropped, names a regular file inside the copy's folder; a folder
  never counts, even when it holds index.html, because a browser shows a
  file: folder as a listing and never opens its index.html;
- an http(s) URL of the served site counts as missing (the copy still needs
  the server); one of another host is counted apart as external;
- data:, blob:, javascript: and about: values and fragment-only values
  ("#x") load nothing from disk and are skipped.
"""
import collections
import html.parser
import os
import re
import urllib.parse
import urllib.request

SKIPPED_SCHEMES = ("data", "blob", "javascript", "about")
CSS_COMMENT = re.compile(r"/\*.*?\*/", re.S)
CSS_IMPORT = re.compile(r"""@import\s+(?:url\(\s*)?(?:"([^"]*)"|'([^']*)'|([^\s;)'"]+))""",
                        re.I)
CSS_URL = re.compile(r"""url\(\s*(?:"([^"]*)"|'([^']*)'|([^)'"]*?))\s*\)""", re.I)


def srcset_candidates(value):
    """The URLs of a srcset value: each candidate's URL up to white space,
    trailing commas dropped, descriptors (which may hold commas inside
    parentheses) skipped up to the next comma."""
    urls, i, n = [], 0, len(value)
    while i < n:
        while i < n and (value[i].isspace() or value[i] == ","):
            i += 1
        start = i
        while i < n and not value[i].isspace():
            i += 1
        url = value[start:i]
        if url.endswith(","):
            url = url.rstrip(",")
        else:
            depth = 0
            while i < n and (depth or value[i] != ","):
                depth += {"(": 1, ")": -1}.get(value[i], 0)
                i += 1
        if url:
            urls.append(url)
    return urls


def css_references(text):
    """(imports, other url() values) of a style sheet's text, as written."""
    text = CSS_COMMENT.sub("", text)
    imports = [next(g for g in m.groups() if g is not None) for m in CSS_IMPORT.finditer(text)]
    urls = [next(g for g in m.groups() if g is not None) for m in CSS_URL.finditer(text)]
    # An "@import url(x)" also matches url(): keep each value in one list.
    remaining = collections.Counter(urls)
    remaining.subtract(collections.Counter(imports))
    return imports, [u for u in remaining.elements()]


class PageResources(html.parser.HTMLParser):
    """What one page loads: (kind, value) pairs, kind "css" for inline style."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.base = None
        self.found = []
        self.in_style = False

    def handle_starttag(self, tag, attrs):
        a = {name: value for name, value in attrs if value is not None}
        if tag == "base" and "href" in a and self.base is None:
            self.base = a["href"]
        if tag in ("a", "area") and a.get("href"):
            self.found.append(("link", a["href"]))
        if "style" in a:
            self.found.append(("css", a["style"]))
        if tag == "style":
            self.in_style = True
        plain = {"img": "src", "script": "src", "object": "data", "video": "poster"}
        if tag in plain and a.get(plain[tag]):
            self.found.append(("file", a[plain[tag]]))
        if tag in ("img", "source") and "srcset" in a:
            self.found += [("file", u) for u in srcset_candidates(a["srcset"])]
        if tag == "link":
            if "imagesrcset" in a:
                self.found += [("file", u) for u in srcset_candidates(a["imagesrcset"])]
            if "stylesheet" in a.get("rel", "").lower().split() and a.get("href"):
                self.found.append(("sheet", a["href"]))

    def handle_endtag(self, tag):
        if tag == "style":
            self.in_style = False

    def handle_data(self, data):
        if self.in_style:
            self.found.append(("css", data))


def read_text(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def file_url(path):
    return "file://" + urllib.request.pathname2url(os.path.abspath(path))


class OfflineCheck:
    """Missing resources of one copy; `site` is the served site's scheme://host:port."""

    def __init__(self, folder, site):
        self.folder = os.path.abspath(folder)
        self.site = site
        self.missing = collections.Counter()   # resolved URL -> references
        self.links_out = set()                 # page links that leave the copy
        self.external = set()
        self.sheets_read = set()

    def check(self):
        for parent, _, names in os.walk(self.folder):
            for name in names:
                if name.lower().endswith((".html", ".htm")):
                    self.check_page(os.path.join(parent, name))
        return self

    def check_page(self, path):
        parser = PageResources()
        try:
            parser.feed(read_text(path))
        except Exception:  # a page html.parser cannot read loads nothing here
            return
        base = file_url(path)
        if parser.base:
            base = urllib.parse.urljoin(base, parser.base.strip())
        for kind, value in parser.found:
            if kind == "css":
                self.check_css(value, base)
            elif kind == "link":
                self.check_link(value, base)
            else:
                self.check_value(value, base, kind == "sheet")

    def check_css(self, text, base):
        imports, urls = css_references(text)
        for value in imports:
            self.check_value(value, base, True)
        for value in urls:
            self.check_value(value, base, False)

    def resolve(self, value, base, resource=True):
        """(URL without query and fragment, file of the copy or None), or None
        for a value that loads nothing from disk or from the served site."""
        value = value.strip()
        if not value or value.startswith("#"):
            return None
        url = urllib.parse.urljoin(base, value)
        parts = urllib.parse.urlsplit(url)
        if parts.scheme in SKIPPED_SCHEMES or parts.scheme == "mailto":
            return None
        if parts.scheme != "file":
            if f"{parts.scheme}://{parts.netloc}" == self.site:
                return urllib.parse.urlunsplit(parts._replace(fragment="")), None
            if resource:
                self.external.add(url)
            return None
        # The name as the browser asks for it; a link inside the copy may
        # still point anywhere, and the file it reaches counts.
        local = os.path.normpath(urllib.parse.unquote(parts.path))
        found = local.startswith(self.folder + os.sep) and os.path.isfile(local)
        return urllib.parse.urlunsplit(parts._replace(query="", fragment="")), \
            local if found else None

    def check_link(self, value, base):
        resolved = self.resolve(value, base, resource=False)
        if resolved is not None and resolved[1] is None:
            self.links_out.add(resolved[0])

    def check_value(self, value, base, sheet):
        resolved = self.resolve(value, base)
        if resolved is None:
            return
        url, local = resolved
        if local is None:
            self.missing[url] += 1
            return
        if sheet and local not in self.sheets_read:
            self.sheets_read.add(local)
            self.check_css(read_text(local), file_url(local))
