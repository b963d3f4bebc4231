#!/usr/bin/env python3
"""Checks the built 32-bit zqmerlesetup.exe for what lets it run everywhere
it must: one PE32 GUI exe that loads on Windows XP, needs no MinGW DLL beside
it, and carries its manifest and version resource.

    check_exe.py OBJDUMP EXE ALLOWLIST [CHECK...]

Every import must be named in ALLOWLIST (xp-functions.txt) under its DLL;
a function that XP lacks has to be looked up at run time instead. CHECKs
select checks by name (default: all); each failure is printed and the
script exits with 1.
"""
import re
import struct
import subprocess
import sys

RT_VERSION = 0x10
RT_MANIFEST = 0x18
VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD

# The supported-OS entries: Vista, 7 and 8 must be there; 8.1 and 10 must not,
# or Windows 8.1 and later would report 10.0 and no os_list entry could match.
SUPPORTED_OS_REQUIRED = {
    "e2011457-1546-43c5-a5fe-008deee3d3f0": "Vista",
    "35138b9a-5d96-4fbd-8e2d-a2440225f93a": "7",
    "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38": "8",
}
SUPPORTED_OS_FORBIDDEN = {
    "1f676c76-80e1-4239-95bb-83d0f6d0da78": "8.1",
    "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a": "10 and 11",
}
RUNTIME_DLL = re.compile(r"^(libstdc\+\+|libgcc|libwinpthread|libssp|libatomic)", re.IGNORECASE)


class Exe:
    def __init__(self, objdump, path):
        self.path = path
        self.headers = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
        self.sections = subprocess.run([objdump, "-h", path], check=True, capture_output=True, text=True).stdout
        with open(path, "rb") as f:
            self.data = f.read()

    def header_field(self, name):
        m = re.search(r"^%s\s+(\S+)" % re.escape(name), self.headers, re.MULTILINE)
        return m.group(1) if m else None

    def imports(self):
        """{dll name: [function names]}, names None for imports by ordinal."""
        result = {}
        dll = None
        for line in self.headers.splitlines():
            m = re.match(r"^\s*DLL Name: (\S+)", line)
            if m:
                dll = m.group(1)
                result.setdefault(dll, [])
                continue
            if dll is None:
                continue
            if not line.strip():
                dll = None  # a blank line ends this DLL's table
                continue
            # One import per line: a tab, its hint-table address, the hint
            # and the name ("<none>" for an import by ordinal).
            m = re.match(r"^\t[0-9a-fA-F]+\t\s*\d+\s+(\S+)", line)
            if m:
                result[dll].append(None if m.group(1) == "<none>" else m.group(1))
        return result

    def resources(self):
        """[(type id, name id, rva, size)] from the resource directory dump,
        whose entries are indented by two more blanks at each level (type,
        name, language)."""
        leaves = []
        type_id = name_id = None
        for line in self.headers.splitlines():
            m = re.match(r"^[0-9a-f]{3}( +)Entry: ID: 0x([0-9a-f]+)", line)
            if m:
                level = (len(m.group(1)) - 3) // 2
                if level == 0:
                    type_id, name_id = int(m.group(2), 16), None
                elif level == 1:
                    name_id = int(m.group(2), 16)
                continue
            m = re.match(r"^[0-9a-f]{3} +Leaf: Addr: 0x([0-9a-f]+), Size: 0x([0-9a-f]+)", line)
            if m:
                leaves.append((type_id, name_id, int(m.group(1), 16), int(m.group(2), 16)))
        return leaves

    def bytes_at_rva(self, rva, size):
        image_base = int(self.header_field("ImageBase"), 16)
        for m in re.finditer(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)",
                             self.sections, re.MULTILINE):
            length, vma, offset = int(m.group(2), 16), int(m.group(3), 16) - image_base, int(m.group(4), 16)
            if vma <= rva < vma + length:
                start = offset + rva - vma
                return self.data[start:start + size]
        raise LookupError("RVA 0x%x lies in no section" % rva)

    def resource(self, type_id, name_id):
        for t, n, rva, size in self.resources():
            if t == type_id and n == name_id:
                return self.bytes_at_rva(rva, size)
        return None


def read_allowlist(path):
    """{DLL name upper-cased: {function names}} from xp-functions.txt."""
    allowed = {}
    dll = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            m = re.fullmatch(r"\[(\S+)\]", line)
            if m:
                dll = m.group(1).upper()
                allowed.setdefault(dll, set())
            elif dll is None:
                raise ValueError("%s:%d: function before any [DLL] heading" % (path, number))
            else:
                allowed[dll].add(line)
    return allowed


def check_format(exe, _):
    errors = []
    if "file format pei-i386" not in exe.headers:
        errors.append("not an i386 PE image")
    if exe.header_field("Magic") != "010b":
        errors.append("optional header magic %s, not 010b (PE32)" % exe.header_field("Magic"))
    return errors


def check_subsystem(exe, _):
    errors = []
    if exe.header_field("Subsystem") != "00000002":
        errors.append("subsystem %s, not 2 (Windows GUI)" % exe.header_field("Subsystem"))
    # XP's loader refuses an image that asks for a later system.
    for kind in ("Subsystem", "OSystem"):
        version = (int(exe.header_field("Major%sVersion" % kind)), int(exe.header_field("Minor%sVersion" % kind)))
        if version > (5, 1):
            errors.append("%s version %d.%d is later than XP's 5.1" % (kind, *version))
    return errors


def check_imports(exe, allowlist_path):
    errors = []
    allowed = read_allowlist(allowlist_path)
    imports = exe.imports()
    if not imports:
        errors.append("no import table found")
    for dll, functions in sorted(imports.items()):
        if RUNTIME_DLL.match(dll):
            errors.append("imports the MinGW runtime DLL %s: the exe must be linked fully static" % dll)
            continue
        if dll.upper() == "WINSPOOL.DRV":
            errors.append("imports winspool.drv: the spooler must be loaded at run time from the system folder")
            continue
        if dll.upper() not in allowed:
            errors.append("imports %s, which is not an expected DLL" % dll)
            continue
        for function in functions:
            if function is None:
                errors.append("imports from %s by ordinal" % dll)
            elif function not in allowed[dll.upper()]:
                errors.append("imports %s!%s, which is not in %s (does Windows XP have it?)"
                              % (dll, function, allowlist_path))
    return errors


def check_manifest(exe, _):
    manifest = exe.resource(RT_MANIFEST, 1)
    if manifest is None:
        return ["no manifest resource (RT_MANIFEST, 1)"]
    text = manifest.decode("utf-8", "replace").lower()
    errors = []
    if re.search(r'requestedexecutionlevel\s+level="requireadministrator"', text) is None:
        errors.append("the manifest does not ask for requireAdministrator")
    if re.search(r'name="microsoft\.windows\.common-controls"\s+version="6\.0\.0\.0"', text) is None:
        errors.append("the manifest does not depend on Microsoft.Windows.Common-Controls 6.0.0.0")
    for guid, name in SUPPORTED_OS_REQUIRED.items():
        if guid not in text:
            errors.append("the manifest lacks the supportedOS entry for Windows %s" % name)
    for guid, name in SUPPORTED_OS_FORBIDDEN.items():
        if guid in text:
            errors.append("the manifest names Windows %s as supported: it would report 10.0" % name)
    if len([1 for t, n, _, _ in exe.resources() if t == RT_MANIFEST]) != 1:
        errors.append("more than one manifest resource")
    return errors


def check_version(exe, _):
    version = exe.resource(RT_VERSION, 1)
    if version is None:
        return ["no version resource (RT_VERSION, 1)"]
    errors = []
    at = version.find(struct.pack("<I", VS_FIXEDFILEINFO_SIGNATURE))
    if at < 0:
        errors.append("the version resource has no VS_FIXEDFILEINFO")
    else:
        _, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", version, at)
        for name, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
            parts = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
            if parts != (1, 0, 0, 1):
                errors.append("%s version %d.%d.%d.%d, not 1.0.0.1" % (name, *parts))
    if "FileVersion\0\0".encode("utf-16-le") not in version or "1.0.0.1\0".encode("utf-16-le") not in version:
        errors.append('the version strings do not hold FileVersion "1.0.0.1"')
    return errors


CHECKS = {
    "format": check_format,
    "subsystem": check_subsystem,
    "imports": check_imports,
    "manifest": check_manifest,
    "version": check_version,
}


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    objdump, path, allowlist = argv[1:4]
    selected = argv[4:] or list(CHECKS)
    exe = Exe(objdump, path)
    failed = False
    for name in selected:
        errors = CHECKS[name](exe, allowlist)
        for error in errors:
            print("%s: %s: %s" % (path, name, error))
        failed = failed or bool(errors)
        if not errors:
            print("%s: ok" % name)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
