"""Checks of tools/make-medium, which assembles the installation medium folder.

Run from the repository root:
    python3 -m unittest -v tests/medium/test_make_medium.py
CORVANE_SOURCE_DIR may give the repository root, CORVANE_X86_EXE the built
32-bit CorvaneInst.exe (used as the input exe when it exists; otherwise a
small PE32 image made here stands in). Signing needs osslsigncode and
openssl. Wine is not used.
"""

import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("CORVANE_SOURCE_DIR") or os.path.normpath(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TOOL = os.path.join(ROOT, "tools", "make-medium")
X86_EXE = os.environ.get("CORVANE_X86_EXE") or os.path.join(ROOT, "build", "x86", "CorvaneInst.exe")

I386, AMD64 = 0x014C, 0x8664


def make_pe(machine, marker):
    """A small, well-formed PE image (one .text section) for MACHINE.

    MARKER goes into the section so that images made for different slots differ.
    """
    pe32plus = machine == AMD64
    file_align, section_align = 0x200, 0x1000
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 64)
    coff = struct.pack("<HHIIIHH", machine, 1, 0, 0, 0, 240 if pe32plus else 224,
                       0x0022 if pe32plus else 0x0102)
    if pe32plus:
        opt = struct.pack("<HBBIIIIIQIIHHHHHHIIIIHHQQQQII",
                          0x20B, 14, 0, file_align, 0, 0, 0x1000, 0x1000, 0x140000000,
                          section_align, file_align, 6, 0, 0, 0, 6, 0, 0, 0x2000, 0x200, 0,
                          2, 0x8160, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    else:
        opt = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
                          0x10B, 14, 0, file_align, 0, 0, 0x1000, 0x1000, 0x1000, 0x400000,
                          section_align, file_align, 6, 0, 0, 0, 6, 0, 0, 0x2000, 0x200, 0,
                          2, 0x8140, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    opt += bytes(16 * 8)                       # the data directories, all empty
    section = struct.pack("<8sIIIIIIHHI", b".text", 0x100, 0x1000, file_align, 0x200,
                          0, 0, 0, 0, 0x60000020)
    headers = bytes(dos) + b"PE\0\0" + coff + opt + section
    headers += bytes(0x200 - len(headers))
    code = b"\x31\xC0\xC3" + marker.encode("ascii")   # xor eax, eax; ret
    return headers + code + bytes(0x200 - len(code))


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def tree(folder):
    """{relative path: sha256 or '/' for a folder} of everything under FOLDER."""
    found = {}
    for dirpath, dirnames, filenames in os.walk(folder):
        for name in dirnames:
            found[os.path.relpath(os.path.join(dirpath, name), folder)] = "/"
        for name in filenames:
            path = os.path.join(dirpath, name)
            found[os.path.relpath(path, folder)] = (
                "link:" + os.readlink(path) if os.path.islink(path) else sha256(path))
    return found


def make_cert(folder, name, password=None):
    """A throw-away self-signed certificate: (cert path, key path)."""
    cert = os.path.join(folder, name + ".crt.pem")
    key = os.path.join(folder, name + ".key.pem")
    command = ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-days", "1",
               "-subj", "/CN=Corvane Test " + name, "-keyout", key, "-out", cert]
    command += ["-passout", "pass:" + password] if password else ["-nodes"]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


class MediumCase(unittest.TestCase):
    """A work folder with inputs in in/ and the medium to go to out/."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="make-medium-test-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.inputs = os.path.join(self.work, "in")
        os.mkdir(self.inputs)
        self.exe = os.path.join(self.inputs, "product.exe")
        if os.path.isfile(X86_EXE):
            shutil.copyfile(X86_EXE, self.exe)
        else:
            self.write(self.exe, make_pe(I386, "CorvaneInst"))
        self.dpinst = self.write(os.path.join(self.inputs, "dpinst32.exe"), make_pe(I386, "DPInst"))
        self.dpinst64 = self.write(os.path.join(self.inputs, "dpinst64.exe"), make_pe(AMD64, "DPInst_64"))
        self.driver = os.path.join(self.inputs, "CorvaneDriver")
        self.write(os.path.join(self.driver, "corvane.inf"), b"[Version]\r\nSignature=\"$Windows NT$\"\r\n")
        self.write(os.path.join(self.driver, "corvane.cat"), b"catalog bytes\x00\x01")
        self.write(os.path.join(self.driver, "x86", "corvane.sys"), b"sys 32\x00" * 50)
        self.write(os.path.join(self.driver, "amd64", "corvane.sys"), b"sys 64\x00" * 60)
        os.mkdir(os.path.join(self.driver, "empty"))
        self.out = os.path.join(self.work, "medium")
        self.inputs_before = tree(self.inputs)
        self.work_entries = {"in"}      # what the work folder holds besides the medium

    @staticmethod
    def write(path, data):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def args(self, **changes):
        """The tool's arguments; a change of None leaves that option out."""
        options = {"--exe": self.exe, "--dpinst": self.dpinst, "--dpinst64": self.dpinst64,
                   "--driver": self.driver, "--out": self.out}
        options.update({"--" + k.replace("_", "-").rstrip("-"): v for k, v in changes.items()})
        argv = []
        for option, value in options.items():
            if value is True:
                argv.append(option)
            elif value is not None:
                argv += [option, value]
        return argv

    def run_tool(self, argv):
        return subprocess.run([sys.executable, TOOL] + argv, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, cwd=self.work)

    def expected_medium(self, exe=None):
        expected = {"CorvaneInst.exe": sha256(exe or self.exe),
                    "DPInst.exe": sha256(self.dpinst),
                    "DPInst_64.exe": sha256(self.dpinst64)}
        for path, digest in tree(self.driver).items():
            expected[os.path.join("CorvaneDriver", path)] = digest
        expected["CorvaneDriver"] = "/"
        return expected

    def assert_ok(self, result):
        self.assertEqual(result.returncode, 0, "stdout:\n%s\nstderr:\n%s" % (result.stdout, result.stderr))

    def assert_refused(self, result, *named, out_left=None):
        """Non-zero exit, every one of NAMED in the message, and nothing written:
        the work folder holds only the inputs (and OUT_LEFT, unchanged, when given)."""
        self.assertNotEqual(result.returncode, 0, result.stdout + result.stderr)
        for text in named:
            self.assertIn(text, result.stderr)
        self.assertNotIn("Traceback", result.stderr)
        expected = self.work_entries | ({os.path.basename(self.out)} if out_left is not None else set())
        self.assertEqual(set(os.listdir(self.work)), expected, "left behind in the work folder")
        if out_left is not None:
            self.assertEqual(tree(self.out), out_left)
        self.assertEqual(tree(self.inputs), self.inputs_before, "an input was changed")


class AssembleTest(MediumCase):

    def test_complete_medium_has_exactly_the_expected_files(self):
        result = self.run_tool(self.args())
        self.assert_ok(result)
        self.assertEqual(tree(self.out), self.expected_medium())
        self.assertEqual(set(os.listdir(self.work)), {"in", "medium"}, "temporaries left behind")
        self.assertEqual(tree(self.inputs), self.inputs_before)

    def test_empty_output_folder_is_filled(self):
        os.mkdir(self.out)
        self.assert_ok(self.run_tool(self.args()))
        self.assertEqual(tree(self.out), self.expected_medium())

    def test_driver_folder_given_with_trailing_slash_keeps_its_name(self):
        self.assert_ok(self.run_tool(self.args(driver=self.driver + os.sep)))
        self.assertEqual(tree(self.out), self.expected_medium())

    def test_relative_paths(self):
        result = self.run_tool(self.args(exe="in/product.exe", dpinst="in/dpinst32.exe",
                                         dpinst64="in/dpinst64.exe", driver="in/CorvaneDriver",
                                         out="medium"))
        self.assert_ok(result)
        self.assertEqual(tree(self.out), self.expected_medium())

    def test_exe_defaults_to_the_x86_build(self):
        default = os.path.join(ROOT, "build", "x86", "CorvaneInst.exe")
        result = self.run_tool(self.args(exe=None))
        if os.path.isfile(default):
            self.assert_ok(result)
            self.assertEqual(tree(self.out), self.expected_medium(exe=default))
        else:
            self.assert_refused(result, "--exe " + default, "missing")

    def test_force_replaces_a_folder_that_is_not_empty(self):
        self.write(os.path.join(self.out, "stale.txt"), b"old medium")
        self.write(os.path.join(self.out, "CorvaneDriver", "old.inf"), b"old")
        self.assert_ok(self.run_tool(self.args(force=True)))
        self.assertEqual(tree(self.out), self.expected_medium())
        self.assertEqual(set(os.listdir(self.work)), {"in", "medium"}, "temporaries left behind")


class RefuseTest(MediumCase):

    def test_each_missing_input_is_named(self):
        for option, path in (("exe", "in/nothing.exe"),
                             ("dpinst", "in/no-DPInst.exe"),
                             ("dpinst64", "in/no-DPInst_64.exe"),
                             ("driver", "in/no-driver")):
            with self.subTest(option=option):
                result = self.run_tool(self.args(**{option: path}))
                self.assert_refused(result, "--%s %s: missing" % (option, path))
                for other in ("--exe", "--dpinst ", "--dpinst64", "--driver"):
                    if other.strip() != "--" + option:
                        self.assertNotIn(other, result.stderr, "a present input was blamed")

    def test_all_missing_inputs_are_named_at_once(self):
        result = self.run_tool(self.args(exe="a.exe", dpinst="b.exe", dpinst64="c.exe", driver="d"))
        self.assert_refused(result, "--exe a.exe: missing", "--dpinst b.exe: missing",
                            "--dpinst64 c.exe: missing", "--driver d: missing")

    def test_each_option_left_out_is_named(self):
        for option in ("dpinst", "dpinst64", "driver", "out"):
            with self.subTest(option=option):
                result = self.run_tool(self.args(**{option: None}))
                self.assertEqual(result.returncode, 2)
                self.assertIn("--" + option, result.stderr)
                self.assertEqual(os.listdir(self.work), ["in"])

    def test_exe_that_is_not_a_pe_file(self):
        good_pe = make_pe(I386, "x")
        bad_lfanew = bytearray(good_pe)
        struct.pack_into("<I", bad_lfanew, 0x3C, 0x100)
        cases = (("text", b"@echo off\r\necho not a program\r\n", "no MZ header"),
                 ("empty", b"", "no MZ header"),
                 ("mz-only", b"MZ", "no MZ header"),
                 ("truncated", good_pe[:0x50], "no PE signature"),
                 ("bad-offset", bytes(bad_lfanew), "no PE signature"))
        for slot in ("exe", "dpinst", "dpinst64"):
            for name, data, why in cases:
                with self.subTest(slot=slot, case=name):
                    path = self.write(os.path.join(self.inputs, name + ".exe"), data)
                    self.inputs_before = tree(self.inputs)
                    result = self.run_tool(self.args(**{slot: path}))
                    self.assert_refused(result, "--%s %s: not a PE file (%s" % (slot, path, why))

    def test_exe_for_the_wrong_machine(self):
        pe32 = self.write(os.path.join(self.inputs, "i386.exe"), make_pe(I386, "i386"))
        pe64 = self.write(os.path.join(self.inputs, "amd64.exe"), make_pe(AMD64, "amd64"))
        # A PE32+ header that claims an x86 machine, and the other way round.
        mixed = bytearray(make_pe(AMD64, "mixed"))
        struct.pack_into("<H", mixed, 0x44, I386)
        mixed32 = self.write(os.path.join(self.inputs, "mixed32.exe"), bytes(mixed))
        mixed = bytearray(make_pe(I386, "mixed"))
        struct.pack_into("<H", mixed, 0x44, AMD64)
        mixed64 = self.write(os.path.join(self.inputs, "mixed64.exe"), bytes(mixed))
        self.inputs_before = tree(self.inputs)
        for slot, path, why in (("exe", pe64, "is a PE file for 64-bit x64"),
                                ("dpinst", pe64, "is a PE file for 64-bit x64"),
                                ("dpinst64", pe32, "is a PE file for 32-bit x86"),
                                ("exe", mixed32, "is not a PE image of the expected kind"),
                                ("dpinst64", mixed64, "is not a PE image of the expected kind")):
            with self.subTest(slot=slot, path=os.path.basename(path)):
                result = self.run_tool(self.args(**{slot: path}))
                self.assert_refused(result, "--%s %s: %s" % (slot, path, why))

    def test_swapped_dpinst_files_are_refused(self):
        result = self.run_tool(self.args(dpinst=self.dpinst64, dpinst64=self.dpinst))
        self.assert_refused(result, "--dpinst %s" % self.dpinst64, "--dpinst64 %s" % self.dpinst)

    def test_input_of_the_wrong_kind(self):
        for slot, path, why in (("exe", self.driver, "not a file"),
                                ("driver", self.dpinst, "not a folder")):
            with self.subTest(slot=slot):
                self.assert_refused(self.run_tool(self.args(**{slot: path})),
                                    "--%s %s: %s" % (slot, path, why))

    def test_driver_folder_without_an_inf_file(self):
        empty = os.path.join(self.inputs, "NoInf")
        self.write(os.path.join(empty, "sub", "readme.txt"), b"no driver here")
        self.inputs_before = tree(self.inputs)
        self.assert_refused(self.run_tool(self.args(driver=empty)), "--driver %s: no .inf file" % empty)

    def test_driver_folder_named_like_a_medium_file(self):
        clash = os.path.join(self.inputs, "dpinst.EXE")
        self.write(os.path.join(clash, "a.inf"), b"x")
        self.inputs_before = tree(self.inputs)
        self.assert_refused(self.run_tool(self.args(driver=clash)), "clashes with DPInst.exe")

    def test_output_folder_that_is_not_empty(self):
        self.write(os.path.join(self.out, "keep.txt"), b"somebody's file")
        before = tree(self.out)
        result = self.run_tool(self.args())
        self.assert_refused(result, "--out %s: exists and is not empty" % self.out, "--force",
                            out_left=before)

    def test_output_that_is_a_file(self):
        self.write(self.out, b"a file")
        result = self.run_tool(self.args(force=True))
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("--out %s: exists and is not a folder" % self.out, result.stderr)
        with open(self.out, "rb") as f:
            self.assertEqual(f.read(), b"a file")
        self.assertEqual(set(os.listdir(self.work)), {"in", "medium"})

    def test_output_whose_parent_is_missing(self):
        out = os.path.join(self.work, "no-such-folder", "medium")
        self.assert_refused(self.run_tool(self.args(out=out)),
                            "its parent folder %s does not exist" % os.path.dirname(out))

    def test_force_does_not_delete_inputs(self):
        result = self.run_tool(self.args(out=self.inputs, force=True))
        self.assert_refused(result, "--force would delete inputs")

    def test_output_inside_the_driver_folder(self):
        out = os.path.join(self.driver, "medium")
        self.assert_refused(self.run_tool(self.args(out=out)), "inside the driver package folder")

    def test_failure_while_copying_leaves_nothing(self):
        # A dangling link in the driver package is found only while copying,
        # after the exes are already in the temporary folder.
        os.symlink(os.path.join(self.inputs, "gone.sys"), os.path.join(self.driver, "gone.sys"))
        self.inputs_before = tree(self.inputs)
        for existing in (None, {}):
            with self.subTest(out_exists=existing is not None):
                if existing is not None:
                    os.mkdir(self.out)
                self.assert_refused(self.run_tool(self.args()), "gone.sys", "nothing written",
                                    out_left=existing)

    def test_signing_options_need_a_certificate(self):
        for changes, named in (({"cert": self.exe}, "--key"),
                               ({"key": self.exe}, "--cert"),
                               ({"timestamp": "http://ts.invalid"}, "--timestamp"),
                               ({"pass_": "x"}, "--pass"),
                               ({"cafile": self.exe}, "--cafile")):
            with self.subTest(changes=changes):
                result = self.run_tool(self.args(**changes))
                self.assertEqual(result.returncode, 2)
                self.assertIn(named, result.stderr)
                self.assertEqual(os.listdir(self.work), ["in"])


@unittest.skipUnless(shutil.which("osslsigncode") and shutil.which("openssl"),
                     "needs osslsigncode and openssl")
class SignTest(MediumCase):

    def setUp(self):
        super().setUp()
        self.keys = os.path.join(self.work, "keys")
        os.mkdir(self.keys)
        self.cert, self.key = make_cert(self.keys, "a")
        self.work_entries = {"in", "keys"}

    def verify(self, path, cafile):
        return subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", cafile],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def assert_signed_medium(self, result):
        self.assert_ok(result)
        self.assertEqual(tree(self.inputs), self.inputs_before, "the input exe was changed")
        signed = os.path.join(self.out, "CorvaneInst.exe")
        expected = self.expected_medium()
        actual = tree(self.out)
        self.assertNotEqual(actual.pop("CorvaneInst.exe"), expected.pop("CorvaneInst.exe"),
                            "CorvaneInst.exe in the medium was not signed")
        self.assertEqual(actual, expected)
        self.assertEqual(set(os.listdir(self.work)), {"in", "keys", "medium"})

        check = self.verify(signed, self.cert)
        self.assertEqual(check.returncode, 0, check.stdout)
        self.assertIn("Signature verification: ok", check.stdout)
        self.assertIn("Message digest algorithm  : SHA256", check.stdout)
        self.assertIn("Text description: Corvane Installer", check.stdout)
        self.assertIn("Subject: /CN=Corvane Test a", check.stdout)
        self.assertIn("Timestamp is not available", check.stdout)
        # Against another CA the same signature does not verify.
        other_cert, _ = make_cert(self.keys, "other")
        self.assertNotEqual(self.verify(signed, other_cert).returncode, 0)

        # Removing the signature gives back the input bytes: only the
        # signature was added.
        stripped = os.path.join(self.keys, "stripped.exe")
        if os.path.exists(stripped):        # osslsigncode does not overwrite
            os.remove(stripped)
        subprocess.run(["osslsigncode", "remove-signature", "-in", signed, "-out", stripped],
                       check=True, stdout=subprocess.DEVNULL)
        with open(stripped, "rb") as f, open(self.exe, "rb") as g:
            unsigned, original = f.read(), g.read()
        self.assertEqual(len(unsigned), len(original))
        # The PE checksum (at PE header + 0x58) is the one field signing may change.
        (pe_offset,) = struct.unpack_from("<I", original, 0x3C)
        checksum = slice(pe_offset + 0x58, pe_offset + 0x5C)
        self.assertEqual(unsigned[:checksum.start] + unsigned[checksum.stop:],
                         original[:checksum.start] + original[checksum.stop:])

    def test_signed_medium_verifies_and_input_is_unchanged(self):
        self.assert_signed_medium(self.run_tool(self.args(cert=self.cert, key=self.key,
                                                          cafile=self.cert)))

    def test_signs_the_stand_in_image_too(self):
        # The small PE made here (used when no build exists) must sign as well.
        self.exe = self.write(os.path.join(self.inputs, "small.exe"), make_pe(I386, "small"))
        self.inputs_before = tree(self.inputs)
        self.assert_signed_medium(self.run_tool(self.args(cert=self.cert, key=self.key,
                                                          cafile=self.cert)))

    def test_key_with_a_password(self):
        cert, key = make_cert(self.keys, "a", password="s3cret pass")
        self.cert, self.key = cert, key
        self.assert_signed_medium(self.run_tool(self.args(cert=cert, key=key, pass_="s3cret pass",
                                                          cafile=cert)))
        shutil.rmtree(self.out)
        pass_file = os.path.join(self.keys, "pass.txt")
        self.write(pass_file, b"s3cret pass\n")
        self.assert_signed_medium(self.run_tool(self.args(cert=cert, key=key, pass_file=pass_file,
                                                          cafile=cert)))

    def test_wrong_password_fails_cleanly(self):
        cert, key = make_cert(self.keys, "a", password="right")
        result = self.run_tool(self.args(cert=cert, key=key, pass_="wrong", cafile=cert))
        self.assert_refused(result, "signing CorvaneInst.exe", "nothing written")

    def test_bad_key_and_cert_pair_fails_cleanly(self):
        _other_cert, other_key = make_cert(self.keys, "b")
        garbage = self.write(os.path.join(self.keys, "garbage.pem"), b"not a PEM file\n")
        for name, cert, key in (("key of another cert", self.cert, other_key),
                                ("key is not a key", self.cert, garbage),
                                ("cert is not a cert", garbage, self.key)):
            for existing in (None, {}):
                with self.subTest(case=name, out_exists=existing is not None):
                    if existing is not None:
                        os.mkdir(self.out)
                    result = self.run_tool(self.args(cert=cert, key=key, cafile=self.cert))
                    self.assert_refused(result, "signing CorvaneInst.exe", "nothing written",
                                        out_left=existing)
                    if existing is not None:
                        os.rmdir(self.out)

    def test_signature_that_does_not_verify_fails_cleanly(self):
        other_cert, _ = make_cert(self.keys, "c")
        result = self.run_tool(self.args(cert=self.cert, key=self.key, cafile=other_cert))
        self.assert_refused(result, "verifying the signature of CorvaneInst.exe", "nothing written")

    def test_missing_signing_files_are_named(self):
        result = self.run_tool(self.args(cert="keys/none.crt", key="keys/none.key",
                                         cafile="keys/none-ca.pem"))
        self.assert_refused(result, "--cert keys/none.crt: missing", "--key keys/none.key: missing",
                            "--cafile keys/none-ca.pem: missing")

    def test_signing_does_not_touch_the_output_until_done(self):
        self.write(os.path.join(self.out, "keep.txt"), b"old")
        before = tree(self.out)
        other_cert, _ = make_cert(self.keys, "d")
        result = self.run_tool(self.args(cert=self.cert, key=self.key, cafile=other_cert, force=True))
        self.assert_refused(result, "verifying the signature", out_left=before)


if __name__ == "__main__":
    unittest.main()
