#!/usr/bin/env python3
"""A full run of the installer in a fresh Wine prefix writes no registry key
or value and no file.

The fresh prefix is a hard-linked copy of one made with `wineboot -i` (made
once per build tree, kept as a template). In it:
  S0  snapshot; the trivial program once (baseline);   S1  snapshot;
      the installer walked to Finish;                  S2  snapshot;
      the trivial program again (baseline);            S3  snapshot.
A snapshot is the prefix's user.reg and system.reg (timestamps dropped) and a
listing of drive_c and of the program folder. What changed from S0 to S1 or
from S2 to S3 is what Wine (and the driver) write for any program; what
changed from S1 to S2 beyond that is the installer's, and must be nothing.
HKCU\\Software\\<kRegistryKeyName of app/CorvaneInst.cpp> must not exist.
The registry is flushed by stopping the prefix's server after each run."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"


def registry_key_name(source_dir):
    text = open(os.path.join(source_dir, "app", "CorvaneInst.cpp"), encoding="utf-8").read()
    m = re.search(r"kRegistryKeyName\[\]\s*=\s*(.*?);", text, re.S)
    if not m:
        sys.exit("kRegistryKeyName not found in app/CorvaneInst.cpp")
    pieces = re.findall(r'L"((?:[^"\\]|\\.)*)"', m.group(1))
    joined = "".join(pieces)
    return re.sub(r"\\u([0-9a-fA-F]{4})", lambda u: chr(int(u.group(1), 16)), joined)


def decode_key(name):
    """A key path as Wine writes it in a .reg file, decoded."""
    out, i = [], 0
    while i < len(name):
        c = name[i]
        if c == "\\" and i + 1 < len(name):
            n = name[i + 1]
            if n == "\\":
                out.append("\\")
                i += 2
                continue
            m = re.match(r"x([0-9a-fA-F]{1,4})", name[i + 1:])
            if m:
                out.append(chr(int(m.group(1), 16)))
                i += 1 + len(m.group(0))
                continue
        out.append(c)
        i += 1
    return "".join(out)


def read_registry(path):
    """{key: {value name: value text}} of a Wine .reg file, timestamps dropped."""
    keys, current, pending = {}, None, ""
    for raw in open(path, encoding="utf-8", errors="replace"):
        line = pending + raw.rstrip("\n")
        if line.endswith("\\") and not line.endswith("\\\\"):
            pending = line[:-1].strip() if pending else line[:-1]
            continue
        pending = ""
        if line.startswith("["):
            end = line.rfind("]")
            current = decode_key(line[1:end]).lower()
            keys.setdefault(current, {})
        elif current is not None and line and not line.startswith("#time=") and not line.startswith(";"):
            m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
            name = m.group(1) if m else line
            keys[current][name] = m.group(2) if m else ""
    return keys


def listing(root):
    entries = {}
    for base, dirs, files in os.walk(root):
        for d in dirs:
            p = os.path.join(base, d)
            entries[os.path.relpath(p, root)] = ("dir",)
        for f in files:
            p = os.path.join(base, f)
            try:
                st = os.lstat(p)
            except FileNotFoundError:
                continue
            entries[os.path.relpath(p, root)] = ("file", st.st_size, st.st_mtime_ns)
    return entries


def snapshot(prefix, program):
    return {
        "reg": {h: read_registry(os.path.join(prefix, h + ".reg")) for h in ("user", "system")},
        "drive_c": listing(os.path.join(prefix, "drive_c")),
        "program": listing(program),
    }


def changes(a, b):
    out = set()
    for hive in ("user", "system"):
        ra, rb = a["reg"][hive], b["reg"][hive]
        for key in set(ra) | set(rb):
            if key not in ra or key not in rb:
                out.add(("reg", hive, key, None))
                continue
            for name in set(ra[key]) | set(rb[key]):
                if ra[key].get(name) != rb[key].get(name):
                    out.add(("reg", hive, key, name))
    for where in ("drive_c", "program"):
        la, lb = a[where], b[where]
        for path in set(la) | set(lb):
            if la.get(path) != lb.get(path):
                out.add(("file", where, path, None))
    return out


def covered(change, churn):
    """A change is Wine's own when the baseline changed the same thing (for a
    key: the key or a value in it; for a file: the same path)."""
    if change in churn:
        return True
    if change[0] == "reg" and change[3] is None:
        return any(c[0] == "reg" and c[1] == change[1] and c[2] == change[2] for c in churn)
    return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source-dir", required=True)
    ap.add_argument("--exe", required=True)
    ap.add_argument("--tools", required=True)
    ap.add_argument("--standin", required=True, help="the recording stand-in (tools/dpinst-standin)")
    ap.add_argument("--work", required=True)
    a = ap.parse_args()
    started = time.time()

    env = dict(os.environ, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    template = os.path.join(a.work, "template")
    if not os.path.exists(os.path.join(template, ".corvane-ready")):
        shutil.rmtree(template, ignore_errors=True)
        os.makedirs(template)
        tenv = dict(env, WINEPREFIX=template)
        subprocess.run([WINE, "wineboot", "-i"], env=tenv, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
        subprocess.run([WINESERVER, "-w"], env=tenv, timeout=120)
        if not os.path.exists(os.path.join(template, "system.reg")):
            sys.exit("wineboot made no prefix")
        open(os.path.join(template, ".corvane-ready"), "w").close()

    prefix = os.path.join(a.work, "prefix")
    program = os.path.join(a.work, "program")
    log = os.path.join(a.work, "standin.log")
    for p in (prefix, program):
        if os.path.exists(p):
            subprocess.run(["chmod", "-R", "u+w", p])
            shutil.rmtree(p)
    if os.path.exists(log):
        os.remove(log)
    # Hard links: fast; the .reg files (which the server rewrites) are copied.
    subprocess.run(["cp", "-al", template, prefix], check=True)
    for hive in ("user.reg", "system.reg", "userdef.reg"):
        os.remove(os.path.join(prefix, hive))
        shutil.copy2(os.path.join(template, hive), os.path.join(prefix, hive))
    os.makedirs(program)
    shutil.copy2(a.exe, os.path.join(program, "CorvaneInst.exe"))
    shutil.copy2(a.standin, os.path.join(program, "DPInst_64.exe"))
    trivial = os.path.join(program, "..", "trivial.exe")
    shutil.copy2(os.path.join(a.tools, "corvane-robust-trivial.exe"), trivial)
    driver = os.path.join(a.tools, "corvane-robust-driver.exe")

    wenv = dict(env, WINEPREFIX=prefix, CORVANE_STANDIN_LOG="Z:" + log.replace("/", "\\"))

    def run(mode, exe):
        r = subprocess.run([WINE, driver, mode, exe], env=wenv, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=60)
        # Stop everything in the prefix: the server writes the registry out.
        subprocess.run([WINESERVER, "-k"], env=wenv, timeout=30)
        subprocess.run([WINESERVER, "-w"], env=wenv, timeout=30)
        if r.returncode != 0:
            sys.exit(f"driver {mode} failed ({r.returncode}): {r.stdout} {r.stderr}")

    s0 = snapshot(prefix, program)
    run("trivial", os.path.abspath(trivial))
    s1 = snapshot(prefix, program)
    run("walk", os.path.join(program, "CorvaneInst.exe"))
    s2 = snapshot(prefix, program)
    run("trivial", os.path.abspath(trivial))
    s3 = snapshot(prefix, program)

    failures = []
    churn = changes(s0, s1) | changes(s2, s3)
    # The snapshots see writes: the driver's private desktop is registered by
    # every run, so the baseline must have seen that key appear.
    if not any(c[0] == "reg" and c[2].endswith("wine\\explorer\\desktops") for c in changes(s0, s1)):
        failures.append("the baseline saw no registry write at all (registry not flushed?)")
    installer = sorted((c for c in changes(s1, s2) if not covered(c, churn)),
                       key=lambda c: tuple(str(x) for x in c))
    for c in installer:
        failures.append("written by the installer: " + " | ".join(str(x) for x in c if x is not None))
    name = registry_key_name(a.source_dir)
    for snap, when in ((s2, "after the run"), (s3, "at the end")):
        for key in snap["reg"]["user"]:
            if key == ("software\\" + name).lower() or key.startswith(("software\\" + name + "\\").lower()):
                failures.append(f"HKCU\\{key} exists {when}")
    starts = open(log, encoding="utf-8").read().splitlines() if os.path.exists(log) else []
    if len(starts) != 1:
        failures.append(f"the driver installer stand-in started {len(starts)} times, not once")

    print(f"baseline changes (Wine's own, ignored): {len(churn)}; installer run changes: "
          f"{len(changes(s1, s2))}; of them not in the baseline: {len(installer)}; "
          f"{time.time() - started:.1f} s")
    for c in sorted(churn, key=lambda c: tuple(str(x) for x in c))[:40]:
        print("  baseline:", " | ".join(str(x) for x in c if x is not None))
    if failures:
        print("FAILED:\n  " + "\n  ".join(failures))
        return 1
    print("no registry key or value and no file written by the installer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
