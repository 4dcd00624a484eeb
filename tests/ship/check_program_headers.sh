#!/usr/bin/env bash
# Reads the PE header of each program and reports what security reviews
# check: ASLR (DYNAMIC_BASE) with a relocation table to move the program by,
# DEP (NX_COMPAT), TERMINAL_SERVER_AWARE, NO_SEH for 32-bit programs, and
# imports from the allowed system DLLs only. One line per fault; the exit
# status is 1 when there was any.
#   check_program_headers.sh PROGRAM...
set -euo pipefail

# The DLLs the programs import, all of them known DLLs of the system (ole32
# for the OLE that ComEnrol++ sets up around the server it registers).
# Others (psapi, vdmdbg, the DLL that ComEnrol++ registers) are loaded at
# run time, never imported.
allowed_dlls=" advapi32.dll kernel32.dll msvcrt.dll ole32.dll shell32.dll user32.dll ws2_32.dll "
# DllCharacteristics bits of the PE optional header.
dynamic_base=0x0040
nx_compat=0x0100
no_seh=0x0400
terminal_server_aware=0x8000

faults=0
fault() {
    echo "FAILED: $*"
    faults=$((faults + 1))
}

for program in "$@"; do
    name=$(basename "$program")
    if ! headers=$(i686-w64-mingw32-objdump -p "$program" 2>&1); then
        fault "$name: objdump cannot read it: $headers"
        continue
    fi
    flags=$((16#$(awk '$1 == "DllCharacteristics" {print $2}' <<<"$headers")))
    required=(DYNAMIC_BASE:$dynamic_base NX_COMPAT:$nx_compat TERMINAL_SERVER_AWARE:$terminal_server_aware)
    if grep -q 'file format pei-i386' <<<"$headers"; then required+=(NO_SEH:$no_seh); fi
    for entry in "${required[@]}"; do
        (( flags & ${entry#*:} )) || fault "$name: DllCharacteristics $(printf '0x%04X' "$flags") lacks ${entry%%:*}"
    done
    relocations=$(awk '$1 == "Entry" && $2 == "5" {print $4}' <<<"$headers")
    (( 16#${relocations:-0} )) || fault "$name: no base relocation table"
    for dll in $(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers"); do
        [[ "$allowed_dlls" == *" $dll "* ]] || fault "$name imports $dll, which is not an allowed system DLL"
    done
done
[ "$faults" -eq 0 ]
