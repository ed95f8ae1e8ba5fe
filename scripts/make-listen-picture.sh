#!/usr/bin/env bash
# Draws docs/img/listen-menu.png, the README's picture of the Menu's SOUND
# entries: the editor with no pedal, under a private X server with a window
# manager, the Menu opened with a click.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/shoot.sh" <<SHOOT
#!/usr/bin/env bash
set -euo pipefail
cd "$PWD/build/run"
export ORVELLA_PEDAL_DIR="$work/pedals" ORVELLA_VIRTUAL_ONLY=1 HOME="$work/home" HOMEDRIVE="$work/home"
mkdir -p "\$ORVELLA_PEDAL_DIR" "\$HOME"
openbox >/dev/null 2>&1 & wm=\$!
sleep 1
./orvella >/dev/null 2>&1 & editor=\$!
sleep 4
xdotool windowmove "\$(xdotool search --name Orvella | head -1)" 0 0
sleep 1
xdotool mousemove 755 575 click 1
sleep 1.5
import -window root -crop 700x600+324+0 +repage "$PWD/docs/img/listen-menu.png"
kill \$editor \$wm
SHOOT
chmod +x "$work/shoot.sh"
xvfb-run -a -s "-screen 0 1024x768x24" "$work/shoot.sh"
echo "Wrote docs/img/listen-menu.png"
