# Which Windows exe runs under which Wine loader, for run.sh, bench.sh and deps.sh (sourced,
# from the repository root): a choice made by hand, never detected.
#
#   QD_WINE_ARCH unset or x64  the 64-bit exe under Wine's 64-bit loader: any Wine, any kernel
#   QD_WINE_ARCH=wow64         the 32-bit exe, the one that ships, under the same 64-bit loader
#                              through WoW64, as 64-bit Windows runs it: Wine 10 in the root of
#                              scripts/wine10.sh (the host's Wine 8 has no WoW64)
#   QD_WINE_ARCH=x86           the 32-bit exe under Wine's 32-bit loader: needs wine32, which
#                              deps.sh then installs, and a kernel that runs 32-bit programs
#
# Sets and exports QD_WINE_ARCH, and sets qd_wine (the command that runs Wine:
# "${qd_wine[@]}" prog.exe), qd_wine64 (the 64-bit loader's), qd_wine_loader (its name, for
# messages) and qd_exe_preset (win32 or win64).

QD_WINE_ARCH=${QD_WINE_ARCH:-x64}
case "$QD_WINE_ARCH" in
  x64) qd_exe_preset=win64 qd_wine_loader="Wine's 64-bit loader" ;;
  wow64) qd_exe_preset=win32 qd_wine_loader="Wine's 64-bit loader (WoW64)" ;;
  x86) qd_exe_preset=win32 qd_wine_loader="Wine's 32-bit loader" ;;
  *)
    echo "QD_WINE_ARCH=$QD_WINE_ARCH is not understood: use x64 (64-bit exe), wow64 (32-bit" \
      "exe under the 64-bit loader) or x86 (32-bit exe under the 32-bit loader)." >&2
    return 1
    ;;
esac
export QD_WINE_ARCH

# The 64-bit loader by name, with WINELOADER so that the programs it starts find it again.
# It has no preloader, and with address randomization its heap can land on the page
# Windows' shared user data needs (about one start in two thousand fails with "failed to
# map the shared user data"); setarch -R keeps the heap right after it. Debian's `wine`
# wrapper takes the 32-bit loader.
qd_wine64=(setarch -R env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64)
if [ "$QD_WINE_ARCH" = x86 ]; then
  qd_wine=(wine)
else
  qd_wine=("${qd_wine64[@]}")
fi
