#!/usr/bin/env bash
# SDK stage 4 (run by scripts/panel-sdk.sh on a copy of the libs stage): checks the whole.
#   - nothing in the sysroot needs a glibc library (libc.so.6, ld-linux.so.3, libm.so.6, ...);
#   - a program built the way a third party would (. env.sh, pkg-config, the compiler's own
#     calls) with Qt Core/Network/SerialPort, libmodbus and a C++ exception, linked against
#     uClibc-ng, runs under qemu-arm -cpu arm926 with every symbol bound at start (LD_BIND_NOW):
#     a function some library imports and no library of the SDK defines stops it there.
#
#   sdk.sh OUT
set -euo pipefail

out=$1
sysroot=$out/sysroot
work=$(mktemp -d "${TMPDIR:-/tmp}/vane-sdk-check.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=0
while IFS= read -r -d '' f; do
  if ! head -c4 "$f" | grep -q 'ELF'; then continue; fi
  needed=$(arm-linux-gnueabi-readelf -d "$f" 2>/dev/null | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
  if grep -Eq '^(libc\.so\.6|ld-linux.*|lib(m|dl|pthread|rt|udev)\.so\.[0-9]+)$' <<<"$needed" \
     && ! grep -q '^libc.so.0$' <<<"$needed"; then
    echo "sdk: $f needs glibc: $(echo $needed)" >&2
    failed=1
  fi
done < <(find "$sysroot" -type f -name '*.so*' -print0)
[ "$failed" = 0 ] || exit 1

cat >"$work/check.cpp" <<'CPP'
#include <QCoreApplication>
#include <QHostAddress>
#include <QSerialPort>
#include <QTcpServer>
#include <cstdio>
#include <modbus.h>
#include <stdexcept>
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTcpServer server;
    QSerialPort port(QStringLiteral("/dev/null"));
    modbus_t* rtu = modbus_new_rtu("/dev/null", 19200, 'E', 8, 1);
    int caught = 0;
    try {
        throw std::runtime_error("unwound");
    } catch (const std::exception& e) {
        caught = std::string(e.what()) == "unwound";
    }
    const bool listens = server.listen(QHostAddress::LocalHost);
    std::printf("sdk check: Qt %s, libmodbus %s, listen %d, exception %d, baud %d\n", qVersion(),
                LIBMODBUS_VERSION_STRING, listens, caught, port.baudRate());
    modbus_free(rtu);
    return listens && caught ? 0 : 1;
}
CPP
(
  # shellcheck source=/dev/null
  . "$out/env.sh"
  # shellcheck disable=SC2046
  $CXX -std=c++17 -fPIC -O1 -o "$work/check" "$work/check.cpp" \
    $(pkg-config --cflags --libs Qt5Core Qt5Network Qt5SerialPort libmodbus)
  arm-linux-gnueabi-readelf -d "$work/check" | grep -q 'NEEDED.*\[libc.so.0\]'
  LD_BIND_NOW=1 qemu-arm -cpu arm926 -L "$QEMU_LD_PREFIX" -E LD_BIND_NOW=1 "$work/check"
)
echo "sdk: $(du -sh "$out" | cut -f1) in $out"
