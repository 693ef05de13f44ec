"""Checks the winget and scoop manifests of a release offline, as far as the schemas and the
rules winget and scoop apply beyond them go, and every hash against the zip it names.

    python3 validate_manifests.py <release folder>

The release folder is what scripts/release.sh writes (zips, SHA256SUMS, winget/, scoop/); the
schemas are winget/manifest.<type>.<ManifestVersion>.json and scoop/schema.json in the schemas
folder beside this script (its README.md says where they come from).
Prints each problem as "<file>: <what>" and exits 1 if there is any.
"""

import hashlib
import json
import posixpath
import re
import sys
import zipfile
from pathlib import Path

import yaml
from jsonschema import Draft7Validator

DRAFT7 = "http://json-schema.org/draft-07/schema#"
SCHEMAS = Path(__file__).resolve().parent / "schemas"
# The fields winget reads as numbers or booleans; every other scalar stays a string.
WINGET_INTS = {"InstallerSuccessCodes", "InstallerReturnCode"}
WINGET_BOOLS = {"InstallerAbortsTerminal", "InstallLocationRequired", "RequireExplicitUpgrade",
                "DisplayInstallWarnings", "DownloadCommandProhibited",
                "ArchiveBinariesDependOnPath"}
WINGET_TYPES = ("version", "defaultLocale", "installer")


class _Loader(yaml.BaseLoader):
    """Every scalar a string, as winget reads YAML; a repeated key is an error."""


def _mapping(loader, node):
    seen = set()
    for key_node, _ in node.value:
        key = loader.construct_object(key_node)
        if key in seen:
            raise yaml.constructor.ConstructorError(None, None, f"duplicate key {key}",
                                                    key_node.start_mark)
        seen.add(key)
    return loader.construct_mapping(node, deep=True)


_Loader.add_constructor(yaml.resolver.BaseResolver.DEFAULT_MAPPING_TAG, _mapping)


def _typed(value, key=None):
    if isinstance(value, dict):
        return {k: _typed(v, k) for k, v in value.items()}
    if isinstance(value, list):
        return [_typed(v, key) for v in value]
    if key in WINGET_INTS and re.fullmatch(r"-?\d+", value):
        return int(value)
    if key in WINGET_BOOLS and value.lower() in ("true", "false"):
        return value.lower() == "true"
    return value


def _no_duplicates(pairs):
    keys = [k for k, _ in pairs]
    repeated = {k for k in keys if keys.count(k) > 1}
    if repeated:
        raise ValueError(f"duplicate key {sorted(repeated)[0]}")
    return dict(pairs)


def _validator(path):
    schema = json.loads(path.read_text(encoding="utf-8"))
    if schema.get("$schema") != DRAFT7:
        raise SystemExit(f"{path}: not a draft-07 schema")
    Draft7Validator.check_schema(schema)
    return Draft7Validator(schema, format_checker=Draft7Validator.FORMAT_CHECKER)


def _schema_errors(validator, document):
    return [f"{'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}"
            for e in sorted(validator.iter_errors(document), key=lambda e: list(e.path))]


class Release:
    def __init__(self, folder):
        self.folder = folder
        self.problems = []
        sums = sorted(folder.glob("Quiverdart-*-SHA256SUMS.txt"))
        if len(sums) != 1:
            self.sums_name, self.sums_text, self.sums = None, "", {}
            self.problem(folder, "expected one Quiverdart-<version>-SHA256SUMS.txt")
            return
        self.sums_name = sums[0].name
        self.sums_text = sums[0].read_text(encoding="utf-8")
        self.sums = {}
        for line in self.sums_text.splitlines():
            # sha256sum's lines: the sum, a blank, then a blank or * (binary) and the name.
            match = re.fullmatch(r"([0-9a-fA-F]{64}) [ *](.+)", line)
            if not match:
                self.problem(sums[0], f"not a sha256sum line: {line!r}")
                continue
            self.sums[match.group(2)] = match.group(1).lower()
        for name, digest in self.sums.items():
            if self.sha256(name, sums[0]) not in (None, digest):
                self.problem(sums[0], f"the line for {name} does not match the zip")

    def problem(self, path, what):
        self.problems.append(f"{Path(path).relative_to(self.folder.parent)}: {what}")

    def sha256(self, name, where):
        zip_path = self.folder / name
        if "/" in name or not zip_path.is_file():
            self.problem(where, f"names {name}, which is not in the release")
            return None
        return hashlib.sha256(zip_path.read_bytes()).hexdigest()

    def check_hash(self, where, field, url, digest):
        """The hash given for a URL must be the sum of the zip it names, and its SHA256SUMS line."""
        name = url.rsplit("/", 1)[-1]
        actual = self.sha256(name, where)
        if actual is None:
            return None
        if digest.lower() != actual:
            self.problem(where, f"{field} {digest} does not match {name} (its SHA-256 is {actual})")
        if self.sums.get(name) != actual:
            self.problem(where, f"{name} has no matching line in {self.sums_name}")
        return name

    def zip_names(self, name):
        with zipfile.ZipFile(self.folder / name) as archive:
            return set(archive.namelist())


def _inside(path):
    """The path with / separators if it stays inside the archive, else None."""
    path = path.replace("\\", "/")
    normal = posixpath.normpath(path)
    if path.startswith("/") or re.match(r"[A-Za-z]:", path) or normal.split("/")[0] == "..":
        return None
    return normal


def check_winget(release, schemas):
    files = sorted((release.folder / "winget").rglob("*.yaml"))
    manifests = {}
    for path in files:
        text = path.read_text(encoding="utf-8")
        try:
            document = _typed(yaml.load(text, Loader=_Loader))
        except yaml.YAMLError as error:
            release.problem(path, f"not valid YAML: {error}")
            continue
        if not isinstance(document, dict):
            release.problem(path, "not a YAML mapping")
            continue
        kind = document.get("ManifestType")
        if kind not in WINGET_TYPES:
            release.problem(path, f"ManifestType {kind!r} is not version, defaultLocale or installer")
            continue
        if kind in manifests:
            release.problem(path, f"a second {kind} manifest")
            continue
        manifests[kind] = (path, document)
        schema_path = schemas / "winget" / f"manifest.{kind}.{document.get('ManifestVersion')}.json"
        if not schema_path.is_file():
            release.problem(path, f"ManifestVersion {document.get('ManifestVersion')!r} is not one "
                                  f"winget-pkgs accepts (no {schema_path.name} in {schemas})")
            continue
        validator = _validator(schema_path)
        for error in _schema_errors(validator, document):
            release.problem(path, f"schema: {error}")
        header = text.splitlines()[0] if text else ""
        wanted = f"# yaml-language-server: $schema={validator.schema['$id']}"
        if header.strip().lower() != wanted.lower():
            release.problem(path, f"the first line must be the schema header '{wanted}'")
        for key in document:
            if key not in validator.schema["properties"]:
                release.problem(path, f"unknown key {key} (keys are PascalCase, exactly)")
    missing = [kind for kind in WINGET_TYPES if kind not in manifests]
    if missing:
        release.problem(release.folder / "winget", f"missing the {', '.join(missing)} manifest")
        return None
    version_path, version = manifests["version"]
    for field in ("PackageIdentifier", "PackageVersion", "ManifestVersion"):
        for path, document in manifests.values():
            if document.get(field) != version.get(field):
                release.problem(path, f"{field} {document.get(field)!r} differs from the version "
                                      f"manifest's {version.get(field)!r}")
    locale_path, locale = manifests["defaultLocale"]
    if locale.get("PackageLocale") != version.get("DefaultLocale"):
        release.problem(locale_path, "PackageLocale differs from the version manifest's DefaultLocale")
    identifier = str(version.get("PackageIdentifier", ""))
    package_version = str(version.get("PackageVersion", ""))
    folder = ["manifests", identifier[:1].lower(), *identifier.split("."), package_version]
    names = {"version": f"{identifier}.yaml", "installer": f"{identifier}.installer.yaml",
             "defaultLocale": f"{identifier}.locale.{locale.get('PackageLocale')}.yaml"}
    for kind, (path, _) in manifests.items():
        if list(path.relative_to(release.folder / "winget").parts) != folder + [names[kind]]:
            release.problem(path, f"must be winget/{'/'.join(folder)}/{names[kind]}")
    check_installers(release, *manifests["installer"])
    return package_version


def check_installers(release, path, manifest):
    root = {k: v for k, v in manifest.items() if k != "Installers"}
    seen = set()
    for number, entry in enumerate(manifest.get("Installers") or [], 1):
        installer = {**root, **entry}
        where = f"installer {number} ({installer.get('Architecture')})"
        key = tuple(installer.get(k) for k in ("InstallerType", "NestedInstallerType", "Architecture",
                                                "InstallerLocale", "Scope"))
        if key in seen:
            release.problem(path, f"{where} repeats another installer's type and architecture")
        seen.add(key)
        name = release.check_hash(path, f"{where}: InstallerSha256", installer.get("InstallerUrl", ""),
                                  installer.get("InstallerSha256", ""))
        if installer.get("InstallerType") != "zip":
            continue
        nested = installer.get("NestedInstallerFiles") or []
        if installer.get("NestedInstallerType") != "portable" or not nested:
            release.problem(path, f"{where}: a zip needs NestedInstallerType portable and "
                                  "NestedInstallerFiles")
        inside = release.zip_names(name) if name else set()
        aliases = set()
        for file in nested:
            relative = file.get("RelativeFilePath", "")
            normal = _inside(relative)
            if normal is None:
                release.problem(path, f"{where}: RelativeFilePath {relative} leaves the zip")
            elif name and normal not in inside:
                release.problem(path, f"{where}: RelativeFilePath {relative} is not in {name}")
            if not relative.lower().endswith(".exe"):
                release.problem(path, f"{where}: a portable file must be an .exe, not {relative}")
            alias = str(file.get("PortableCommandAlias", "")).lower()
            if alias in aliases or _inside(alias) != alias:
                release.problem(path, f"{where}: PortableCommandAlias {alias!r} repeats or is a path")
            aliases.add(alias)


def check_scoop(release, schemas, winget_version):
    path = release.folder / "scoop" / "quiverdart.json"
    try:
        manifest = json.loads(path.read_text(encoding="utf-8"), object_pairs_hook=_no_duplicates)
    except (OSError, ValueError) as error:
        release.problem(path, f"not readable JSON: {error}")
        return
    for error in _schema_errors(_validator(schemas / "scoop" / "schema.json"), manifest):
        release.problem(path, f"schema: {error}")
    version = manifest.get("version")
    if winget_version is not None and version != winget_version:
        release.problem(path, f"version {version!r} differs from winget's {winget_version!r}")
    updates = (manifest.get("autoupdate") or {}).get("architecture") or {}
    for arch, entry in (manifest.get("architecture") or {}).items():
        url = entry.get("url", "")
        name = release.check_hash(path, f"{arch}: hash", url, entry.get("hash", ""))
        if name:
            inside = release.zip_names(name)
            folder = _inside(entry.get("extract_dir", ""))
            programs = [manifest.get("bin", "")] + [s[0] for s in manifest.get("shortcuts", [])]
            for program in programs:
                if folder is None or _inside(f"{folder}/{program}") not in inside:
                    release.problem(path, f"{arch}: {entry.get('extract_dir')}/{program} is not in {name}")
        update = updates.get(arch, {})
        for field in ("url", "extract_dir"):
            if str(update.get(field, "")).replace("$version", str(version)) != entry.get(field):
                release.problem(path, f"autoupdate {arch} {field} does not give this release's")
        # Scoop's lookup of a zip's hash in a sums file (lib/autoupdate.ps1).
        hash_url = str(((manifest.get("autoupdate") or {}).get("hash") or {}).get("url", ""))
        hash_url = hash_url.replace("$baseurl", url.rsplit("/", 1)[0]).replace("$version", str(version))
        if hash_url.rsplit("/", 1)[-1] != release.sums_name:
            release.problem(path, f"autoupdate hash url {hash_url} does not name {release.sums_name}")
        basename = re.escape(url.rsplit("/", 1)[-1])
        found = re.search(rf"([a-fA-F0-9]{{32,128}})[\x20\t]+.*{basename}(?:\s|$)", release.sums_text)
        if name and (not found or found.group(1).lower() != release.sums.get(name)):
            release.problem(path, f"autoupdate would not find {name}'s hash in {release.sums_name}")


def check(folder, schemas):
    """Every problem with the release's manifests, as "<file>: <what>" lines."""
    release = Release(Path(folder))
    schemas = Path(schemas)
    winget_version = check_winget(release, schemas)
    check_scoop(release, schemas, winget_version)
    return release.problems


def main(argv):
    if len(argv) != 2:
        raise SystemExit(f"usage: {argv[0]} <release folder>")
    if not (SCHEMAS / "winget").is_dir() or not (SCHEMAS / "scoop" / "schema.json").is_file():
        raise SystemExit(f"No manifest schemas at {SCHEMAS} (winget/ and scoop/schema.json)")
    problems = check(argv[1], SCHEMAS)
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"The release's manifests have {len(problems)} problem(s)", file=sys.stderr)
        return 1
    print(f"winget and scoop manifests in {argv[1]} match their schemas, each other and the zips")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
