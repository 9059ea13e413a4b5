#!/usr/bin/env bash
# The engine's objects call no C library function whose result differs
# between C libraries (pow, exp, log, sin, cos, ...): only those whose result
# IEEE-754 fixes exactly. Prints the ones they call.
#   tests/engine_math_test.sh LIBSYNTH_CORE.a
set -euo pipefail
libm=$(ls /lib/*/libm.so.6 /usr/lib/*/libm.so.6 2>/dev/null | head -1)
exact=" fmod remainder round lround llround trunc nearbyint rint lrint floor ceil fabs sqrt copysign ldexp scalbn frexp fma fmin fmax modf "
called=$(nm -A -u --no-demangle "$1" | awk -F: '$2 ~ /^(engine|render|cosine|osc_|exact_pow|notes|params)/ {print $NF}' |
         awk '{print $NF}' | sed 's/@.*//' | sort -u |
         comm -12 - <(nm -D --defined-only "$libm" | awk '{print $NF}' | sed 's/@.*//' | sort -u))
echo "the engine calls from the C library's mathematics: ${called:-nothing}" | tr '\n' ' '; echo
status=0
for f in $called; do
  case "$exact" in *" ${f%f} "*|*" $f "*) ;; *) echo "not exact everywhere: $f"; status=1 ;; esac
done
exit $status
