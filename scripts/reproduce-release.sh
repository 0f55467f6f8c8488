#!/usr/bin/env bash
# Checks a release against its source: clones COMMIT (default: this checkout's HEAD) into a new
# temporary folder, builds the release there with its own scripts/release.sh, and compares the
# SHA-256 of what that build made with the release given: a downloaded zip, a SHA256SUMS file, or,
# without a second argument, this checkout's dist/SHA256SUMS.
#
# Usage: scripts/reproduce-release.sh [COMMIT] [ZIP-OR-SHA256SUMS]
#
# Prints each file compared, then "reproduced" when every one is identical. Exit status:
#   0  reproduced: every file compared is identical
#   1  an archive differs (or the rebuild made no file of that name): the files are named, and
#      the two build records are compared line by line when the release has one beside it
#   2  wrong arguments, or the clone or the build failed
#   3  the archives are identical and only the build record differs (another version of a tool
#      or package; the differing lines are shown)
# The build record beside the release (vantrel-<version>.buildinfo, in the folder of the zip or of
# SHA256SUMS) gives the rebuild what the commit does not hold: the project URL of the build, the
# version of libdeflate's Debian source package and the source time. VANTREL_PROJECT_URL,
# VANTREL_LIBDEFLATE_VERSION and SOURCE_DATE_EPOCH in the environment take their place.
# The rebuild is unsigned: a signed release differs in every program (README.md says why).
# VANTREL_REPRODUCE_KEEP=1 keeps the temporary folder. For the release test only,
# VANTREL_REPRODUCE_BUILT=DIR takes DIR as the rebuild's output instead of cloning and building.
set -u
repo=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)

fail() {
  echo "reproduce-release: $*" >&2
  exit 2
}

[ $# -le 2 ] || fail "usage: scripts/reproduce-release.sh [COMMIT] [ZIP-OR-SHA256SUMS]"
commit=$(git -C "$repo" rev-parse --verify --quiet "${1:-HEAD}^{commit}") || fail "no commit ${1:-HEAD} in $repo"
reference=${2:-$repo/dist/SHA256SUMS}
[ -f "$reference" ] || fail "no such file: $reference (scripts/release.sh writes dist/)"
reference_dir=$(cd "$(dirname "$reference")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-reproduce.XXXXXX") || fail "no temporary folder"
cleanup() {
  if [ "${VANTREL_REPRODUCE_KEEP:-}" = 1 ]; then
    echo "reproduce-release: kept $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

# The release's checksums as "SHA-256  name" lines; for a zip, its own, under its own name.
sha256_hex='^[0-9a-fA-F]{64}$'
if [ "$(head -c 4 "$reference" | od -An -tx1 | tr -d ' \n')" = 504b0304 ]; then
  zip_name=$(basename "$reference")
  echo "$(sha256sum <"$reference" | cut -d' ' -f1)  $zip_name" >"$work/expected"
  # Its build record: the one beside it that lists it.
  record=$(grep -l -F -x -s -e " $(cut -d' ' -f1 "$work/expected")  $zip_name" "$reference_dir"/vantrel-*.buildinfo |
    head -n 1)
else
  zip_name=
  # sha256sum's format: a blank or '*' between checksum and name; names as sha256sum -c reads them.
  sed -e 's/\r$//' -e '/^[[:space:]]*$/d' "$reference" | while read -r sum name; do
    [[ $sum =~ $sha256_hex ]] && [ -n "$name" ] || exit 1
    echo "$(echo "$sum" | tr 'A-F' 'a-f')  ${name#\*}"
  done >"$work/expected" || fail "$reference is neither a zip nor a SHA256SUMS file"
  [ -s "$work/expected" ] || fail "$reference lists no file"
  record=$(awk '$2 ~ /\.buildinfo$/ { print $2; exit }' "$work/expected")
  record=${record:+$reference_dir/$record}
fi
[ -n "$record" ] && [ -f "$record" ] || record=
record_value() {
  [ -n "$record" ] && sed -n "s/^$1: //p" "$record" | head -n 1
}

if [ -n "${VANTREL_REPRODUCE_BUILT:-}" ]; then
  built=$(cd "$VANTREL_REPRODUCE_BUILT" && pwd) || fail "no folder $VANTREL_REPRODUCE_BUILT"
else
  url=${VANTREL_PROJECT_URL-$(record_value Project-URL)}
  [ "$url" = "(none)" ] && url=
  libdeflate=${VANTREL_LIBDEFLATE_VERSION-$(record_value Libdeflate-Source | sed -n 's/^libdeflate \([^ ]*\).*/\1/p')}
  epoch=${SOURCE_DATE_EPOCH-$(record_value Source-Date-Epoch | cut -d' ' -f1)}
  if [ -n "$record" ] && [ "$(record_value Source-Tree)" != "as committed" ]; then
    echo "reproduce-release: note: $(basename "$record") says the release was built with changes that were not committed"
  fi

  clone="$work/vantrel"
  echo "== reproduce: clone of $commit in $clone"
  git clone --quiet --no-checkout "$repo" "$clone" || fail "git clone of $repo failed"
  if ! git -C "$clone" cat-file -e "$commit^{commit}" 2>/dev/null; then
    git -C "$clone" fetch --quiet origin "$commit" || fail "commit $commit is on no branch of $repo"
  fi
  git -C "$clone" -c advice.detachedHead=false checkout --quiet --detach "$commit" || fail "checkout of $commit failed"

  # The clone's own scripts build it, as they built the release; unsigned, with what the record
  # names.
  echo "== reproduce: release build (project URL: ${url:-none}, libdeflate: ${libdeflate:-newest of this Debian release})"
  (
    cd "$clone" || exit 1
    unset VANTREL_SIGN_CERT VANTREL_SIGN_KEY VANTREL_SIGN_PASSWORD_FILE VANTREL_SIGN_TIMESTAMP_URL
    if [ -n "$epoch" ]; then export SOURCE_DATE_EPOCH=$epoch; else unset SOURCE_DATE_EPOCH; fi
    if [ -n "$libdeflate" ]; then export VANTREL_LIBDEFLATE_VERSION=$libdeflate; fi
    scripts/setup.sh &&
      cmake --preset win32 -DVANTREL_PROJECT_URL="$url" >/dev/null &&
      scripts/release.sh
  ) || fail "the release build in $clone failed"
  built="$clone/dist"
fi
[ -f "$built/SHA256SUMS" ] || fail "the rebuild wrote no $built/SHA256SUMS"

# What the rebuild made under each name of the release.
rebuilt() {
  awk -v name="$1" 'substr($0, 67) == name || substr($0, 67) == "*" name { print $1; exit }' "$built/SHA256SUMS"
}
echo "== reproduce: $commit against $reference"
same=0
archives_differ=0
record_differs=0
differing=()
while read -r sum name; do
  mine=$(rebuilt "$name")
  if [ -z "$mine" ] && [ -n "$zip_name" ]; then
    # A downloaded zip may have been renamed on the way: any archive of the rebuild may match.
    mine=$(awk -v sum="$sum" '$1 == sum { print $1; exit }' "$built/SHA256SUMS")
  fi
  if [ "$mine" = "$sum" ]; then
    echo "  identical       $name"
    same=$((same + 1))
    continue
  fi
  if [ -z "$mine" ]; then
    echo "  not rebuilt     $name"
  else
    echo "  DIFFERS         $name"
  fi
  differing+=("$name")
  case "$name" in
    *.buildinfo) record_differs=1 ;;
    *) archives_differ=1 ;;
  esac
done <"$work/expected"

took=$(($(date +%s) - started))
took_text="$((took / 60)) min $((took % 60)) s"
if [ ${#differing[@]} -eq 0 ]; then
  echo "reproduced: $same of $same files identical ($took_text)"
  exit 0
fi
if [ -n "$record" ] && [ -f "$built/$(basename "$record")" ]; then
  echo "== the build records, the release's (-) and the rebuild's (+), where they differ:"
  diff -U0 "$record" "$built/$(basename "$record")" | grep -v -e '^---' -e '^+++' -e '^@@'
fi
if [ "$archives_differ" -eq 0 ] && [ "$record_differs" -eq 1 ]; then
  echo "not reproduced: the archives are identical, but the build record differs ($took_text)"
  exit 3
fi
echo "not reproduced: ${#differing[@]} of $((same + ${#differing[@]})) files differ: ${differing[*]} ($took_text)"
exit 1
