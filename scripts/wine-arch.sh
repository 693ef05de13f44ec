# Which Windows exe this machine can run under Wine, decided once for run.sh, test.sh,
# bench.sh and deps.sh (sourced, from the repository root).
#
#   QD_WINE_ARCH unset  detect: the 32-bit exe where 32-bit programs run, else the 64-bit one
#   QD_WINE_ARCH=x64    force the 64-bit exe, its prefix and Wine's 64-bit loader
#   QD_WINE_ARCH=x86    insist on the 32-bit exe (fails where 32-bit programs cannot run)
#
# Some kernels have 32-bit emulation switched off, and there Debian's `wine` wrapper still
# picks the 32-bit loader once wine32 is installed; so the question is answered by running a
# 32-bit program, never by reading kernel flags. Sets and exports QD_WINE_ARCH (x86 or x64),
# and sets qd_runs_32bit (yes or no), qd_wine_reason, qd_wine (the command that runs Wine:
# "${qd_wine[@]}" prog.exe), qd_wine_x86 and qd_wine_x64 (each path's), qd_wine_loader
# (its name, for messages), qd_exe_preset (win32 or win64) and qd_wine_arch_forced (yes when
# QD_WINE_ARCH was set). Sourced after deps.sh, which installs wine32 when it can.

# Runs a 93-byte static i386 program that only exits with status 0: it needs nothing
# installed, so deps.sh can ask before deciding whether to install wine32. It is written
# under build/, which must allow running programs anyway, unlike some /tmp mounts.
qd_try_32bit_program() {
  mkdir -p build
  local probe
  probe=$(mktemp build/.i386-probe.XXXXXX)
  # ELF header, one loadable segment at 0x08048000, then: xor ebx,ebx; mov eax,1; int 0x80.
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\61\333\270\1\0\0\0\315\200' >"$probe"
  chmod +x "$probe"
  local status=0
  qd_32bit_error=$("$probe" 2>&1) || status=$?
  rm -f "$probe"
  # The shell's "...: cannot execute binary file: Exec format error" keeps its last part.
  qd_32bit_error=${qd_32bit_error##*: }
  if [ "$status" -ne 0 ] && [ -z "$qd_32bit_error" ]; then qd_32bit_error="exit status $status"; fi
  [ "$status" -eq 0 ]
}

if qd_try_32bit_program; then
  qd_runs_32bit=yes
else
  qd_runs_32bit=no
fi

# The 32-bit path also needs Debian's wine32, which an apt mirror caught mid-sync can fail
# to give (its i386 lists lag behind the amd64 ones); deps.sh then goes on without it, and
# the 64-bit path is taken. deps.sh itself sets qd_installing, to ask what to install.
qd_wine32_installed() {
  dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q 'install ok installed'
}

qd_wine_arch_forced=${QD_WINE_ARCH:+yes}
case "${QD_WINE_ARCH:-}" in
  "")
    if [ "$qd_runs_32bit" = yes ] && { [ -n "${qd_installing:-}" ] || qd_wine32_installed; }; then
      QD_WINE_ARCH=x86
      qd_wine_reason="this machine runs 32-bit programs"
    elif [ "$qd_runs_32bit" = yes ]; then
      QD_WINE_ARCH=x64
      qd_wine_reason="32-bit Wine (wine32) is not installed and scripts/deps.sh could not install it"
    else
      QD_WINE_ARCH=x64
      qd_wine_reason="this machine cannot run 32-bit programs (an i386 program fails: $qd_32bit_error)"
    fi
    ;;
  x64)
    qd_wine_reason="QD_WINE_ARCH=x64 forces the 64-bit path"
    ;;
  x86)
    if [ "$qd_runs_32bit" != yes ]; then
      echo "QD_WINE_ARCH=x86 asks for the 32-bit exe, but this machine cannot run 32-bit programs" \
        "(an i386 program fails: $qd_32bit_error); unset QD_WINE_ARCH to use the 64-bit exe." >&2
      return 1
    fi
    qd_wine_reason="QD_WINE_ARCH=x86 asks for it"
    ;;
  *)
    echo "QD_WINE_ARCH=$QD_WINE_ARCH is not understood: use x64 (64-bit exe), x86 (32-bit exe)," \
      "or leave it unset to detect." >&2
    return 1
    ;;
esac
export QD_WINE_ARCH

# The command that runs Wine on each path: Debian's `wine` wrapper, which takes the 32-bit
# loader here; or the 64-bit loader by name, with WINELOADER so that the programs it starts
# find it again. That loader has no preloader, and with address randomization its heap can
# land on the page Windows' shared user data needs (about one start in two thousand fails
# with "failed to map the shared user data"); setarch -R keeps the heap right after it.
qd_wine_x86=(wine)
qd_wine_x64=(setarch -R env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64)
if [ "$QD_WINE_ARCH" = x64 ]; then
  qd_wine=("${qd_wine_x64[@]}")
  qd_wine_loader="Wine's 64-bit loader"
  qd_exe_preset=win64
else
  qd_wine=("${qd_wine_x86[@]}")
  qd_wine_loader="Wine's 32-bit loader"
  qd_exe_preset=win32
fi
