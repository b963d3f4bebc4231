#!/usr/bin/env python3
"""Checks the built zqmerlesetup.exe for what lets it run everywhere it must
and keeps it safe where it is started: one PE32 GUI exe that loads on
Windows XP, needs no MinGW DLL beside it, carries its manifest and version
resource, asks the loader for ASLR and DEP, imports only DLLs that Windows
always takes from the system folder, and leaves the DLL search to be
narrowed at run time.

    check_exe.py OBJDUMP EXE ALLOWLIST [--x86-64] [CHECK...]

Every import must be named in ALLOWLIST (xp-functions.txt) under its DLL;
a function that XP lacks has to be looked up at run time instead. CHECKs
select checks by name (default: all); each failure is printed and the
script exits with 1. --x86-64 checks the 64-bit build of the same sources:
a PE32+ image, which must also allow high-entropy (above 4 GB) addresses.
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
# DLLs that the loader always takes from the system folder, whatever the
# search order: the KnownDLLs of every supported Windows. COMCTL32 is not
# one of them, but the manifest's dependency on Common Controls 6.0 has it
# taken from the side-by-side store.
KNOWN_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL", "MSVCRT.DLL"}
SIDE_BY_SIDE_DLL = "COMCTL32.DLL"
COMMON_CONTROLS_6 = re.compile(r'name="microsoft\.windows\.common-controls"\s+version="6\.0\.0\.0"')

# Functions that narrow the DLL search. The program calls them first thing;
# imported, they would keep the exe from loading where they are missing
# (SetDefaultDllDirectories: XP, Vista and 7 without KB2533623;
# SetDllDirectoryW: XP without a service pack), so they must be looked up
# at run time: named in the exe's data, never in its import table.
RUN_TIME_LOOKUPS = ("SetDefaultDllDirectories", "SetDllDirectoryW")

# DllCharacteristics bits (IMAGE_DLLCHARACTERISTICS_*) and the file header's
# IMAGE_FILE_RELOCS_STRIPPED.
HIGH_ENTROPY_VA = 0x0020
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
RELOCS_STRIPPED = 0x0001

RUNTIME_DLL = re.compile(r"^(libstdc\+\+|libgcc|libwinpthread|libssp|libatomic)", re.IGNORECASE)


class Exe:
    def __init__(self, objdump, path, x86_64=False):
        self.path = path
        self.x86_64 = x86_64
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

    def section_sizes(self):
        """{section name: size} from the section table."""
        return {m.group(1): int(m.group(2), 16)
                for m in re.finditer(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s", self.sections, re.MULTILINE)}

    def data_directory(self, title):
        """(rva, size) of the optional header's data directory entry."""
        m = re.search(r"^Entry [0-9a-f] ([0-9a-f]+) ([0-9a-f]+) %s" % re.escape(title), self.headers, re.MULTILINE)
        return (int(m.group(1), 16), int(m.group(2), 16)) if m else (0, 0)

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
    file_format, magic = ("pei-x86-64", "020b (PE32+)") if exe.x86_64 else ("pei-i386", "010b (PE32)")
    if "file format %s" % file_format not in exe.headers:
        errors.append("not a %s image" % file_format)
    if exe.header_field("Magic") != magic.split()[0]:
        errors.append("optional header magic %s, not %s" % (exe.header_field("Magic"), magic))
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
    if COMMON_CONTROLS_6.search(text) is None:
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


def check_hardening(exe, _):
    """ASLR and DEP: the loader may place the image anywhere (and can, since
    the base relocation table is there) and runs no code from data pages."""
    errors = []
    characteristics = int(exe.header_field("DllCharacteristics") or "0", 16)
    wanted = [(DYNAMIC_BASE, "DYNAMIC_BASE (ASLR: link with --dynamicbase)"),
              (NX_COMPAT, "NX_COMPAT (DEP: link with --nxcompat)")]
    if exe.x86_64:
        wanted.append((HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA (link with --high-entropy-va)"))
    for bit, name in wanted:
        if not characteristics & bit:
            errors.append("DllCharacteristics %04x lacks %s" % (characteristics, name))
    # Without its relocations an image asking for ASLR is loaded at its
    # preferred base all the same, or not at all.
    if exe.section_sizes().get(".reloc", 0) == 0:
        errors.append("no .reloc section: the base relocations were left out (link with --enable-reloc-section)")
    if exe.data_directory("Base Relocation Directory")[1] == 0:
        errors.append("the Base Relocation Directory entry is empty")
    file_characteristics = int(exe.header_field("Characteristics") or "0", 16)
    if file_characteristics & RELOCS_STRIPPED:
        errors.append("the file header says the relocations are stripped")
    return errors


def check_known_dlls(exe, _):
    """Only DLLs that no file in the package folder or the current folder
    can stand in for, since they are loaded before the program's own code
    can narrow the search."""
    errors = []
    imports = exe.imports()
    if not imports:
        errors.append("no import table found")
    manifest = exe.resource(RT_MANIFEST, 1)
    side_by_side = manifest is not None and COMMON_CONTROLS_6.search(manifest.decode("utf-8", "replace").lower())
    for dll in sorted(imports):
        if dll.upper() in KNOWN_DLLS:
            continue
        if dll.upper() == SIDE_BY_SIDE_DLL:
            if not side_by_side:
                errors.append("imports %s, but the manifest does not take it from the side-by-side store "
                              "(Common Controls 6.0)" % dll)
            continue
        errors.append("imports %s, which Windows does not always take from the system folder: "
                      "load it at run time by its full path there" % dll)
    return errors


def check_dll_search(exe, _):
    """The search-narrowing functions are looked up at run time."""
    errors = []
    imported = {function for functions in exe.imports().values() for function in functions if function}
    for function in RUN_TIME_LOOKUPS:
        if function in imported:
            errors.append("imports %s: it must be looked up at run time, or the exe does not load where it "
                          "is missing" % function)
        elif function.encode("ascii") + b"\0" not in exe.data:
            errors.append("never names %s: the DLL search is not narrowed at run time" % function)
    return errors


CHECKS = {
    "format": check_format,
    "subsystem": check_subsystem,
    "imports": check_imports,
    "manifest": check_manifest,
    "version": check_version,
    "hardening": check_hardening,
    "known-dlls": check_known_dlls,
    "dll-search": check_dll_search,
}


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    objdump, path, allowlist = argv[1:4]
    options = [a for a in argv[4:] if a.startswith("--")]
    selected = [a for a in argv[4:] if not a.startswith("--")] or list(CHECKS)
    unknown = [a for a in options if a != "--x86-64"] + [a for a in selected if a not in CHECKS]
    if unknown:
        print("unknown option or check: %s" % " ".join(unknown), file=sys.stderr)
        return 2
    exe = Exe(objdump, path, x86_64="--x86-64" in options)
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
