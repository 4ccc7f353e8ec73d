#!/usr/bin/python3
# The asset generator's driver: reads the manifest, makes every entry into a staging folder under the
# build tree, packs the sounds, then copies into assets/ only the files whose bytes differ.
"""Makes the sample game's generated assets.

  gen.py [--out assets] [--only GLOB]...        make (only what changed) and install into --out
  gen.py --check                                regenerate in a temporary folder, compare SHA256SUMS
  gen.py --sums                                 also rewrite SHA256SUMS from what was made
  gen.py --gitignore                            also rewrite <out>/.gitignore from the manifest

The films need tools/movieenc (--movieenc, else found in build/*/tools/).

Bad input (an unknown generator, a duplicate path, a missing encoder) stops before anything is written
into --out, with one line naming the entry, and exit status 1.
"""
import argparse
import fnmatch
import hashlib
import importlib.util
import json
import multiprocessing
import os
import random
import shutil
import subprocess
import sys
import tempfile

# No __pycache__ folders in the source tree.
sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)

import audio  # noqa: E402
import crypt_puzzles  # noqa: E402
import crypt_scenes  # noqa: E402
import dev  # noqa: E402
import formats  # noqa: E402
import frontend  # noqa: E402
import gatehouse  # noqa: E402
import hint  # noqa: E402
import hint_thessalor  # noqa: E402
import hud  # noqa: E402
import images  # noqa: E402
import journal  # noqa: E402
import maps  # noqa: E402
import movies  # noqa: E402
import observatory  # noqa: E402
import puzzles  # noqa: E402
import sheets  # noqa: E402
import sounds  # noqa: E402
import story  # noqa: E402

PROG = "gen.py"
SUMS_FILE = os.path.join(HERE, "SHA256SUMS")
# The modules whose code decides the bytes of each kind of output: a change to one of them remakes
# every output of that kind.
SOURCES = {"sound": ("audio.py", "sounds.py"),
           "image": ("dev.py", "formats.py", "frontend.py", "gatehouse.py", "hint.py", "hud.py",
                     "images.py", "journal.py", "maps.py", "paint.py", "sheets.py", "story.py",
                     "observatory.py", "crypt_scenes.py", "puzzles.py", "crypt_puzzles.py", "hint_thessalor.py"),
           "description": ("formats.py", "gatehouse.py", "sheets.py", "story.py"),
           # A film also follows its encoder's code (and the codec libraries: --check tells).
           "movie": ("movies.py", "audio.py", "frontend.py", "images.py", "paint.py", "sheets.py",
                     "../movie_writer.cpp", "../movieenc.cpp")}
PACK_TOOL_PLACES = ("build/tools/tools/packbuild", "build/release/tools/packbuild",
                    "build/asan/tools/packbuild")
MOVIE_TOOL_PLACES = tuple(place.replace("packbuild", "movieenc") for place in PACK_TOOL_PLACES)
# Every picture recipe: the menu, buttons and cursors (images.py), the other front-end screens, the
# scene's HUD and tutorial prompts, the development location, the journal, the cut-scene and the
# travel map.
PICTURES = dict(images.RECIPES, **frontend.RECIPES, **hud.RECIPES, **dev.RECIPES,
                **journal.RECIPES, **story.RECIPES, **maps.RECIPES, **gatehouse.RECIPES,
                **observatory.RECIPES, **crypt_scenes.RECIPES, **puzzles.RECIPES,
                **hint.RECIPES, **crypt_puzzles.RECIPES, **hint_thessalor.RECIPES)
# Every description recipe: animation XML (text, or bytes in the packed "ZXML" form), packed
# animations (bytes, ".anm") and the lantern's mesh (bytes, ".mesh").
DESCRIPTIONS = dict(sheets.DESCRIPTIONS, **story.DESCRIPTIONS, **gatehouse.DESCRIPTIONS,
                    **gatehouse.TEXT_DESCRIPTIONS)
# Binary descriptions and the file extension each must carry.
PACKED_DESCRIPTIONS = dict(dict.fromkeys(story.DESCRIPTIONS, ".anm"), **gatehouse.EXTENSIONS)
GITIGNORE_HEADER = ("# Made by tools/assetgen (gen.py --gitignore) and not committed: "
                    "`make assets` regenerates them.\n")


class Failure(Exception):
    """Stops the run with one line of text, which names the entry concerned."""


def fail(path, text):
    raise Failure("%s: %s" % (path, text) if path else text)


def kind_of(generator):
    if generator == "pack":
        return "pack"
    if generator in sounds.RECIPES:
        return "sound"
    if generator in PICTURES:
        return "image"
    if generator in DESCRIPTIONS:
        return "description"
    if generator in movies.RECIPES:
        return "movie"
    return None


def load_manifest(path):
    spec = importlib.util.spec_from_file_location("assetgen_manifest", path)
    module = importlib.util.module_from_spec(spec)
    try:
        spec.loader.exec_module(module)
    except Exception as error:  # the manifest is input: any fault in it is reported, not raised
        fail(None, "cannot read manifest %s: %s" % (path, one_line(error)))
    entries = getattr(module, "ENTRIES", None)
    if not isinstance(entries, list):
        fail(None, "manifest %s has no ENTRIES list" % path)
    return entries


def one_line(error):
    if isinstance(error, KeyError):
        return "missing parameter %s" % error
    text = str(error).strip().replace("\n", " ") or type(error).__name__
    return text


def validate(entries):
    """Checks the whole manifest before anything is made."""
    seen = {}
    by_path = {}
    for entry in entries:
        path = getattr(entry, "path", None)
        if not isinstance(path, str) or not path:
            fail(None, "an entry has no output path: %r" % (entry,))
        parts = path.split("/")
        if ("\\" in path or path.startswith("/") or any(p in ("", ".", "..") for p in parts)
                or len(path.encode("utf-8")) > 255 or path == ".gitignore"):
            fail(path, "bad output path")
        # The engine looks names up in lower case: two paths differing in case are one file.
        folded = path.lower()
        if folded in seen:
            fail(path, "duplicate output path (also %s)" % seen[folded])
        seen[folded] = path
        by_path[path] = entry
        kind = kind_of(entry.generator)
        if kind is None:
            fail(path, "unknown generator \"%s\"" % entry.generator)
        extension = os.path.splitext(path)[1].lower()
        if kind == "image" and extension not in formats.WRITERS:
            fail(path, "no image writer for \"%s\"" % extension)
        if kind == "description" and entry.generator in PACKED_DESCRIPTIONS:
            if extension != PACKED_DESCRIPTIONS[entry.generator]:
                fail(path, "a packed description is an %s file"
                     % PACKED_DESCRIPTIONS[entry.generator])
        elif kind == "description" and extension not in (".xml", ".txt"):
            fail(path, "a description is an .xml or a .txt file")
        if kind == "movie" and (extension != ".ogv" or entry.pack is not None):
            fail(path, "a film is an .ogv file outside the packs")
        if kind == "sound":
            p = entry.params
            if extension != ".ogg" or entry.pack is None:
                fail(path, "a sound is an .ogg inside a pack")
            if p.get("channels") not in (1, 2) or not isinstance(p.get("rate"), int) \
                    or not p.get("seconds", 0) > 0 or not isinstance(p.get("number"), int):
                fail(path, "a sound needs channels 1 or 2, an integer rate and number, seconds > 0")
    for entry in entries:
        if entry.pack is not None:
            pack = by_path.get(entry.pack)
            if pack is None or pack.generator != "pack":
                fail(entry.path, "pack \"%s\" is not a pack entry of the manifest" % entry.pack)
            if kind_of(entry.generator) == "pack":
                fail(entry.path, "a pack cannot lie inside a pack")
    return by_path


def select(entries, globs):
    """The outputs to install and the entries to make for them. A member selected brings its pack;
    a pack needs all its members."""
    if globs:
        chosen = [e for e in entries if any(fnmatch.fnmatchcase(e.path, g) for g in globs)]
        if not chosen:
            fail(None, "--only %s: no entry matches" % " ".join(globs))
    else:
        chosen = list(entries)
    packs = {e.pack for e in chosen if e.pack} | {e.path for e in chosen if e.generator == "pack"}
    outputs = [e for e in entries if e.pack is None and (e in chosen or e.path in packs)]
    made = [e for e in entries
            if e.generator != "pack" and ((e.pack is None and e in chosen) or e.pack in packs)]
    return outputs, made


def file_digest(path):
    digest = hashlib.sha256()
    with open(path, "rb") as source:
        for block in iter(lambda: source.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def sources_digests():
    digests = {}
    for kind, names in SOURCES.items():
        digest = hashlib.sha256()
        for name in names:
            with open(os.path.join(HERE, name), "rb") as source:
                digest.update(name.encode() + b"\0" + source.read())
        digests[kind] = digest.hexdigest()
    return digests


def entry_key(entry, sources):
    description = json.dumps([entry.path, entry.generator, entry.pack, entry.seed, entry.params],
                             sort_keys=True)
    code = sources[kind_of(entry.generator)]
    return hashlib.sha256((description + code).encode("utf-8")).hexdigest()


class Stage:
    """The staging folder: made files, the packs' source folders, keys of what each file was made
    from, and scratch space."""

    def __init__(self, root):
        self.root = root

    def file(self, entry):
        if entry.pack:
            return os.path.join(self.root, "packs", entry.pack, entry.path)
        return os.path.join(self.root, "files", entry.path)

    def pack_folder(self, pack_path):
        return os.path.join(self.root, "packs", pack_path)

    def key_file(self, path):
        return os.path.join(self.root, "keys", path + ".key")

    def scratch(self, path, suffix):
        return os.path.join(self.root, "tmp", path + suffix)

    def read_key(self, path):
        try:
            with open(self.key_file(path), "r", encoding="ascii") as source:
                return source.read().strip()
        except OSError:
            return None

    def write_key(self, path, key):
        write_atomic(self.key_file(path), (key + "\n").encode("ascii"))


def write_atomic(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    temporary = path + ".part"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def make_one(job):
    """Makes one entry into its staged file (in a worker process). Returns (path, error or None)."""
    path, generator, params, seed, target, scratch, encoder, movieenc = job
    try:
        os.makedirs(os.path.dirname(target), exist_ok=True)
        os.makedirs(os.path.dirname(scratch), exist_ok=True)
        rng = random.Random(seed)
        temporary = scratch + ".out"
        if kind_of(generator) == "image":
            picture = PICTURES[generator](params, rng)
            formats.WRITERS[os.path.splitext(path)[1].lower()](picture, temporary)
        elif kind_of(generator) == "description":
            sheets.write_text(DESCRIPTIONS[generator](params, rng), temporary)
        elif kind_of(generator) == "movie":
            error = movies.make(generator, params, seed, temporary, scratch, movieenc)
            if error:
                return path, error
        else:
            channels = sounds.RECIPES[generator](params, rng)
            n = audio.frames(params["seconds"], params["rate"])
            if len(channels) != params["channels"]:
                channels = [channels[0]] * params["channels"]
            if any(len(c) != n for c in channels):
                return path, "%s made %d samples, not %d" % (generator, len(channels[0]), n)
            top = max(max(abs(v) for v in c) for c in channels) or 1.0
            gain = params.get("peak", 0.7) / top
            channels = [audio.scale(c, gain) for c in channels]
            if not params.get("loop"):
                channels = [audio.fade_edges(c, params["rate"]) for c in channels]
            wav = scratch + ".wav"
            audio.write_wav(wav, channels, params["rate"])
            error = audio.encode_ogg(encoder, wav, temporary, params["quality"], params["number"])
            os.remove(wav)
            if error:
                return path, error
        os.replace(temporary, target)
        return path, None
    except Exception as error:
        return path, "%s failed: %s" % (generator, one_line(error))


def find_pack_tool(given, places=PACK_TOOL_PLACES, name="packbuild"):
    if given:
        return given if os.access(given, os.X_OK) else None
    for place in places:
        candidate = os.path.join(ROOT, place)
        if os.access(candidate, os.X_OK):
            return candidate
    return shutil.which(name)


def read_sums():
    sums = {}
    try:
        with open(SUMS_FILE, "r", encoding="utf-8") as source:
            for line in source:
                digest, _, path = line.rstrip("\n").partition("  ")
                if path:
                    sums[path] = digest
    except OSError:
        pass
    return sums


def sums_text(sums):
    return "".join("%s  %s\n" % (sums[p], p) for p in sorted(sums))


def gitignore_text(entries):
    return GITIGNORE_HEADER + "".join("/%s\n" % e.path for e in
                                      sorted(entries, key=lambda e: e.path) if e.pack is None)


def sound_list_text(entries):
    """One line per sound for the tests: path, name, channels, rate, seconds, loop flag."""
    lines = []
    for e in sorted((e for e in entries if kind_of(e.generator) == "sound"),
                    key=lambda e: e.params["number"]):
        p = e.params
        lines.append("%s %s %d %d %.6f %d\n" % (e.path, p["name"], p["channels"], p["rate"],
                                                 p["seconds"], 1 if p.get("loop") else 0))
    return "".join(lines)


def run(args):
    entries = load_manifest(args.manifest)
    validate(entries)
    if args.list_sounds:
        write_atomic(os.path.abspath(args.list_sounds), sound_list_text(entries).encode("utf-8"))
        return 0
    outputs, made = select(entries, args.only)

    encoder = None
    first_sound = next((e for e in made if kind_of(e.generator) == "sound"), None)
    if first_sound is not None:
        encoder = shutil.which(args.oggenc)
        if encoder is None:
            fail(first_sound.path, "encoder \"%s\" not found (Debian package vorbis-tools)"
                 % args.oggenc)
    movieenc = None
    first_movie = next((e for e in made if kind_of(e.generator) == "movie"), None)
    if first_movie is not None:
        movieenc = find_pack_tool(args.movieenc, MOVIE_TOOL_PLACES, "movieenc")
        if movieenc is None:
            fail(first_movie.path, "film encoder not found (%s; build the movieenc target)"
                 % (args.movieenc or "looked in build/*/tools/ and PATH"))
    encoder = (encoder, movieenc)
    pack_entries = [e for e in outputs if e.generator == "pack"]
    pack_tool = None
    if pack_entries:
        pack_tool = find_pack_tool(args.packbuild)
        if pack_tool is None:
            fail(pack_entries[0].path, "pack tool not found (%s; build the packbuild target)"
                 % (args.packbuild or "looked in build/*/tools/ and PATH"))

    temporary = tempfile.mkdtemp(prefix="assetgen-") if args.check else None
    try:
        stage = Stage(os.path.join(temporary, "stage") if args.check else os.path.abspath(args.stage))
        return build_and_install(args, entries, outputs, made, stage, encoder, pack_tool)
    finally:
        if temporary:
            shutil.rmtree(temporary, ignore_errors=True)


def build_and_install(args, entries, outputs, made, stage, encoder, pack_tool):
    sources = sources_digests()
    keys = {e.path: entry_key(e, sources) for e in made}
    stale = [e for e in made
             if stage.read_key(e.path) != keys[e.path] or not os.path.exists(stage.file(e))]
    jobs = [(e.path, e.generator, e.params, e.seed, stage.file(e), stage.scratch(e.path, ""))
            + encoder for e in stale]
    errors = []
    if jobs:
        workers = max(1, min(args.jobs, len(jobs)))
        if workers == 1:
            results = [make_one(job) for job in jobs]
        else:
            # Longest first: the music dominates, and should not start last.
            jobs.sort(key=lambda j: -j[2].get("seconds", 0) * j[2].get("rate", 1))
            with multiprocessing.get_context("fork").Pool(workers) as pool:
                results = pool.map(make_one, jobs, chunksize=1)
        for path, error in sorted(results):
            if error:
                errors.append("%s: %s" % (path, error))
            else:
                stage.write_key(path, keys[path])
    if errors:
        raise Failure("\n".join(errors))

    for pack in (e for e in outputs if e.generator == "pack"):
        make_pack(pack, [e for e in entries if e.pack == pack.path], keys, stage, pack_tool)

    if args.check:
        return check(args, entries, outputs, stage)

    changed = 0
    for entry in outputs:
        changed += install(stage.file(entry), os.path.join(args.out, entry.path))
    if args.sums:
        sums = read_sums() if args.only else {}
        known = {e.path for e in entries}
        sums = {p: d for p, d in sums.items() if p in known}
        for entry in outputs:
            sums[entry.path] = file_digest(stage.file(entry))
        if install_bytes(SUMS_FILE, sums_text(sums).encode("utf-8")):
            print("%s: %s rewritten" % (PROG, SUMS_FILE))
    if args.gitignore:
        ignore = os.path.join(args.out, ".gitignore")
        if install_bytes(ignore, gitignore_text(entries).encode("utf-8")):
            print("%s: %s rewritten" % (PROG, ignore))
    print("%s: %d made, %d of %d files updated in %s" % (PROG, len(stale), changed,
                                                          len(outputs), args.out))
    return 0


def make_pack(pack, members, keys, stage, pack_tool):
    folder = stage.pack_folder(pack.path)
    wanted = {os.path.normpath(stage.file(m)) for m in members}
    # Only the members may lie in the folder: everything below it lands in the pack.
    for base, _, names in os.walk(folder):
        for name in names:
            if os.path.normpath(os.path.join(base, name)) not in wanted:
                os.remove(os.path.join(base, name))
    digest = hashlib.sha256(file_digest(pack_tool).encode())
    for member in sorted(members, key=lambda m: m.path):
        digest.update(("%s %s\n" % (member.path, keys[member.path])).encode())
    key = digest.hexdigest()
    target = stage.file(pack)
    if stage.read_key(pack.path) == key and os.path.exists(target):
        return
    os.makedirs(os.path.dirname(target), exist_ok=True)
    done = subprocess.run([pack_tool, folder, target], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
    if done.returncode != 0:
        text = done.stderr.decode("utf-8", "replace").strip().splitlines()
        fail(pack.path, "%s failed%s" % (pack_tool, ": " + text[-1] if text else ""))
    stage.write_key(pack.path, key)


def install(source, target):
    """Copies `source` over `target` when their bytes differ (through a temporary name), so that an
    unchanged file keeps its time stamp. Returns 1 when it copied."""
    with open(source, "rb") as made:
        return install_bytes(target, made.read())


def install_bytes(target, data):
    try:
        with open(target, "rb") as existing:
            if existing.read() == data:
                return 0
    except OSError:
        pass
    write_atomic(target, data)
    return 1


def check(args, entries, outputs, stage):
    sums = read_sums()
    problems = []
    for entry in outputs:
        digest = file_digest(stage.file(entry))
        if entry.path not in sums:
            problems.append("%s: not listed in SHA256SUMS" % entry.path)
        elif sums[entry.path] != digest:
            problems.append("%s: differs from SHA256SUMS (made %s)" % (entry.path, digest[:16]))
    if not args.only:
        known = {e.path for e in outputs}
        problems += ["%s: listed in SHA256SUMS but not made" % p for p in sorted(sums)
                     if p not in known]
        try:
            with open(os.path.join(args.out, ".gitignore"), "r", encoding="utf-8") as source:
                ignore = source.read()
        except OSError:
            ignore = None
        if ignore != gitignore_text(entries):
            problems.append("%s/.gitignore: out of date (gen.py --gitignore rewrites it)"
                            % args.out)
    for problem in problems:
        print("%s: check: %s" % (PROG, problem), file=sys.stderr)
    if problems:
        return 1
    print("%s: check: %d files match SHA256SUMS" % (PROG, len(outputs)))
    return 0


def parse(argv):
    parser = argparse.ArgumentParser(prog=PROG, description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.join(ROOT, "assets"),
                        help="the asset folder to install into (default: the repository's assets/)")
    parser.add_argument("--only", action="append", default=[], metavar="GLOB",
                        help="make only the entries whose path matches (repeatable)")
    parser.add_argument("--check", action="store_true",
                        help="regenerate into a temporary folder and compare with SHA256SUMS")
    parser.add_argument("--sums", action="store_true", help="rewrite SHA256SUMS")
    parser.add_argument("--gitignore", action="store_true", help="rewrite <out>/.gitignore")
    parser.add_argument("--stage", default=os.path.join(ROOT, "build", "assetgen"),
                        help="the staging folder (default: build/assetgen)")
    parser.add_argument("--packbuild", help="the pack tool (default: found in build/*/tools/)")
    parser.add_argument("--oggenc", default="oggenc", help="the Vorbis encoder")
    parser.add_argument("--movieenc", help="the film encoder (default: found in build/*/tools/)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--manifest", default=os.path.join(HERE, "manifest.py"))
    parser.add_argument("--list-sounds", metavar="FILE",
                        help="write one line per sound (path name channels rate seconds loop)")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse(sys.argv[1:] if argv is None else argv)
    args.out = os.path.abspath(args.out)
    try:
        return run(args)
    except Failure as failure:
        for line in str(failure).splitlines():
            print("%s: %s" % (PROG, line), file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
