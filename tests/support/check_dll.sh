#!/bin/sh
# The engine DLL is a 32-bit PE, exports TarnMain by that exact name, and imports only
# libraries that are part of Windows.
set -e
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
echo "$dump" | grep -q 'file format pei-i386' || { echo "not a PE32 i386 file"; exit 1; }
exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
for name in TarnMain _BannerDlg@16 CopyDlg DisplayGraphics UpdateScreen WizardDlg FileWrite MessageBoxDlg; do
  echo "$exports" | grep -qE "\] $name\$" || { echo "export $name missing"; echo "$exports"; exit 1; }
done
echo "$exports" | grep -qE '\] _?TarnMain@' && { echo "TarnMain is decorated"; exit 1; }
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|COMDLG32|COMCTL32|WINMM|VERSION|OLE32|OLEAUT32|MSVCRT|MSVFW32|MPR|SHLWAPI)\.DLL$'
for dll_name in $(echo "$dump" | sed -n 's/^\s*DLL Name: //p'); do
  upper=$(echo "$dll_name" | tr a-z A-Z)
  echo "$upper" | grep -qE "$allowed" || { echo "imports non-system library $dll_name"; exit 1; }
done
echo "exports and imports as expected"
