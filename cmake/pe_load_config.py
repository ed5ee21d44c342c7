#!/usr/bin/env python3
"""Points a PE image's load-configuration directory at its _load_config_used
record, which this linker leaves unreferenced. Usage:
pe_load_config.py IMAGE NM (NM: the toolchain's nm, to find the record)."""
import struct
import subprocess
import sys


def main(image, nm):
    symbols = subprocess.run([nm, image], check=True, capture_output=True, text=True).stdout
    found = [int(line.split()[0], 16) for line in symbols.splitlines()
             if line.split()[-1] in ("_load_config_used", "__load_config_used")]
    if len(found) != 1:
        sys.exit("pe_load_config: %s holds %d load configuration records" % (image, len(found)))
    data = bytearray(open(image, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
    base = struct.unpack_from("<Q" if wide else "<I", data, optional + (24 if wide else 28))[0]
    rva = found[0] - base
    table = optional + optional_size
    for i in range(sections):
        size, start, raw_size, raw = struct.unpack_from("<8xIIII", data, table + 40 * i)
        if start <= rva < start + raw_size:
            record_size = struct.unpack_from("<I", data, raw + rva - start)[0]
            break
    else:
        sys.exit("pe_load_config: the record of %s lies in no section" % image)
    directory = optional + (112 if wide else 96) + 8 * 10
    struct.pack_into("<II", data, directory, rva, record_size)
    open(image, "wb").write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
