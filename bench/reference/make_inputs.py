#!/usr/bin/env python3
"""Writes the inputs the JDK reads, equal to what the stream and properties
benchmarks build in memory: make_inputs.py LINES_FILE PROPERTIES_FILE."""
import sys

CHUNK = 4096


def chunk_of_lines():
    chunk = ''
    i = 0
    while len(chunk) < CHUNK:
        chunk += f'<item id="{i}">some listing text of the line</item>'
        chunk = chunk[:((len(chunk) + 79) // 80) * 80 - 1].ljust(((len(chunk) + 79) // 80) * 80 - 1)
        chunk += '\n'
        i += 1
    return chunk[:CHUNK - 1] + '\n'


def escape(text, key=False):
    out = []
    for i, c in enumerate(text):
        if c == ' ' and (key or i == 0):
            out.append('\\ ')
        elif c in '\\=:#!':
            out.append('\\' + c)
        elif c == '\n':
            out.append('\\n')
        elif c == '\t':
            out.append('\\t')
        elif c == '\r':
            out.append('\\r')
        elif ord(c) < 0x20 or ord(c) > 0x7E:
            out.append('\\u%04X' % ord(c))
        else:
            out.append(c)
    return ''.join(out)


def record_xml():
    size = 1 << 20
    xml = '<collector a="1">\n'.encode()
    i = 0
    while len(xml) < size:
        xml += f'<auction id="{i}">Gr\u00f6\u00dfe x=y:z #n !b \u20ac</auction>\n'.encode()
        i += 1
    return xml[:size].decode('utf-8', errors='ignore')


def main():
    with open(sys.argv[1], 'w', newline='') as out:
        chunk = chunk_of_lines()
        for _ in range((64 << 20) // CHUNK):
            out.write(chunk)
    with open(sys.argv[2], 'w', encoding='latin-1', newline='') as out:
        out.write('#\n')
        for key, value in (('id', '7'), ('xmlContent', record_xml()), ('state', '0')):
            out.write(escape(key, True) + '=' + escape(value) + '\n')


main()
