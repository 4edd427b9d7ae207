#!/usr/bin/env bash
# Installs the Debian packages that building, testing and packaging cnc need, when any is
# missing. Sourced by build.sh, run.sh, test.sh and package.sh.
cnc_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libqt6serialport6 qt6-image-formats-plugins
  qt6-translations-l10n qt6-svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg-turbo-progs
  nodejs
  make gcc-avr avr-libc binutils-avr libsimavr-dev libelf-dev
  dpkg-dev file lintian desktop-file-utils
)

cnc_install_missing() {
  local missing=()
  for p in "${cnc_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  # npm checks the written G-code files; some Node.js builds carry it inside their own package.
  command -v npm >/dev/null 2>&1 || missing+=(npm)
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The build folder: CNC_BUILD_DIR when set; otherwise build-sanitize/ for a build whose
# arguments ask for the sanitizers (so that build/ stays an ordinary build), else build/.
cnc_build_dir() {
  if [ -n "${CNC_BUILD_DIR:-}" ]; then
    echo "$CNC_BUILD_DIR"
  elif printf '%s\n' "$@" | grep -qx -- '-DCNC_SANITIZE=ON'; then
    echo "$root/build-sanitize"
  else
    echo "$root/build"
  fi
}
