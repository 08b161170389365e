#!/usr/bin/env python3
"""Checks a release archive made by scripts/release.sh: it holds exactly the listed files; each
binary is a PE of its machine, carries a version resource with the project's version and
imports only from Windows' own DLLs (the component also from the player's library); each
component DLL exports exactly the entry point; SHA256SUMS matches; README.txt is the user guide
of this README.md. Reads the binaries with llvm-readobj.

    release-check.py dist/tessel_link-<version>.zip

Prints one line per check and exits 1 when any fails.
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

PLAYER_LIBRARY = "corvina_shared.dll"
# Each binary of the archive: its machine, the names it must export (None: not checked), and
# the DLLs beside Windows' own that it may import.
BINARIES = {
    "for-64-bit-player/tessel_link.dll": ("IMAGE_FILE_MACHINE_AMD64", ["corvina_get_interface"],
                                          {PLAYER_LIBRARY}),
    "for-32-bit-player/tessel_link.dll": ("IMAGE_FILE_MACHINE_I386", ["corvina_get_interface"],
                                          {PLAYER_LIBRARY}),
    "tessel-phone/tessel-phone.exe": ("IMAGE_FILE_MACHINE_AMD64", None, {PLAYER_LIBRARY}),
    "tessel-phone/corvina_shared.dll": ("IMAGE_FILE_MACHINE_AMD64", None, set()),
}
FILES = ["README.txt", "SHA256SUMS", *BINARIES]
# Windows' own DLLs; a MinGW runtime DLL (libstdc++, libgcc, libwinpthread) must not appear.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
               "shell32.dll", "shlwapi.dll", "ole32.dll", "oleaut32.dll", "advapi32.dll",
               "msvcrt.dll", "ws2_32.dll", "setupapi.dll", "uxtheme.dll"}

failures = []


def check(condition, what):
    print(("ok      " if condition else "FAILED  ") + what)
    if not condition:
        failures.append(what)


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(tessel_link VERSION ([0-9.]+)", f.read()).group(1)


def readobj(path, *options):
    return subprocess.run(["llvm-readobj", *options, path], check=True, capture_output=True,
                          text=True).stdout


def resource_bytes(dump, type_name):
    """The data of the first resource of a type, from llvm-readobj --coff-resources."""
    start = dump.index(f"Type: {type_name}")
    data = bytearray()
    for line in dump[start:].splitlines():
        hex_line = re.match(r"\s+[0-9A-F]{4,}: ((?:[0-9A-F]{2,8} ?)+)\s*\|", line)
        if hex_line:
            data += bytes.fromhex(hex_line.group(1).replace(" ", ""))
        elif data and line.strip().startswith(")"):
            break
    return bytes(data)


def version_strings(info):
    """The StringFileInfo values of a VERSIONINFO resource, by name."""
    text = info.decode("utf-16-le", errors="replace")
    return dict(re.findall(r"(\w+)\x00+([^\x00]+)\x00", text))


def check_version(name, path, version):
    dump = readobj(path, "--coff-resources")
    if "Type: VERSIONINFO" not in dump:
        check(False, f"{name}: has a version resource")
        return
    info = resource_bytes(dump, "VERSIONINFO")
    fixed = info.find(struct.pack("<I", 0xFEEF04BD))
    parts = [int(p) for p in version.split(".")] + [0, 0, 0]
    want = (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", info, fixed + 8)
    check(fixed >= 0 and (file_ms, file_ls) == want and (product_ms, product_ls) == want,
          f"{name}: file and product version {version} in the version resource's numbers")
    strings = version_strings(info)
    check(strings.get("FileVersion") == version and strings.get("ProductVersion") == version,
          f"{name}: FileVersion and ProductVersion texts {version} "
          f"(found {strings.get('FileVersion')}, {strings.get('ProductVersion')})")


def check_binary(name, path, machine, exports, extra_imports, version):
    headers = readobj(path, "--file-headers")
    check(f"Machine: {machine}" in headers, f"{name}: a PE for {machine}")
    if exports is not None:
        found = re.findall(r"^\s+Name: (\S+)$", readobj(path, "--coff-exports"), re.M)
        check(found == exports, f"{name}: exports exactly {exports} (found {found})")
    imports = {dll.lower() for dll in
               re.findall(r"^\s+Name: (\S+\.dll)$", readobj(path, "--coff-imports"), re.M | re.I)}
    check(imports <= SYSTEM_DLLS | extra_imports,
          f"{name}: imports only from Windows' DLLs and {sorted(extra_imports)} "
          f"(found {sorted(imports)})")
    check_version(name, path, version)
    sections = readobj(path, "--sections")
    check(".gnu_debuglink" in sections and ".debug_info" not in sections,
          f"{name}: stripped, names its separate debug information")


def main():
    archive = sys.argv[1]
    version = project_version()
    top = f"tessel_link-{version}/"
    check(os.path.basename(archive) == f"tessel_link-{version}.zip",
          f"the archive is named after the version {version}")
    with zipfile.ZipFile(archive) as z, tempfile.TemporaryDirectory() as work:
        names = z.namelist()
        check(names == [top + f for f in FILES],
              f"the archive holds exactly {FILES} under {top} (found {names})")
        z.extractall(work)
        folder = os.path.join(work, top)
        for name, (machine, exports, extra_imports) in BINARIES.items():
            if top + name in names:
                check_binary(name, os.path.join(folder, name), machine, exports, extra_imports,
                             version)
        sums = {}
        with open(os.path.join(folder, "SHA256SUMS"), encoding="utf-8") as f:
            for line in f:
                digest, file = line.rstrip("\n").split("  ", 1)
                sums[file] = digest
        check(sorted(sums) == sorted(f for f in FILES if f != "SHA256SUMS"),
              "SHA256SUMS lists every other file")
        for file, digest in sums.items():
            path = os.path.join(folder, file)
            with open(path, "rb") if os.path.isfile(path) else open(os.devnull, "rb") as f:
                check(os.path.isfile(path) and hashlib.sha256(f.read()).hexdigest() == digest,
                      f"{file}: checksum matches")
        guide = os.path.join(work, "guide.txt")
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "user-guide.py"),
                        os.path.join(ROOT, "README.md"), guide], check=True)
        with open(guide, "rb") as made, open(os.path.join(folder, "README.txt"), "rb") as packed:
            check(made.read() == packed.read(), "README.txt is the user guide of README.md")
    if failures:
        print(f"{len(failures)} check(s) FAILED")
        return 1
    print("release archive: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
