"""scripts/manifests.sh on a small stand-in release passes the check, and each planted fault
fails it with a message that names the fault.

    python3 -m unittest discover -s tests/packaging -p 'test_*.py'
"""

import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

import validate_manifests

ROOT = Path(__file__).resolve().parents[2]
VERSION = "1.2.3"
WINGET = f"winget/manifests/b/Brennavo/Quiverdart/{VERSION}"


def _edit(relative, pattern, replacement):
    def plant(release):
        path = release / relative
        text, count = re.subn(pattern, replacement, path.read_text(), count=1, flags=re.M)
        assert count == 1, f"{pattern} not found in {relative}"
        path.write_text(text)
    return plant


# (fault, how to plant it, words the message must hold)
FAULTS = [
    ("wrong winget hash", _edit(f"{WINGET}/Brennavo.Quiverdart.installer.yaml",
                                r"(InstallerSha256: )\w+", r"\g<1>" + "AB" * 32),
     "installer 1 (x86): InstallerSha256 " + "AB" * 32 + " does not match Quiverdart-1.2.3-win32.zip"),
    ("wrong scoop hash", _edit("scoop/quiverdart.json", r'("hash": ")\w+', r"\g<1>" + "0" * 64),
     "64bit: hash " + "0" * 64 + " does not match Quiverdart-1.2.3-win64.zip"),
    ("no License", _edit(f"{WINGET}/Brennavo.Quiverdart.locale.en-US.yaml", r"^License: .*\n", ""),
     "schema: (top): 'License' is a required property"),
    ("no scoop license", _edit("scoop/quiverdart.json", r'^ *"license": .*\n', ""),
     "schema: (top): 'license' is a required property"),
    ("nested path escapes", _edit(f"{WINGET}/Brennavo.Quiverdart.installer.yaml",
                                  r"(RelativeFilePath: )\S+", r"\1../Quiverdart.exe"),
     "RelativeFilePath ../Quiverdart.exe leaves the zip"),
    ("nested file absent", _edit(f"{WINGET}/Brennavo.Quiverdart.installer.yaml",
                                 r"(RelativeFilePath: \S+/)Quiverdart.exe", r"\1Quiverdrat.exe"),
     "is not in Quiverdart-1.2.3-win32.zip"),
    ("no schema header", _edit(f"{WINGET}/Brennavo.Quiverdart.yaml", r"^# yaml-language.*\n", ""),
     "the first line must be the schema header"),
    ("versions disagree", _edit(f"{WINGET}/Brennavo.Quiverdart.yaml",
                                r"^PackageVersion: .*", "PackageVersion: 1.2.4"),
     "PackageVersion '1.2.3' differs from the version manifest's '1.2.4'"),
]


class ManifestsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Path(tempfile.mkdtemp())
        cls.release = cls.scratch / "release"
        cls.release.mkdir()
        lines = []
        for arch in ("win32", "win64"):
            name = f"Quiverdart-{VERSION}-{arch}"
            with zipfile.ZipFile(cls.release / f"{name}.zip", "w") as archive:
                archive.writestr(f"{name}/Quiverdart.exe", f"MZ {arch}")
            digest = hashlib.sha256((cls.release / f"{name}.zip").read_bytes()).hexdigest()
            lines.append(f"{digest}  {name}.zip\n")
        (cls.release / f"Quiverdart-{VERSION}-SHA256SUMS.txt").write_text("".join(lines))
        subprocess.run(["bash", ROOT / "scripts/manifests.sh", cls.release, VERSION], check=True,
                       stdout=subprocess.DEVNULL,
                       env={**os.environ, "SOURCE_DATE_EPOCH": "1765000000"})

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def test_the_written_manifests_pass(self):
        self.assertEqual(validate_manifests.check(self.release, validate_manifests.SCHEMAS), [])

    def test_each_planted_fault_is_named(self):
        for fault, plant, message in FAULTS:
            with self.subTest(fault):
                copy = self.scratch / fault.replace(" ", "-") / "release"
                shutil.copytree(self.release, copy)
                plant(copy)
                problems = validate_manifests.check(copy, validate_manifests.SCHEMAS)
                self.assertTrue(any(message in p for p in problems), problems)


if __name__ == "__main__":
    unittest.main()
