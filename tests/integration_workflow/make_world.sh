#!/usr/bin/env bash
# Builds a demo world for a whole update in DIR, against the MariaDB sandbox described by
# INFO_FILE (tests/support/mariadb_sandbox.sh):
#   DIR/Ostrel/               installation folder: config.ini, Update/, a program file
#   DIR/www/public/qlupdate/  the update server's files: UPDATEQL.txt and LATEST.zip
#   databases                 ostrellib.librerie and three companies (OSF0101 two versions
#                             behind with both triggers, OSF0102 one behind without triggers,
#                             OSF0103 current)
# Variants, by environment: WORLD_NO_VE=1 (version file without "VE" line), WORLD_NO_PACKAGE=1
# (no package: 404), WORLD_CORRUPT=1 (package is not a ZIP), WORLD_MISSING_SCHEMA=1 (a company
# listed first whose schema does not exist), WORLD_BAD_STATEMENT=1 (a failing statement in the
# middle of 2014c.dbql), WORLD_TOP_FOLDER=NAME (the package's top folder is NAME, not the version;
# the installation already holds 2014b.dbql in its Update folder), WORLD_VE=TEXT (the version
# file's "VE" value instead of 2014c), WORLD_INSTALL=PATH (the installation folder below DIR
# instead of Ostrel), WORLD_PACKAGE_FAULT=crc|unsafe|method (one more entry at the end of the
# package: a wrong CRC, a name leaving the folder, an unsupported method), WORLD_UNLAUNCHABLE=1
# (a script the reader refuses in the package and a dangling link among the installation's
# scripts, both sorting between 2014b and 2014c), WORLD_DUPLICATE=1 (a second librerie row for
# OSF0101), WORLD_KILL_CONNECTIONS=1 ("net stop" kills the server's connections to ostrellib,
# as an idle time-out during the download would; DIR/killed lists them), WORLD_INSTALL_LINK=1
# (the installation's QLMain.txt is a link to DIR/outside.txt).
set -euo pipefail
dir=${1:?DIR}
info=${2:?INFO_FILE}
LATEST=2014c

value() { sed -n "s/^$1=//p" "$info" | head -n1; }
port=$(value port)
password=$(value root_password)
sql() { mariadb --no-defaults -uroot -p"$password" -h127.0.0.1 -P"$port" "$@"; }

inst=$dir/${WORLD_INSTALL:-Ostrel}
mkdir -p "$inst/Update" "$dir/www/public/qlupdate" "$dir/pkg/$LATEST/Update" "$dir/tmp"

# config.ini in the Windows code page; the root password scrambled: the marker 0xFF, then
# each character combined by exclusive-or with its position from 1.
python3 - "$inst/config.ini" "$password" <<'PY'
import sys
path, plain = sys.argv[1], sys.argv[2]
scrambled = "\u00ff" + "".join(chr(ord(c) ^ (i + 1)) for i, c in enumerate(plain))
open(path, "wb").write(("[MySQL]\r\nSERVER=127.0.0.1\r\nRootPass=" + scrambled + "\r\n").encode("cp1252"))
PY
if [ "${WORLD_INSTALL_LINK:-}" = 1 ]; then
  echo "outside the installation" > "$dir/outside.txt"
  ln -s "$dir/outside.txt" "$inst/QLMain.txt"
else
  echo "old program" > "$inst/QLMain.txt"
fi

# The version file.
if [ "${WORLD_NO_VE:-}" = 1 ]; then
  printf 'XX|nothing\r\n' > "$dir/www/public/qlupdate/UPDATEQL.txt"
else
  printf 'NOTE|demo\r\nVE|%s\r\n' "${WORLD_VE:-$LATEST}" > "$dir/www/public/qlupdate/UPDATEQL.txt"
fi

# The package: one top folder named after the version with the new files and the scripts.
pkg=$dir/pkg/$LATEST
echo "new program $LATEST" > "$pkg/QLMain.txt"
echo "added in $LATEST" > "$pkg/readme-$LATEST.txt"
cat > "$pkg/Update/2014b.dbql" <<'SQL'
ALTER TABLE &DatabaseName.clienti ADD COLUMN email VARCHAR(80) NULL;
UPDATE &DatabaseName._versione SET versione = '2014.2', VID = '2014b';
SQL
cat > "$pkg/Update/2014b.trgql" <<'SQL'
DELIMITER $$
DROP TRIGGER IF EXISTS &DatabaseName.tri_TADIMA00$$
CREATE TRIGGER &DatabaseName.tri_TADIMA00 BEFORE INSERT ON &DatabaseName.TADIMA00
FOR EACH ROW
BEGIN
  SET NEW.nota = CONCAT('srv-2014b;', IFNULL(NEW.nota, ''));
END$$
DELIMITER ;
SQL
{
  echo "ALTER TABLE &DatabaseName.clienti ADD COLUMN telefono VARCHAR(30) NULL;"
  if [ "${WORLD_BAD_STATEMENT:-}" = 1 ]; then
    echo "INSERT INTO &DatabaseName.tabella_che_non_esiste VALUES (1);"
  fi
  echo "CREATE TABLE &DatabaseName.ordini (id INT PRIMARY KEY, cliente INT);"
  echo "INSERT INTO &DatabaseName.storico (nota) VALUES ('2014c');"
  echo "UPDATE &DatabaseName._versione SET versione = '2014.3', VID = '2014c';"
} > "$pkg/Update/2014c.dbql"
cat > "$pkg/Update/2014c.trgql" <<'SQL'
DELIMITER $$
DROP TRIGGER IF EXISTS &DatabaseName.tri_TADIMA00$$
CREATE TRIGGER &DatabaseName.tri_TADIMA00 BEFORE INSERT ON &DatabaseName.TADIMA00
FOR EACH ROW
BEGIN
  IF NEW.nota IS NULL THEN
    SET NEW.nota = 'srv-2014c';
  END IF;
END$$
DELIMITER ;
SQL
cat > "$pkg/Update/2014c.trcql" <<'SQL'
ALTER TABLE &DatabaseName.TADIMA00 ADD COLUMN client_flag INT NOT NULL DEFAULT 0;
SQL
if [ "${WORLD_UNLAUNCHABLE:-}" = 1 ]; then
  # A form feed outside quotes stops the reader after a statement that must never be sent.
  printf "INSERT INTO &DatabaseName.clienti VALUES (99, 'mai');\n\fSELECT 1;\n" > "$pkg/Update/2014bb.dbql"
  ln -s "$dir/no-such-script" "$inst/Update/2014bd.dbql"
fi
top=$LATEST
if [ -n "${WORLD_TOP_FOLDER:-}" ]; then
  cp "$pkg/Update/2014b.dbql" "$inst/Update/"
  mv "$pkg" "$dir/pkg/$WORLD_TOP_FOLDER"
  top=$WORLD_TOP_FOLDER
fi
if [ "${WORLD_NO_PACKAGE:-}" = 1 ]; then
  :
elif [ "${WORLD_CORRUPT:-}" = 1 ]; then
  head -c 4000 /dev/urandom > "$dir/www/public/qlupdate/$LATEST.zip"
else
  (cd "$dir/pkg" && zip -qr "$dir/www/public/qlupdate/$LATEST.zip" "$top")
fi
if [ -n "${WORLD_PACKAGE_FAULT:-}" ]; then
  # One more entry, after the good ones, written by Python's zipfile and then damaged.
  python3 - "$dir/www/public/qlupdate/$LATEST.zip" "$top" "$WORLD_PACKAGE_FAULT" <<'PY'
import struct, sys, zipfile
path, top, fault = sys.argv[1:]
name = {"crc": top + "/broken.txt", "unsafe": top + "/../../escaped.txt",
        "method": top + "/method11.txt"}[fault]
with zipfile.ZipFile(path, "a", zipfile.ZIP_STORED) as z:
    z.writestr(name, b"0123456789 the last entry of the package\n")
data = bytearray(open(path, "rb").read())
raw = name.encode()
local = data.rfind(b"PK\x03\x04", 0, data.find(b"PK\x01\x02"))
assert data[local + 30:local + 30 + len(raw)] == raw
central = data.rfind(b"PK\x01\x02")
assert data[central + 46:central + 46 + len(raw)] == raw
if fault == "crc":
    extra = struct.unpack_from("<H", data, local + 28)[0]
    data[local + 30 + len(raw) + extra] ^= 0x01     # the first byte of the stored data
elif fault == "method":
    struct.pack_into("<H", data, local + 8, 11)     # APPNOTE 4.4.5: 11 is reserved
    struct.pack_into("<H", data, central + 10, 11)
open(path, "wb").write(data)
PY
fi

# The databases.
company() {  # schema version vid triggers(server client)
  local s=$1
  sql <<SQL
DROP DATABASE IF EXISTS $s;
CREATE DATABASE $s;
CREATE TABLE $s._versione (versione VARCHAR(10), VID VARCHAR(20));
INSERT INTO $s._versione VALUES ('$2', '$3');
CREATE TABLE $s.clienti (id INT PRIMARY KEY, nome VARCHAR(40));
CREATE TABLE $s.TADIMA00 (id INT PRIMARY KEY, nota VARCHAR(40));
CREATE TABLE $s.storico (nota VARCHAR(40));
SQL
  if [ "$4" = 1 ]; then
    sql -e "CREATE TRIGGER $s.tri_TADIMA00 BEFORE INSERT ON $s.TADIMA00 FOR EACH ROW SET NEW.nota = 'srv';"
  fi
  if [ "$5" = 1 ]; then
    sql -e "CREATE TRIGGER $s.tci_TADIMA00 AFTER INSERT ON $s.TADIMA00 FOR EACH ROW SET @client = NEW.id;"
  fi
}
sql <<SQL
DROP DATABASE IF EXISTS ostrellib;
CREATE DATABASE ostrellib;
CREATE TABLE ostrellib.librerie (Studio VARCHAR(2), Ditta VARCHAR(2), nome VARCHAR(40));
INSERT INTO ostrellib.librerie VALUES ('01', '01', 'Alfa Costruzioni'), ('01', '02', 'Beta Servizi'),
  ('01', '03', 'Gamma Trasporti');
SQL
if [ "${WORLD_DUPLICATE:-}" = 1 ]; then
  sql -e "INSERT INTO ostrellib.librerie VALUES ('01', '01', 'Alfa Costruzioni (copia)');"
fi
if [ "${WORLD_KILL_CONNECTIONS:-}" = 1 ]; then
  cat > "$dir/on-net-stop" <<SH
#!/bin/sh
c="mariadb --no-defaults -uroot -p$password -h127.0.0.1 -P$port -N"
for id in \$(\$c -e "SELECT ID FROM information_schema.PROCESSLIST WHERE DB = 'ostrellib' AND ID <> CONNECTION_ID()"); do
  \$c -e "KILL CONNECTION \$id" && echo "\$id" >> "$dir/killed"
done
SH
  chmod +x "$dir/on-net-stop"
fi
if [ "${WORLD_MISSING_SCHEMA:-}" = 1 ]; then
  sql -e "INSERT INTO ostrellib.librerie VALUES ('09', '99', 'AAA Ditta senza archivio');"
  sql -e "DROP DATABASE IF EXISTS OSF0999;"
fi
company OSF0101 2014.1 2014a 1 1
company OSF0102 2014.2 2014b 0 0
company OSF0103 2014.3 2014c 0 0
