#!/usr/bin/env bash
# Writes COUNT small invoices for batch conversion, with a template, a configuration and the
# output each invoice must give, worked out here without the program:
#
#   make_invoices.sh COUNT DIR [BROKEN_EVERY]
#
#   DIR/in/invoice-NNN.xml        the invoices (default namespace, 1 to 3 Detaprod each)
#   DIR/expected/invoice-NNN.txt  their outputs (Latin-1)
#   DIR/template.txt, DIR/Ruvo.cfg
#
# With BROKEN_EVERY = K, every K-th invoice is cut short (not well-formed) and has no expected
# output: its conversion must fail with status 252.
set -euo pipefail

count=$1
dir=$2
broken_every=${3:-0}
mkdir -p "$dir/in" "$dir/expected"

printf '%s\n' 'Factura <<Comprobante:serie>>-<<Comprobante:folio>>' \
  'Cliente: <<Receptor:nombre>>' '<<Detalle>>' 'Total: <<Comprobante:total>>' > "$dir/template.txt"
printf '%s\n' '[COMMA_INSERT]' 'Comprobante:total' '[TABLE_COLUMNS]<<Detalle>>' \
  'Detaprod:cantidad,Jr@?' 'Detaprod:importe,Jr@?' > "$dir/Ruvo.cfg"

# Sets REPLY to the digits grouped in threes: 1234567 -> 1,234,567.
group() {
  local digits=$1 grouped=
  while [ ${#digits} -gt 3 ]; do
    grouped=",${digits: -3}$grouped"
    digits=${digits:0:${#digits}-3}
  done
  REPLY=$digits$grouped
}

for ((i = 1; i <= count; i++)); do
  printf -v name 'invoice-%03d' "$i"
  items=$((i % 3 + 1))
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo "<Comprobante xmlns=\"urn:ejemplo:factura\" serie=\"B\" folio=\"$i\" total=\"$((i * 1000)).25\">"
    echo "  <Receptor nombre=\"Cliente Núñez $i\"/>"
    for ((k = 1; k <= items; k++)); do
      echo "  <Detaprod cantidad=\"$k\" importe=\"$((i * k)).50\"/>"
    done
    echo '</Comprobante>'
  } > "$dir/in/$name.xml"

  if [ "$broken_every" -gt 0 ] && [ $((i % broken_every)) -eq 0 ]; then
    head -c -20 "$dir/in/$name.xml" > "$dir/in/$name.tmp"
    mv "$dir/in/$name.tmp" "$dir/in/$name.xml"
    continue
  fi
  {
    printf 'Factura B-%d\n' "$i"
    printf 'Cliente: Cliente N\372\361ez %d\n' "$i"  # ú and ñ as Latin-1 bytes
    for ((k = 1; k <= items; k++)); do
      printf '~[ \n~# Jr@?\n%d\n~# Jr@?\n%d.50\n~]\n' "$k" "$((i * k))"
    done
    group $((i * 1000))
    printf 'Total: %s.25' "$REPLY"
  } > "$dir/expected/$name.txt"
done
