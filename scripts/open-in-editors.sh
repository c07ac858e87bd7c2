#!/usr/bin/env bash
# Opens each project in its own editor and saves it from there: a .mlt file in
# Shotcut, a .kdenlive file in Kdenlive (Debian's packages, installed when
# missing). Each editor runs under a private Xvfb (Kdenlive inside
# dbus-run-session), bounded by a timeout; the project is saved through the
# editor's own Save As (keys sent with xdotool), a screenshot of the window is
# taken, and the clips on the saved timeline are printed beside the clips the
# file held when written.
#
#   scripts/open-in-editors.sh FILE.mlt|FILE.kdenlive...
#
# Output for FILE: FILE.saved.mlt / FILE.saved.kdenlive and FILE.png beside it.
# EDITOR_TIMEOUT (seconds, default 180) bounds each editor run.
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 FILE.mlt|FILE.kdenlive..." >&2
    exit 2
fi
timeout_seconds=${EDITOR_TIMEOUT:-180}

need=()
command -v shotcut >/dev/null || need+=(shotcut)
command -v kdenlive >/dev/null || need+=(kdenlive)
command -v xdotool >/dev/null || need+=(xdotool)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v dbus-run-session >/dev/null || need+=(dbus)
command -v ffmpeg >/dev/null || need+=(ffmpeg)
if [ ${#need[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
fi

# The clips on the first video track of a project, as "name  in-out  length" in frames.
timeline_clips() {
    python3 - "$1" <<'PY'
import os, sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
def props(e):
    return {p.get("name"): (p.text or "") for p in e.findall("property")}
def frames(value, fps):
    # MLT writes frames or clock time (HH:MM:SS.mmm); both as frames.
    if value is None:
        return 0
    if ":" in value:
        h, m, s = value.replace(",", ".").split(":")
        return round((int(h) * 3600 + int(m) * 60 + float(s)) * fps)
    return int(value)
profile = root.find("profile")
fps = int(profile.get("frame_rate_num")) / int(profile.get("frame_rate_den"))
by_id = {e.get("id"): e for e in root if e.get("id")}
tractors = [e for e in root if e.tag == "tractor"]
# The timeline: Shotcut's tractor marked "shotcut", else the last tractor (Kdenlive's).
main = next((t for t in tractors if props(t).get("shotcut") == "1"), tractors[-1])
track = None
for t in main.findall("track"):
    e = by_id.get(t.get("producer"))
    if e is None:
        continue
    if e.tag == "tractor":  # Kdenlive: a track is a tractor of two playlists
        if props(e).get("kdenlive:audio_track") == "1":
            continue
        e = by_id.get(e.find("track").get("producer"))
    if e.tag == "playlist" and e.find("entry") is not None and e.get("id") != "background":
        if e.find("entry").get("producer") in ("black", "black_track"):
            continue
        track = e
        break
if track is None:
    print("  (no video track with clips)")
    sys.exit(0)
total = 0
for entry in track:
    if entry.tag == "blank":
        total += frames(entry.get("length"), fps)
        continue
    if entry.tag != "entry":
        continue
    p = by_id.get(entry.get("producer"))
    name = os.path.basename(props(p).get("resource", "?")) if p is not None else "?"
    a, b = frames(entry.get("in"), fps), frames(entry.get("out"), fps)
    total += b - a + 1
    print("  %-40s %6d-%-6d %6d" % (name, a, b, b - a + 1))
print("  %d frames at %g fps" % (total, fps))
PY
}

# Presses Return in a dialog of the editor other than the main window (whose
# title holds NAME) and SKIP, and prints its title; false when there is none.
answer_dialog() { # DISPLAY NAME SKIP
    local w title
    # Every window, titles compared here: xdotool's own match misses titles
    # with "—", and --onlyvisible misses Kdenlive's first question.
    for w in $(DISPLAY=$1 xdotool search --name . 2>/dev/null || true); do
        title=$(DISPLAY=$1 xdotool getwindowname "$w" 2>/dev/null || true)
        case "$title" in *"$2"* | *"$3"* | "") continue ;; *" — Kdenlive" | *" - Shotcut") ;; *) continue ;; esac
        # A window once answered may stay behind unmapped.
        case "$answered" in *" $w "*) continue ;; esac
        answered="$answered $w "
        echo "  dialog answered with its default button: $title"
        DISPLAY=$1 xdotool windowfocus --sync "$w" key Return 2>/dev/null || true
        return 0
    done
    return 1
}

run_editor() { # FILE SAVED SHOT
    local file=$1 saved=$2 shot=$3 editor display xvfb pid window=""
    case "$file" in
        *.kdenlive) editor=kdenlive ;;
        *) editor=shotcut ;;
    esac
    local home
    home=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$home/display" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 50); do [ -s "$home/display" ] && break; sleep 0.1; done
    display=":$(cat "$home/display")"
    # In a session of its own, so that the editor and all it started end together.
    if [ "$editor" = kdenlive ]; then
        setsid env HOME="$home" DISPLAY="$display" QT_QPA_PLATFORM=xcb timeout "$timeout_seconds" \
            dbus-run-session -- kdenlive "$file" >"$home/log" 2>&1 &
    else
        setsid env HOME="$home" DISPLAY="$display" QT_QPA_PLATFORM=xcb timeout "$timeout_seconds" \
            shotcut --noupgrade "$file" >"$home/log" 2>&1 &
    fi
    pid=$!
    local base
    base=$(basename "$file")
    base=${base%.*}
    # The main window is the one whose title names the project; a dialog in
    # front of it (a question at the first start, problems the editor fixed
    # in the file) is answered with its default button, and named.
    local deadline=$((SECONDS + timeout_seconds - 30)) quiet=0
    while [ $SECONDS -lt $deadline ] && [ $quiet -lt 3 ]; do
        sleep 2
        if answer_dialog "$display" "$base" "Save"; then quiet=0; elif [ -n "$window" ]; then quiet=$((quiet + 1)); fi
        [ -n "$window" ] || window=$(DISPLAY=$display xdotool search --onlyvisible --name "$base" 2>/dev/null | head -1 || true)
    done
    if [ -z "$window" ]; then
        echo "  $editor: no window for $base within the timeout" >&2
        tail -5 "$home/log" >&2 || true
    else
        sleep 5 # the timeline fills after the window shows
        DISPLAY=$display xdotool windowsize "$window" 1600 1000 windowmove "$window" 0 0 2>/dev/null || true
        sleep 2
        ffmpeg -nostdin -loglevel error -y -f x11grab -video_size 1600x1000 -i "$display" -frames:v 1 "$shot" || true
        rm -f "$saved"
        DISPLAY=$display xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+shift+s 2>/dev/null || true
        sleep 4
        # The file dialog takes the focus; its name field takes the path.
        DISPLAY=$display xdotool key --clearmodifiers ctrl+a 2>/dev/null || true
        DISPLAY=$display xdotool type --delay 20 "$saved" 2>/dev/null || true
        DISPLAY=$display xdotool key Return 2>/dev/null || true
        for _ in $(seq 30); do
            sleep 1
            answer_dialog "$display" "$base" "Save" || [ ! -s "$saved" ] || break
        done
    fi
    # An editor asked to close may ask about the unsaved project: it gets ten seconds.
    kill -TERM -- "-$pid" 2>/dev/null || true
    for _ in $(seq 10); do kill -0 -- "-$pid" 2>/dev/null || break; sleep 1; done
    kill -KILL -- "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    wait "$xvfb" 2>/dev/null || true
    rm -rf "$home"
    [ -s "$saved" ]
}

status=0
answered=" "
for file in "$@"; do
    file=$(realpath "$file")
    case "$file" in
        *.kdenlive) saved=${file%.kdenlive}.saved.kdenlive; editor=Kdenlive ;;
        *) saved=${file%.*}.saved.mlt; editor=Shotcut ;;
    esac
    shot=$file.png
    echo "== $file ($editor)"
    echo "written:"
    timeline_clips "$file"
    if run_editor "$file" "$saved" "$shot"; then
        echo "saved by $editor as $saved:"
        timeline_clips "$saved"
    else
        echo "not saved by $editor"
        status=1
    fi
    [ -s "$shot" ] && echo "screenshot: $shot"
done
exit $status
