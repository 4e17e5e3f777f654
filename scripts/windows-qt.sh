#!/usr/bin/env bash
# Builds a static Qt for Windows once per machine, from Debian's source of the Qt the Linux build uses, with
# Debian's mingw-w64 cross compilers. Prints the install prefix on its last line (standard output); what it is
# doing, at least once a minute, goes to standard error.
#   scripts/windows-qt.sh            build if not cached yet
#   scripts/windows-qt.sh --cached   only say (exit status 0) whether it is cached
# The cache lives outside the repository, keyed by Qt version and configure options:
#   ${MW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mirewatch}/qt-<version>-<hash>
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}
cache=${MW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mirewatch}
. scripts/progress.sh
say() { echo "$*" >&2; }

version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
upstream=${version%%+*}

# Only what the programs and their tests need: each feature left out is code not compiled. Pitfalls of this Qt
# version with this source:
# - Debian's source has no src/3rdparty/wintab: tablet events off.
# - OpenGL through INPUT_opengl, or dynamicgl stays on and the Windows plugin does not compile.
# - directwrite3 needs direct2d's font database, so both go.
# - The input dialog stays: the Windows style's precompiled header includes its header whatever the feature.
#   So do the main window and tool bar (the Widgets module's compatibility file includes qtoolbar.h), and table
#   view and tab bar (the Windows style uses them unguarded). The slider stays: scroll bars depend on it.
# Without HarfBuzz, Qt shapes text through the Windows font engine, which is all Latin text needs.
options=(
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++
    -DINPUT_opengl=no -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
    -DFEATURE_freetype=OFF -DFEATURE_fontconfig=OFF -DFEATURE_harfbuzz=OFF
    -DFEATURE_pdf=OFF -DFEATURE_textodfwriter=OFF -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF
    -DFEATURE_sessionmanager=OFF -DFEATURE_movie=OFF -DFEATURE_systemtrayicon=OFF -DFEATURE_imageformat_ppm=OFF
    -DFEATURE_imageformat_xbm=OFF -DFEATURE_undocommand=OFF -DFEATURE_undostack=OFF -DFEATURE_undogroup=OFF
    -DFEATURE_undoview=OFF -DFEATURE_style_stylesheet=OFF -DFEATURE_syntaxhighlighter=OFF
    -DFEATURE_graphicsview=OFF -DFEATURE_graphicseffect=OFF -DFEATURE_mdiarea=OFF -DFEATURE_calendarwidget=OFF
    -DFEATURE_datetimeedit=OFF -DFEATURE_colordialog=OFF -DFEATURE_fontdialog=OFF -DFEATURE_wizard=OFF
    -DFEATURE_dial=OFF -DFEATURE_lcdnumber=OFF -DFEATURE_splashscreen=OFF -DFEATURE_keysequenceedit=OFF
    -DFEATURE_fontcombobox=OFF -DFEATURE_columnview=OFF -DFEATURE_toolbox=OFF -DFEATURE_datawidgetmapper=OFF
    -DFEATURE_errormessage=OFF -DFEATURE_commandlinkbutton=OFF -DFEATURE_sharedmemory=OFF
    -DFEATURE_systemsemaphore=OFF -DFEATURE_dockwidget=OFF -DFEATURE_statusbar=OFF -DFEATURE_tablewidget=OFF
    -DFEATURE_treewidget=OFF -DFEATURE_textbrowser=OFF -DFEATURE_scroller=OFF -DFEATURE_gestures=OFF
    -DFEATURE_progressdialog=OFF -DFEATURE_progressbar=OFF -DFEATURE_whatsthis=OFF -DFEATURE_timezone=OFF
    -DFEATURE_commandlineparser=OFF -DFEATURE_picture=OFF -DFEATURE_transposeproxymodel=OFF
    -DFEATURE_concatenatetablesproxymodel=OFF -DFEATURE_mimetype=OFF -DFEATURE_filesystemwatcher=OFF
    -DFEATURE_effects=OFF -DCMAKE_UNITY_BUILD=ON
)
# Unity build: most of a Qt compile is the headers, not the file itself, so each module is compiled in batches of
# 8 files per compiler run. This Qt predates unity builds; the files below clash with a neighbour in their batch
# (file-local helpers of the same name, macros that leak) and are compiled alone. So are the bundled C libraries,
# and the files of functions kept for older programs only (removed_api.cpp), which define a macro before the
# first header: in a batch they compile to nothing.
unity_alone=(
    corelib:compat/removed_api.cpp widgets:compat/removed_api.cpp
    corelib:global/qlogging.cpp corelib:serialization/qcborstreamreader.cpp
    corelib:serialization/qcborstreamwriter.cpp corelib:text/qstring.cpp corelib:kernel/qmetaobjectbuilder.cpp
    corelib:io/qurlrecode.cpp corelib:io/qurlquery.cpp corelib:text/qunicodetools.cpp
    corelib:time/qjalalicalendar.cpp corelib:time/qromancalendar.cpp
    gui:image/qpixmapcache.cpp gui:kernel/qplatformintegrationfactory.cpp gui:kernel/qwindowsysteminterface.cpp
    gui:text/windows/qwindowsfontengine.cpp gui:util/qpkmhandler.cpp
    testlib:qteamcitylogger.cpp
    widgets:accessible/qaccessiblewidgets.cpp widgets:dialogs/qfiledialog.cpp
    plugins/platforms/windows:qwindowspointerhandler.cpp plugins/styles/windowsvista:qwindowsxpstyle.cpp
)
# Nor the platform plugins and helpers Windows never loads: Qt builds the minimal plugin and the framebuffer
# helpers on every platform. And one header that relied on a left-out header for QHash includes it itself.
# Applied to the unpacked source before each configure; part of the cache key.
patch_source() {
    grep -q '^#include <QtCore/qhash.h>$' "$1/src/widgets/styles/qcommonstyle_p.h" ||
        sed -i 's|^#include "qstyleoption.h"$|&\n#include <QtCore/qhash.h>|' "$1/src/widgets/styles/qcommonstyle_p.h"
    sed -i 's/^if(NOT ANDROID AND NOT WASM)$/if(NOT ANDROID AND NOT WASM AND NOT WIN32)/' \
        "$1/src/plugins/platforms/CMakeLists.txt"
    sed -i 's/^add_subdirectory(\(devicediscovery\|fbconvenience\))$/if(NOT WIN32)\n    &\nendif()/' \
        "$1/src/platformsupport/CMakeLists.txt"
    local dir file
    for dir in pcre2 zlib libpng; do
        file=$1/src/3rdparty/$dir/CMakeLists.txt
        grep -q '^set(CMAKE_UNITY_BUILD OFF)$' "$file" || sed -i '1i set(CMAKE_UNITY_BUILD OFF)' "$file"
    done
    for dir in $(printf '%s\n' "${unity_alone[@]%%:*}" | sort -u); do
        file=$1/src/$dir/CMakeLists.txt
        sed -i '/^# Compiled alone in a unity build$/,$d' "$file"
        printf '# Compiled alone in a unity build\nset_source_files_properties(%s PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)\n' \
            "$(printf '%s\n' "${unity_alone[@]}" | sed -n "s|^$dir:||p" | tr '\n' ' ')" >>"$file"
    done
}
key=$(printf '%s\n' "$version" "${options[@]}" "$(cat cmake/mingw-w64.cmake)" "$(declare -f patch_source)" \
    "${unity_alone[@]}" |
    sha256sum | cut -c1-12)
prefix="$cache/qt-$upstream-$key"

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
[ "${1:-}" = --cached ] && exit 1

mkdir -p "$cache"
work="$cache/work-$upstream"
src="$work/qtbase"

if [ ! -f "$src/.extracted" ]; then
    # Debian's source package of the installed Qt, through a private apt configuration: the machine's own
    # source lists stay as they are. The archive is the one the machine already installs from.
    apt_dir="$work/apt"
    rm -rf "$apt_dir" "$src"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts" "$work/dl"
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' | sort -u |
        while read -r uri suite component; do
            echo "deb-src [signed-by=$keyring] $uri $suite $component"
        done >"$apt_dir/sources.list"
    apt_opts=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$apt_dir/parts"
        -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o Debug::NoLocking=1
        -o APT::Sandbox::User="$(id -un)")
    say "Qt for Windows: downloading Debian's source of Qt $upstream (about 50 MB)"
    download() {
        apt-get "${apt_opts[@]}" -q update &&
            (cd "$work/dl" && apt-get "${apt_opts[@]}" -q source --download-only "qt6-base=$version")
    }
    run_logged "Qt for Windows: download" "$work/download.log" download
    say "Qt for Windows: unpacking and patching the source"
    run_logged "Qt for Windows: unpacking" "$work/unpack.log" dpkg-source -x "$work/dl/"qt6-base_*.dsc "$src"
    # dpkg-source warns that it cannot check the .dsc's signature (apt has checked every file against the
    # archive's signed index) and about the odd layout of one of Debian's own patches; neither matters here.
    say "Qt for Windows: source ready (dpkg-source's warnings in $work/unpack.log are expected)"
    touch "$src/.extracted"
fi

patch_source "$src"
build="$work/build-$key"
host_cmake=$(dirname "$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/cmake/Qt6/Qt6Config.cmake$')")")
say "Qt for Windows: configuring Qt $upstream into $prefix"
run_logged "Qt for Windows: configuring" "$work/configure-$key.log" \
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" "${options[@]}"
# A feature left out takes every feature that depends on it along (no slider, no scroll bar, and so no item
# views). What the programs and their tests use must have survived, or the build would be 10 minutes wasted.
needed=(widgets:filedialog widgets:listview widgets:listwidget widgets:treeview widgets:combobox widgets:spinbox
    widgets:textedit widgets:inputdialog widgets:messagebox widgets:menubar widgets:groupbox widgets:checkbox
    widgets:radiobutton widgets:lineedit widgets:label widgets:pushbutton widgets:buttongroup widgets:tooltip
    core:shortcut gui:clipboard gui:accessibility gui:imageformat_png core:sortfilterproxymodel core:process
    core:regularexpression core:settings core:temporaryfile)
for item in "${needed[@]}"; do
    module=${item%%:*} feature=${item#*:}
    header="$build/src/${module/core/corelib}/qt$module-config.h"
    grep -q "^#define QT_FEATURE_$feature 1$" "$header" ||
        { say "Qt for Windows: the options leave out $feature, which the programs use (see $header)"; exit 1; }
done
say "Qt for Windows: building, once per machine (the README gives the time); a line every minute"
run_logged "Qt for Windows" "$work/build-$key.log" cmake --build "$build" -j"$jobs"
run_logged "Qt for Windows: installing" "$work/install-$key.log" cmake --install "$build"
touch "$prefix/.complete"
# Each step's start and end, to see where the build's time goes: ninja -t ... or any .ninja_log reader.
cp "$build/.ninja_log" "$work/ninja-$key.log"
rm -rf "$build"
say "Qt for Windows: ready in $prefix"
echo "$prefix"
