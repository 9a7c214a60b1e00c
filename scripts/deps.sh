# Installs the Debian packages the build and the tests need, when any is missing.
# Sourced by run.sh and test.sh.
RAVELSCOPE_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libpng-dev libjpeg62-turbo-dev libtiff-dev zlib1g-dev libdeflate-dev
  qt6-base-dev qt6-multimedia-dev libsane-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad fluid-soundfont-gm
  libgtest-dev libbenchmark-dev clang libclang-rt-dev
  python3 netpbm python3-pil imagemagick xvfb xauth openbox xdotool
  pngcheck libtiff-tools libjpeg-turbo-progs ffmpeg
  python3-astropy hyperfine libgdcm-dev python3-pydicom
  libglib2.0-bin shared-mime-info gsettings-desktop-schemas
  libwebp-dev libavif-dev libheif-dev libjxl-dev
  webp libavif-bin libheif-examples libjxl-tools apngasm
)

ensure_packages() {
  local missing=()
  for p in "${RAVELSCOPE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
