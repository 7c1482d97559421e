#!/usr/bin/env python3
"""Reads wrk's report on stdin; prints requests/s, or with "bytes" the body
bytes/s of the 10 MiB file (requests/s times its size)."""
import re
import sys

text = sys.stdin.read()
# Error pages would be measured in place of the content.
if 'Non-2xx' in text or 'Socket errors' in text:
    sys.exit('wrk saw failed requests:\n' + text)
rate = float(re.search(r'Requests/sec:\s*([0-9.]+)', text).group(1))
print(rate * (10 << 20) if sys.argv[1] == 'bytes' else rate)
