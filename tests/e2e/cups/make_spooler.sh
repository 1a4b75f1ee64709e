#!/bin/sh
# Prepares a private CUPS scheduler in the folder $1 (which must be empty):
# its own cups-files.conf and cupsd.conf, listening only on $1/cups.sock, a
# ServerBin of links to the system's CUPS programs plus the capture backend,
# and the folders it writes. Start it with
#   cupsd -f -c $1/cupsd.conf -s $1/cups-files.conf
# and add queues with CUPS_SERVER=$1/cups.sock lpadmin ... -v capture:$1/capture.
set -eu
dir="$1"
here="$(cd "$(dirname "$0")" && pwd)"
chmod 755 "$dir"
mkdir -p "$dir/root/ppd" "$dir/spool" "$dir/tmp" "$dir/cache" "$dir/state" "$dir/log" \
  "$dir/bin/backend" "$dir/capture"
chmod 755 "$dir/root" "$dir/state" "$dir/log" "$dir/bin" "$dir/bin/backend"
chmod 1777 "$dir/tmp"
chmod 700 "$dir/capture"

for entry in /usr/lib/cups/*; do
  [ "$(basename "$entry")" = backend ] || ln -s "$entry" "$dir/bin/$(basename "$entry")"
done
for backend in /usr/lib/cups/backend/*; do
  ln -s "$backend" "$dir/bin/backend/$(basename "$backend")"
done
# Backends with mode 700 run as root, which lets this one write the capture folder.
cp "$here/capture_backend" "$dir/bin/backend/capture"
chown root:root "$dir/bin/backend/capture"
chmod 700 "$dir/bin/backend/capture"

cat > "$dir/cups-files.conf" <<CONF
ServerRoot $dir/root
RequestRoot $dir/spool
TempDir $dir/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerBin $dir/bin
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
FileDevice No
CONF

cat > "$dir/cupsd.conf" <<CONF
LogLevel info
Listen $dir/cups.sock
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
PreserveJobFiles Yes
PreserveJobHistory Yes
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
cp "$here/test_printer.ppd" "$dir/test_printer.ppd"
