#!/usr/bin/env bash
# Writes the winget and scoop manifests of a release from what release.sh left in its folder:
#   bash scripts/manifests.sh <release folder> <version>
# Hashes come from the folder's Quiverdart-<version>-SHA256SUMS.txt, the release date from
# SOURCE_DATE_EPOCH, so the same zips give the same manifests. The zips are expected at
# $QD_DOWNLOAD_URL/v<version>/ (default below); the project's page is that URL without its
# /releases/download, the layout of GitHub, Gitea and Forgejo releases.
#   winget: <folder>/winget/manifests/<letter>/<Publisher>/Quiverdart/<version>/ (three files)
#   scoop:  <folder>/scoop/quiverdart.json
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1 version=$2
: "${SOURCE_DATE_EPOCH:?set SOURCE_DATE_EPOCH to the sources time}"

# winget's ManifestVersion, the newest that winget-pkgs accepts.
manifest_version=1.12.0
# The publisher is the maker's folder the program keeps its settings under.
publisher=$(sed -n 's/.*kMakerFolder = "\([A-Za-z0-9]*\)";.*/\1/p' src/window/form_main_lifetime.cpp)
if [ -z "$publisher" ]; then
  echo "manifests.sh: no kMakerFolder found in src/window/form_main_lifetime.cpp" >&2
  exit 1
fi
base=${QD_DOWNLOAD_URL:-https://github.com/$publisher/quiverdart/releases/download}
base=${base%/}
if ! [[ $base =~ ^https?://[^[:space:]\"\\]+/releases/download$ ]]; then
  echo "manifests.sh: QD_DOWNLOAD_URL must be http(s)://<project page>/releases/download," \
    "not '$base'" >&2
  exit 1
fi
homepage=${base%/releases/download}
id="$publisher.Quiverdart"
sums="Quiverdart-$version-SHA256SUMS.txt"
release_date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%F)

hash_of() { # zip name -> its sum, from the release's SHA256SUMS
  local h
  h=$(awk -v f="$1" '$2 == f || $2 == "*" f { print $1 }' "$out/$sums")
  [ -n "$h" ] || { echo "manifests.sh: $1 is not listed in $out/$sums" >&2; exit 1; }
  echo "$h"
}
hash32=$(hash_of "Quiverdart-$version-win32.zip")
hash64=$(hash_of "Quiverdart-$version-win64.zip")

dir="$out/winget/manifests/$(echo "${id:0:1}" | tr 'A-Z' 'a-z')/$publisher/Quiverdart/$version"
rm -rf "$out/winget" "$out/scoop"
mkdir -p "$dir" "$out/scoop"
header() { echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.$1.$manifest_version.schema.json"; echo; }

{
  header version
  cat <<EOF
PackageIdentifier: $id
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: $manifest_version
EOF
} >"$dir/$id.yaml"

{
  header defaultLocale
  cat <<EOF
PackageIdentifier: $id
PackageVersion: $version
PackageLocale: en-US
Publisher: $publisher
PackageName: Quiverdart
PackageUrl: $homepage
PublisherSupportUrl: $homepage/issues
License: MIT
ShortDescription: A large arrow on top of everything on the screen, for pointing at things while you present.
Moniker: quiverdart
Tags:
- pointer
- presentation
- projector
- portable
ReleaseNotesUrl: $homepage/releases/tag/v$version
ManifestType: defaultLocale
ManifestVersion: $manifest_version
EOF
} >"$dir/$id.locale.en-US.yaml"

installer() { # winget architecture, zip's arch, hash
  cat <<EOF
- Architecture: $1
  NestedInstallerFiles:
  - RelativeFilePath: Quiverdart-$version-$2/Quiverdart.exe
    PortableCommandAlias: quiverdart
  InstallerUrl: $base/v$version/Quiverdart-$version-$2.zip
  InstallerSha256: $(echo "$3" | tr 'a-f' 'A-F')
EOF
}
{
  header installer
  cat <<EOF
PackageIdentifier: $id
PackageVersion: $version
InstallerType: zip
NestedInstallerType: portable
UpgradeBehavior: uninstallPrevious
Commands:
- quiverdart
ReleaseDate: $release_date
Installers:
EOF
  installer x86 win32 "$hash32"
  installer x64 win64 "$hash64"
  cat <<EOF
ManifestType: installer
ManifestVersion: $manifest_version
EOF
} >"$dir/$id.installer.yaml"

# Scoop: a shim on PATH and a Start-menu shortcut; autoupdate reads the new release's sums.
if [[ $homepage == https://github.com/* ]]; then
  checkver="{ \"github\": \"$homepage\" }"
else
  checkver="{ \"url\": \"$homepage/releases/latest\", \"regex\": \"/releases/tag/v([\\\\d.]+)\" }"
fi
cat >"$out/scoop/quiverdart.json" <<EOF
{
    "version": "$version",
    "description": "A large arrow on top of everything on the screen, for pointing at things while you present.",
    "homepage": "$homepage",
    "license": "MIT",
    "architecture": {
        "64bit": {
            "url": "$base/v$version/Quiverdart-$version-win64.zip",
            "hash": "$hash64",
            "extract_dir": "Quiverdart-$version-win64"
        },
        "32bit": {
            "url": "$base/v$version/Quiverdart-$version-win32.zip",
            "hash": "$hash32",
            "extract_dir": "Quiverdart-$version-win32"
        }
    },
    "bin": "Quiverdart.exe",
    "shortcuts": [["Quiverdart.exe", "Quiverdart"]],
    "checkver": $checkver,
    "autoupdate": {
        "architecture": {
            "64bit": {
                "url": "$base/v\$version/Quiverdart-\$version-win64.zip",
                "extract_dir": "Quiverdart-\$version-win64"
            },
            "32bit": {
                "url": "$base/v\$version/Quiverdart-\$version-win32.zip",
                "extract_dir": "Quiverdart-\$version-win32"
            }
        },
        "hash": { "url": "\$baseurl/Quiverdart-\$version-SHA256SUMS.txt" }
    }
}
EOF
touch -d "@$SOURCE_DATE_EPOCH" "$dir"/* "$out/scoop/quiverdart.json"
echo "Manifests: $dir/ and $out/scoop/quiverdart.json"
