#!/usr/bin/env bash
# The writers of the real binary, `tessera render`, `tessera assemble` and `tessera convert`, seen
# from outside: they
# never replace a write-protected file, one of their inputs, a FIFO or a device, nor write into a
# folder; a write that fails (ulimit -f, a full tmpfs) exits with 1, says why in Chinese and leaves
# the old file whole; a run killed at any moment leaves the old file or the whole new one, and the
# next run into that folder clears what the killed one left.
# Usage: safe_output.sh TESSERA SLICE_MAP_TOOL JPEG_TILE
set -euo pipefail
tessera=$(realpath "$1") tool=$(realpath "$2") tile=$(realpath "$3")
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
mkdir out log tmp
cp "$tile" tile.jpg
export TMPDIR=$work/tmp
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
fail() { echo "FAIL: $*"; exit 1; }

# expect STATUS ARGUMENTS...: runs tessera, which must end with STATUS; its stderr is in $err.
expect() {
    local want=$1 status=0
    shift
    "${nodisplay[@]}" timeout 60 "$tessera" "$@" >log/out 2>log/err || status=$?
    err=$(cat log/err)
    [ "$status" -eq "$want" ] || fail "tessera $* exited with $status, not $want: $err"
}
# says TEXT...: the last stderr holds every TEXT and none of the English of the libraries.
says() {
    for text in "$@"; do [[ $err == *"$text"* ]] || fail "no “$text” in: $err"; done
    ! grep -q -i -E 'failed|no such|refers to|not permitted|denied|maximum' log/err || fail "English: $err"
}
only_in_out() {
    local left
    left=$(ls -A out | grep -v -x -F "$(printf '%s\n' "$@")" || true)
    [ -z "$left" ] || fail "left in out/: $left"
}

# "空" in GBK is BF D5; every line ends in CR LF.
printf '%s|\xbf\xd5\r\n\xbf\xd5|%s\r\n' "$work/tile.jpg" "$work/tile.jpg" >map.tlp
printf '%s|' $(seq 1 60 | sed "s|.*|$work/tile.jpg|") | sed 's/|$/\r\n/' >row
for _ in $(seq 1 60); do cat row; done >big.tlp
"$tool" set 3 4 >/dev/null
assemble=(assemble --reference set/reference.jpg --slices set/slices)
expect 0 "${assemble[@]}" -o assembled.tlp
expect 0 "${assemble[@]}" -o again.tlp
cmp -s assembled.tlp again.tlp || fail "two runs on the same slices wrote different map path files"
cp map.tlp map.before
mkdir whole
expect 0 convert big.tlp -o whole/big.tmx

# A write-protected file stays as it is, as root too.
for output in out/ro.png out/ro.tlp out/ro.tmx; do
    echo old >"$output"
    chmod 0444 "$output"
    case $output in
    *.png) expect 1 render map.tlp -o "$output" ;;
    *.tlp) expect 1 "${assemble[@]}" -o "$output" ;;
    *) expect 1 convert map.tlp -o "$output" ;;
    esac
    says 没有写入权限 "$output"
    [ "$(cat "$output")" = old ] && [ "$(stat -c %a "$output")" = 444 ] || fail "$output was replaced"
done

# An input is never the output, through a symbolic or a hard link.
ln -s ../map.tlp out/map-link.png
ln tile.jpg out/tile-link.jpg
ln -s ../map.tlp out/map-link.tmx
ln tile.jpg out/tile-link.tmj
ln -s ../set/reference.jpg out/reference-link.tlp
slice=$(ls set/slices | head -n 1)
ln "set/slices/$slice" out/slice-link.tlp
expect 1 render map.tlp -o out/map-link.png
says 输入文件 "“map.tlp”"
expect 1 render map.tlp -o out/tile-link.jpg
says 输入文件 "$work/tile.jpg"
expect 1 convert map.tlp -o out/map-link.tmx
says 输入文件 "“map.tlp”"
expect 1 convert map.tlp -o out/tile-link.tmj
says 输入文件 "$work/tile.jpg"
expect 1 "${assemble[@]}" -o out/reference-link.tlp
says 输入文件 reference.jpg
expect 1 "${assemble[@]}" -o out/slice-link.tlp
says 输入文件 "$slice"
cmp -s map.tlp map.before && cmp -s tile.jpg "$tile" || fail "an input was written over"
[ -L out/map-link.png ] && [ -L out/map-link.tmx ] && [ -L out/reference-link.tlp ] || fail "a link was replaced"
only_in_out ro.png ro.tlp ro.tmx map-link.png tile-link.jpg map-link.tmx tile-link.tmj reference-link.tlp slice-link.tlp
rm -f out/*

# A FIFO or device is written straight through and stays what it is; a folder is refused.
mkfifo out/pipe
expect 1 render map.tlp -o out/pipe
says 没有程序在读取
[ -p out/pipe ] || fail "the FIFO was replaced"
cat out/pipe >log/from-pipe &
reader=$!
for _ in $(seq 1 100); do
    status=0
    "${nodisplay[@]}" timeout 60 "$tessera" render map.tlp -o out/pipe >/dev/null 2>&1 || status=$?
    [ "$status" -eq 0 ] && break
    sleep 0.1  # the reader has not opened the FIFO yet
done
[ "$status" -eq 0 ] || { : >out/pipe; fail "no picture was written into a FIFO with a reader"; }
wait "$reader"
[ "$(od -An -tx1 -N4 log/from-pipe | tr -d ' ')" = 89504e47 ] || fail "no PNG came through the FIFO"
[ -p out/pipe ] || fail "the FIFO was replaced"
if mknod out/null c 1 3 2>/dev/null; then
    expect 0 render map.tlp -o out/null
    expect 0 "${assemble[@]}" -o out/null
    [ -c out/null ] || fail "the device was replaced"
fi
# (od stops reading after four bytes: the rest of the picture meets a closed pipe.)
header=$({ "${nodisplay[@]}" "$tessera" render map.tlp -o /dev/stdout 2>/dev/null || true; } | od -An -tx1 -N4 | tr -d ' ')
[ "$header" = 89504e47 ] || fail "no PNG on a piped stdout: $header"
expect 1 render map.tlp -o out
says 这是一个文件夹
rm -f out/*

# A write that fails keeps the old file and says why in Chinese: small pictures too, whose last
# bytes are written only at the end.
limited() {  # BLOCKS ARGUMENTS...: tessera under `ulimit -f`, SIGXFSZ ignored so that write fails
    local blocks=$1 status=0
    shift
    # stderr goes to a pipe, which the limit does not reach.
    err=$( (ulimit -f "$blocks" && trap '' XFSZ && exec "${nodisplay[@]}" "$tessera" "$@") 2>&1 >/dev/null) || status=$?
    echo "$err" >log/err
    [ "$status" -eq 1 ] || fail "tessera $* under ulimit -f $blocks exited with $status: $err"
}
for output in out/small.jpg out/small.png out/map.tlp; do
    echo old >"$output"
    if [ "$output" = out/map.tlp ]; then limited 0 "${assemble[@]}" -o "$output"; else limited 4 render map.tlp --cell 200x150 -o "$output"; fi
    says 文件太大 "$output"
    [ "$(cat "$output")" = old ] || fail "$output was replaced by a failed write"
done
only_in_out small.jpg small.png map.tlp
# A map and its tileset are replaced together or not at all: the small tileset fits, the map not.
echo old >out/pair.tmx
echo old >out/pair.tsx
limited 4 convert big.tlp -o out/pair.tmx --tsx
[ "$(cat out/pair.tmx out/pair.tsx)" = "$(printf 'old\nold')" ] || fail "a failed convert --tsx replaced one of the pair"
if strace -f -o /dev/null true 2>/dev/null; then  # the map's rename fails after the tileset's
    ("${nodisplay[@]}" strace -f -qq -o /dev/null -e trace=rename -e inject=rename:error=EIO:when=2 \
        "$tessera" convert big.tlp -o out/pair.tmx --tsx >/dev/null 2>&1) && fail "a failed rename exited with 0"
    [ "$(cat out/pair.tmx out/pair.tsx)" = "$(printf 'old\nold')" ] || fail "a failed map rename kept the new tileset"
fi
only_in_out small.jpg small.png map.tlp pair.tmx pair.tsx
if unshare -m true 2>/dev/null; then
    # A real full disk: a tmpfs of 16 KB of this process's own.
    unshare -m bash -c '
        mount -t tmpfs -o size=16k tmpfs out || exit 0
        echo old >out/full.jpg
        status=0
        "$@" render map.tlp --cell 400x300 -o out/full.jpg >/dev/null 2>log/err || status=$?
        [ "$status" -eq 1 ] && grep -q 磁盘空间不足 log/err && grep -q -F out/full.jpg log/err \
            && [ "$(cat out/full.jpg)" = old ] && [ "$(ls -A out)" = full.jpg ] \
            || { echo "FAIL: a full disk: status $status, $(ls -A out): $(cat log/err)"; exit 1; }' \
        - "${nodisplay[@]}" "$tessera" || exit 1
fi
rm -f out/*

# Killed at any moment, a writer leaves the old file or the whole new one; the next run clears up.
echo old >log/old
expect 0 render big.tlp -o reference.jpg
if strace -f -o /dev/null true 2>/dev/null; then
    moments=(flock:1 write:2 fsync:1 rename:1)
else
    moments=(sleep:0.05 sleep:0.2 sleep:0.5)
fi
for writer in render assemble convert; do
    rm -f out/*
    case $writer in
    render) output=out/big.jpg whole=reference.jpg arguments=(render big.tlp -o out/big.jpg) ;;
    assemble) output=out/map.tlp whole=assembled.tlp arguments=("${assemble[@]}" -o out/map.tlp) ;;
    *) output=out/big.tmx whole=whole/big.tmx arguments=(convert big.tlp -o out/big.tmx) ;;
    esac
    for moment in "${moments[@]}"; do
        call=${moment%:*} n=${moment#*:}
        echo old >"$output"
        if [ "$call" = sleep ]; then
            ("${nodisplay[@]}" "$tessera" "${arguments[@]}" &
             sleep "$n"
             kill -9 $! 2>/dev/null
             wait) >/dev/null 2>&1 || true
        else
            # (In a subshell, which keeps the shell's word on the killed process to itself.)
            ("${nodisplay[@]}" strace -f -qq -o /dev/null -e trace="$call" -e inject="$call":signal=KILL:when="$n" \
                "$tessera" "${arguments[@]}" || true) >/dev/null 2>&1
        fi
        cmp -s log/old "$output" || cmp -s "$output" "$whole" || fail "$writer killed at $moment: a broken $output"
        expect 0 "${arguments[@]}"
        cmp -s "$output" "$whole" || fail "$writer after a kill at $moment wrote another $output"
        only_in_out "${output#out/}"
    done
done
[ -z "$(ls -A tmp)" ] || fail "left in TMPDIR: $(ls -A tmp)"
echo "every writer wrote safely (kills at ${moments[*]})"
