#!/usr/bin/env python3
"""Checks a 32-bit Windows program for what the oldest systems it promises
cannot run. Runs on the build host, without Wine.

  image_check.py instructions EXE --objdump OBJDUMP [--map MAP --foreign DIR...]
                                  [--allow FUNCTION...] [--detection FUNCTION...]
      Fails on any instruction beyond the 486 and the Pentium: CMOV, FCMOV,
      FCOMI and FUCOMI, any MMX, SSE or 3DNow! instruction, the multi-byte
      NOPs (0F 19 to 0F 1F) wherever the path before them runs on into them
      (padding behind a return or a jump never runs; padding that a loop
      falls into does), and CMPXCHG8B, which the 486 lacks; each read whole,
      after its prefixes (cs, lock, rep, data16...). RDTSC and CPUID, which the 486 lacks too,
      are refused outside the functions named by --detection, the code that
      tests for them first. Functions named by --allow (the
      processor-specific tiers, chosen at run time by the processor flags)
      may hold MMX, SSE and 3DNow! instructions. With --map (the linker's map
      file), code that came from a library under one of the --foreign folders
      (the toolchain's prebuilt libraries) is left out.

  image_check.py imports EXE --allowed LIST [--nm NM] [--static DLL...]
                             [--load-flags FLAGS]
      Fails on any import missing from LIST (lines "dll function",
      case-insensitive for the DLL, # starts a comment), and on any import by
      ordinal; with --nm, the delay-loaded imports are checked too. --static
      also fails when a static import comes from another DLL than those named,
      --load-flags when the load configuration's dependent-load flags differ.
"""
import argparse
import bisect
import os
import re
import struct
import subprocess
import sys

# Mnemonics that the 486 and the Pentium lack, and the register names that
# only MMX, SSE and 3DNow! instructions use. (CMPXCHG8B, which the Pentium
# has and the 486 lacks, is refused everywhere.)
FORBIDDEN_MNEMONIC = re.compile(
    r"^(cmov\w+|fcmov\w+|f(u)?comip?|emms|femms|sfence|lfence|mfence|clflush|"
    r"prefetch\w*|movnt\w+|maskmovq|ldmxcsr|stmxcsr|fxsave|fxrstor|pf\w+|pi2f\w|pavgusb)$")
FORBIDDEN_OPERAND = re.compile(r"%(x|y|z)?mm\d")
# What the 486 lacks, allowed in the detection code that tests for it first.
DETECTION_MNEMONIC = re.compile(r"^(rdtsc|cpuid)$")
# The words objdump writes for prefixes before the mnemonic.
PREFIX_WORDS = {"cs", "ds", "es", "fs", "gs", "ss", "lock", "rep", "repz", "repe", "repnz",
                "repne", "data16", "data32", "addr16", "addr32", "notrack", "bnd", "xacquire",
                "xrelease"}
# Prefix bytes: segments, operand and address size, lock, repeats.
PREFIX_BYTES = {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3}


def disassemble(objdump, exe):
    """Yields (address, function, code, text) for each instruction: its bytes
    and its text."""
    out = subprocess.run([objdump, "-d", "--insn-width=16", exe], check=True,
                         capture_output=True, text=True).stdout
    function = "?"
    for line in out.splitlines():
        head = re.match(r"^([0-9a-f]+) <(.+)>:$", line)
        if head:
            function = head.group(2)
            continue
        m = re.match(r"^\s+([0-9a-f]+):\t([0-9a-f ]+)\t(.*)$", line)
        if m:
            yield (int(m.group(1), 16), function, bytes.fromhex(m.group(2).replace(" ", "")),
                   m.group(3).strip())


def mnemonic_of(text):
    """The mnemonic of an instruction's text, after its prefixes."""
    words = text.split()
    while words and (words[0] in PREFIX_WORDS or words[0].startswith("rex")):
        words.pop(0)
    return words[0] if words else ""


def opcode_of(code):
    """The instruction's bytes after its prefixes."""
    at = 0
    while at < len(code) and code[at] in PREFIX_BYTES:
        at += 1
    return code[at:]


def long_nop(code):
    """True for the multi-byte NOPs and hint NOPs, 0F 19 to 0F 1F (0F 18 is
    the prefetch group), which the Pentium Pro brought."""
    op = opcode_of(code)
    return len(op) >= 2 and op[0] == 0x0F and 0x19 <= op[1] <= 0x1F


def input_sections(map_file):
    """Sorted (start, end, section, origin) of every input section in a GNU ld
    map. A long section name stands on a line of its own, its figures on the
    next."""
    spans, named = [], None
    for line in open(map_file, encoding="utf-8", errors="replace"):
        m = re.match(r"^ (\.\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*))?$", line)
        if m:
            section, figures = m.group(1), m.groups()[1:]
        elif named:
            m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            section, figures = named, m.groups() if m else (None,)
        else:
            continue
        named = section if m and figures[0] is None else None
        if m and figures[0] is not None and int(figures[1], 16):
            start = int(figures[0], 16)
            spans.append((start, start + int(figures[1], 16), section, figures[2].strip()))
    spans.sort()
    return spans


def library_path(origin):
    """The file of an origin "lib.a(member.o)" or "file.o", without dot-dot steps."""
    return os.path.realpath(origin.split("(", 1)[0])


def section_of(spans, starts, address):
    """(section, origin) of the input section holding address, or ("", "")."""
    i = bisect.bisect_right(starts, address) - 1
    if i >= 0 and spans[i][0] <= address < spans[i][1]:
        return spans[i][2], spans[i][3]
    return "", ""


def allowed_function(function, allow):
    """True when function is one of allow: a C name, or a C++ one in its
    mangled form (length, then name), clones such as .part.0 included."""
    return any(function.lstrip("_") == name or "%d%s" % (len(name), name) in function
               for name in allow)


# Instructions after which the next one is reached only by a jump: padding
# behind them never runs.
END_OF_PATH = re.compile(r"^(ret\w*|lret\w*|iret\w*|jmp\w*|ljmp\w*|ud2)$")


def padding(mnemonic, code):
    """True for the NOPs that alignment padding is made of."""
    return long_nop(code) or mnemonic in ("nop", "nopw", "nopl", "xchg") and len(opcode_of(code)) <= 1


def refused(mnemonic, code, text, function, args, unreachable):
    """Why the instruction may not stand in function, or None. unreachable:
    it follows the end of a path, as padding does."""
    if long_nop(code):
        return None if unreachable else "multi-byte NOP"
    if DETECTION_MNEMONIC.match(mnemonic):
        return None if allowed_function(function, args.detection) else "outside the detection code"
    if mnemonic == "cmpxchg8b":
        return "not on a 486"
    if FORBIDDEN_MNEMONIC.match(mnemonic) or FORBIDDEN_OPERAND.search(text):
        return None if allowed_function(function, args.allow) else "beyond the Pentium"
    return None


def check_instructions(args):
    spans = input_sections(args.map) if args.map else []
    foreign = [os.path.realpath(d) + os.sep for d in args.foreign]
    starts = [s[0] for s in spans]
    found = {}
    last_function, unreachable = None, False
    for address, function, code, text in disassemble(args.objdump, args.exe):
        mnemonic = mnemonic_of(text)
        if function != last_function:
            last_function, unreachable = function, False
        why = refused(mnemonic, code, text, function, args, unreachable)
        if END_OF_PATH.match(mnemonic):
            unreachable = True
        elif not padding(mnemonic, code):
            unreachable = False
        if not why:
            continue
        section, origin = section_of(spans, starts, address) if spans else ("", "")
        # Tables that the linker puts among the code are data, not instructions.
        if section and not section.startswith(".text"):
            continue
        if origin and any(library_path(origin).startswith(d) for d in foreign):
            continue
        found.setdefault((function, origin), []).append("%x: %s (%s)" % (address, text, why))
    for (function, origin), lines in sorted(found.items()):
        print("%s%s: %d instruction(s) refused, first %s"
              % (function, " (" + origin + ")" if origin else "", len(lines), lines[0]))
    return 1 if found else 0


class Image:
    """The parts of a PE file that its imports need."""

    def __init__(self, path):
        self.path = path
        self.data = open(path, "rb").read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(path + " is not a PE image")
        sections, optional_size = struct.unpack_from("<H12xH", self.data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        self.wide = magic == 0x20B
        directories = optional + (112 if self.wide else 96)
        self.directory = [struct.unpack_from("<II", self.data, directories + 8 * i)
                          for i in range(16)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", self.data, table + 40 * i)
                         for i in range(sections)]  # size, rva, raw size, raw offset

    def offset(self, rva):
        for size, start, raw_size, raw in self.sections:
            if start <= rva < start + max(size, raw_size):
                return raw + rva - start
        raise ValueError("address 0x%x is in no section" % rva)

    def text(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def names(self, thunks):
        """The functions of one thunk table: names, or '#n' for ordinals."""
        size = 8 if self.wide else 4
        flag = 1 << (size * 8 - 1)
        at = self.offset(thunks)
        while True:
            entry = struct.unpack_from("<Q" if self.wide else "<I", self.data, at)[0]
            if not entry:
                return
            yield "#%d" % (entry & 0xFFFF) if entry & flag else self.text((entry & 0x7FFFFFFF) + 2)
            at += size

    def image_base(self):
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        return struct.unpack_from("<Q" if self.wide else "<I", self.data,
                                  pe + 24 + (24 if self.wide else 28))[0]

    def delay_descriptors(self, nm):
        """Addresses of the delay-load descriptors that dlltool's import
        libraries put in (the linker fills no directory entry for them)."""
        out = subprocess.run([nm, self.path], check=True, capture_output=True, text=True).stdout
        base = self.image_base()
        return sorted(int(line.split()[0], 16) - base for line in out.splitlines()
                      if "__DELAY_IMPORT_DESCRIPTOR_" in line)

    def imports(self, nm=None):
        """(kind, dll, function) of every static and delay-loaded import."""
        rva = self.directory[1][0]
        while rva:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not name:
                break
            for function in self.names(lookup or first):
                yield "static", self.text(name), function
            rva += 20
        for rva in self.delay_descriptors(nm) if nm else []:
            fields = struct.unpack_from("<IIIIIIII", self.data, self.offset(rva))
            if fields[0] != 1:
                raise ValueError("delay descriptor at 0x%x does not hold addresses relative "
                                 "to the image" % rva)
            for function in self.names(fields[4]):
                yield "delay", self.text(fields[1]), function


def check_load_flags(image, wanted):
    """Success when the load configuration asks for the DLL search wanted."""
    rva, size = image.directory[10]
    at = 78 if image.wide else 54  # DependentLoadFlags
    if not rva or size < at + 2:
        print("no load configuration with dependent-load flags")
        return 1
    flags = struct.unpack_from("<H", image.data, image.offset(rva) + at)[0]
    if flags != wanted:
        print("dependent-load flags 0x%x, not 0x%x" % (flags, wanted))
        return 1
    return 0


def check_imports(args):
    allowed = set()
    for line in open(args.allowed, encoding="utf-8"):
        words = line.split("#", 1)[0].split()
        if len(words) == 2:
            allowed.add((words[0].lower(), words[1]))
    static = {d.lower() for d in args.static}
    image = Image(args.exe)
    bad = check_load_flags(image, int(args.load_flags, 0)) if args.load_flags else 0
    for kind, dll, function in image.imports(args.nm):
        if (dll.lower(), function) not in allowed:
            print("%s import %s!%s is not known to every Windows from 95 and NT 4 on"
                  % (kind, dll, function))
            bad = 1
        if kind == "static" and static and dll.lower() not in static:
            print("static import %s!%s: only %s may be imported statically"
                  % (dll, function, ", ".join(sorted(static))))
            bad = 1
    return bad


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("what", choices=["instructions", "imports"])
    parser.add_argument("exe")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--nm")
    parser.add_argument("--map")
    parser.add_argument("--foreign", nargs="*", default=[])
    parser.add_argument("--allow", nargs="*", default=[])
    parser.add_argument("--detection", nargs="*", default=[])
    parser.add_argument("--allowed")
    parser.add_argument("--static", nargs="*", default=[])
    parser.add_argument("--load-flags")
    args = parser.parse_args()
    status = check_instructions(args) if args.what == "instructions" else check_imports(args)
    print("%s: %s %s" % (args.exe, args.what, "refused" if status else "ok"))
    return status


if __name__ == "__main__":
    sys.exit(main())
