#!/usr/bin/env bash
# Does what a desktop does with the installed files, using the desktop's own
# tools, on a fresh install into a temporary prefix.
# Usage: desktop_test.sh CHECK BUILD_DIR SOURCE_DIR SAMPLES_PROGRAM
set -euo pipefail
check=$1 build=$2 source=$3 samples=$4
# Opening from the menu entry and the file managers and viewers need a real
# X server; a virtual one here.
if [[ $check =~ ^(launch|thunar|kde|geeqie)$ ]] && [ -z "${ZINTRA_IN_XVFB:-}" ]; then
  command -v xvfb-run >/dev/null || { echo "missing xvfb-run (tools/setup installs it)"; [ -n "${CI:-}" ] && exit 1 || exit 77; }
  ZINTRA_IN_XVFB=1 exec timeout 240 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash "$0" "$@" </dev/null
fi
# The package check installs the packages into a copy of this system where
# it may: as root, in a mount namespace of its own.
if [ "$check" = package ] && [ -z "${ZINTRA_IN_NAMESPACE:-}" ] && unshare -m true 2>/dev/null; then
  ZINTRA_IN_NAMESPACE=1 exec unshare -m --propagation private bash "$0" "$@"
fi
work=$(mktemp -d)
started=()  # what a check starts, ended with it
# The copy of the system is unmounted first, and never removed through.
trap 'kill "${started[@]}" 2>/dev/null || true; umount -R "$work/system" 2>/dev/null || true
      rm -rf --one-file-system "$work"' EXIT
prefix=$work/usr share=$work/usr/share files=$work/files
cmake --install "$build" --prefix "$prefix" >/dev/null
"$samples" "$files"
# Only the fresh install and the system: no user settings of this machine.
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config XDG_CACHE_HOME=$work/home/cache
export XDG_DATA_DIRS=$share:/usr/share XDG_CONFIG_DIRS=$work/home/xdg
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
expect() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }
# Skips a check whose programs are missing, except in CI, which has them all.
require() {
  local missing=() p
  for p; do type -P "$p" >/dev/null || missing+=("$p"); done
  [ ${#missing[@]} = 0 ] && return
  echo "missing ${missing[*]} (tools/setup test installs it)"
  [ -n "${CI:-}" ] && exit 1 || exit 77
}
# A session bus of the check's own that starts no services: a call reaches
# none of the machine's, and no daemon outlives the check.
private_bus() {
  echo "<busconfig><type>session</type><listen>unix:tmpdir=$work</listen><auth>EXTERNAL</auth>
    <policy context='default'><allow send_destination='*'/><allow receive_sender='*'/><allow own='*'/></policy>
    </busconfig>" >"$work/bus.conf"
  mapfile -t bus < <(dbus-daemon --config-file="$work/bus.conf" --fork --print-address=1 --print-pid=1)
  export DBUS_SESSION_BUS_ADDRESS=${bus[0]}
  started+=("${bus[1]}")
}
# The system's gdk-pixbuf loaders and ours in one cache, as the package's trigger makes it.
pixbuf_loaders() {
  "$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0)" "$(pkg-config --variable=gdk_pixbuf_moduledir \
    gdk-pixbuf-2.0)"/*.so "$(find "$prefix" -name libpixbufloader-zn.so)" >"$work/loaders.cache"
  export GDK_PIXBUF_MODULE_FILE=$work/loaders.cache
}
# Where a thumbnail of the file URI $2 is cached in the size $1: named by the URI's MD5.
cached() { echo "$XDG_CACHE_HOME/thumbnails/$1/$(printf %s "$2" | md5sum | cut -d' ' -f1).png"; }
wait_for() { for _ in $(seq 600); do [ -s "$1" ] && return; sleep 0.1; done; return 1; }
# How many pixels of the screen, captured once now, are exactly of each colour given.
pixels() {
  import -window root "$work/screen.png" || return
  for c; do convert "$work/screen.png" -fill black +opaque "$c" -fill white -opaque "$c" -format '%[fx:round(mean*w*h)] ' info:; done
}

mime() {
  update-mime-database "$share/mime"
  update-desktop-database "$share/applications"
  # File::MimeInfo for a desktop xdg-mime does not know, GIO for GNOME.
  for desktop in X-Generic GNOME; do
    export XDG_CURRENT_DESKTOP=$desktop
    for f in "walk one.zn" plain.zn "plain copy"; do
      expect "$desktop type of $f" "$(xdg-mime query filetype "$files/$f")" application/x-zintra-animation
    done
    expect "$desktop type of spin.ani" "$(xdg-mime query filetype "$files/spin.ani")" application/x-navi-animation
    # A zlib stream that subtitle types would claim by "}{" is ours.
    printf 'x\xda\xcc}{<S\x8f' >"$files/noise" && expect "$desktop type of noise" "$(xdg-mime query filetype "$files/noise")" application/x-zintra-animation
    for type in application/x-zintra-animation application/x-navi-animation; do
      expect "$desktop opens $type with" "$(xdg-mime query default $type)" zintra-editor.desktop
    done
  done
}

thumbnailer() {
  local entry=$share/thumbnailers/zntool.thumbnailer
  grep -qx 'MimeType=application/x-zintra-animation;' "$entry" || fail "$entry: MimeType"
  # As GNOME's file manager does: split the line into words, then put the
  # input, the output and the size into each word.
  local -a words
  read -ra words <<<"$(sed -n 's/^Exec=//p' "$entry")"
  thumbnail() {
    local -a run=()
    for w in "${words[@]}"; do w=${w//%i/$1}; w=${w//%o/$2}; run+=("${w//%s/$3}"); done
    PATH=$prefix/bin:$PATH "${run[@]}"
  }
  thumbnail "$files/walk one.zn" "$work/thumb nail.png" 256 || fail "thumbnailer exited with $?"
  # The first frame, read back by ImageMagick: red with a clear corner.
  expect "thumbnail size" "$(identify -format '%w %h' "$work/thumb nail.png")" "256 256"
  expect "opaque pixel" "$(convert "$work/thumb nail.png" -format '%[hex:p{200,200}]' info:)" FF0000FF
  expect "clear pixel" "$(convert "$work/thumb nail.png" -format '%[fx:p{15,15}.a]' info:)" 0
  if thumbnail "$files/bad.zn" "$work/bad.png" 128 2>/dev/null; then fail "a bad file made a thumbnail"; fi
  [ ! -e "$work/bad.png" ] || fail "a bad file left a thumbnail"
}

entries() {
  for entry in "$share"/applications/*.desktop; do
    desktop-file-validate "$entry" || fail "$entry is not valid"
    local icon program
    icon=$(sed -n 's/^Icon=//p' "$entry") program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ -x "$prefix/bin/$program" ] || fail "$entry starts $program, which is not installed"
    compgen -G "$share/icons/hicolor/*/apps/$icon.*" >/dev/null || fail "$entry: no icon $icon installed"
  done
  # Every picture has the size its folder names, and every icon every size.
  for size in 16 32 48 64 128 256; do
    for name in apps/zintra-editor mimetypes/application-x-zintra-animation; do
      local picture=$share/icons/hicolor/${size}x$size/$name.png
      expect "$picture" "$(identify -format '%wx%h' "$picture" 2>&1)" "${size}x$size"
    done
  done
}

launch() {
  # A double-click: the entry's Exec line with %f replaced by the file.
  local -a words run=()
  read -ra words <<<"$(sed -n 's/^Exec=//p' "$share/applications/zintra-editor.desktop")"
  for w in "${words[@]}"; do run+=("${w//%f/$files/walk one.zn}"); done
  QT_QPA_PLATFORM=xcb PATH=$prefix/bin:$PATH "${run[@]}" >"$work/editor.log" 2>&1 &
  local editor=$! window="" shown=""
  # The file's first frame is red: the grid's cell (5, 5) shows it.
  for _ in $(seq 200); do
    [ -n "$window" ] || window=$(xdotool search --onlyvisible --name '^Zintra Editor$' 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ] && import -window "$window" "$work/shot.png" 2>/dev/null; then
      shown=$(convert "$work/shot.png" -format '%[hex:p{264,105}]' info:)
      [ "$shown" = FF0000 ] && break
    fi
    sleep 0.1
  done
  expect "cell (5, 5) of the opened file" "$shown" FF0000
  kill "$editor" && wait "$editor" || true
  [ "$status" = 0 ] || cat "$work/editor.log"
}

manuals() {
  for program in "$prefix"/bin/*; do
    local name page
    name=$(basename "$program") page=$share/man/man1/$(basename "$program").1.gz
    [ -e "$page" ] || { fail "$name has no manual page"; continue; }
    man --warnings -l "$page" >"$work/page" 2>"$work/warnings" || fail "man -l $page"
    [ ! -s "$work/warnings" ] || fail "$page: $(cat "$work/warnings")"
    grep -q "^NAME" "$work/page" || fail "$page has no NAME section"
    # The page tells of every option the program's help names.
    for option in $(QT_QPA_PLATFORM=offscreen timeout 20 "$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
      grep -q -- "$option" "$work/page" || fail "$page does not mention $option"
    done
  done
  # troff takes a line that starts with a dot as a request and drops it.
  ! grep -nP "^\t*[.']" "$source"/desktop/man/*.scd || fail "a manual line starts with a dot"
}

# The system's gdk-pixbuf loaders and ours in one cache, as the package's
# trigger makes it, over the installed file types.
use_pixbuf_loader() {
  update-mime-database "$share/mime"
  pixbuf_loaders
}

imageloaders() {
  use_pixbuf_loader
  local plugin qt_frames expected=$files/rates.frames
  plugin=$(find "$prefix" -path '*/qt6/*' -name libqzn.so)
  qt_frames=$(dirname "$samples")/desktop_qt_frames
  # Qt's plugins from the install as well as the system's.
  export QT_PLUGIN_PATH=${plugin%/imageformats/*} QT_QPA_PLATFORM=offscreen
  pixbuf_frames() { /usr/bin/python3 "$source/tests/desktop/pixbuf_frames.py" "$@"; }
  # GTK viewers: a compressed file is known by its name, as GIO types it.
  pixbuf_frames "$files/rates.zn" | diff "$expected" - || fail "gdk-pixbuf gave other frames"
  # Qt and KDE viewers, by the name and by the content alone.
  cp "$files/rates.zn" "$files/rates copy"
  for f in rates.zn "rates copy"; do
    "$qt_frames" reader "$files/$f" | diff "$expected" - || fail "QImageReader gave other frames for $f"
  done
  "$qt_frames" movie "$files/rates.zn" | diff <(tail -n +2 "$expected") - || fail "QMovie played other frames"
  # A damaged file is each framework's own error (corrupt image, invalid
  # data), and a guest prints nothing into the host.
  mkdir -m 700 "$work/runtime" && export XDG_RUNTIME_DIR=$work/runtime
  expect "gdk-pixbuf on bad.zn" "$(pixbuf_frames "$files/bad.zn" 2>"$work/said" | cut -d' ' -f1)" corrupt
  expect "QImageReader on bad.zn" "$("$qt_frames" reader "$files/bad.zn" 2>>"$work/said" | cut -d' ' -f1-2)" "error 4"
  [ ! -s "$work/said" ] || fail "reading bad.zn printed: $(cat "$work/said")"
  # A file chooser's size comes from the first frame alone.
  expect "file info" "$(pixbuf_frames info "$files/first only.zn")" "zn 16 16"
  # After a write longer than any ZN file, closing decodes nothing more.
  expect "after an overlong write" "$(pixbuf_frames overflow "$files/walk one.zn")" still
  # GNOME's thumbnailer: at 16 pixels exactly the first frame, and at the
  # size a file manager asks for, enlarged.
  gdk-pixbuf-thumbnailer -s 16 "$files/rates.zn" "$work/16.png" || fail "gdk-pixbuf-thumbnailer exited with $?"
  expect "thumbnail pixels" "still $(convert "$work/16.png" rgba:- | od -An -v -tx1 | tr -d ' \n')" "$(head -n 1 "$expected")"
  gdk-pixbuf-thumbnailer -s 128 "$files/rates.zn" "$work/128.png" || fail "gdk-pixbuf-thumbnailer exited with $?"
  expect "thumbnail size" "$(identify -format '%w %h' "$work/128.png")" "128 128"
}

geeqie() {
  command -v geeqie >/dev/null || { echo "missing geeqie (tools/setup test installs it)"; [ -n "${CI:-}" ] && exit 1 || exit 77; }
  use_pixbuf_loader
  # geeqie clears the pixbuf it is handed in area-prepared; the first frame
  # (red, a clear corner) must still show at 1:1: 255 red pixels.
  command geeqie "$files/plain.zn" >"$work/geeqie.log" 2>&1 &
  local viewer=$! red=0
  for _ in $(seq 120); do
    sleep 0.5 && import -window root "$work/screen.png" 2>/dev/null || continue
    red=$(convert "$work/screen.png" -fill black +opaque red -fill white -opaque red -format '%[fx:round(mean*w*h)]' info:)
    [ "$red" = 255 ] && break
  done
  kill "$viewer" && wait "$viewer" || true
  expect "red pixels geeqie shows" "$red" 255
}

package() {
  (cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
  local main kde deb
  main=$(echo "$work"/package/zintra-editor_*.deb) kde=$(echo "$work"/package/zintra-editor-kde_*.deb)
  contents() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||'; }
  # Together the packages hold exactly what an install does, under /usr;
  # the KDE package the Qt 5 plugins, and is made only where they were built.
  (cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) >"$work/installed"
  for deb in "$work"/package/*.deb; do contents "$deb"; done | sort | diff "$work/installed" - ||
    fail "the packages hold other files than an install"
  expect "the KDE package's plugins" "$([ ! -e "$kde" ] || contents "$kde" | grep -v ^share/doc/ | sort)" \
    "$(grep /qt5/ "$work/installed" || true)"
  # Only the KDE package needs Qt 5 and KDE Frameworks, and it needs the main package of its version.
  ! dpkg-deb -f "$main" Depends | grep -Eo 'lib(qt5|kf5)[^ ,]*' || fail "the main package depends on Qt 5 or KDE Frameworks"
  [ ! -e "$kde" ] || expect "the KDE package's first dependency" "$(dpkg-deb -f "$kde" Depends | cut -d, -f1)" \
    "zintra-editor (= $(dpkg-deb -f "$main" Version))"
  # The packaged zntool runs from the unpacked tree against the system's libraries.
  dpkg-deb -x "$main" "$work/root"
  "$work/root/usr/bin/zintra-editor" --version >/dev/null || fail "packaged zintra-editor failed"
  "$work/root/usr/bin/zntool" info "$files/walk one.zn" >"$work/info" || fail "packaged zntool failed"
  grep -q "Walk" "$work/info" || fail "packaged zntool did not read the file"
  apt-get install --simulate -q "$work"/package/*.deb >"$work/apt" || { cat "$work/apt"; fail "the packages cannot be installed"; }
  for deb in "$work"/package/*.deb; do
    lintian --fail-on error "$deb" | tee "$work/lintian" || fail "lintian found errors in $deb"
    for tag in $(awk '$1 == "W:" {print $3}' "$work/lintian" | sort -u); do
      grep -q -- "$tag" "$source/docs/packaging.md" || fail "lintian warning $tag is not listed in docs/packaging.md"
    done
  done
  if [ -n "${ZINTRA_IN_NAMESPACE:-}" ]; then dpkg_install "$main" "$kde"
  else echo "the packages are not installed with dpkg: that needs root and a mount namespace"; fi
}

# dpkg -i MAIN, then KDE if it was made, into a copy of this system: an
# overlay of / whose writes go to memory, in this check's mount namespace.
dpkg_install() {
  local root=$work/system/root
  mkdir -p "$work/system" && mount -t tmpfs zintra "$work/system" && mkdir "$work/system/"{upper,work} "$root"
  mount -t overlay zintra -o "lowerdir=/,upperdir=$work/system/upper,workdir=$work/system/work" "$root" ||
    { echo "the packages are not installed with dpkg: no overlay of / can be mounted"; return; }
  [ -e "$root/dev/null" ] || mknod -m 666 "$root/dev/null" c 1 3
  in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root QT_QPA_PLATFORM=offscreen "$@"; }
  # The main package alone; Debian's triggers put our loader into
  # gdk-pixbuf's cache and our file type into the MIME database, which GTK
  # programs read, and Qt 6 programs find our plugin.
  in_root dpkg -i "$1" >"$work/dpkg" 2>&1 || { cat "$work/dpkg"; fail "dpkg -i of the main package failed"; return; }
  local qt_frames
  qt_frames=$(dirname "$samples")/desktop_qt_frames
  if [ -e "$qt_frames" ]; then
    in_root python3 "$source/tests/desktop/pixbuf_frames.py" "$files/rates.zn" | diff "$files/rates.frames" - ||
      fail "the installed system's gdk-pixbuf gave other frames"
    in_root "$qt_frames" reader "$files/rates.zn" 2>/dev/null | diff "$files/rates.frames" - ||
      fail "the installed system's Qt 6 gave other frames"
  fi
  [ -e "$2" ] || return 0
  in_root dpkg -i "$2" >"$work/dpkg" 2>&1 || { cat "$work/dpkg"; fail "dpkg -i of the KDE package failed"; return; }
  # It put its plugins where Qt 5 looks for image plugins, and KIO for thumbnail plugins.
  local qt5
  qt5=$(in_root qmake -qt=5 -query QT_INSTALL_PLUGINS || true)
  in_root dpkg -L zintra-editor-kde >"$work/listed"
  grep -qx "$qt5/imageformats/libqzn.so" "$work/listed" || fail "the Qt 5 image plugin is not where Qt 5 looks ($qt5)"
  grep -qx "$qt5/kf5/thumbcreator/libznthumbnail.so" "$work/listed" || fail "the thumbnail plugin is not where KIO looks ($qt5)"
}

# A thumbnail of "walk one.zn" at SIZE: its first frame, red with a clear
# top-left pixel, enlarged by whole pixels.
first_frame() {
  local scale=$(($2 / 16))
  expect "$1: size" "$(identify -format '%w %h' "$1" 2>&1)" "$2 $2"
  expect "$1: opaque pixel" "$(convert "$1" -format "%[hex:p{$scale,$scale}]" info:)" FF0000FF
  expect "$1: clear pixel" "$(convert "$1" -format "%[fx:p{$((scale - 1)),$((scale - 1))}.a]" info:)" 0
  # Every pixel one of the frame's two colours, in squares of whole pixels.
  expect "$1: colours" "$(convert "$1" -format %k info:)" 2
  expect "$1: pixels off the squares" "$(convert "$1" -sample 16x16 -sample "$2x$2" png:- |
    compare -metric AE "$1" - null: 2>&1)" 0
}

held_output() {
  # As tumbler does: it makes the output file, holds a descriptor on it
  # while the thumbnailer runs, then reads the thumbnail through it.
  : >"$work/held.png"
  exec 3<"$work/held.png"
  "$prefix/bin/zntool" thumbnail "$files/walk one.zn" "$work/held.png" --size 128 || fail "thumbnailer exited with $?"
  cat <&3 >"$work/read.png"
  exec 3<&-
  first_frame "$work/read.png" 128
}

# Tumbler on a private bus as Thunar meets it: the system's tumbler.rc and
# our gdk-pixbuf loader beside the system's; it finds the installed
# thumbnailer entry through XDG_DATA_DIRS and its program through PATH.
tumblerd_up() {
  local daemon
  daemon=$(compgen -G '/usr/lib/*/tumbler-1/tumblerd' | head -n 1 || true)
  require "${daemon:-tumblerd}" dbus-daemon
  update-mime-database "$share/mime"
  private_bus
  pixbuf_loaders
  XDG_CONFIG_DIRS=/etc/xdg PATH=$prefix/bin:$PATH "$daemon" >"$work/tumbler.log" 2>&1 &
  started+=($!)
  # Asked only once it owns the name.
  for _ in $(seq 100); do
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
      --method org.freedesktop.DBus.NameHasOwner org.freedesktop.thumbnails.Thumbnailer1 2>/dev/null | grep -q true && break
    sleep 0.1
  done
}

tumbler() {
  tumblerd_up
  local service=(--session --dest org.freedesktop.thumbnails.Thumbnailer1
                 --object-path /org/freedesktop/thumbnails/Thumbnailer1)
  local method=org.freedesktop.thumbnails.Thumbnailer1 uri="file://$files/walk%20one.zn" size
  # Made by our thumbnailer, not by tumbler's gdk-pixbuf one, which keeps 16 pixels.
  for size in normal:128 large:256; do
    gdbus call "${service[@]}" --method $method.Queue "['$uri']" "['application/x-zintra-animation']" \
      "${size%:*}" default 0 >/dev/null || { cat "$work/tumbler.log"; echo "tumblerd does not answer"; exit 77; }
    wait_for "$(cached "${size%:*}" "$uri")" || { cat "$work/tumbler.log"; fail "tumbler made no thumbnail"; return; }
    first_frame "$(cached "${size%:*}" "$uri")" "${size#*:}"
  done
}

thunar() {
  require thunar
  tumblerd_up
  command thunar "$files" >"$work/thunar.log" 2>&1 &
  started+=($!)
  local thumbnail
  thumbnail=$(cached normal "file://$files/walk%20one.zn")
  wait_for "$thumbnail" || { cat "$work/thunar.log"; fail "Thunar had no thumbnail made"; return; }
  first_frame "$thumbnail" 128
}

# Gwenview and Dolphin with the installed file type and Qt 5 plugins.
kde() {
  require gwenview dolphin
  update-mime-database "$share/mime"
  private_bus
  local plugin thumbnail red=0 blue=0
  plugin=$(find "$prefix" -path '*/qt5/*' -name libqzn.so)
  export QT_PLUGIN_PATH=${plugin%/imageformats/*} QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  # Gwenview plays the animation at 100 %: the red frame and the blue, each
  # with the 255 opaque pixels around its clear corner.
  gwenview "$files/walk one.zn" >"$work/kde.log" 2>&1 &
  started+=($!)
  for _ in $(seq 100); do
    case "$(pixels '#FF0000' '#0000FF')" in "255 0 ") red=1 ;; "0 255 ") blue=1 ;; esac
    [ $red$blue = 11 ] && break
  done
  expect "Gwenview showing its red and blue frames" $red$blue 11
  dolphin "$files" >>"$work/kde.log" 2>&1 &
  started+=($!)
  thumbnail=$(cached normal "file://$files/walk%20one.zn")
  wait_for "$thumbnail" || { cat "$work/kde.log"; fail "Dolphin made no thumbnail"; return; }
  first_frame "$thumbnail" 128
}

open_with() {
  update-mime-database "$share/mime"
  update-desktop-database "$share/applications"
  # What a file manager offers under "Open With", as GIO lists it; GIO
  # hides an entry whose program is not on PATH.
  for type in application/x-zintra-animation application/x-navi-animation; do
    local listed
    listed=$(PATH=$prefix/bin:$PATH gio mime "$type" 2>&1)
    grep -qx $'\tzintra-tray.desktop' <<<"$listed" || fail "the tray player is not offered for $type: $listed"
  done
}

metainfo() {
  # As a software centre's harvester meets the install: the metadata, its
  # file name and the menu entry it names.
  appstreamcli validate-tree --no-net --pedantic "$work" || fail "the AppStream metadata is not valid"
  for program in "$prefix"/bin/*; do
    grep -q "<binary>$(basename "$program")</binary>" "$share"/metainfo/*.metainfo.xml ||
      fail "the AppStream metadata does not name $(basename "$program")"
  done
}

"$check"
exit $status
