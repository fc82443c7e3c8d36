import sys

import kelvane_dat

with kelvane_dat.open(sys.argv[1]) as dat:
    print(dat.kind, len(dat), 0x2300000A in dat)  # Local 417 True: a mapping of id -> entry
    entry = dat[0x2300000A]  # .offset .size .compressed .timestamp .version .type
    print(entry.type, entry.size, entry.compressed)  # StringTable 62 True
    data = dat.read(0x2300000A)  # bytes, expanded when compressed
    table = dat.string_table(0x2300000A)  # .id .language .entries: {key: Entry}
    for key, text in table.entries.items():
        print(f"0x{key:08X}", text.texts, text.data_id, text.variables)
    tables = dat.ids(type="StringTable")  # ascending
    print(len(tables), "string tables;", len(data), "bytes in 0x2300000A")
