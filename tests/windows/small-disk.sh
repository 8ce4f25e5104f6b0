#!/usr/bin/env bash
# A small file system that a test can fill up, to see what a full disk does:
#   small-disk.sh mount DIR     a 64 KiB tmpfs at DIR (as root; elsewhere DIR
#                               stays a plain folder and the test skips itself)
#   small-disk.sh unmount DIR
set -u
dir=$2
case $1 in
  mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" || mount -t tmpfs -o size=64k tavrin-small-disk "$dir" 2>/dev/null \
      || echo "small-disk: cannot mount a file system at $dir; the full-disk test will skip"
    ;;
  unmount)
    ! mountpoint -q "$dir" || umount "$dir"
    ;;
  *)
    echo "usage: small-disk.sh mount|unmount DIR" >&2
    exit 2
    ;;
esac
exit 0
