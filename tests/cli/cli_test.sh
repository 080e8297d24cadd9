#!/bin/sh
# End-to-end checks of the qvxml command-line tool on fixtures in a scratch folder:
# exit codes and messages, account contents after import (read with the sqlite3
# shell), the --json output parsed back, Replace and Append on a second import,
# hostile record IDs, imports that fail part way, and the export round trip.
#
#   cli_test.sh QVXML EXAMPLES_DIR [CASE]
set -u
qvxml="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
examples="$(cd "$2" && pwd)"; only="${3:-}"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

# run EXPECTED_EXIT ARGS...: runs qvxml, keeps stdout in out, stderr in err.
run() {
  expected="$1"; shift
  "$qvxml" "$@" >out 2>err
  rc=$?
  if [ "$rc" != "$expected" ]; then
    fail "qvxml $* exited $rc, expected $expected"; sed 's/^/  stderr: /' err | head -20
  fi
  if grep -q -e 'terminate called' -e 'Aborted' -e 'Segmentation' -e 'runtime error' err; then
    fail "qvxml $* crashed"; cat err
  fi
}
has() { grep -q -F -- "$2" "$1" || { fail "$1 lacks: $2"; sed 's/^/  | /' "$1" | head -20; }; }
same() { cmp -s "$1" "$2" || { fail "$1 and $2 differ"; diff "$1" "$2" | head -20; }; }
sql() { sqlite3 -batch "$ACCOUNT" "$1"; }
want() { [ -z "$only" ] || [ "$only" = "$1" ]; }

cp "$examples"/orders/* .
export QVXML_ACCOUNT="$work/orders.db"
ACCOUNT="$QVXML_ACCOUNT"

cat > hostile.xml <<'X'
<orders xmlns="urn:example:orders">
<order no="x'); DROP TABLE ORDERS; --"><customer>one</customer></order>
<order no="../../etc/passwd"><customer>two</customer></order>
<order no="&quot;&lt;&amp;&gt; tab&#9;nl&#10;é€"><customer>three</customer>
  <note>two
lines ]\ ^</note><note/><note>ÿ</note></order>
</orders>
X

load_dicts() {
  rm -f "$ACCOUNT"
  run 0 dict ORDERS ORDERS.dict
  run 0 dict ORDER_LINES ORDER_LINES.dict
}

case=usage; if want $case; then
  run 2
  run 2 frobnicate; has err "unknown subcommand 'frobnicate'"
  run 2 import orders_map.xml; has err "missing arguments"
  run 2 show ORDERS --bogus; has err "unknown option --bogus"
  run 2 xpath orders.xml; has err "usage: qvxml xpath"
  run 2 format orders.xml --line-end LFCR
  run 2 export orders_map.xml --encoding
  run 0 --help; has out "import"
  for c in check xpath transform format dict show describe import export; do
    run 0 $c --help; has out "usage: qvxml $c"
  done
fi

case=documents; if want $case; then
  run 0 check orders.xml; has out "well-formed"
  printf '<a><b></a>' > broken.xml
  run 1 check broken.xml; has err "broken.xml"
  run 1 check missing.xml; has err "missing.xml: No such file or directory"
  run 1 check .; has err "it is a folder"
  cat > note.xsd <<'X'
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
  <xs:element name="note"><xs:complexType><xs:sequence>
    <xs:element name="to" type="xs:string"/></xs:sequence></xs:complexType></xs:element>
</xs:schema>
X
  printf '<note><to>Ada</to></note>' > note.xml
  printf '<note><from>Ada</from></note>' > bad_note.xml
  run 0 check note.xml --schema note.xsd; has out "valid"
  run 1 check bad_note.xml --schema note.xsd; has err "from"
  # A schema that cannot be read is a failure, never "valid"; a relative one is
  # taken from the current folder, wherever the document is.
  run 1 check note.xml --schema nosuch.xsd; has err "schema: cannot read nosuch.xsd"
  run 1 check note.xml --schema-location 'urn:x nosuch.xsd'; has err "cannot read nosuch.xsd"
  run 2 check note.xml --schema-location 'urn:x'
  mkdir -p sub && cp bad_note.xml sub/
  run 1 check sub/bad_note.xml --schema note.xsd; has err "from"
  # --schema with a target namespace validates that namespace, as xmllint --schema.
  sed 's#<xs:schema #<xs:schema targetNamespace="urn:n" xmlns="urn:n" elementFormDefault="qualified" #' note.xsd > ns_note.xsd
  printf '<note xmlns="urn:n"><to>Ada</to></note>' > ns_note.xml
  printf '<note xmlns="urn:n"><from>Ada</from></note>' > ns_bad_note.xml
  run 0 check ns_note.xml --schema ns_note.xsd; has out "ns_note.xml: valid"
  run 1 check ns_bad_note.xml --schema ns_note.xsd; has err "not valid"

  run 0 xpath orders.xml "count(//o:line)" --ns "xmlns:o=urn:example:orders"
  [ "$(cat out)" = "3" ] || fail "xpath count gave $(cat out)"
  run 0 xpath orders.xml "/o:orders/o:order[2]/o:customer" --ns "xmlns:o=urn:example:orders" --node
  has out "<customer"; has out "Grace Hopper</customer>"
  run 1 xpath orders.xml "count(("; [ -s err ] || fail "no message for a bad expression"

  cat > names.xsl <<'X'
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:o="urn:example:orders">
  <xsl:output method="text"/>
  <xsl:template match="/"><xsl:for-each select="//o:customer">
    <xsl:value-of select="."/>;</xsl:for-each></xsl:template>
</xsl:stylesheet>
X
  run 0 transform orders.xml names.xsl; has out "Ada Lovelace;"; has out "Grace Hopper;"
  run 0 transform orders.xml names.xsl -o names.txt; has names.txt "Grace Hopper;"
  run 1 transform orders.xml broken.xml

  run 0 format note.xml --no-pretty --no-declaration
  [ "$(cat out)" = "<note><to>Ada</to></note>" ] || fail "format --no-pretty gave $(cat out)"
  run 0 format note.xml --line-end CR-LF -o crlf.xml
  grep -q "$(printf '\r')" crlf.xml || fail "format --line-end CR-LF wrote no CR"
  has crlf.xml '<?xml version="1.0" encoding="UTF-8"'
  run 0 format note.xml --encoding ISO-8859-1; has out 'encoding="ISO-8859-1"'
  # UTF-16 holds NUL bytes: the whole document reaches standard output, as with -o.
  run 0 format note.xml --encoding UTF-16; mv out utf16_stdout.xml
  run 0 format note.xml --encoding UTF-16 -o utf16.xml; same utf16_stdout.xml utf16.xml
  iconv -f UTF-16 -t UTF-8 utf16.xml | grep -q "<to>Ada</to>" || fail "format to UTF-16 lost the content"
fi

case=dict; if want $case; then
  load_dicts
  run 0 dict ORDERS; same out ORDERS.dict
  run 0 dict; has out "ORDER_LINES"
  printf 'ID 0 S\nQTY x S\n' > bad.dict
  run 1 dict BAD bad.dict; has err "line 2"
  run 1 dict "bad;name" ORDERS.dict; has err "bad file name"
  run 1 show NOFILE; has err "no file NOFILE"
  # A conversion code the host does not know is refused with its line.
  for code in 'MD2x' 'D-YDM[4,2,2'; do
    printf 'ID 0 S\nDATES 1 M %s\n' "$code" > bad.dict
    run 1 dict BAD bad.dict; has err "line 2: unknown conversion code \"$code\""
  done
  # A name given twice is refused (the later line used to take the name silently);
  # two names for one field are synonyms and stay allowed.
  printf 'ID 0 S\nTITLE 1 S\nAUTHOR 2 M\ntitle 3 S\n' > bad.dict
  run 1 dict BAD bad.dict; has err "line 4: column title is already named on line 2"
  printf 'ID 0 S\nTITLE 1 S\nNAME 1 S\n' > synonyms.dict
  run 0 dict SYN synonyms.dict
  # Replacing the dictionary of a file that holds records says so.
  run 0 import orders_map.xml orders.xml
  sed 's/^NOTES.*/NOTES 4 M\nREMARK 5 S/' ORDERS.dict > ORDERS2.dict
  run 0 dict ORDERS ORDERS2.dict; has err "ORDERS already holds 2 records"
  # A dictionary in --dicts that differs from the account's is named (the account's
  # is used); one that is the same is not.
  mkdir -p dicts && cp ORDERS.dict ORDER_LINES.dict dicts/
  run 0 import --dicts dicts orders_map.xml orders.xml
  has err "note: dicts/ORDERS.dict differs from the dictionary of ORDERS in $ACCOUNT, which is the one used"
  grep -q "ORDER_LINES.dict differs" err && fail "a note for a dictionary that is the same"
fi

case=import; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  has err "imported 5 records (ORDERS 2, ORDER_LINES 3)"
  # Records byte for byte: ID, field marks FE, value marks FD.
  [ "$(sql "SELECT hex(record) FROM ORDERS WHERE id = '1001'")" = \
    "$(printf '1001\376Ada Lovelace\37621246\3761001-1\3751001-2\376Leave at the door' | od -An -tx1 | tr -d ' \n' | tr a-f A-F)" ] \
    || fail "stored record 1001: $(sql "SELECT hex(record) FROM ORDERS WHERE id = '1001'")"
  [ "$(sql "SELECT count(*) FROM ORDER_LINES")" = 3 ] || fail "ORDER_LINES count"
  run 0 show ORDERS 1001; has out "ORDERS 1001"; has out "CUSTOMER  Ada Lovelace"
  run 1 show ORDERS 9999; has err "no record 9999"

  # --json parsed back with SQLite's JSON functions.
  run 0 show ORDERS --json; cp out orders.jsonl
  run 0 import orders_map.xml orders.xml --dry-run --json; cp out dry.jsonl
  { echo '['; sed '$!s/$/,/' orders.jsonl; echo ']'; } > orders.json
  [ "$(sqlite3 :memory: "SELECT group_concat(json_extract(value, '\$.id') || '=' ||
        ifnull(json_extract(value, '\$.LINE_IDS[1]'), '') || '/' || json_array_length(value, '\$.LINE_IDS'), ' ')
        FROM json_each(readfile('orders.json'))")" = "1001=1001-2/2 1002=/1" ] \
    || fail "show --json did not parse back: $(cat orders.jsonl)"
  [ "$(grep -c '"file":"ORDERS"' dry.jsonl)" = 2 ] || fail "dry run --json: $(cat dry.jsonl)"
  grep -q '"PRICE":"475"' dry.jsonl || fail "dry run lacks the converted price"

  # Dictionaries from --dicts join a fresh account with the records; --account wins
  # over QVXML_ACCOUNT.
  run 0 import --account fresh.db --dicts . orders_map.xml orders.xml
  run 0 dict ORDER_LINES --account fresh.db; same out ORDER_LINES.dict
  [ "$(sqlite3 fresh.db "SELECT count(*) FROM ORDER_LINES")" = 3 ] || fail "--dicts import"
  # An extraction file, read without an account.
  cat > extract.xml <<'X'
<QVXML_extraction>
  <file_extraction start="/orders/order" dictionary="ORDERS" by_name="ON"/>
  <field_extraction field="ID" path="@no"/>
  <field_extraction field="CUSTOMER" path="customer"/>
</QVXML_extraction>
X
  run 0 import extract.xml orders.xml --dry-run --dicts . --account none.db
  has out "ORDERS 1002"; has out "CUSTOMER  Grace Hopper"
  [ ! -e none.db ] || fail "a dry run made an account"
fi

case=replace_append; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  cat > update.xml <<'X'
<orders xmlns="urn:example:orders">
  <order no="1001" date="2026-03-09">
    <customer>Ada King</customer>
    <note>Ring twice</note>
    <lines><line id="1001-3"><sku>NIB-F</sku><qty>1</qty><price>0.80</price></line></lines>
  </order>
  <order no="1003"><customer>Alan</customer><note>first</note></order>
  <order no="1003"><note>second</note></order>
</orders>
X
  run 0 import orders_map.xml update.xml
  run 0 show ORDERS 1001 --json
  # CUSTOMER, DATE and LINE_IDS are Replace columns; NOTES is an Append column.
  has out '"CUSTOMER":"Ada King"'
  has out '"LINE_IDS":["1001-3"]'
  has out '"NOTES":["Leave at the door","Ring twice"]'
  [ "$(sql "SELECT count(*) FROM ORDER_LINES")" = 4 ] || fail "ORDER_LINES after update"
  # A new record after a joined one, then its ID again in the same document.
  run 0 show ORDERS 1003 --json
  has out '"NOTES":["first","second"]'
  [ "$(sql "SELECT count(*) FROM ORDERS")" = 3 ] || fail "ORDERS after update"
fi

case=hostile_ids; if want $case; then
  load_dicts
  run 0 import orders_map.xml hostile.xml
  [ "$(sql "SELECT count(*) FROM ORDERS")" = 3 ] || fail "hostile IDs not all stored"
  run 0 show ORDERS "x'); DROP TABLE ORDERS; --" "../../etc/passwd"
  has out "ORDERS x'); DROP TABLE ORDERS; --"; has out "ORDERS ../../etc/passwd"
  run 0 show ORDERS --json
  has out '"id":"\"<&> tab\tnl\né€"'
  has out '"NOTES":["two\nlines ]\\ ^","","ÿ"]'
  run 0 show ORDERS "$(printf '"<&> tab\tnl\né€')"; has out "three"
  [ ! -e "$work/etc" ] && [ ! -e /etc/passwd.dict ] || fail "an ID reached a path"

  printf '<orders xmlns="urn:example:orders"><order no=""><customer>x</customer></order></orders>' > empty_id.xml
  cp "$ACCOUNT" before.db
  run 1 import orders_map.xml empty_id.xml; has err "empty record ID"
  [ "$(sqlite3 before.db .dump)" = "$(sql .dump)" ] || fail "a refused import changed the account"
fi

case=atomic; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  cp "$ACCOUNT" before.db
  # The first document is fine, the second is not well-formed: nothing is stored.
  sed 's/1001/2001/g; s/1002/2002/g' orders.xml > more.xml
  printf '<orders xmlns="urn:example:orders"><order no="3001">' > cut.xml
  run 1 import orders_map.xml more.xml cut.xml; has err "cut.xml"
  [ "$(sqlite3 before.db .dump)" = "$(sql .dump)" ] || fail "a failed import changed the account"
  # A line with an empty ID, after the orders of the same document were stored.
  sed 's/id="2001-2"/id=""/' more.xml > late.xml
  run 1 import orders_map.xml late.xml; has err "record 2 of ORDER_LINES has an empty record ID"
  [ "$(sqlite3 before.db .dump)" = "$(sql .dump)" ] || fail "a failed import changed the account"
  # A mapping whose file has no dictionary in the account.
  sed 's/TableName="ORDER_LINES"/TableName="LINES"/; s/TableName="ORDER_LINES"/TableName="LINES"/' \
    orders_map.xml > nodict_map.xml
  run 1 import nodict_map.xml orders.xml; has err "Unable to open the dictionary for file LINES"
  [ "$(sqlite3 before.db .dump)" = "$(sql .dump)" ] || fail "a failed import changed the account"
  run 1 import --account new.db --dicts . orders_map.xml cut.xml
  [ ! -e new.db ] || fail "a failed import left an account behind"
  printf 'not a database, just text' > junk.db
  run 1 show ORDERS --account junk.db; has err "junk.db"
fi

case=interrupt; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  cp "$ACCOUNT" before.db
  awk 'BEGIN { print "<orders xmlns=\"urn:example:orders\">";
    for (i = 0; i < 200000; i++) printf "<order no=\"%d\"><customer>c%d</customer></order>\n", i, i;
    print "</orders>" }' > big.xml
  "$qvxml" import orders_map.xml big.xml >out 2>err &
  pid=$!
  # Signal once the transaction has begun writing (its rollback journal exists).
  tries=0
  while [ ! -e "$ACCOUNT-journal" ] && kill -0 $pid 2>/dev/null && [ $tries -lt 1200 ]; do
    sleep 0.05; tries=$((tries + 1))
  done
  kill -TERM $pid 2>/dev/null
  wait $pid; rc=$?
  if [ "$rc" = 0 ]; then
    echo "note [$case]: the import finished before the signal; nothing to check"
  else
    [ "$rc" = 1 ] || fail "an interrupted import exited $rc"
    has err "interrupted"
    [ "$(sqlite3 before.db .dump)" = "$(sql .dump)" ] || fail "an interrupted import changed the account"
  fi
fi

case=roundtrip; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  run 0 describe orders_map.xml
  has out "ORDERS (map ORDERS_MAP), level 1"
  has out "ORDER_LINES (map LINES_MAP), level 2, nested in ORDERS"
  has out "child key into the values of ORDERS field 3 (LINE_IDS)"
  has out "Append"
  run 0 describe orders_map.xml --raw; has out "ORDERS\\1"
  run 0 export orders_map.xml -o exported.xml
  run 0 check exported.xml
  # The exported document reads back into the same records.
  cp "$ACCOUNT" first.db
  load_dicts
  run 0 import orders_map.xml exported.xml
  for t in ORDERS ORDER_LINES; do
    [ "$(sqlite3 first.db "SELECT hex(id), hex(record) FROM $t ORDER BY id")" = \
      "$(sql "SELECT hex(id), hex(record) FROM $t ORDER BY id")" ] || fail "$t differs after the round trip"
  done
  run 0 export orders_map.xml 1002 --no-declaration
  has out "Grace Hopper"; grep -q "Ada" out && fail "export of 1002 holds order 1001"
  has out 'price>3.10<'
  run 1 export orders_map.xml 4711; has err "no record 4711"
  # Hostile IDs and values survive export and import again.
  load_dicts
  run 0 import orders_map.xml hostile.xml
  run 0 export orders_map.xml -o hostile_back.xml
  cp "$ACCOUNT" first.db
  load_dicts
  run 0 import orders_map.xml hostile_back.xml
  [ "$(sqlite3 first.db "SELECT hex(id), hex(record) FROM ORDERS ORDER BY id")" = \
    "$(sql "SELECT hex(id), hex(record) FROM ORDERS ORDER BY id")" ] || fail "hostile records differ after the round trip"
  load_dicts
  run 1 export orders_map.xml; has err "no records in ORDERS to export"
fi

case=mapping_mistakes; if want $case; then
  load_dicts
  # Each mistake the library would pass over is named with its line and column,
  # and nothing is imported.
  cat > typos_map.xml <<'X'
<QVXMAP>
  <OPTIONS><NameSpace Prefix="o" URI="urn:example:orders"/></OPTIONS>
  <TABLECLASSMAP MapName="ORDERS_MAP" TableName="ORDERS" StartNode="/o:orders/o:order">
    <ColumnMap Column="ID" Node="@no"/>
    <ColumMap Column="CUSTOMER" Node="o:customer"/>
    <ColumnMap Column="DATE" Node="//@date" Action="Apend"/>
    <ColumnMap Column="LINE_IDS" Node="o:lines/o:line[1]/@id"/>
    <ColumnMap Column="NOTES" Node="o:note,name()" Actoin="Append"/>
  </TABLECLASSMAP>
</QVXMAP>
X
  run 1 import typos_map.xml orders.xml
  has err "typos_map.xml:5:52: unknown element <ColumMap> in <TABLECLASSMAP>, which the library ignores: did you mean <ColumnMap>?"
  has err 'typos_map.xml:6:61: Node="//@date" on <ColumnMap>: "//" (any depth) is not part of the mapping language'
  has err 'typos_map.xml:6:61: Action="Apend" on <ColumnMap>: Action takes "Replace" or "Append" (did you mean "Append"?)'
  has err 'typos_map.xml:7:64: Node="o:lines/o:line[1]/@id" on <ColumnMap>: predicates'
  has err 'typos_map.xml:7:64: column LINE_IDS of ORDERS is multivalued in its dictionary, but its path "o:lines/o:line[1]/@id" has one part'
  has err 'functions ("name()") are not part of the mapping language'
  has err "unknown attribute Actoin on <ColumnMap>, which the library ignores: did you mean Action?"
  [ "$(sql 'SELECT count(*) FROM ORDERS')" = 0 ] || fail "a mapping with mistakes imported records"
  run 1 describe typos_map.xml; has err "typos_map.xml:5:52: unknown element <ColumMap>"
  # Paths: those the language has pass, each other shape is named.
  path_map() {
    printf '<QVXMAP><OPTIONS><NameSpace Prefix="o" URI="urn:example:orders"/></OPTIONS>
<TABLECLASSMAP MapName="M" TableName="ORDERS" StartNode="%s">
<ColumnMap Column="ID" Node="@no"/><ColumnMap Column="CUSTOMER" Node="%s"/>
</TABLECLASSMAP></QVXMAP>' "$1" "$2" > path_map.xml
  }
  for good in 'o:customer' 'text()' '../o:x/xmldata()' './o:a/@o:b' 'o:a,,o:c' 'o:a , @b' '/o:a/o:b'; do
    path_map /o:orders/o:order "$good"; run 0 describe path_map.xml
    grep -q "path_map.xml:" err && fail "path $good was refused: $(cat err)"
  done
  for bad in 'o:a[1]:predicates' 'o:a//o:b:any depth' '@*:wildcards' '*:wildcards' \
             'count(o:a):functions' 'o:a/..:a value path ends' '@a/o:b:can only be the last step' \
             'o:a,text(),o:b:can only be the last step' 'o:a|o:b:unions' 'o:a,/o:b:only the first part' \
             'o:a,o:b,o:c,o:d:at most three' 'o:a/:cannot end in' '1a:is not an element name'; do
    path_map /o:orders/o:order "${bad%:*}"; run 1 describe path_map.xml; has err "${bad##*:}"
  done
  for bad in '/o:orders/@no:a start path names elements only' '/../o:a:climbs above the document' \
             '/o:orders,o:order:no "," parts'; do
    path_map "$(printf '%s' "$bad" | sed 's/:[^:]*$//')" o:customer; run 1 describe path_map.xml; has err "${bad##*:}"
  done
  # A start path (here: its namespace) that finds nothing: a warning naming the
  # document, the map and the document element.
  sed 's/urn:example:orders/urn:example:order/' orders_map.xml > wrong_ns_map.xml
  run 0 import wrong_ns_map.xml orders.xml
  has err 'warning: orders.xml: the start path "/o:orders/o:order" of map ORDERS_MAP finds no element'
  has err "the document element is <orders> (in namespace urn:example:orders)"
  # A nested map's start path that finds nothing under any parent record (a typo
  # of the element name): the same kind of warning, naming the parent table.
  sed 's#Node="o:lines/o:line"#Node="o:lines/o:lines"#g' orders_map.xml > wrong_nested_map.xml
  run 0 import --dry-run wrong_nested_map.xml orders.xml
  has err 'warning: orders.xml: the start path "o:lines/o:lines" of nested map LINES_MAP finds no element, though 2 ORDERS records hold keys for it'
  run 0 import orders_map.xml orders.xml
  grep -q warning err && fail "a warning for a mapping that finds records"
  # A misspelt element in a column path finds nothing in any record: a note names
  # the column with its mapping line.
  sed 's#Node="o:customer"#Node="o:costumer"#' orders_map.xml > misspelt_map.xml
  run 0 import --dry-run misspelt_map.xml orders.xml
  has err 'note: 1 column of ORDERS found no value in any of the 2 records read: CUSTOMER (misspelt_map.xml:13:53, path "o:costumer")'
  [ "$(grep -c '^note: ' err)" = 1 ] || fail "notes for columns that found values: $(cat err)"
  # Orders without lines (no keys) are no sign of a wrong path: no warning.
  printf '<orders xmlns="urn:example:orders"><order no="9"><customer>x</customer></order></orders>' > nolines.xml
  run 0 import --dry-run orders_map.xml nolines.xml
  grep -q warning err && fail "a warning for parents without children"
fi

case=marks; if want $case; then
  load_dicts
  # xmldata() of an ISO-8859-1 and of a UTF-16 document is UTF-8 markup in the
  # record: its letters never become marks, no NUL cuts the record.
  cat > markup_map.xml <<'X'
<QVXMAP><OPTIONS><NameSpace Prefix="o" URI="urn:example:orders"/></OPTIONS>
  <TABLECLASSMAP MapName="M" TableName="ORDERS" StartNode="/o:orders/o:order">
    <ColumnMap Column="ID" Node="@no"/>
    <ColumnMap Column="CUSTOMER" Node="o:customer,xmldata()"/>
  </TABLECLASSMAP></QVXMAP>
X
  printf '<?xml version="1.0" encoding="ISO-8859-1"?>\n<orders xmlns="urn:example:orders"><order no="1"><customer>\376\375</customer></order></orders>\n' > latin1.xml
  run 0 import markup_map.xml latin1.xml
  [ "$(sql "SELECT instr(record, '<customer xmlns=\"urn:example:orders\">þý</customer>') > 0 FROM ORDERS WHERE id='1'")" = 1 ] \
    || fail "markup of an ISO-8859-1 document: $(sql "SELECT hex(record) FROM ORDERS")"
  iconv -f UTF-8 -t UTF-16 > utf16.xml <<'X'
<?xml version="1.0" encoding="UTF-16"?>
<orders xmlns="urn:example:orders"><order no="2"><customer>þý</customer></order></orders>
X
  run 0 import markup_map.xml utf16.xml
  has_record=$(sql "SELECT instr(record, 'þý</customer>') > 0 FROM ORDERS WHERE id='2'")
  [ "$has_record" = 1 ] || fail "markup of a UTF-16 document: $(sql "SELECT hex(record) FROM ORDERS WHERE id='2'")"
  load_dicts
  # U+0001 from an XML 1.1 document imports, with a warning by record and column
  # (no export can write it); its export fails by record and column.
  printf '<?xml version="1.1"?><orders xmlns="urn:example:orders"><order no="4"><customer>a&#x1;b</customer></order></orders>' > v11.xml
  run 0 import orders_map.xml v11.xml
  has err "warning: v11.xml: ORDERS record 4, column CUSTOMER: the value holds the character U+0001, which XML 1.0 cannot carry"
  run 1 export orders_map.xml
  has err "Value 'a<01>b' of column CUSTOMER in record '4' of table ORDERS cannot be written: it holds the character U+0001, which XML 1.0 cannot carry."
fi

# A catalogue of books: a multivalued date column, prices, copies as a nested table.
cat > BOOKS.dict <<'X'
ID 0 S
TITLE 1 S
PRICE 2 S MD2
DATES 3 M D-YMD[4,2,2]
COPY_IDS 4 M
X
printf 'ID 0 S\nBOOK 1 S\nSHELF 2 S\n' > COPIES.dict
cat > books_map.xml <<'X'
<QVXMAP>
  <OPTIONS><ExistRecord Action="Replace"/></OPTIONS>
  <TABLECLASSMAP MapName="B" TableName="BOOKS" StartNode="/books/book">
    <ColumnMap Column="ID" Node="@id"/>
    <ColumnMap Column="TITLE" Node="title"/>
    <ColumnMap Column="PRICE" Node="price"/>
    <ColumnMap Column="DATES" Node="e,@d"/>
    <ColumnMap Column="COPY_IDS" Node="copy,@id" Action="Append"/>
    <TableMap MapName="C" Node="copy"/>
  </TABLECLASSMAP>
  <TABLECLASSMAP MapName="C" TableName="COPIES" StartNode="copy">
    <ColumnMap Column="ID" Node="@id"/>
    <ColumnMap Column="SHELF" Node="@shelf"/>
  </TABLECLASSMAP>
  <RelatedTable>
    <MapParentKey TableName="BOOKS" Column="COPY_IDS" KeyGenerate="NO"/>
    <MapChildKey TableName="COPIES" Column="BOOK"/>
  </RelatedTable>
</QVXMAP>
X
load_books() {
  rm -f "$ACCOUNT"
  run 0 dict BOOKS BOOKS.dict
  run 0 dict COPIES COPIES.dict
}

case=bad_values; if want $case; then
  load_books
  cat > books.xml <<'X'
<books>
  <book id="b1"><title>One</title><price>
     12.50
  </price><e d=" 2024-01-01"/><e d="2024-02-29"/></book>
  <book id="b2"><title>Two</title><price>12,50</price><e d="2024-02-30"/><e d="2024-03-01"/></book>
</books>
X
  # Refused values fail the import, named, and nothing is stored.
  run 1 import books_map.xml books.xml
  has err "2 values refused by their conversion; nothing is stored"
  has err 'books.xml: BOOKS record b2, column PRICE: value "12,50" refused by conversion MD2'
  has err 'books.xml: BOOKS record b2, column DATES: value "2024-02-30" refused by conversion D-YMD[4,2,2]'
  [ "$(sql "SELECT count(*) FROM BOOKS")" = 0 ] || fail "a refused import stored records"
  run 1 import books_map.xml books.xml --dry-run; has err 'value "12,50"'
  # --skip-bad-values stores the rest, the value's place kept.
  run 0 import books_map.xml books.xml --skip-bad-values
  has err 'warning: books.xml: BOOKS record b2, column PRICE'; has err "2 values skipped"
  run 0 show BOOKS --json
  has out '{"file":"BOOKS","id":"b1","TITLE":"One","PRICE":"1250","DATES":["20455","20514"]}'
  has out '{"file":"BOOKS","id":"b2","TITLE":"Two","DATES":["","20515"]}'
  # Export: a stored value the output conversion refuses is named.
  sqlite3 "$ACCOUNT" "UPDATE BOOKS SET record = CAST(replace(CAST(record AS TEXT), '1250', '12x') AS BLOB) WHERE id = 'b1'"
  run 0 export books_map.xml b1; has err 'BOOKS record b1, column PRICE: value "12x" refused by output conversion MD2'
fi

case=generated; if want $case; then
  cat > NOTES.dict <<'X'
ID 0 S
TEXT 1 S
X
  printf 'ID 0 S\nNOTE 1 S\nWORD 2 S\n' > WORDS.dict
  cat > gen_map.xml <<'X'
<QVXMAP>
  <TABLECLASSMAP MapName="N" TableName="NOTES" StartNode="/notes/note">
    <GenerateID Column="ID"/><ColumnMap Column="TEXT" Node="@t"/><TableMap MapName="W" Node="w"/>
  </TABLECLASSMAP>
  <TABLECLASSMAP MapName="W" TableName="WORDS" StartNode="w">
    <GenerateID Column="ID"/><ColumnMap Column="WORD" Node="text()"/>
  </TABLECLASSMAP>
  <RelatedTable><MapParentKey TableName="NOTES" Column="ID" KeyGenerate="NO"/>
    <MapChildKey TableName="WORDS" Column="NOTE"/></RelatedTable>
</QVXMAP>
X
  rm -f "$ACCOUNT"; run 0 dict NOTES NOTES.dict; run 0 dict WORDS WORDS.dict
  echo '<notes><note t="a"><w>x</w><w>y</w></note></notes>' > a.xml
  echo '<notes><note t="b"><w>z</w></note><note t="c"/></notes>' > b.xml
  # Numbers continue across documents and imports; child keys follow their parent.
  run 0 import gen_map.xml a.xml b.xml; has err "stored: 6 new, 0 updated"
  run 0 import gen_map.xml a.xml
  run 0 show NOTES --json
  [ "$(tr -d '\n' < out)" = '{"file":"NOTES","id":"1","TEXT":"a"}{"file":"NOTES","id":"2","TEXT":"b"}{"file":"NOTES","id":"3","TEXT":"c"}{"file":"NOTES","id":"4","TEXT":"a"}' ] \
    || fail "NOTES: $(cat out)"
  run 0 show WORDS --json
  [ "$(tr -d '\n' < out)" = '{"file":"WORDS","id":"0","NOTE":"1","WORD":"x"}{"file":"WORDS","id":"1","NOTE":"1","WORD":"y"}{"file":"WORDS","id":"2","NOTE":"2","WORD":"z"}{"file":"WORDS","id":"3","NOTE":"4","WORD":"x"}{"file":"WORDS","id":"4","NOTE":"4","WORD":"y"}' ] \
    || fail "WORDS: $(cat out)"
  # A note's words come in record ID order ("00" between "0" and "1"), each once; a
  # word without a note, or with a note not there, is left out; its tags (a second
  # child table, found from the note's own key) follow. Alike whether every child
  # record is read at once (a whole export, many named notes) or fetched by key (a
  # few named notes).
  printf 'ID 0 S\nNOTE 1 S\nTAG 2 S\n' > TAGS.dict; run 0 dict TAGS TAGS.dict
  sed -e 's|<TableMap MapName="W" Node="w"/>|&<TableMap MapName="T" Node="tag"/>|' \
      -e 's|</QVXMAP>|<TABLECLASSMAP MapName="T" TableName="TAGS" StartNode="tag"><ColumnMap Column="TAG" Node="text()"/></TABLECLASSMAP>\
  <RelatedTable><MapParentKey TableName="NOTES" Column="ID" KeyGenerate="NO"/><MapChildKey TableName="TAGS" Column="NOTE"/></RelatedTable>\
</QVXMAP>|' gen_map.xml > tags_map.xml
  sql "INSERT INTO WORDS VALUES ('00', CAST('00' || x'FE' || '1' || x'FE' || 'v' AS BLOB)),
    ('10', CAST('10' || x'FE' || '1' || x'FE' || 'w' AS BLOB)),
    ('5', CAST('5' || x'FE' || x'FE' || 'lost' AS BLOB)), ('6', CAST('6' || x'FE' || '9' || x'FE' || 'stray' AS BLOB));
    INSERT INTO TAGS VALUES ('t1', CAST('t1' || x'FE' || '1' || x'FE' || 'red' AS BLOB)),
    ('t2', CAST('t2' || x'FE' || '4' || x'FE' || 'blue' AS BLOB))"
  for notes in "" "1 2 3 4" "1 2 3 4 4 3 2 1 1 2 3 4 1 2 3 4 1 2"; do
    run 0 export tags_map.xml $notes --no-declaration; has err "exported 13 records"
    [ "$(tr -d '\n' < out | sed 's/> *</></g')" = '<notes><note t="a"><w>x</w><w>v</w><w>y</w><w>w</w><tag>red</tag></note><note t="b"><w>z</w></note><note t="c"/><note t="a"><w>x</w><w>y</w><tag>blue</tag></note></notes>' ] \
      || fail "export of notes '$notes': $(cat out)"
  done
fi

case=keys; if want $case; then
  load_books
  echo '<books><book id="b1"><title>T</title><copy id="c1" shelf="A"/><copy id="c2" shelf="B"/></book></books>' > k.xml
  run 0 import books_map.xml k.xml; run 0 import books_map.xml k.xml
  has err "stored: 0 new, 3 updated"
  run 0 show BOOKS b1 --json; has out '"COPY_IDS":["c1","c2"]'
  # Each record once, whatever the command line says.
  run 0 export books_map.xml b1 b1 --no-declaration
  [ "$(grep -c '<book ' out)" = 1 ] && [ "$(grep -c 'shelf="A"' out)" = 1 ] || fail "export repeated: $(cat out)"
  # The same record twice in one import is named; the dry run shows the join.
  echo '<books><book id="b1"><title>U</title><copy id="c2" shelf="C"/></book><book id="b1"><title>V</title><copy id="c2" shelf="C"/></book></books>' > twice.xml
  run 0 import books_map.xml twice.xml --dry-run
  has out "BOOKS b1 (joined)"; has out "TITLE     V"
  has err "2 records came more than once and were joined: BOOKS b1, COPIES c2"
  # A record that comes three times (over two documents) is one record named once.
  run 0 import books_map.xml twice.xml k.xml --dry-run
  has err "2 records came more than once and were joined: BOOKS b1, COPIES c2"
  # A Replace parent key that drops c1: its copy is named, and removed on request.
  sed 's/ Action="Append"//' books_map.xml > replace_map.xml
  run 0 import replace_map.xml twice.xml --dry-run --remove-orphans
  has err "1 child record no longer referenced by a parent record, would be removed: COPIES c1"
  run 0 import replace_map.xml twice.xml
  has err "1 child record no longer referenced by a parent record (--remove-orphans removes them): COPIES c1"
  run 0 import books_map.xml k.xml; run 0 import replace_map.xml twice.xml --remove-orphans
  has err "removed: COPIES c1"
  [ "$(sql "SELECT group_concat(id) FROM COPIES")" = c2 ] || fail "orphan kept: $(sql "SELECT id FROM COPIES")"
  # A key value whose child record is gone: the export says so, for a named record
  # and for a whole export.
  sql "DELETE FROM COPIES"
  run 0 export books_map.xml b1; has err "warning: BOOKS record b1 holds the key c2, but no COPIES record has it"
  run 0 export books_map.xml; has err "warning: BOOKS record b1 holds the key c2, but no COPIES record has it"
  # A copy two books hold is written once, under the first, whether the copies are
  # read at once (a whole export) or fetched by key (named books).
  load_books
  echo '<books><book id="b1"><copy id="c1" shelf="A"/><copy id="c2" shelf="B"/></book><book id="b2"><copy id="c2" shelf="B"/><copy id="c3" shelf="C"/></book></books>' > shared.xml
  run 0 import books_map.xml shared.xml
  for books in "" "b1 b2"; do
    run 0 export books_map.xml $books --no-declaration; has err "exported 5 records"
    [ "$(grep -c 'shelf="B"' out)" = 1 ] || fail "export of books '$books' repeated c2: $(cat out)"
  done
  # A book without copies under EmptyString IsNull holds the null mark as its key:
  # it names no copy, so nothing is missing and nothing is said.
  load_books
  sed 's#<OPTIONS>#<OPTIONS><EmptyString IsNull="ON"/>#' books_map.xml > isnull_map.xml
  echo '<books><book id="b1"><copy id="c1" shelf="A"/></book><book id="b2"><title>none</title></book></books>' > nocopies.xml
  run 0 import isnull_map.xml nocopies.xml
  for books in "" "b2"; do
    run 0 export isnull_map.xml $books --no-declaration
    grep -q warning err && fail "export of books '$books' warned of a null key: $(cat err)"
  done
fi

case=account_safety; if want $case; then
  # An account file the import could not open is never removed.
  printf 'not a database, just text' > junk.db
  run 1 import --account junk.db --dicts . orders_map.xml orders.xml
  [ "$(cat junk.db)" = "not a database, just text" ] || fail "junk.db was changed or removed"
  if [ "$(id -u)" != 0 ]; then  # root writes anywhere
    mkdir -p locked && chmod 0500 locked
    run 1 import --account locked/new.db --dicts . orders_map.xml orders.xml; has err "cannot create account"
    chmod 0700 locked
  fi
  # -o never replaces a file this user may not write (another user's account, a
  # read-only file), even in a folder where renaming over it is allowed.
  mkdir -p open && chmod 0777 open
  printf 'not ours' > open/theirs.db; chmod 0444 open/theirs.db
  if [ "$(id -u)" = 0 ]; then
    if command -v runuser >/dev/null && id nobody >/dev/null 2>&1; then
      chmod 0711 "$work"
      runuser -u nobody -- "$qvxml" format orders.xml -o open/theirs.db >out 2>err; rc=$?
      chmod 0700 "$work"
    else
      rc=1; echo "not ours" > err; echo "note [$case]: no runuser or nobody; -o over a read-only file not tried"
    fi
  else
    "$qvxml" format orders.xml -o open/theirs.db >out 2>err; rc=$?
  fi
  [ "$rc" = 1 ] || fail "format -o over a file this user may not write exited $rc"
  [ "$(cat open/theirs.db)" = "not ours" ] || fail "format -o replaced a file this user may not write"
  [ -z "$(ls open/theirs.db.* 2>/dev/null)" ] || fail "a temporary file was left: $(ls open/theirs.db.*)"
fi

case=output; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  run 1 export orders_map.xml -o nofolder/out.xml; has err "folder nofolder does not exist"
  echo keep > out.xml
  run 1 export orders_map.xml 4711 -o out.xml
  [ "$(cat out.xml)" = keep ] || fail "a failed export touched out.xml"
  run 1 format cut.xml -o out.xml 2>/dev/null
  [ "$(cat out.xml)" = keep ] || fail "a failed format touched out.xml"
  run 0 export orders_map.xml -o out.xml; has out.xml "Ada Lovelace"
  [ -z "$(ls out.xml.* 2>/dev/null)" ] || fail "a temporary file was left: $(ls out.xml.*)"
  # Ctrl-C while -o is being written leaves the previous file whole.
  cp out.xml good.xml
  awk 'BEGIN { print "<orders>"; for (i = 0; i < 100000; i++) printf "<order no=\"%d\"><c>c%d</c></order>\n", i, i;
    print "</orders>" }' > big.xml
  "$qvxml" format big.xml -o out.xml >/dev/null 2>err &
  pid=$!
  tries=0
  while [ -z "$(ls out.xml.* 2>/dev/null)" ] && kill -0 $pid 2>/dev/null && [ $tries -lt 1200 ]; do
    sleep 0.02; tries=$((tries + 1))
  done
  kill -INT $pid 2>/dev/null
  wait $pid; rc=$?
  if [ "$rc" = 0 ]; then
    echo "note [$case]: format finished before the signal; nothing to check"
  else
    # 1: the guarded work stopped; 130: the signal came during the parse and ended
    # the process as SIGINT does, after removing the temporary file.
    [ "$rc" = 1 ] || [ "$rc" = 130 ] || fail "an interrupted format exited $rc"
    has err "interrupted: out.xml is left as it was"
    same out.xml good.xml
  fi
  [ -z "$(ls out.xml.* 2>/dev/null)" ] || fail "a temporary file was left: $(ls out.xml.*)"
  # -o naming a symbolic link writes the file it names and keeps the link; -o naming
  # a FIFO (or a device) writes into it, never renames a file over it.
  echo old > real.xml; ln -s real.xml link.xml
  run 0 export orders_map.xml -o link.xml
  [ -L link.xml ] || fail "-o replaced the symbolic link with a file"
  same real.xml good.xml
  mkfifo fifo.xml
  timeout 20 cat fifo.xml > from_fifo.xml &
  reader=$!
  run 0 export orders_map.xml -o fifo.xml
  wait $reader
  [ -p fifo.xml ] || fail "-o replaced the FIFO with a file"
  same from_fifo.xml good.xml
  # Signals at several moments of an export and a format (before any guarded work,
  # while the document is parsed, while it is written) never leave a temporary file.
  for delay in 0.01 0.05 0.2; do
    timeout --preserve-status -s INT $delay "$qvxml" format big.xml -o out.xml >/dev/null 2>err
    timeout --preserve-status -s INT $delay "$qvxml" export orders_map.xml -o out.xml >/dev/null 2>>err
    same out.xml good.xml
    [ -z "$(ls out.xml.* 2>/dev/null)" ] || fail "a temporary file was left after $delay s: $(ls out.xml.*)"
  done
fi

case=pipes; if want $case; then
  # Standard input, /dev/stdin and pipes wherever a document is read; several files
  # with the worst exit code.
  printf '<a><b></a>' > broken.xml
  : > empty.xml
  cat orders.xml | run 0 check -; has out "standard input: well-formed"
  run 0 check /dev/stdin < orders.xml; has out "/dev/stdin: well-formed"
  cat orders.xml | run 0 xpath - "count(//o:line)" --ns o=urn:example:orders
  [ "$(cat out)" = 3 ] || fail "xpath over a pipe gave $(cat out)"
  cat orders.xml | run 0 format - --no-pretty; has out '<orders xmlns="urn:example:orders">'
  run 1 check orders.xml broken.xml empty.xml ORDERS.dict
  [ "$(wc -l < out)" = 1 ] || fail "check printed $(cat out)"
  has err "broken.xml:1:9: not well-formed: expected end of tag 'b'"
  has err "empty.xml: empty file"
  [ "$(grep -c '^qvxml check:' err)" = 3 ] || fail "not one line per failed file"
  run 1 check - < /dev/null; has err "standard input: empty file"
  # A document listing several files for xpath names each result's file.
  run 0 xpath orders.xml orders.xml "//o:customer" --ns o=urn:example:orders
  [ "$(grep -c '^orders.xml:' out)" = 4 ] || fail "xpath over two files: $(cat out)"
  run 1 xpath orders.xml broken.xml "//o:customer" --ns o=urn:example:orders
  has out "orders.xml:Grace Hopper"; has err "broken.xml:1:9"
  # The last file's success does not hide an earlier failure.
  run 1 xpath broken.xml orders.xml "//o:customer" --ns o=urn:example:orders
  has out "orders.xml:Grace Hopper"
  run 2 format orders.xml orders.xml -o two.xml; has err "-o takes one document"
  # Writer output: no line end before the markup, one after it.
  run 0 format orders.xml --no-declaration
  [ "$(head -c 1 out)" = "<" ] || fail "format --no-declaration starts with: $(head -c 8 out | od -c)"
  run 0 format orders.xml --no-pretty
  [ "$(tail -c 1 out | od -An -c | tr -d ' ')" = '\n' ] || fail "format --no-pretty lacks a final line end"
  run 0 format orders.xml --no-declaration -o nodecl.xml
  [ "$(head -c 1 nodecl.xml)" = "<" ] || fail "format -o --no-declaration starts with a line end"
fi

case=xpath_nodes; if want $case; then
  ns="--ns o=urn:example:orders"
  run 0 xpath orders.xml "//o:customer" $ns
  [ "$(cat out)" = "$(printf 'Ada Lovelace\nGrace Hopper')" ] || fail "every node: $(cat out)"
  run 0 xpath orders.xml "//o:order/@no" $ns --node
  [ "$(cat out)" = "$(printf 'no="1001"\nno="1002"')" ] || fail "attributes as XML: $(cat out)"
  run 0 xpath orders.xml "//o:sku" --ns "xmlns:o=urn:example:orders" --node
  [ "$(head -n 1 out)" = '<sku xmlns="urn:example:orders">PEN-01</sku>' ] || fail "--node: $(cat out)"
  [ "$(wc -l < out)" = 3 ] || fail "--node gave $(wc -l < out) lines"
  printf '<a x="&lt;&quot;"><!--c--><?pi d?><b>t</b>u</a>' > mixed.xml
  run 0 xpath mixed.xml "/a/node() | /a/@x" --node
  [ "$(cat out)" = "$(printf 'x="&lt;&quot;"\n<!--c-->\n<?pi d?>\n<b>t</b>\nu')" ] || fail "mixed nodes: $(cat out)"
  # Empty node-sets print nothing and exit 1; scalars print themselves.
  run 1 xpath orders.xml "//nothing"; [ -s out ] && fail "an empty node-set printed $(cat out)"
  run 0 xpath orders.xml "count(//nothing)"; [ "$(cat out)" = 0 ] || fail "count gave $(cat out)"
  run 0 xpath orders.xml "1 = 0"; [ "$(cat out)" = false ] || fail "boolean gave $(cat out)"
  # An undeclared prefix says so, and how to declare it, on the first line.
  run 1 xpath orders.xml "//p:customer"
  [ "$(head -n 1 err)" = "qvxml xpath: orders.xml: the prefix 'p' in //p:customer is not declared: give it with --ns p=URI" ] \
    || fail "undeclared prefix: $(cat err)"
  run 2 xpath orders.xml "//o:x" --ns "nonsense"; has err "--ns takes p=URI"
  # Many nodes: one line each (the node-set is evaluated once, not once per node).
  awk 'BEGIN { printf "<r>"; for (i = 0; i < 20000; i++) printf "<i>%d</i>", i; print "</r>" }' > many.xml
  run 0 xpath many.xml "/r/i"
  [ "$(wc -l < out)" = 20000 ] && [ "$(tail -n 1 out)" = 19999 ] || fail "20000 nodes gave $(wc -l < out) lines"
fi

case=commandline; if want $case; then
  load_dicts
  run 0 --version; has out "libqvxml"; has out "Xerces-C++"; has out "Xalan-C++"
  run 0 help import; has out "usage: qvxml import"
  run 2 help frobnicate; has err "unknown subcommand 'frobnicate'"
  run 0 --help; has out "--account"; has out "QVXML_ACCOUNT"
  # --account before the subcommand as after it.
  run 0 --account "$ACCOUNT" dict; has out "ORDER_LINES"
  QVXML_ACCOUNT=elsewhere.db run 0 --account="$ACCOUNT" show ORDERS --json
  run 2 --account "$ACCOUNT" check orders.xml; has err "check uses no account"
  run 2 --bogus dict; has err "unknown option --bogus"
fi

case=messages; if want $case; then
  mkdir -p empty_dir
  cd empty_dir
  env -u QVXML_ACCOUNT "$qvxml" show ORDERS >../out 2>../err; cd ..
  has err "no account qvxml.db here: create one with \`qvxml dict FILE DICT_FILE\` or \`import --dicts DIR\`"
  run 1 dict ORDERS ORDERS.dict --account nofolder/x.db; has err "folder nofolder does not exist"
  run 1 import orders_map.xml orders.xml --account fresh.db --dicts nofolder; has err "folder nofolder does not exist"
  mkdir -p half; cp ORDERS.dict half/
  run 1 import orders_map.xml orders.xml --account fresh.db --dicts half
  has err "no dictionary for file ORDER_LINES: not in account fresh.db, no ORDER_LINES.dict in folder half"
  [ ! -e fresh.db ] || fail "a failed import left fresh.db"
  load_dicts
  run 0 import orders_map.xml orders.xml
  run 1 export orders_map.xml -o nofolder/out.xml; has err "cannot write nofolder/out.xml: folder nofolder does not exist"
  run 1 format orders.xml -o nofolder/out.xml; has err "folder nofolder does not exist"
  grep -q "Exception" err && fail "an exception name in: $(cat err)"
  printf '<a><b></a>' > broken.xml
  run 1 import orders_map.xml broken.xml; has err "broken.xml:1:9: not well-formed"
  # A mapping that is not well-formed says which file, line and column.
  printf '<QVXML_mapping>\n<TABLECLASSMAP>\n</QVXML_mapping>\n' > bad_map.xml
  run 1 import bad_map.xml orders.xml; has err "mapping bad_map.xml:3:"
  # A mapping naming a column the dictionary lacks says on which line.
  sed 's/Column="SKU"/Column="SKUX"/' orders_map.xml > skux_map.xml
  run 1 import skux_map.xml orders.xml
  has err "cannot use the mapping skux_map.xml (line $(grep -n SKUX skux_map.xml | cut -d: -f1)):"
fi

case=show; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  run 0 show ORDERS --where CUSTOMER="Grace Hopper"; has out "ORDERS 1002"; grep -q 1001 out && fail "--where let 1001 through"
  run 0 show ORDERS --where line_ids=1001-2 --json; has out '"id":"1001"'
  run 1 show ORDERS --where CUSTOMER=nobody; [ -s out ] && fail "--where with no match printed $(cat out)"
  run 1 show ORDERS --where NOFIELD=1; has err "no field NOFIELD"
  run 0 show ORDERS 1001 --conv; has out "DATE      2026-03-02"
  run 0 show ORDER_LINES --conv --where PRICE=4.75 --json; has out '"PRICE":"4.75"'; has out '"id":"1001-2"'
  sql "UPDATE ORDERS SET record = CAST(replace(CAST(record AS TEXT), '21246', 'soon') AS BLOB) WHERE id = '1001'"
  run 1 show ORDERS 1001 --conv; has err '"soon" does not convert with D-YMD[4,2,2]'; has out "soon"
fi

case=views; if want $case; then
  load_dicts
  run 0 import orders_map.xml orders.xml
  run 0 import orders_map.xml hostile.xml
  # A value with subvalues, a field the record does not reach.
  sql "INSERT INTO ORDERS VALUES('S1', x'5331FE61FC62FD63FEFE6DFC6EFD6F')"
  [ "$(sql "SELECT id FROM ORDERS_view WHERE CUSTOMER = 'Ada Lovelace'")" = 1001 ] || fail "view: field equal to a value"
  [ "$(sql "SELECT ORDERS_view.id FROM ORDERS_view, json_each(ORDERS_view.LINE_IDS) WHERE json_each.value = '1001-2'")" = 1001 ] \
    || fail "view: a value in a multivalued field"
  [ "$(sql "SELECT DATE || '|' || LINE_IDS || '|' || NOTES FROM ORDERS_view WHERE id = '1002'")" = '21249|["1002-1"]|[]' ] \
    || fail "view row 1002: $(sql "SELECT * FROM ORDERS_view WHERE id = '1002'")"
  [ "$(sql "SELECT CUSTOMER || '|' || LINE_IDS || '|' || NOTES FROM ORDERS_view WHERE id = 'S1'")" = '[["a","b"],"c"]|[["m","n"],"o"]|[]' ] \
    || fail "view subvalues: $(sql "SELECT * FROM ORDERS_view WHERE id = 'S1'")"
  # Quotes, backslashes, tabs, line ends and marks-like text survive as JSON.
  [ "$(sql "SELECT json_extract(NOTES, '\$[0]') FROM ORDERS_view WHERE CUSTOMER = 'three'")" = "$(printf 'two\nlines ]\\ ^')" ] \
    || fail "view escaping: $(sql "SELECT NOTES FROM ORDERS_view WHERE CUSTOMER = 'three'")"
  [ "$(sql "SELECT count(*) FROM ORDERS_view")" = "$(sql "SELECT count(*) FROM ORDERS")" ] || fail "view row count"
  # The records themselves stay byte for byte.
  [ "$(sql "SELECT hex(record) FROM ORDERS WHERE id = 'S1'")" = 5331FE61FC62FD63FEFE6DFC6EFD6F ] || fail "record changed"
  # The view follows the dictionary.
  printf 'ID 0 S\nWHO 1 S\nWHEN 2 S D-YMD[4,2,2]\n' > ORDERS2.dict
  run 0 dict ORDERS ORDERS2.dict
  [ "$(sql "SELECT WHO FROM ORDERS_view WHERE id = '1002'")" = "Grace Hopper" ] || fail "view not remade"
  # An account made before views gets them when opened to write.
  run 0 dict ORDERS ORDERS.dict
  sql "DROP VIEW ORDER_LINES_view"
  run 0 import orders_map.xml orders.xml
  [ "$(sql "SELECT SKU FROM ORDER_LINES_view WHERE id = '1002-1'")" = PAD-A4 ] || fail "missing view not added"
fi

case=lock; if want $case; then
  load_dicts
  awk 'BEGIN { print "<orders xmlns=\"urn:example:orders\">";
    for (i = 0; i < 100000; i++) printf "<order no=\"%d\"><customer>c%d</customer></order>\n", i, i;
    print "</orders>" }' > big.xml
  # Two imports at once: both finish, all records stored.
  "$qvxml" import orders_map.xml big.xml >out1 2>err1 &
  pid=$!
  run 0 import orders_map.xml orders.xml
  wait $pid || fail "the first import failed: $(cat err1)"
  [ "$(sql "SELECT count(*) FROM ORDERS")/$(sql "SELECT count(*) FROM ORDER_LINES")" = 100000/3 ] \
    || fail "two imports stored $(sql "SELECT count(*) FROM ORDERS") orders"
  # A writer that does not let go: said in words after the wait.
  # The holder keeps its transaction open until told to roll back, through a FIFO, so
  # that it lets go as soon as the refusal is in.
  rm -f hold.fifo; mkfifo hold.fifo
  sqlite3 "$ACCOUNT" < hold.fifo >/dev/null 2>&1 &
  holder=$!
  exec 7> hold.fifo
  echo "BEGIN IMMEDIATE; DELETE FROM ORDER_LINES;" >&7
  sleep 0.5
  QVXML_LOCK_WAIT=1 run 1 import orders_map.xml orders.xml
  has err "another import is writing to $ACCOUNT"
  grep -q "database is locked" err && fail "a bare 'database is locked'"
  echo "ROLLBACK;" >&7
  exec 7>&-
  wait $holder
  [ "$(sql "SELECT count(*) FROM ORDER_LINES")" = 3 ] || fail "the held transaction was not rolled back"
fi

[ "$failures" = 0 ] && echo "all cli checks passed" && exit 0
echo "$failures cli checks failed"; exit 1
