#!/usr/bin/env python3
"""dmctl against fresh stores, read through its --json output: a run of
commands on the development store; wrong command lines (status 2); the
production store (no `store simulate`, private exports that replace nothing
without --force, a relative home folder refused); a browser's password CSV
imported and exported back, no password shown unasked; --version and --help.

    dmctl_test.py <dmctl> <development store library> <production store library>
"""
import csv
import json
import os
import stat
import subprocess
import sys
import tempfile

DMCTL, STORE, PRODUCTION = sys.argv[1:4]


def has(**fields):
    """A check that the JSON output holds these fields, of these types and values."""
    return lambda o, *err: all(type(o[k]) is type(v) and o[k] == v for k, v in fields.items())


WRITTEN = has(written=True)
# In order, on one store: a command line, what its JSON output must satisfy,
# and its standard input, if any.  Every one must exit with status 0.
STEPS = [
    ("profile add web example.com alice", lambda o: o == {"written": True}, "s3cret\n"),
    ("profile list web example.com", has(count=1, profiles=[
        {"user": "alice", "text3101": "", "text105": "", "otp_mode": None}])),
    ("profile domains web", lambda o: o == {"count": 1, "domains": ["example.com"]}),
    ("settings set touch fus=1 ttl=30", WRITTEN),
    ("settings get touch",
     lambda o: has(application="touch", fus=1, ttl=30)(o) and {"ql", "nav"} <= o.keys()),
    ("settings set app wlo=0", WRITTEN),
    ("settings get app", lambda o: o == {"application": "app", "wlo": 0}),
    ("hotkey set 2 -5 7 on", WRITTEN),
    ("hotkey get 2", lambda o: o == {"slot": 2, "first": -5, "second": 7, "state": True}),
    (["vcard", "set", "--nickname", 'Al "\\\t\u00e9', "--email", "al@example.com"], WRITTEN),
    (["vcard", "set", "--email", ""], WRITTEN),
    ("vcard get", lambda o: has(nickname='Al "\\\t\u00e9', email="")(o) and len(o) == 7),
    ("store simulate enrollments 3", lambda o: o == {"enrollments": 3}),
    ("bio enrolled", lambda o: o == {"enrolled": True}),
    ("store simulate vip --cid CID-7", lambda o: o == {"credential_id": "CID-7"}),
    ("vip cid", lambda o: o == {"credential_id": "CID-7"}),
    ("ql add left-index web https://news.example.org/", lambda o: o == {"stored": True}),
    ("ql list left-index", lambda o: o == {"count": 1, "launches": [
        {"finger": "left-index", "type": "web", "url": "https://news.example.org/",
         "login_url": "https://news.example.org/"}]}),
    ("ql exists web https://news.example.org/",
     lambda o: o == {"exists": True, "fingers": ["left-index"]}),
    ("shortcut add web https://shop.example.net/ --tip Shop --category shopping",
     lambda o: o == {"stored": True}),
    ("shortcut list web", lambda o: o["count"] == 1 and len(o["shortcuts"]) == 1
     and has(url="https://shop.example.net/", tip="Shop", shown=True, preloaded=0,
             category="Shopping")(o["shortcuts"][0])
     and {"full_addr", "icon"} <= o["shortcuts"][0].keys()),
    ("store check", has(sound=True, problems=[])),
    ("register --dry-run", lambda o: o["text"].startswith("r;") and o["text"].count(";") == 27
     and "/gather.aspx?data=" in o["url"] and o["sent"] is False),
]

# Each must exit with status 2 and write nothing on standard output.
WRONG = ["hotkey set 1 x 2 on", "hotkey set 1 2 3", "settings get both", "settings set touch wlo=1",
         "settings set app wlo=-1", "vcard set --bogus x", "vcard set --nickname", "bio parent",
         "vip otp --shw", "store simulate enrollments -1", "store simulate vip",
         "ql list left-pinky", "ql add 0 web https://example.com/", "ql add left-index action nap",
         "shortcut add web https://example.com/ --category nope", "profile import",
         "profile import a.csv --bogus", "profile export", "profile export a.csv --bogus"]

# A browser's export: a byte-order mark, CRLF line ends, a quoted comma, a
# line end and doubled quotes inside quotes, and on line 5 a quote inside an
# unquoted field; alice's row comes twice.
IMPORT_CSV = ("\ufeffname,url,username,password\r\n"
              "Ex,https://Alice@Example.COM:8443/login?x=1,alice,\"pw,one\"\r\n"
              "Ex,http://example.com/,bob,\"pw\r\ntwo \"\"q\"\"\"\r\n"
              "Bad,https://bad.example/,carol,pw\"three\r\n"
              "Org,https://news.example.org,dave,pwfour\r\n"
              "Ex,https://example.com/other,alice,\"pw,one\"\r\n")
PASSWORDS = ("pw,one", "pw\r\ntwo \"q\"", "pwfour")
IMPORTED = {("example.com", "alice"), ("example.com", "bob"), ("news.example.org", "dave")}


def csv_rows(path):
    """The rows of an exported file as Python's own reader sees them."""
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.reader(f))


def csv_checks():
    """import, its dry run, export and the round trip, on fresh stores."""
    with tempfile.TemporaryDirectory() as root:
        run = runner(store_folder(os.path.join(root, "first"), STORE))
        again = runner(store_folder(os.path.join(root, "second"), STORE))
        source, exported, reexported = (os.path.join(root, n)
                                        for n in ("in.csv", "out.csv", "again.csv"))
        with open(source, "w", newline="", encoding="utf-8") as f:
            f.write(IMPORT_CSV)
        with open(reexported, "w") as f:
            f.write("old")
        return verify([
            (run, f"profile import {source} --dry-run", 1,
             lambda o, err: has(to_import=3, skipped=1, malformed=1)(o) and "line 5:" in err
             and {(p["domain"], p["user"]) for p in o["planned"]} == IMPORTED),
            (run, "profile domains web", 1, has(count=0)),
            (run, f"profile import {source}", 1,
             lambda o, err: has(imported=3, skipped=1, failed=0, malformed=1)(o)
             and err.count("\n") == 1 and "line 5:" in err),
            (run, "profile show web example.com --password", 0,
             lambda o, err: {(p["user"], p["password"]) for p in o["profiles"]}
             == {("alice", PASSWORDS[0]), ("bob", PASSWORDS[1])}),
            (run, f"profile import {source}", 1, has(imported=0, skipped=4)),
            (run, f"profile export {exported}", 0,
             lambda o, err: o["profiles"] == 3 and mode_of(exported) == 0o600
             and all(r[3] == "" for r in csv_rows(exported)[1:])),
            (run, f"profile export {exported} --with-passwords", 1,
             lambda o, err: o == {"cannot_write": exported, "exists": True}
             and all(r[3] == "" for r in csv_rows(exported)[1:])),
            (run, f"profile export {exported} --with-passwords --force", 0,
             lambda o, err: o["passwords"] is True and mode_of(exported) == 0o600
             and sorted(r[2:] for r in csv_rows(exported)[1:]) == sorted(
                 [["alice", PASSWORDS[0]], ["bob", PASSWORDS[1]], ["dave", PASSWORDS[2]]])),
            (again, f"profile import {exported}", 0, has(imported=3, skipped=0, malformed=0)),
            (again, f"profile export {reexported} --with-passwords", 1,
             lambda o, err: open(reexported).read() == "old"),
            (again, f"profile export {reexported} --with-passwords --force", 0,
             lambda o, err: sorted(csv_rows(reexported)) == sorted(csv_rows(exported))),
            (run, "--version", 0, lambda o, err: o.startswith("dmctl ")),
            (run, "profile import --help", 0, lambda o, err: "usage: dmctl" in o),
            (run, "profile export --help", 0, lambda o, err: "usage: dmctl" in o),
            (run, "help", 0, lambda o, err: "Exit status" in o),
        ], secrets=PASSWORDS)


def verify(cases, where="", secrets=()):
    """Runs each (runner, command line, exit status, check of the output,
    parsed when it is JSON, and standard error[, standard input]) and answers
    a line for each that fails, or that shows one of `secrets` unasked."""
    failures = []
    for run, line, want, check, *stdin in cases:
        status, out, err = run(line, *stdin)
        try:
            ok = status == want and check(json.loads(out) if out[:1] == "{" else out, err)
        except (ValueError, KeyError, IndexError, TypeError, OSError):
            ok = False
        shown = "--password" not in line and any(p in out + err for p in secrets)
        if not ok or shown:
            failures.append(f"{line}{where}: status {status} ({want} expected), output {out!r} "
                            f"{err!r}" + (" shows a password" if shown else ""))
    return failures


def store_folder(root, library):
    """A fresh store on `library`: DataManager finds the store library in
    <CommonProgramFiles>/Halvorn; the database is <root>/keel.db."""
    os.makedirs(os.path.join(root, "Halvorn"))
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
    status 1), the administration commands and the dry run work, an export
    is private and replaces nothing without --force, and with no database
    named and a relative home folder, `store check` says why it fails."""
    with tempfile.TemporaryDirectory() as root:
        env = store_folder(root, PRODUCTION)
        run = runner(env)
        homeless = {k: v for k, v in env.items() if k not in ("KEELAPI_DB", "XDG_DATA_HOME")}
        homeless["HOME"] = "relative-home"
        out_file, loose = os.path.join(root, "export.json"), os.path.join(root, "loose.json")
        with open(loose, "w") as f:
            f.write("old")
        os.chmod(loose, 0o644)
        run("vcard set --nickname Al")

        def refused(o, err):
            return err.count("\n") == 1 and "development store" in err
        return verify([
            (run, "store simulate enrollments 3", 1, refused),
            (run, "store simulate vip --cid CID-7", 1, refused),
            (run, "store info", 0, lambda o, err: os.path.realpath(o["store_library"])
             == os.path.realpath(PRODUCTION)),
            (run, "store counts", 0, has(identities=1)),
            (run, "register --dry-run", 0, lambda o, err: o["text"].startswith("r;")
             and o["text"].count(";") == 27 and o["sent"] is False),
            (run, f"store export {out_file}", 0,
             lambda o, err: o["secrets_withheld"] is True and mode_of(out_file) == 0o600),
            (run, f"store export {out_file}", 1,
             lambda o, err: o == {"cannot_write": out_file, "exists": True}),
            (run, f"store export {loose}", 1,
             lambda o, err: open(loose).read() == "old" and mode_of(loose) == 0o644),
            (run, f"store export {loose} --force", 0,
             lambda o, err: open(loose).read().startswith('{"format": "keel-export"')
             and mode_of(loose) == 0o600 and not [n for n in os.listdir(root) if ".new-" in n]),
            (runner(homeless, cwd=root), "store check", 1,
             lambda o, err: o["sound"] is False and "relative" in o["problems"][0]
             and not os.path.exists(os.path.join(root, "relative-home"))),
        ], " on the production store")


def main():
    failures = production_checks() + csv_checks()
    with tempfile.TemporaryDirectory() as root:
        run = runner(store_folder(root, STORE))
        failures += verify([(run, line, 0, lambda o, err, c=check: c(o), *stdin)
                            for line, check, *stdin in STEPS])
        failures += verify([(run, line, 2, lambda o, err: o == "") for line in WRONG])
    for f in failures:
        print("FAILED", f)
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
