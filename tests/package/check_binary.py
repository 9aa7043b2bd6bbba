#!/usr/bin/python3
"""Static checks of a Windows binary that run on any machine (Debian: python3-pefile):

    check_binary.py FILE --machine x86|x64 [--version X.Y.Z] [--exports NAME,...]
                    [--typelib TLB] [--typelib-of OTHER_PE]

--machine     the PE machine type.
--version     the version record: FILEVERSION X.Y.Z.0, and FileVersion/ProductVersion strings.
--exports     these names are exported, undecorated (no _name@n of stdcall), and nothing else.
--typelib     the TYPELIB resource 1 equals this file, byte for byte.
--typelib-of  the TYPELIB resource 1 equals that of another binary, apart from what the type library
              compiler writes per processor (target system, pointer sizes and alignments, vtable
              offsets) and per run (its stamp of version and time in the custom data).
Always: every imported DLL is a system DLL, so no compiler runtime has to ship beside the binary.
"""
import argparse
import struct
import sys

import pefile

MACHINES = {"x86": 0x14C, "x64": 0x8664}
# What any Windows since 7 has; the compiler runtimes (libgcc_s_*, libstdc++-6, libwinpthread-1,
# msvcp*/vcruntime*) are not among them.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "uuid.dll", "version.dll",
    "windowscodecs.dll", "ws2_32.dll",
}
# The parts of an MSFT type library that depend on the processor or on the time it was made.
SYSKIND_OFFSET = 0x14          # header: low nibble of the flags word (win32, win64)
TYPEINFO_ENTRY_SIZE = 0x64     # the type information table: one entry per type
CUSTOM_DATA_SEGMENT = 11       # widl stores "Created by WIDL ... at TIME" here


def typelib(pe):
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.name is not None and str(entry.name) == "TYPELIB":
            for resource in entry.directory.entries:
                if resource.id == 1:
                    data = resource.directory.entries[0].data.struct
                    return pe.get_data(data.OffsetToData, data.Size)
    return None


def processor_neutral(library):
    """The type library with every processor- and time-dependent field set to 0."""
    data = bytearray(library)
    data[SYSKIND_OFFSET] &= 0xF0
    flags, count = struct.unpack_from("<ii", data, 0x1C)
    segments_at = 0x54 + (4 if flags & 0x100 else 0) + 4 * count
    segments = [struct.unpack_from("<ii", data, segments_at + 16 * i) for i in range(15)]
    table_at = segments[0][0]
    for i in range(count):
        entry = table_at + TYPEINFO_ENTRY_SIZE * i
        kind, members_at = struct.unpack_from("<ii", data, entry)
        struct.pack_into("<i", data, entry, kind & ~0xFFC0)     # alignments
        struct.pack_into("<hi", data, entry + 0x4E, 0, 0)       # vtable size, instance size
        functions = struct.unpack_from("<h", data, entry + 0x18)[0]
        record = members_at + 4
        for _ in range(functions if members_at > 0 else 0):
            size = struct.unpack_from("<h", data, record)[0]
            struct.pack_into("<h", data, record + 0x0C, 0)          # vtable offset
            record += size
    at, length = segments[CUSTOM_DATA_SEGMENT]
    if at >= 0:
        data[at:at + length] = bytes(length)
    return bytes(data)


def version_problems(pe, version):
    problems = []
    quad = tuple(int(part) for part in version.split(".")) + (0,)
    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    if fixed is None:
        return ["no version record"]
    found = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    if found != quad:
        problems.append(f"FILEVERSION is {'.'.join(map(str, found))}, not {'.'.join(map(str, quad))}")
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    for key, wanted in (("FileVersion", ".".join(map(str, quad))), ("ProductVersion", version)):
        if strings.get(key) != wanted:
            problems.append(f"{key} is {strings.get(key)!r}, not {wanted!r}")
    for key in ("ProductName", "FileDescription"):
        if not strings.get(key):
            problems.append(f"no {key}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--machine", required=True, choices=MACHINES)
    parser.add_argument("--version")
    parser.add_argument("--exports")
    parser.add_argument("--typelib")
    parser.add_argument("--typelib-of")
    args = parser.parse_args()

    pe = pefile.PE(args.file)
    problems = []
    if pe.FILE_HEADER.Machine != MACHINES[args.machine]:
        problems.append(f"machine type 0x{pe.FILE_HEADER.Machine:x}, not {args.machine}")
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().lower()
        if dll not in SYSTEM_DLLS and not dll.startswith("api-ms-win-"):
            problems.append(f"imports {dll}, which is not a system DLL")
    if args.exports is not None:
        exported = set()
        if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
            exported = {symbol.name.decode() for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols if symbol.name}
        wanted = set(args.exports.split(","))
        if exported != wanted:
            problems.append(f"exports {sorted(exported)}, not {sorted(wanted)}")
    if args.version:
        problems += version_problems(pe, args.version)
    if args.typelib or args.typelib_of:
        library = typelib(pe)
        if library is None:
            problems.append("no TYPELIB resource 1")
        elif args.typelib:
            with open(args.typelib, "rb") as f:
                if f.read() != library:
                    problems.append(f"the TYPELIB resource differs from {args.typelib}")
        else:
            other = typelib(pefile.PE(args.typelib_of))
            if other is None or processor_neutral(other) != processor_neutral(library):
                problems.append(f"the TYPELIB resource differs from that of {args.typelib_of}")
    for problem in problems:
        print(f"{args.file}: {problem}")
    if not problems:
        print(f"{args.file}: {args.machine}, checks passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
