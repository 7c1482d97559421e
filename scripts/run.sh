#!/usr/bin/env bash
# Installs, builds, lays out the demo installation in build/demo and starts
# the server there on port 17985. The demo's plain sources are copied afresh
# at every start and scrambled where the storage rule asks for it; the user's
# data lives in build/demo-user and is kept between starts.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install.sh
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQA_TESTS=OFF -DQA_BENCH=OFF > /dev/null
cmake --build build/run -j "$(nproc)" --target quorvelauction-server crypthelper quorvelcompanion
rm -rf build/demo
cp -r demo build/demo
build/run/crypthelper "$PWD/build/demo/htdocs" > /dev/null
# The server starts the companion from its program folder by the
# "programName" of messages.properties.
install -m 755 build/run/quorvelcompanion "build/demo/$(sed -n 's/^programName=//p' demo/messages.properties | tr -d '\r')"
mkdir -p build/demo-user
cd build/demo
exec ../run/quorvelauction-server "$PWD/../demo-user"
