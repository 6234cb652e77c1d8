#!/usr/bin/env bash
# Installs the build into a fresh prefix and starts the installed program offscreen.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/tunepress-studio bin/tunepress share/man/man1/tunepress.1 \
    lib/tunepress-studio/tunepress-studio \
    lib/tunepress-studio/x/o.cjs lib/tunepress-studio/HAND-M.CUR lib/tunepress-studio/drag.ico \
    share/applications/tunepress-studio.desktop; do
    [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
done
ls "$prefix"/lib/tunepress-studio/Samples/*.mid >/dev/null || { echo "no samples installed"; exit 1; }
[ "$(readlink -f "$prefix/bin/tunepress-studio")" = "$prefix/lib/tunepress-studio/tunepress-studio" ] ||
    { echo "launcher does not lead to the program"; exit 1; }

export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$prefix/config"
"$prefix/bin/tunepress-studio" >"$prefix/out.log" 2>&1 &
pid=$!
sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
    echo "the installed program did not keep running:"; cat "$prefix/out.log"; exit 1
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
[ -f "$prefix/config/Quillmere.conf" ] || { echo "the program did not write its settings"; exit 1; }

# The installed samples, pointers and skin serve a whole conversion.
TUNEPRESS_TEST_PROGRAM_DIR="$prefix/lib/tunepress-studio" "$build/tst_samples" bundledSamplesConvert >"$prefix/samples.log" 2>&1 ||
    { echo "the installed samples did not convert:"; tail -20 "$prefix/samples.log"; exit 1; }
# The installed command line converts the installed samples without a display.
mkdir "$prefix/mp3"
env -u QT_QPA_PLATFORM -u DISPLAY TEMP="$prefix" "$prefix/bin/tunepress" -q -o "$prefix/mp3" \
    "$prefix/lib/tunepress-studio/Samples" >"$prefix/cli.log" 2>&1 ||
    { echo "the installed command line failed:"; cat "$prefix/cli.log"; exit 1; }
samples=$(ls "$prefix"/lib/tunepress-studio/Samples/*.mid | wc -l)
[ "$(ls "$prefix"/mp3/*.mp3 | wc -l)" -eq "$samples" ] ||
    { echo "the command line did not convert every sample"; exit 1; }
echo "installed program started, its samples converted, in the window and on the command line"
