#!/usr/bin/env bash
# Fails when the core reaches up into the windows or uses the toolkit's widgets: no file under
# src/core includes a header of src/ui or src/app, none includes a Qt Widgets header, no core
# library links Qt Widgets, and a folder whose library does not link the toolkit includes no Qt
# header at all.
set -u
root=${1:?project folder}
core=$root/src/core
[ -d "$core" ] || { echo "no $core"; exit 1; }

# Headers of the layers above, by name (includes are by name, the include path finds them).
upper=$(find "$root/src/ui" "$root/src/app" -name '*.h' -printf '%f\n' 2>/dev/null | sort -u)
# The toolkit's widget headers, by name, wherever the system keeps them.
widgets=$(find /usr/include -path '*/QtWidgets/*' -printf '%f\n' 2>/dev/null | sort -u)
[ -n "$widgets" ] || widgets=$(printf '%s\n' QWidget QApplication QDialog QMainWindow QLabel \
    QPushButton QLayout QMessageBox QStyle | sort -u)

files=$(find "$core" -name '*.cpp' -o -name '*.h' | sort)
count=$(printf '%s\n' "$files" | grep -c . || true)
echo "checked $count core files"
[ "$count" -gt 0 ] || { echo "no sources found in $core"; exit 1; }

fail=0
for f in $files; do
    rel=${f#"$root"/}
    folder=$(dirname "$f")
    quoted=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$f")
    for h in $quoted; do
        if printf '%s\n' "$upper" | grep -qxF "$(basename "$h")"; then
            echo "$rel includes \"$h\" from src/ui or src/app"
            fail=1
        fi
    done
    angled=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/\1/p' "$f")
    for h in $angled; do
        name=$(basename "$h")
        if [[ $h == QtWidgets/* ]] || printf '%s\n' "$widgets" | grep -qxF "$name"; then
            echo "$rel includes <$h> from Qt Widgets"
            fail=1
        elif [[ $name == Q* ]] && ! grep -q 'Qt6::' "$folder/CMakeLists.txt" 2>/dev/null; then
            echo "$rel includes <$h> but its library does not link the toolkit"
            fail=1
        fi
    done
done
if grep -n 'Widgets' $(find "$core" -name CMakeLists.txt) | grep -v '^[^:]*:[0-9]*:[[:space:]]*#'; then
    echo "a core library links Qt Widgets"
    fail=1
fi
exit "$fail"
