#!/usr/bin/env python3
"""Writes a deterministic test site for crawl benchmarks.

usage: generate_site.py OUTPUT_DIR PAGES [--seed N] [--images]

The site has nested folders, pages of 4-20 KB with relative, root-relative,
query and fragment links, images of 2-50 KB (a few of 1-5 MB) and some links
that answer 404. Every page is reachable from /index.html. A manifest of the
files a copier should save (pages and images reachable through followable
links) is written to OUTPUT_DIR/../manifest.txt.

With --images the site is image-heavy: as many images (2-60 KB) as pages, about
half the files. Each page shows its own image and up to two shared ones, so
every image is reachable and a shared one is met from several pages.
"""
import argparse
import os
import random

WORDS = ("harvest site mirror folder anchor page image table layer frame link "
         "river stone cloud paper light north south garden field window").split()


def page_path(i, sections):
    sec = i % sections
    sub = (i // sections) % 4
    return f"sec{sec}/sub{sub}/page{i}.html"


def relative(from_path, to_path):
    from_dir = os.path.dirname(from_path)
    return os.path.relpath(to_path, from_dir or ".")


def filler(rng, size):
    out = []
    total = 0
    while total < size:
        sentence = " ".join(rng.choice(WORDS) for _ in range(12)) + ".\n"
        out.append("<p>" + sentence + "</p>\n")
        total += len(sentence) + 9
    return "".join(out)


def write(root, rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(path, mode) as f:
        f.write(data)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("pages", type=int)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--images", action="store_true", help="as many images as pages")
    args = ap.parse_args()
    if args.images:
        image_heavy(args.out, args.pages, random.Random(args.seed))
        return
    rng = random.Random(args.seed)
    n = args.pages
    sections = max(1, n // 50)
    root = args.out
    os.makedirs(root, exist_ok=True)

    images = []
    n_images = max(4, n // 2)
    for k in range(n_images):
        ext = "gif" if k % 3 == 0 else "jpg"
        rel = f"img/set{k % 10}/pic{k}.{ext}"
        big = k % 97 == 5
        size = rng.randint(1 << 20, 5 << 20) if big else rng.randint(2048, 50 * 1024)
        write(root, rel, rng.randbytes(size))
        images.append(rel)

    images_used = set()
    pages = [page_path(i, sections) for i in range(n)]
    for i, rel in enumerate(pages):
        links = []
        # A chain keeps every page reachable.
        if i + 1 < n:
            links.append(relative(rel, pages[i + 1]))
        for _ in range(6):
            j = rng.randrange(n)
            target = pages[j]
            if rng.random() < 0.5:
                links.append("/" + target)
            else:
                links.append(relative(rel, target))
        links.append(relative(rel, pages[rng.randrange(n)]) + "#part2")
        links.append(relative(rel, pages[rng.randrange(n)]) + "?view=print")
        if i % 7 == 3:
            links.append(f"/missing/nothing{i}.html")
        imgs = [images[rng.randrange(len(images))] for _ in range(rng.randint(1, 3))]
        images_used.update(imgs)
        body = [f"<html><head><title>Page {i}</title></head>\n<body bgcolor=\"#ffffff\">\n"]
        for link in links:
            body.append(f'<a href="{link}">{rng.choice(WORDS)}</a>\n')
        for img in imgs:
            body.append(f'<img src="/{img}" alt="">\n')
        target_size = rng.randint(4096, 20480)
        text = "".join(body)
        text += filler(rng, max(0, target_size - len(text) - 20)) + "</body></html>\n"
        write(root, rel, text)

    index = ["<html><body><h1>Bench site</h1>\n"]
    for s in range(min(sections, n)):
        index.append(f'<a href="{pages[s]}">section {s}</a>\n')
    index.append("</body></html>\n")
    write(root, "index.html", "".join(index))

    manifest = sorted(["index.html"] + pages + sorted(images_used))
    with open(os.path.join(os.path.dirname(os.path.abspath(root)), "manifest.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")


def page_links(rng, rel, i, pages):
    n = len(pages)
    links = []
    if i + 1 < n:
        links.append(relative(rel, pages[i + 1]))
    for _ in range(3):
        target = pages[rng.randrange(n)]
        links.append("/" + target if rng.random() < 0.5 else relative(rel, target))
    return links


def image_heavy(root, n, rng):
    os.makedirs(root, exist_ok=True)
    sections = max(1, n // 50)
    images = []
    for k in range(n):
        ext = ("gif", "jpg", "jpeg")[k % 3]
        rel = f"img/set{k % 50}/pic{k}.{ext}"
        write(root, rel, rng.randbytes(rng.randint(2048, 60 * 1024)))
        images.append(rel)
    # A small pool of images many pages share (logos, buttons).
    shared = images[: max(1, n // 100)]

    pages = [page_path(i, sections) for i in range(n)]
    for i, rel in enumerate(pages):
        links = page_links(rng, rel, i, pages)
        if i % 11 == 7:
            links.append(f"/missing/nothing{i}.html")
        imgs = [images[i]]
        for _ in range(rng.randint(0, 2)):
            pool = shared if rng.random() < 0.5 else images
            imgs.append(pool[rng.randrange(len(pool))])
        body = [f"<html><head><title>Page {i}</title></head>\n<body>\n"]
        for link in links:
            body.append(f'<a href="{link}">{rng.choice(WORDS)}</a>\n')
        for img in imgs:
            src = "/" + img if rng.random() < 0.5 else relative(rel, img)
            body.append(f'<img src="{src}" alt="">\n')
        target_size = rng.randint(2048, 12288)
        text = "".join(body)
        text += filler(rng, max(0, target_size - len(text) - 20)) + "</body></html>\n"
        write(root, rel, text)

    index = ["<html><body><h1>Image site</h1>\n"]
    for s in range(min(sections, n)):
        index.append(f'<a href="{pages[s]}">section {s}</a>\n')
    index.append("</body></html>\n")
    write(root, "index.html", "".join(index))

    manifest = sorted(["index.html"] + pages + images)
    with open(os.path.join(os.path.dirname(os.path.abspath(root)), "manifest.txt"), "w") as f:
        f.write("\n".join(manifest) + "\n")


if __name__ == "__main__":
    main()
