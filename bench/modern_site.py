"""A small generated site written the way current sites are, for offline copies.

Used by bench/real_sites (site "modern"); runs in its process, on its thread.

`write(folder, base)` fills `folder` with a few dozen files that hold every
kind of reference a page or style sheet makes today: folder URLs
("guide/"), pages without extension (served as text/html, see
`DEFAULT_TYPE`), the candidates of img srcset, <picture><source srcset> and
<link imagesrcset>, style sheets with @import (as a string and as url())
and url() (quoted, unquoted, relative to the sheet, root-relative, absolute
to the site), <object data>, <video poster>, <style> blocks and style
attributes, links written as absolute addresses of the site (`base` + path,
and root-relative) and a style sheet asked for with a query (site.css?v=2).
Absolute links name `base`, so the site is written for the port that serves
it. The same arguments always give the same bytes.
"""
import os
import zlib

# What the server answers for a file without extension: the pages.
DEFAULT_TYPE = "text/html"
START = "index.html"


def png(seed):
    """A valid 1x1 PNG whose colour depends on `seed`."""
    def chunk(kind, data):
        body = kind + data
        return len(data).to_bytes(4, "big") + body + zlib.crc32(body).to_bytes(4, "big")
    pixel = bytes([0, seed % 256, (seed * 7) % 256, (seed * 13) % 256])
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", bytes([0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0]))
            + chunk(b"IDAT", zlib.compress(pixel)) + chunk(b"IEND", b""))


SVG = ('<svg xmlns="http://www.w3.org/2000/svg" width="120" height="40">'
       '<rect width="120" height="40" fill="#8a5"/></svg>\n')


def page(title, body, head=""):
    return (f'<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">\n'
            f'<title>{title}</title>\n'
            f'<link rel="stylesheet" href="/css/site.css?v=2">\n{head}</head>\n'
            f'<body>\n<h1>{title}</h1>\n{body}</body></html>\n')


def texts(base):
    """Site path -> text of every page and style sheet."""
    files = {}
    files["index.html"] = page("Kestrel field notes", f"""\
<nav><a href="guide/">Guide</a> | <a href="about">About</a> | <a href="/news/">News</a>
| <a href="{base}/blog/first-flight">First flight</a> | <a href="/archive.html">Archive</a>
| <a href="{base}/archive.html#2025">2025</a></nav>
<img src="img/logo.png" srcset="img/logo-2x.png 2x, img/logo-3x.png 3x" alt="logo">
<picture>
  <source media="(min-width: 800px)" srcset="img/wide-800.png 800w, img/wide-1600.png 1600w"
          sizes="100vw">
  <img src="img/narrow.png" alt="hovering kestrel">
</picture>
<object data="figures/wingspan.svg" type="image/svg+xml">wingspan</object>
<video controls poster="media/poster.png"></video>
<div style="background: url('img/inline-quoted.png') no-repeat">styled</div>
<p style="background-image:url(/img/inline-root.png)">styled too</p>
""", head="""\
<link rel="preload" as="image" imagesrcset="img/hero-480.png 480w, img/hero-960.png 960w"
      imagesizes="50vw">
<style>
@import url("css/print.css") print;
header { background: url(img/style-block.png); }
</style>
""")
    files["archive.html"] = page("Archive", f"""\
<p id="2025"><a href="/">Home</a> <a href="{base}/guide/">Guide</a>
<a href="blog/second-flight">Second flight</a></p>
<img src="{base}/img/archive.png" alt="archive">
""")
    files["about"] = page("About", """\
<p><a href="./">Home</a> <a href="guide/install#first">Install</a></p>
<img src="/img/about.png" srcset="/img/about-2x.png 2x" alt="about">
""")
    files["guide/index.html"] = page("Guide", f"""\
<ul><li><a href="install">Install</a></li><li><a href="usage">Usage</a></li>
<li><a href="advanced/">Advanced</a></li><li><a href="../">Home</a></li>
<li><a href="{base}/about">About</a></li></ul>
<img src="shots/overview.png" alt="overview">
""", head='<link rel="stylesheet" href="guide.css">\n')
    files["guide/install"] = page("Install", """\
<p id="first"><a href="usage">Next</a> <a href="./">Guide</a> <a href="/">Home</a></p>
<picture><source srcset="shots/install.png 1x, shots/install-2x.png 2x">
<img src="shots/install.png" alt="install"></picture>
""")
    files["guide/usage"] = page("Usage", """\
<p><a href="install#first">Back</a> <a href="advanced/">Advanced</a></p>
<object data="/figures/flow.svg" type="image/svg+xml">flow</object>
<div style='background-image: url("../img/usage-bg.png")'>usage</div>
""")
    files["guide/advanced/index.html"] = page("Advanced", f"""\
<p><a href="../">Guide</a> <a href="../../about">About</a> <a href="{base}/">Home</a></p>
<video poster="../../media/advanced-poster.png"></video>
<style>.note {{ background: url('{base}/img/note.png'); }}</style>
""")
    files["guide/guide.css"] = """\
@import "/css/base.css";
.shot { border-image: url(shots/border.png) 4; }
"""
    files["news/index.html"] = page("News", f"""\
<p><a href="../">Home</a> <a href="/blog/first-flight">First flight</a>
<a href="{base}/blog/second-flight">Second flight</a></p>
<img src="{base}/img/news.png" srcset="{base}/img/news-2x.png 2x" alt="news">
""")
    for number, name in enumerate(("first-flight", "second-flight")):
        files[f"blog/{name}"] = page(name.replace("-", " ").capitalize(), f"""\
<p><a href="/news/">News</a> <a href="../about">About</a> <a href="/">Home</a></p>
<img src="photos/{name}.png" srcset="photos/{name}-640.png 640w, photos/{name}-1280.png 1280w"
     sizes="(max-width: 700px) 100vw, 700px" alt="{name}">
<section style="background:url(../img/blog-{number}.png)">photo</section>
""")
    files["css/site.css"] = f"""\
@import "base.css";
@import url(theme/colours.css);
@import url('{base}/css/fonts.css');
body {{ background: url(../img/paper.png); }}
header {{ background-image: url("/img/header.png"); }}
footer {{ background-image: url('{base}/img/footer.png'); }}
.logo {{ background: url(  logo-sprite.png  ) no-repeat; }}
/* a commented url(../img/never.png) loads nothing */
"""
    files["css/base.css"] = "h1 { background: url(\"../img/rule.png\") repeat-x bottom; }\n"
    files["css/theme/colours.css"] = """\
@import '/css/theme/dark.css';
a { background: url(../../img/link-mark.png) no-repeat right; }
"""
    files["css/theme/dark.css"] = "body.dark { background: url('dark-paper.png'); }\n"
    files["css/fonts.css"] = ".title { background: url(/img/fonts-title.png); }\n"
    files["css/print.css"] = "@media print { body { background: url(print-mark.png); } }\n"
    return files


IMAGES = (
    "img/logo.png", "img/logo-2x.png", "img/logo-3x.png", "img/wide-800.png",
    "img/wide-1600.png", "img/narrow.png", "img/inline-quoted.png", "img/inline-root.png",
    "img/hero-480.png", "img/hero-960.png", "img/style-block.png", "img/archive.png",
    "img/about.png", "img/about-2x.png", "guide/shots/overview.png", "guide/shots/install.png",
    "guide/shots/install-2x.png", "guide/shots/border.png", "img/usage-bg.png",
    "media/poster.png", "media/advanced-poster.png", "img/note.png", "img/news.png",
    "img/news-2x.png", "blog/photos/first-flight.png", "blog/photos/first-flight-640.png",
    "blog/photos/first-flight-1280.png", "blog/photos/second-flight.png",
    "blog/photos/second-flight-640.png", "blog/photos/second-flight-1280.png",
    "img/blog-0.png", "img/blog-1.png", "img/paper.png", "img/header.png", "img/footer.png",
    "css/logo-sprite.png", "img/rule.png", "img/link-mark.png", "css/theme/dark-paper.png",
    "img/fonts-title.png", "css/print-mark.png",
)
FIGURES = ("figures/wingspan.svg", "figures/flow.svg")


def write(folder, base):
    """Writes the site below `folder` (made anew) for links to `base`."""
    files = {path: text.encode() for path, text in texts(base).items()}
    files.update({path: png(number) for number, path in enumerate(IMAGES)})
    files.update({path: SVG.encode() for path in FIGURES})
    for path, data in sorted(files.items()):
        target = os.path.join(folder, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(data)
    return folder
