#!/usr/bin/env bash
# Runs the real-file-system fault tests on a small private tmpfs, in a mount namespace of their
# own (root, or an unprivileged user namespace). Where neither is allowed, says so and skips.
set -u
tests_binary=$1
if ! unshare -rm true 2>/dev/null; then
    echo "skipped: this machine allows no private mounts (needs root or unprivileged user namespaces)"
    exit 77
fi
exec unshare -rm bash -c '
    set -e
    mount_point=$(mktemp -d)
    mount -t tmpfs -o size=256k,mode=0700 tmpfs "$mount_point"
    PINDLE_FAULT_MOUNT=$mount_point "$1" --gtest_filter="RealFileSystemFaults.*" --gtest_brief=1
' bash "$tests_binary"
