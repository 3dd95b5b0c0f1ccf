#!/bin/sh
# The tool as a hostile but realistic user runs it: what each exit status
# leaves on disk. Usage: cli_cases.sh VELLUMAR SAMPLES_DIR CASE
set -u
vellumar=$1
samples=$2
case_name=$3
d=$(mktemp -d)
trap 'rm -rf "$d"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# expect STATUS COMMAND...: runs the command, keeps its stderr in $d/err.
expect() {
    want=$1
    shift
    "$@" >"$d/out" 2>"$d/err"
    got=$?
    [ "$got" -eq "$want" ] || fail "exit $got, not $want: $* ($(cat "$d/err"))"
}
stderr_has() {
    grep -qF -- "$1" "$d/err" || fail "stderr lacks '$1': $(cat "$d/err")"
}
no_temporaries() {
    [ -z "$(find "$d" -name '.*.tmp')" ] || fail "temporary files left: $(find "$d" -name '.*.tmp')"
}
crates=$samples/crates.obj

case $case_name in
panel_unwraps_like_unwrap)
    # The same settings through the panel's controls and through options
    # give the same atlas, byte for byte, in both export formats.
    printf '# organic, channel 2\nset 1136 2\ntype 1102 crates\nclick 1002\ndump\n' >"$d/s"
    expect 0 "$vellumar" panel "$crates" --up z --script "$d/s" --export "$d/p.obj" --save "$d/p.vlscene" \
        --template "$d/t.png"
    grep -q '1101 dropdown \[\*"crates"\]' "$d/out" || fail "the new group is not selected: $(cat "$d/out")"
    grep -q 'template "Vellumar UV template (' "$d/out" || fail "no preview was shown"
    [ "$(head -c 4 "$d/t.png" | od -An -c | tr -d ' ')" = "211PNG" ] || fail "the template is no PNG"
    expect 0 "$vellumar" unwrap "$crates" --up z --mode organic --channel 2 --group crates --export "$d/u.obj"
    cmp "$d/p.obj" "$d/u.obj" || fail "the panel's atlas differs from unwrap's"
    expect 0 "$vellumar" panel "$crates" --up z --script "$d/s" --export "$d/p.glb"
    expect 0 "$vellumar" unwrap "$crates" --up z --mode organic --channel 2 --export "$d/u.glb"
    cmp "$d/p.glb" "$d/u.glb" || fail "the panel's glb differs from unwrap's"
    "$vellumar" groups "$d/p.vlscene" | grep -q '"crates": 3 objects, channel 2' || fail "group"
    ;;
panel_bakes_like_the_tool)
    # A person's whole way through the panel, against the same settings as
    # options: organic with gutter 6, a diffuse and a normals map at 256
    # into the diffuse and bump slots, a folder, Bake Group, viewport shell
    # Baked, save.
    mkdir "$d/maps"
    expect 0 "$vellumar" unwrap "$crates" --mode organic --gutter 6 --group crates --save "$d/u.vlscene"
    expect 0 "$vellumar" bake "$d/u.vlscene" --group crates --element DiffuseMap --element NormalsMap \
        --element-size 256 --slot "Diffuse Color" --slot Bump --out "$d/maps" --save "$d/b.vlscene"
    expect 0 "$vellumar" shells "$d/b.vlscene" --viewport baked --save "$d/c.vlscene"
    mv "$d/maps" "$d/cli"
    mkdir "$d/maps"
    cat >"$d/s" <<EOF
click 1089
set 1137 6
type 1102 crates
click 1002
open 1012
click 1107
select 1124 1,2
click 1122
select 1106 0
set 1116 256
select 1110 2
select 1106 1
set 1116 256
select 1110 9
click 1105
answer folder $d/maps
click 1025
click 1013
click 1045
EOF
    expect 0 "$vellumar" panel "$crates" --script "$d/s" --save "$d/p.vlscene"
    [ "$(ls "$d/maps")" = "$(ls "$d/cli")" ] || fail "the panel baked $(ls "$d/maps"), the tool $(ls "$d/cli")"
    for f in "$d"/cli/*; do
        cmp "$f" "$d/maps/${f##*/}" || fail "${f##*/} differs from the tool's"
    done
    # Group keys and modifier stamps are clock readings (file time, the top
    # three bytes shared for 30 hours); all else is the same.
    stamps() {
        hi=$(printf '%016x' "$("$vellumar" groups "$1" | sed -n 's/^group \([0-9]*\) .*/\1/p')" |
            sed 's/^\(..\)\(..\)\(..\).*/\3 \2 \1/')
        od -An -v -tx1 "$1" | tr -s ' \n' '  ' | sed "s/\(.. \)\{5\}$hi/STAMP/g"
    }
    [ "$(stamps "$d/p.vlscene")" = "$(stamps "$d/c.vlscene")" ] || fail "the panel's scene differs from the tool's"
    ;;
batch_finishes_the_rest)
    # Five listed scenes, one broken, one missing, one listed twice, two
    # with one file name: the good ones go through, each whole in its own
    # folder, and --resume runs only what is not done.
    mkdir "$d/other"
    cp "$crates" "$d/other/crates.obj"
    printf 'v 1 2\nf 9 9 9\n' >"$d/broken.obj"
    printf '%s\nother/crates.obj\nbroken.obj\nmissing.obj\n%s\n' "$crates" "$crates" >"$d/list"
    b=$d/batch
    expect 1 "$vellumar" batch "$d/list" --preset "$samples/VellumarDefault.vl" --out "$b" --farm local
    for n in crates crates_2; do
        [ -f "$b/$n/$n.glb" ] && [ -f "$b/$n/atlas.png" ] && [ -f "$b/$n/report.json" ] ||
            fail "$n is not complete: $(ls "$b/$n")"
        ls "$b/$n/images" | grep -q "^${n}_CompleteMap.png$" || fail "$n has no baked map"
    done
    grep -q '"status": "failed", "message": "unwrap: vellumar: Cannot read scene' "$b/summary.json" ||
        fail "the broken scene is not reported: $(cat "$b/summary.json")"
    grep -q '"scene": "[^"]*missing.obj", "status": "missing"' "$b/summary.json" || fail "missing"
    grep -q '"status": "duplicate"' "$b/summary.json" || fail "the duplicate is not reported"
    [ ! -e "$b/broken" ] || fail "a failed scene left a folder"
    # Equal scenes at one density: the copy matches the original.
    cmp "$b/crates/images/crates_CompleteMap.png" "$b/crates_2/images/crates_2_CompleteMap.png" ||
        fail "one scene baked twice differs"
    # A killed run: one folder gone, one half-written.
    rm -r "$b/crates_2"
    mkdir "$b/.crates_2.partial"
    expect 1 "$vellumar" batch --resume "$b"
    grep -q '^crates: done before$' "$d/out" || fail "resume redid a finished scene: $(cat "$d/out")"
    grep -q '^\[1/2\] crates_2: ok' "$d/out" || fail "resume did not finish crates_2: $(cat "$d/out")"
    [ -f "$b/crates_2/crates_2.glb" ] && [ ! -e "$b/.crates_2.partial" ] || fail "resume left $(ls -a "$b")"
    expect 2 "$vellumar" batch --resume "$d/other"
    stderr_has "holds no batch to resume"
    ;;
batch_keeps_one_texel_density)
    # The sample and the sample three times as large at 40 texels per unit:
    # the larger gets a larger map, and a viewer sees 40 texels per unit on
    # both.
    awk '/^v /{printf "v %.9g %.9g %.9g\n", 3*$2, 3*$3, 3*$4; next} {print}' "$crates" >"$d/big.obj"
    printf '%s\nbig.obj\n' "$crates" >"$d/list"
    expect 0 "$vellumar" batch "$d/list" --preset "$samples/VellumarDefault.vl" --out "$d/b" \
        --texel-density 40
    small=$("$4" "$d/b/crates/crates.glb") || fail "cannot measure crates.glb"
    big=$("$4" "$d/b/big/big.glb") || fail "cannot measure big.glb"
    echo "$small $big" | awk '{d = $1 / $3; if ($1 < 39.2 || $1 > 40.8 || d < 0.98 || d > 1.02 ||
        $2 == $4) exit 1}' || fail "densities and sizes: $small / $big"
    # A group too large for one largest map spreads over more, and says so:
    # at 512 the surface alone asks for two maps, at 600 one map is tried
    # first and found too small.
    for max in 512 600; do
        expect 0 "$vellumar" unwrap "$crates" --texel-density 100 --max-size $max --any-size \
            --report "$d/r.json"
        grep -q '^Spread over 2 maps (1 asked) to keep 100 texels per unit.$' "$d/out" ||
            fail "no spread at $max: $(cat "$d/out")"
        [ "$(grep -c '"map": [01], "width": \([0-9]*\), "height": \1,' "$d/r.json")" -eq 2 ] ||
            fail "map sizes at $max: $(cat "$d/r.json")"
    done
    # A density no map can hold names the object and what would fit.
    expect 1 "$vellumar" unwrap "$crates" --texel-density 1000 --max-size 256
    grep -qF 'Object "floor" does not fit a 256 x 256 map at 1000 texels per unit; it fits at' \
        "$d/out" || fail "no message for the object: $(cat "$d/out")"
    ;;
panel_script_mistakes)
    printf 'click 1152\nclick 1001\nset 1137 99\nclick 4242\nclick 1002\n' >"$d/s"
    expect 2 "$vellumar" panel "$crates" --script "$d/s" --save "$d/never.vlscene"
    stderr_has "script line 4: no control 4242 in the open panel"
    grep -q "line 2: ignored: check 1001 is disabled" "$d/out" || fail "no note of the ignored click"
    grep -q "99 is outside 1..32; it holds 32" "$d/out" || fail "no note of the clamped value"
    [ ! -e "$d/never.vlscene" ] || fail "a script that failed saved its scene"
    expect 2 "$vellumar" panel "$crates" --script "$d/missing"
    stderr_has "cannot read the script"
    printf 'nodes crate_small,nothere\n' >"$d/n"
    expect 2 "$vellumar" panel "$crates" --script "$d/n"
    stderr_has "nothere"
    ;;
folder_named_like_a_scene)
    mkdir "$d/x.vlscene" "$d/y.obj"
    expect 2 "$vellumar" groups "$d/x.vlscene"
    stderr_has "it is a folder"
    expect 2 "$vellumar" unwrap "$d/x.vlscene"
    expect 2 "$vellumar" unwrap "$d/y.obj"
    stderr_has "Cannot read scene"
    ;;
full_disk_is_exit_2)
    ln -s /dev/full "$d/full.obj"
    ln -s /dev/full "$d/full.vlscene"
    for out in "--export /dev/full" "--export $d/full.obj" "--template /dev/full" \
        "--report /dev/full" "--save $d/full.vlscene"; do
        # shellcheck disable=SC2086
        expect 2 "$vellumar" unwrap "$crates" --mode copy --channel 2 $out
        stderr_has "No space left on device"
    done
    [ -c /dev/full ] && [ -L "$d/full.obj" ] || fail "a device or link was replaced"
    ;;
failed_write_keeps_every_old_file)
    for f in s.vlscene e.glb r.json t.png; do echo old >"$d/$f"; done
    # A file size limit fails the writes the way a full disk does; the
    # report alone would fit, but nothing is moved over a target unless
    # every output is complete.
    (trap '' XFSZ; ulimit -f 1; "$vellumar" unwrap "$crates" --mode organic --channel 2 \
        --save "$d/s.vlscene" --export "$d/e.glb" --report "$d/r.json" --template "$d/t.png" \
        >"$d/out" 2>"$d/err")
    [ $? -eq 2 ] || fail "exit status $?"
    stderr_has "Cannot write"
    for f in s.vlscene e.glb r.json t.png; do
        [ "$(cat "$d/$f")" = old ] || fail "$f was replaced"
    done
    no_temporaries
    ;;
stopped_run_writes_only_the_report)
    echo old >"$d/e.glb"
    expect 1 "$vellumar" unwrap "$crates" --mode copy --source-channel 3 --channel 2 \
        --save "$d/s.vlscene" --export "$d/e.glb" --template "$d/t.png" --report "$d/r.json"
    [ ! -e "$d/s.vlscene" ] && [ ! -e "$d/t.png" ] || fail "a stopped run wrote its outputs"
    [ "$(cat "$d/e.glb")" = old ] || fail "a stopped run replaced the export"
    grep -qF '"status": "failed"' "$d/r.json" || fail "report: $(cat "$d/r.json")"
    grep -qF 'contains no UV data for object crate_large' "$d/r.json" || fail "no reason"
    no_temporaries
    ;;
outputs_never_replace_the_input)
    cp "$crates" "$d/in.obj"
    for out in "--export $d/in.obj" "--report $d/in.obj" "--template $d/in.obj" \
        "--export $d/./in.obj"; do
        # shellcheck disable=SC2086
        expect 2 "$vellumar" unwrap "$d/in.obj" --mode copy --channel 2 $out
        stderr_has "is the input scene"
    done
    cmp -s "$crates" "$d/in.obj" || fail "the input was replaced"
    expect 0 "$vellumar" unwrap "$d/in.obj" --mode copy --channel 2 --save "$d/s.vlscene"
    cp "$d/s.vlscene" "$d/before.vlscene"
    expect 2 "$vellumar" export "$d/s.vlscene" "$d/s.vlscene"
    cmp -s "$d/s.vlscene" "$d/before.vlscene" || fail "export replaced its input"
    expect 2 "$vellumar" unwrap "$d/in.obj" --export "$d/o.glb" --report "$d/o.glb"
    stderr_has "both name"
    # Saving a scene file over itself is an ordinary save.
    expect 0 "$vellumar" unwrap "$d/s.vlscene" --mode copy --channel 3 --save "$d/s.vlscene"
    "$vellumar" groups "$d/s.vlscene" | grep -q "channel 3" || fail "the save did not happen"
    ;;
glb_cannot_hold_channel_99)
    expect 2 "$vellumar" unwrap "$crates" --mode copy --channel 99 --export "$d/o.glb"
    stderr_has "cannot hold map channel 99"
    [ ! -e "$d/o.glb" ] || fail "a .glb without its target channel was written"
    expect 0 "$vellumar" unwrap "$crates" --mode copy --channel 99 --export "$d/o.obj" \
        --save "$d/s.vlscene"
    expect 0 "$vellumar" export "$d/s.vlscene" "$d/o.glb"
    stderr_has "warning: '$d/o.glb' cannot hold map channel 99"
    ;;
nan_options_are_refused)
    for opt in "--stretch nan" "--view-angle nan" "--tolerance nan" "--stretch inf" \
        "--view-angle -nan"; do
        # shellcheck disable=SC2086
        expect 2 "$vellumar" unwrap "$crates" --mode copy $opt
        stderr_has "not a finite number"
    done
    ;;
node_named_twice_is_taken_once)
    expect 0 "$vellumar" unwrap "$crates" --mode copy --nodes floor,floor,floor
    [ "$(grep -c '^floor:' "$d/out")" -eq 1 ] || fail "$(cat "$d/out")"
    grep -q "floor: 4 vertices, 6 indices, map 0 of 1" "$d/out" || fail "$(cat "$d/out")"
    ;;
missing_texture_is_a_warning)
    # The duck without the image beside it.
    cp /usr/share/assimp/models/Collada/duck.dae "$d/duck.dae"
    expect 0 "$vellumar" export "$d/duck.dae" "$d/duck.glb"
    stderr_has "vellumar: warning: texture './duckCM.tga' of material 'blinn3'"
    stderr_has "cannot be read (no such file); it is left out of the export"
    [ -s "$d/duck.glb" ] || fail "no file was written"
    ;;
negative_group_key_is_refused)
    expect 0 "$vellumar" unwrap "$crates" --mode copy --channel 2 --save "$d/s.vlscene"
    cp "$d/s.vlscene" "$d/before.vlscene"
    expect 2 "$vellumar" remove-group "$d/s.vlscene" -1
    stderr_has "is not a group key"
    expect 2 "$vellumar" remove-group "$d/s.vlscene" 99999999999999999999999
    cmp -s "$d/s.vlscene" "$d/before.vlscene" || fail "the scene changed"
    ;;
successful_run_writes_every_output)
    echo old >"$d/e.glb"
    expect 0 "$vellumar" unwrap "$crates" --mode organic --channel 2 --save "$d/s.vlscene" \
        --export "$d/e.glb" --template "$d/t.png" --report "$d/r.json"
    for f in s.vlscene e.glb t.png r.json; do
        [ -s "$d/$f" ] || fail "$f missing"
    done
    [ "$(head -c 4 "$d/e.glb")" = glTF ] || fail "the export was not replaced"
    grep -qF '"status": "ok"' "$d/r.json" || fail "report: $(cat "$d/r.json")"
    no_temporaries
    ;;
bake_group_by_name_and_key)
    expect 0 "$vellumar" unwrap "$crates" --group Props --channel 2 --save "$d/s.vlscene"
    expect 0 "$vellumar" bake "$d/s.vlscene" --group Props --element DiffuseMap \
        --element "AmbientOcclusion:Samples=4" --element-size 64x32 --out "$d/img" \
        --frames 2-3 --export "$d/baked.glb"
    for f in Props_DiffuseMap_0002 Props_DiffuseMap_0003 Props_AmbientOcclusion_0002; do
        [ -s "$d/img/$f.png" ] || fail "no $f.png"
    done
    [ -z "$(find "$d/img" -name '*_0002_*')" ] || fail "object parts left: $(ls "$d/img")"
    [ -s "$d/baked.glb" ] || fail "no export"
    key=$("$vellumar" groups "$d/s.vlscene" | sed -n 's/^group \([0-9]*\) .*/\1/p')
    expect 0 "$vellumar" bake "$d/s.vlscene" --group "$key" --element NormalsMap --out "$d/k" \
        --no-group-prefix
    [ -s "$d/k/NormalsMap.png" ] || fail "no NormalsMap.png: $(ls "$d/k")"
    expect 2 "$vellumar" bake "$d/s.vlscene" --group Crates --element DiffuseMap
    stderr_has "no unwrap group 'Crates'"
    expect 1 "$vellumar" bake "$d/s.vlscene" --group Props --out "$d/none"
    grep -qF "No bake elements are selected for baking." "$d/out" || fail "$(cat "$d/out")"
    # An image that cannot be written fails the bake and says why.
    echo file >"$d/blocked"
    expect 1 "$vellumar" bake "$d/s.vlscene" --group Props --element DiffuseMap --out "$d/blocked"
    grep -qF "Vellumar failed to bake objects: " "$d/out" || fail "$(cat "$d/out")"
    ;;
shells_switch_and_clear)
    expect 0 "$vellumar" unwrap "$crates" --group Props --channel 2 --save "$d/s.vlscene"
    expect 0 "$vellumar" bake "$d/s.vlscene" --group Props --element DiffuseMap \
        --slot "Diffuse Color" --element-size 32x16 --out "$d/img" --save "$d/b.vlscene"
    cp "$d/s.vlscene" "$d/s.before"
    expect 1 "$vellumar" shells "$d/s.vlscene" --render baked
    stderr_has "wears a shell material"
    cmp -s "$d/s.vlscene" "$d/s.before" || fail "a scene without shells was rewritten"
    expect 2 "$vellumar" shells "$d/b.vlscene"
    expect 2 "$vellumar" shells "$d/b.vlscene" --viewport sideways
    expect 0 "$vellumar" shells "$d/b.vlscene" --viewport original --save "$d/v.vlscene"
    grep -qx "crate_small: viewport original, render baked" "$d/out" || fail "$(cat "$d/out")"
    expect 0 "$vellumar" shells "$d/v.vlscene" --render original
    grep -qx "floor: viewport original, render original" "$d/out" || fail "$(cat "$d/out")"
    expect 2 "$vellumar" clear-shells "$d/v.vlscene" --keep both
    expect 2 "$vellumar" clear-shells "$d/v.vlscene" --keep baked --nodes nothere
    stderr_has "no node named 'nothere'"
    expect 0 "$vellumar" clear-shells "$d/v.vlscene" --keep source --nodes crate_small,crate_small \
        --save "$d/c.vlscene"
    grep -qx "cleared 1 shell, kept the source materials" "$d/out" || fail "$(cat "$d/out")"
    expect 1 "$vellumar" clear-shells "$d/c.vlscene" --keep baked --nodes crate_small
    expect 0 "$vellumar" clear-shells "$d/c.vlscene" --keep baked
    grep -qx "cleared 2 shells, kept the baked materials" "$d/out" || fail "$(cat "$d/out")"
    expect 1 "$vellumar" shells "$d/c.vlscene" --viewport baked
    no_temporaries
    ;;
*)
    fail "no case $case_name"
    ;;
esac
