#!/usr/bin/python3
"""Checks an unpacked deployment package: the OCX is the one built (signed or not), and the INF names
it, with the OCX's own file version (from its version resource), its platform (from its PE header)
and the class id the OCX registered. The package's name is its INF's: Tovalo.inf with Tovalo.ocx,
Tovalo64.inf with Tovalo64.ocx.

usage: check_package.py FOLDER BUILT_OCX [REGISTERED_CLSID REGISTERED_INSTALLED_VERSION]
Prints one line per check; exits 1 when any fails."""
import struct
import sys
from pathlib import Path

FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def file_version(ocx: bytes) -> str:
    """FILEVERSION of the VS_FIXEDFILEINFO record, as "a,b,c,d"."""
    at = ocx.find(FIXED_INFO_SIGNATURE)
    if at < 0:
        return "<no version resource>"
    _sig, _struc, ms, ls = struct.unpack_from("<4I", ocx, at)
    return f"{ms >> 16},{ms & 0xFFFF},{ls >> 16},{ls & 0xFFFF}"


def without_signature(pe: bytes) -> tuple[bytes, bool]:
    """The file with its Authenticode signature taken off (the certificate table at its end, and
    the checksum and the table's directory entry that signing sets), and whether it had one."""
    optional = struct.unpack_from("<I", pe, 0x3C)[0] + 24
    pe32 = struct.unpack_from("<H", pe, optional)[0] == 0x10B
    security = optional + (96 if pe32 else 112) + 4 * 8  # the fifth data directory
    offset, size = struct.unpack_from("<II", pe, security)
    image = bytearray(pe[:offset] if size else pe)
    image[optional + 64 : optional + 68] = bytes(4)
    image[security : security + 8] = bytes(8)
    return bytes(image), size != 0


# PE machine -> the INF key of the code for that platform.
INF_PLATFORMS = {0x14C: "file-win32-x86", 0x8664: "file-win64-x64"}


def machine(pe: bytes) -> int:
    return struct.unpack_from("<H", pe, struct.unpack_from("<I", pe, 0x3C)[0] + 4)[0]


def same_code(packed: bytes, built: bytes) -> bool:
    """Whether the packed OCX is the built one, or the built one signed (signing pads the file
    with up to 7 zero bytes before the certificate table)."""
    if packed == built:
        return True
    stripped, signed = without_signature(packed)
    original, _ = without_signature(built)
    padding = stripped[len(original) :]
    return signed and stripped.startswith(original) and len(padding) < 8 and not padding.strip(b"\0")


def read_inf(text: str) -> dict:
    """Sections -> {key: value}; names compared without case, as Windows reads an INF."""
    sections, current = {}, None
    for raw in text.splitlines():
        line = raw.split(";", 1)[0].strip()
        if not line:
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1].strip().lower(), {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current[key.strip().lower()] = value.strip()
    return sections


def main() -> int:
    folder = Path(sys.argv[1])
    name = next(folder.glob("*.inf")).stem
    ocx = (folder / f"{name}.ocx").read_bytes()
    built = Path(sys.argv[2]).read_bytes()
    inf_bytes = (folder / f"{name}.inf").read_bytes()
    inf = read_inf(inf_bytes.decode("ascii"))
    code = inf.get(f"{name}.ocx".lower(), {})
    version = file_version(ocx)
    platform = INF_PLATFORMS.get(machine(ocx), f"<machine {machine(ocx):#x}>")
    checks = [
        ("the OCX is the one built" + (", signed" if without_signature(ocx)[1] else ""), same_code(ocx, built),
         f"packed {len(ocx)} bytes, built {len(built)} bytes"),
        ("INF lines end in CRLF", b"\n" not in inf_bytes.replace(b"\r\n", b""), ""),
        ("INF signature", inf.get("version", {}).get("signature", "").lower() == '"$chicago$"',
         inf.get("version", {}).get("signature")),
        (f"[Add.Code] installs {name}.ocx", inf.get("add.code", {}).get(f"{name}.ocx".lower()) == f"{name}.ocx",
         inf.get("add.code")),
        (f"the OCX comes from this CAB for its platform ({platform})", code.get(platform) == "thiscab",
         {key: value for key, value in code.items() if key.startswith("file-")}),
        ("the OCX registers itself", code.get("registerserver", "").lower() == "yes", code.get("registerserver")),
        ("INF FileVersion is the OCX's version resource", code.get("fileversion") == version,
         f"INF {code.get('fileversion')}, OCX {version}"),
        ("the version resource says OLESelfRegister", "OLESelfRegister".encode("utf-16-le") in ocx, ""),
    ]
    if len(sys.argv) > 4:
        clsid, installed = sys.argv[3], sys.argv[4]
        checks += [
            ("INF clsid is the class the OCX registered", code.get("clsid", "").upper() == clsid.upper(),
             f"INF {code.get('clsid')}, registered {clsid}"),
            ("registered InstalledVersion is the OCX's version", installed == version,
             f"registered {installed}, OCX {version}"),
        ]
    failed = 0
    for name, ok, detail in checks:
        print(f"{'ok  ' if ok else 'FAIL'} {name}" + (f" ({detail})" if not ok or detail else ""))
        failed += not ok
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
