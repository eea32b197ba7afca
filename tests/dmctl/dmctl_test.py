#!/usr/bin/env python3
"""dmctl against a fresh store: the --json output of a run of commands has
the documented shape, and a wrong command line exits with status 2.

    dmctl_test.py <dmctl> <store library>
"""
import json
import os
import subprocess
import sys
import tempfile

DMCTL, STORE = sys.argv[1], sys.argv[2]

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


def main():
    failures = []
    with tempfile.TemporaryDirectory() as root:
        # DataManager finds the store library in <CommonProgramFiles>/Halvorn.
        os.mkdir(os.path.join(root, "Halvorn"))
        os.symlink(STORE, os.path.join(root, "Halvorn", "libKeelAPI.so"))
        env = dict(os.environ, CommonProgramFiles=root, KSLOG_FILE="off",
                   KEELAPI_DB=os.path.join(root, "keel.db"))

        def run(line, stdin=""):
            args = line.split() if isinstance(line, str) else line
            done = subprocess.run([DMCTL, "--json"] + args, input=stdin, env=env,
                                  capture_output=True, text=True, timeout=60)
            return done.returncode, done.stdout, done.stderr

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
    print(f"{len(STEPS) + len(WRONG) - len(failures)} of {len(STEPS) + len(WRONG)} passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
