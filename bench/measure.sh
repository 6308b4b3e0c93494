# Sourced by the benchmark scripts: times quillet-hh alone (the unpacking floor) and a whole
# conversion of one help file, printing wall and CPU time, peak memory and the stage split.
# usage: measure_conversion BIN_FOLDER FILE.chm WORK_FOLDER
measure_conversion() {
    local bin=$1 chm=$2 work=$3
    export TMPDIR=$work/tmp
    mkdir -p "$TMPDIR"
    /usr/bin/time -f "quillet-hh alone: %e s wall, %U+%S s CPU, peak %M KB" \
        "$bin/quillet-hh" -decompile "$work/unpacked" "$chm" >/dev/null 2>"$work/hh.log" || {
        cat "$work/hh.log"
        return 1
    }
    tail -1 "$work/hh.log"
    rm -rf "$work/unpacked"
    /usr/bin/time -f "convert: %e s wall, %U+%S s CPU, peak %M KB" \
        "$bin/quillet" convert "$chm" -o "$work/converted.docx" --timings </dev/null >/dev/null \
        2>"$work/convert.log" || {
        cat "$work/convert.log"
        return 1
    }
    grep -E '^(timings|convert):' "$work/convert.log"
}
