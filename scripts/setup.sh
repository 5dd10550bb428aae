#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Does nothing when
# they are all present. Run as root (or with sudo available).
#   scripts/setup.sh            build and test dependencies
#   scripts/setup.sh --fixtures also the file-system tools that remake tests/data
#   scripts/setup.sh --content-fixtures
#                               also the programs that remake tests/data/content
#                               (tools/fixtures/make_content_samples.sh)
#   scripts/setup.sh --bench    also what tools/bench/ runs beside us
#   scripts/setup.sh --fuzz     also clang and its libFuzzer runtime (the fuzz preset)
#   scripts/setup.sh --windows  also the MinGW-w64 cross compiler, Wine and Xvfb,
#                               for the windows preset and tests/windows/ (and
#                               xdotool, to drive the window by hand)
#   ... --check                 installs nothing: lists what the choice needs and
#                               whether it is installed (and warns of a name apt
#                               does not know)
set -euo pipefail

choice="" check=0
for arg in "$@"; do
  case $arg in
    --check) check=1 ;;
    --fixtures | --content-fixtures | --bench | --fuzz | --windows) choice=$arg ;;
    *) echo "setup: unknown option $arg" >&2; exit 2 ;;
  esac
done

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev
  sleuthkit                  # the independent view of each test image
  xz-utils                   # the test images are stored compressed
  qt6-base-dev shared-mime-info   # the desktop program; type names and icons of the result list
  fonts-ipafont-gothic            # IPAPGothic stands in for the dialogs' Japanese font
  nlohmann-json3-dev libssl-dev   # JSON lines of the CLI; SHA-256 of restored files
  zlib1g-dev                      # carved gzip unpacked to its end; CRC-32 of PNG chunks and archive headers
  # The restore and source-protection tests make and mount FAT, exFAT and NTFS
  # volumes (fusefat where the kernel has no vfat).
  dosfstools exfatprogs exfat-fuse ntfs-3g fusefat
  python3                         # the command line's output forms are read back by Python's json and csv
  fdisk                           # sfdisk wraps a volume in a partition table for the legacy-path test
  libewf-dev libvhdi-dev libvmdk-dev libqcow-dev   # image containers: E01, VHD/VHDX, VMDK, qcow
  libjpeg62-turbo-dev             # carved photos checked by decoding
  qt6-translations-l10n           # Qt's own buttons and dialogs in Japanese
  desktop-file-utils xdg-utils    # the installed desktop entry is checked and looked up
  dpkg-dev file lintian           # the Debian package: its dependencies from the libraries, its check
  python3-fusepy gddrescue        # the failing-card test: a card whose reads fail, and ddrescue's map of it
)
if [[ "$choice" == "--fixtures" ]]; then
  packages+=(dosfstools mtools exfatprogs exfat-fuse ntfs-3g fdisk python3
             ewf-tools qemu-utils)   # tools/fixtures/make_containers.sh
fi
if [[ "$choice" == "--content-fixtures" ]]; then
  packages+=(imagemagick ffmpeg zip unzip jlha-utils ghostscript libimage-exiftool-perl libheif-examples
             libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-impress-nogui)
fi
if [[ "$choice" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [[ "$choice" == "--bench" ]]; then
  # tools/bench/bench_thorough.sh also needs sleuthkit, exfatprogs, exfat-fuse
  # and python3, which the build list above holds already.
  packages+=(hyperfine testdisk libbenchmark-dev dosfstools mtools ntfs-3g
             imagemagick ffmpeg zip)
fi

if [[ "$choice" == "--windows" ]]; then
  # The posix threads variant of the cross compiler; wine64 runs the tests,
  # mtools makes their image of names Windows refuses.
  # xvfb runs the window headless, the Japanese font stands in for the
  # dialogs' font, x11-apps and imagemagick take the screenshots.
  # zip packs the Windows archive, icoutils' wrestool reads its programs' resources.
  packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64 mtools dosfstools python3
             xvfb xauth fonts-ipafont-gothic x11-apps imagemagick zip unzip icoutils xdotool)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [[ $check == 1 ]]; then
  for p in "${packages[@]}"; do
    if [[ " ${missing[*]} " == *" $p "* ]]; then state="missing"; else state="installed"; fi
    apt-cache show "$p" >/dev/null 2>&1 || state="$state (apt does not know it here)"
    echo "$p: $state"
  done
  exit 0
fi
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# Another install on the machine holds the dpkg lock for a while; wait for it
# rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=900)
$sudo apt-get "${wait_lock[@]}" update -qq
$sudo apt-get "${wait_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
