# Sourced: the Wine set-up that the Windows build's tests and timings share. A prefix of the
# tree's own (build-win/wine), quiet, without the .NET and HTML runtimes it would offer to
# fetch, made once, with Wine's raster fonts where this Wine finds them: Debian's Wine 8 looks
# for them under a misspelt data path and loads them from the prefix's own font folder ("MS Sans
# Serif" is one).
export WINEPREFIX="$PWD/build-win/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
  wine cmd /c exit >/dev/null 2>&1 && wineserver -w
fi
cp -n /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"
