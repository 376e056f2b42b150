#!/usr/bin/env bash
# Puts the sample files into DIR: the text samples of examples/samples/ as
# they are, and a gzip file and a tar file made from them, so that no binary
# file needs to be kept in the repository.
#   examples/make-samples.sh DIR
set -euo pipefail
samples=$(cd "$(dirname "$0")/samples" && pwd)
dir=$1
mkdir -p "$dir"
cp "$samples"/*.txt "$dir/"
gzip -9 -n -c "$samples/poem.txt" >"$dir/poem.txt.gz"
tar -C "$samples" -cf "$dir/samples.tar" fruit.txt poem.txt
