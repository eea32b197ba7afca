#!/usr/bin/env python3
"""dmctl against a fresh store: the --json output of a run of commands has
the documented shape, and a wrong command line exits with status 2; on the
production store, `store simulate` is refused and the rest works; what
`store export` writes only its owner can read, and it replaces nothing
without --force; a relative home folder is refused and `store check` says
why.

    dmctl_test.py <dmctl> <development store library> <production store library>
"""
import json
import os
import stat
import subprocess
import sys
import tempfile

DMCTL, STORE, PRODUCTION = sys.argv[1], sys.argv[2], sys.argv[3]

# In order, on one store: a command line, its standard input, and what its
# output must satisfy.  Every one must exit with status 0.
STEPS = [
    ("profile add web example.com alice", "s3cret\n", lambda o: o == {"written": True}),
    ("profile list web example.com", "",
     lambda o: o["count"] == 1 and o["profiles"] == [
         {"user": "alice", "text3101": "", "text105": "", "otp_mode": None}]),
    ("profile domains web", "", lambda o: o == {"count": 1, "domains": ["example.com"]}),
    ("settings set touch fus=1 ttl=30", "", lambda o: o["written"] is True),
    ("settings get touch", "",
     lambda o: o["application"] == "touch" and o["fus"] == 1 and o["ttl"] == 30
     and {"ql", "nav"} <= o.keys()),
    ("settings set app wlo=0", "", lambda o: o["written"] is True),
    ("settings get app", "", lambda o: o == {"application": "app", "wlo": 0}),
    ("hotkey set 2 -5 7 on", "", lambda o: o["written"] is True),
    ("hotkey get 2", "", lambda o: o == {"slot": 2, "first": -5, "second": 7, "state": True}),
    (["vcard", "set", "--nickname", 'Al "\\\t\u00e9', "--email", "al@example.com"], "",
     lambda o: o["written"] is True),
    (["vcard", "set", "--email", ""], "", lambda o: o["written"] is True),
    ("vcard get", "",
     lambda o: o["nickname"] == 'Al "\\\t\u00e9' and o["email"] == "" and len(o) == 7),
    ("store simulate enrollments 3", "", lambda o: o == {"enrollments": 3}),
    ("bio enrolled", "", lambda o: o == {"enrolled": True}),
    ("store simulate vip --cid CID-7", "", lambda o: o == {"credential_id": "CID-7"}),
    ("vip cid", "", lambda o: o == {"credential_id": "CID-7"}),
    ("ql add left-index web https://news.example.org/", "", lambda o: o == {"stored": True}),
    ("ql list left-index", "",
     lambda o: o == {"count": 1, "launches": [
         {"finger": "left-index", "type": "web", "url": "https://news.example.org/",
          "login_url": "https://news.example.org/"}]}),
    ("ql exists web https://news.example.org/", "",
     lambda o: o == {"exists": True, "fingers": ["left-index"]}),
    ("shortcut add web https://shop.example.net/ --tip Shop --category shopping", "",
     lambda o: o == {"stored": True}),
    ("shortcut list web", "",
     lambda o: o["count"] == 1 and len(o["shortcuts"]) == 1
     and {k: o["shortcuts"][0][k] for k in ("url", "tip", "shown", "preloaded", "category")}
     == {"url": "https://shop.example.net/", "tip": "Shop", "shown": True, "preloaded": 0,
         "category": "Shopping"}
     and {"full_addr", "icon"} <= o["shortcuts"][0].keys()),
    ("store check", "", lambda o: o["sound"] is True and o["problems"] == []),
    ("register --dry-run", "",
     lambda o: o["text"].startswith("r;") and o["text"].count(";") == 27
     and "/gather.aspx?data=" in o["url"] and o["sent"] is False),
]

WRONG = [
    "hotkey set 1 x 2 on",
    "hotkey set 1 2 3",
    "settings get both",
    "settings set touch wlo=1",
    "settings set app wlo=-1",
    "vcard set --bogus x",
    "vcard set --nickname",
    "bio parent",
    "vip otp --shw",
    "store simulate enrollments -1",
    "store simulate vip",
    "ql list left-pinky",
    "ql add 0 web https://example.com/",
    "ql add left-index action nap",
    "shortcut add web https://example.com/ --category nope",
]


def store_folder(root, library):
    """A fresh store on `library`: DataManager finds the store library in
    <CommonProgramFiles>/Halvorn; the database is <root>/keel.db."""
    os.mkdir(os.path.join(root, "Halvorn"))
    os.symlink(library, os.path.join(root, "Halvorn", "libKeelAPI.so"))
    return dict(os.environ, CommonProgramFiles=root, KSLOG_FILE="off",
                KEELAPI_DB=os.path.join(root, "keel.db"))


def runner(env, cwd=None):
    def run(line, stdin=""):
        args = line.split() if isinstance(line, str) else line
        done = subprocess.run([DMCTL, "--json"] + args, input=stdin, env=env, cwd=cwd,
                              capture_output=True, text=True, timeout=60)
        return done.returncode, done.stdout, done.stderr
    return run


def mode_of(path):
    return stat.S_IMODE(os.lstat(path).st_mode)


def production_checks():
    """The production store: no simulation (one line on standard error,
    status 1), the administration commands and the dry run work, and an
    export is private and replaces nothing without --force."""
    failures = []
    with tempfile.TemporaryDirectory() as root:
        run = runner(store_folder(root, PRODUCTION))
        out_file = os.path.join(root, "export.json")
        loose = os.path.join(root, "loose.json")
        with open(loose, "w") as f:
            f.write("old")
        os.chmod(loose, 0o644)
        run("vcard set --nickname Al")

        for line in ("store simulate enrollments 3", "store simulate vip --cid CID-7"):
            status, out, err = run(line)
            if status != 1 or err.count("\n") != 1 or "development store" not in err:
                failures.append(f"{line} on the production store: status {status}, {err!r}")
        checks = [
            ("store info", 0, lambda o: os.path.realpath(o["store_library"])
             == os.path.realpath(PRODUCTION)),
            ("store counts", 0, lambda o: o["identities"] == 1),
            ("register --dry-run", 0, lambda o: o["text"].startswith("r;")
             and o["text"].count(";") == 27 and o["sent"] is False),
            (f"store export {out_file}", 0,
             lambda o: o["secrets_withheld"] is True and mode_of(out_file) == 0o600),
            (f"store export {out_file}", 1,
             lambda o: o == {"cannot_write": out_file, "exists": True}),
            (f"store export {loose}", 1,
             lambda o: open(loose).read() == "old" and mode_of(loose) == 0o644),
            (f"store export {loose} --force", 0,
             lambda o: open(loose).read().startswith('{"format": "keel-export"')
             and mode_of(loose) == 0o600),
        ]
        for line, want, check in checks:
            status, out, err = run(line)
            try:
                ok = status == want and check(json.loads(out))
            except (ValueError, KeyError, IndexError, TypeError, OSError):
                ok = False
            if not ok:
                failures.append(f"{line} on the production store: status {status} "
                                f"({want} expected), output {out!r} {err!r}")
        leftovers = [n for n in os.listdir(root) if ".new-" in n]
        if leftovers:
            failures.append(f"store export left {leftovers}")

    with tempfile.TemporaryDirectory() as root:
        env = store_folder(root, PRODUCTION)
        for name in ("KEELAPI_DB", "XDG_DATA_HOME"):
            env.pop(name, None)
        env["HOME"] = "relative-home"
        status, out, err = runner(env, cwd=root)("store check")
        try:
            ok = (status == 1 and json.loads(out)["sound"] is False
                  and "relative" in json.loads(out)["problems"][0])
        except (ValueError, KeyError, IndexError, TypeError):
            ok = False
        if not ok or os.path.exists(os.path.join(root, "relative-home")):
            failures.append(f"store check with a relative HOME: status {status}, output {out!r}")
    return failures


def main():
    failures = production_checks()
    with tempfile.TemporaryDirectory() as root:
        run = runner(store_folder(root, STORE))

        for line, stdin, check in STEPS:
            status, out, err = run(line, stdin)
            try:
                ok = status == 0 and check(json.loads(out))
            except (ValueError, KeyError, IndexError, TypeError):
                ok = False
            if not ok:
                failures.append(f"{line}: status {status}, output {out!r} {err!r}")
        for line in WRONG:
            status, out, _ = run(line)
            if status != 2 or out:
                failures.append(f"{line}: status {status} (2 expected), output {out!r}")
    for f in failures:
        print("FAILED", f)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
