# What the demo scripts share; sourced once $root is the source folder.

# demo_folder [SUBFOLDER...]: $D, a fresh run folder holding the program's settings
# folder, its temporary folder and the destination "scans", and any subfolders named.
demo_folder() {
  D="$(mktemp -d)"
  mkdir -p "$D/config/Veldmark" "$D/temp" "$D/scans"
  local sub
  for sub in "$@"; do mkdir -p "$D/$sub"; done
  echo "run folder: $D"
}

# demo_start DISPLAY SANE_CONFIG PROGRAM [LOG]: a virtual display :DISPLAY ($XVFB)
# and the program on it ($PID, its output in the run folder's LOG); $W is its
# window once the scanner search is over.
demo_start() {
  export XDG_CONFIG_HOME="$D/config" TEMP="$D/temp" SANE_CONFIG_DIR="$2" LC_ALL=C.UTF-8 DISPLAY=":$1"
  Xvfb ":$1" -screen 0 1280x1024x24 >/dev/null 2>&1 &
  XVFB=$!
  sleep 2
  "$3" >"$D/${4:-run.log}" 2>&1 &
  PID=$!
  local i
  for i in $(seq 60); do
    W=$(xdotool search --name "Pagora Pro" 2>/dev/null | head -1)
    [ -n "$W" ] && break
    sleep 0.5
  done
  sleep 8 # the scanner search
}

# A screenshot into the run folder; keys pressed as a user would, with time to act.
shot() { import -window root "$D/$1.png"; }
key() { xdotool key --clearmodifiers "$@"; sleep 0.7; }

# demo_save_all_pdf FILE: "Save all to PDF" (the tool button at the right of the
# list's toolbar) into FILE, waiting until it is a readable PDF; screenshots of
# the dialog and of the window afterwards.
demo_save_all_pdf() {
  eval "$(xdotool getwindowgeometry --shell "$W")"
  xdotool mousemove $((X + 760)) $((Y + 42)) click 1; sleep 2; shot save-dialog
  key ctrl+a
  xdotool type --delay 20 "$1"
  key Return
  local i
  for i in $(seq 240); do [ -s "$1" ] && pdfinfo "$1" >/dev/null 2>&1 && break; sleep 0.5; done
  sleep 2; shot saved
}
