#!/usr/bin/env python3
"""Prints the comparison table: table.py REFERENCE_RESULTS OUR_JSON.

REFERENCE_RESULTS holds "name value" lines; OUR_JSON the concatenated
Google Benchmark reports, of which the medians are read."""
import json
import sys


def references(path):
    values = {}
    for line in open(path):
        name, value = line.split()
        values[name] = float(value)
    return values


def ours(path):
    text = open(path).read()
    decoder = json.JSONDecoder()
    medians = {}
    at = 0
    while True:
        while at < len(text) and text[at].isspace():
            at += 1
        if at >= len(text):
            break
        report, at = decoder.raw_decode(text, at)
        for run in report['benchmarks']:
            if run.get('aggregate_name', 'median') == 'median':
                medians[run['run_name']] = run
    return medians


def millis(run):
    scale = {'ns': 1e-6, 'us': 1e-3, 'ms': 1.0, 's': 1e3}[run['time_unit']]
    return run['real_time'] * scale


def find(runs, prefix):
    for name, run in runs.items():
        if name.startswith(prefix):
            return run
    raise KeyError(prefix)


def main():
    ref = references(sys.argv[1])
    runs = ours(sys.argv[2])
    mbs = lambda r: r['bytes_per_second'] / 1e6
    gbs = lambda r: r['bytes_per_second'] / 1e9
    rows = [
        # workload, reference label, reference value, ours, unit, higher is better, aim
        ('parse the 10 MB auction XML', 'dom4j, warm JVM', ref['ref_parse'],
         mbs(find(runs, 'BM_Parse')), 'MB/s', True, '5'),
        ('compact write of it', 'dom4j', ref['ref_write'],
         mbs(find(runs, 'BM_CompactWrite')), 'MB/s', True, '5'),
        ('echo call, 16 keep-alive connections (wrk -t1 -c16)', 'nginx, one worker, 9-byte file',
         ref['ref_echo16'], ref['wrk_echo16'], '/s', True, '1.0'),
        ('echo call, 1 connection (wrk -t1 -c1)', 'nginx', ref['ref_echo1'], ref['wrk_echo1'], '/s', True, '1.2'),
        ('10 MiB scrambled file GET, 1 connection', 'nginx with sendfile', ref['ref_file'] / 1e9,
         ref['wrk_file'] / 1e9, 'GB/s', True, '1.0'),
        ('read 64 MiB through the scrambling stream', 'C loop of 8 KiB read + XOR', ref['ref_xor'],
         gbs(find(runs, 'BM_Read/scrambled:1')), 'GB/s', True, '0.9'),
        ('read 64 MiB of text lines', 'JDK BufferedReader.readLine', ref['ref_lines'],
         gbs(find(runs, 'BM_ReadLines/scrambled:0')), 'GB/s', True, '2'),
        ('properties load, one 1 MiB value', 'JDK Properties.load', ref['ref_properties'],
         millis(find(runs, 'BM_Load')), 'ms', False, '3'),
    ]
    print('| workload | reference | ours | ratio | aim |')
    print('|---|---|---|---|---|')
    for workload, label, theirs, mine, unit, higher, aim in rows:
        ratio = mine / theirs if higher else theirs / mine
        print(f'| {workload} | {label}: {fmt(theirs)} {unit} | {fmt(mine)} {unit} | {ratio:.2f} | {aim} |')
    # The server benchmark's own client, for comparison with earlier runs.
    for name, label in (('BM_EchoCall/real_time/threads:16', 'echo calls/s, 16 connections'),
                        ('BM_EchoCall/real_time', 'echo calls/s, 1 connection')):
        run = runs.get(name)
        if run:
            print(f'| {label}, benchmark client (ours only) | — | {fmt(run["calls/s"])} /s | — | — |')
    run = find(runs, 'BM_FileGet10MiB')
    print(f'| 10 MiB file GET, benchmark client (ours only) | — | {gbs(run):.2f} GB/s | — | — |')
    lists = millis(find(runs, 'BM_AuctionNewListRepeated'))
    print(f'| auctionNewList again, 1,000 records of 20 KB | — | {lists:.1f} ms | — | ≤ 5 ms |')
    cache = millis(find(runs, 'BM_BuildEbayCache'))
    print(f'| category cache of 30,000 categories | — | {cache:.1f} ms | — | ≤ 50 ms |')
    for name, label in (('BM_CompareTo', 'UTF-16 order comparison of two titles'),
                        ('BM_GermanDayFormat', 'day format')):
        if name in runs:
            print(f'| {label} (ours only) | — | {runs[name]["cpu_time"]:.0f} ns CPU | — | — |')
    for name, run in sorted(runs.items()):
        if name.startswith('BM_LoadParseRender') or name.startswith('BM_RenderParsed'):
            print(f'| template {name.split("/")[0][3:]} (ours only) | — | {millis(run) * 1000:.1f} µs | — | — |')


def fmt(value):
    return f'{value:,.0f}' if value >= 1000 else f'{value:.2f}' if value < 10 else f'{value:.1f}'


main()
