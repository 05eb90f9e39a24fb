#!/usr/bin/env bash
# Checks that a tool built without signatures (TZO_FACTORYINFO_SIGNATURES=OFF) refuses --key and
# --sign-key with exit status 2, nothing on standard output and a message that says why, before
# it looks at the key file.
#
#   without_signatures_test.sh SAMPLE TOOL-COMMAND...   (TOOL-COMMAND may start with an emulator)
set -uo pipefail
sample=$1
shift
failures=0
for option in --key --sign-key; do
    command=verify
    [[ $option == --sign-key ]] && command=seal
    err=$("$@" --file "$sample" "$command" "$option" /nonexistent 2>&1 >/dev/null)
    status=$?
    out=$("$@" --file "$sample" "$command" "$option" /nonexistent 2>/dev/null)
    expected="tzo-factoryinfo: $option: this tzo-factoryinfo is built without signatures"
    if ((status == 2)) && [[ -z $out && $err == "$expected" ]]; then
        echo "ok   $option"
    else
        echo "FAIL $option: status $status, stdout $out, stderr $err"
        failures=$((failures + 1))
    fi
done
((failures == 0))
