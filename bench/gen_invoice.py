#!/usr/bin/env python3
"""Writes a benchmark invoice of N items to OUT.xml; the same N and seed give the same bytes.

    bench/gen_invoice.py N OUT.xml [--seed S]

The root Comprobante sits in a default namespace and carries ~30 header attributes, followed by
Emisor, Receptor, Observaciones and a Conceptos element holding N Detaprod items (7 attributes
each, 0-3 Cargo children with tipo and monto), then a Complemento (stamp, legends, payment) and
an Addenda after the items. Descriptions hold non-ASCII characters and an
ampersand. The file is streamed, so a million items (~275 MB) need little memory.
"""

import argparse
import os
import random
import sys
from array import array

NAMESPACE = "http://www.example.com/factura"

DESCRIPTIONS = [
    "Tornillo acero inoxidable ½ pulgada, cabeza hexagonal — ñ &amp; rondana",
    "Tuerca hexagonal galvanizada 3/8 — Núñez &amp; Hijos",
    "Cemento gris saco 50 kg, fraguado rápido &amp; resistente",
    "Varilla corrugada ¾ pulgada × 12 m &amp; alambre recocido",
    "Pintura vinílica blanco mate, cubeta 19 L — línea económica &amp; durable",
    "Cable eléctrico calibre 12, rollo 100 m &amp; cinta de aislar",
    "Llave española juego 8 piezas — acero al cromo-vanadio &amp; estuche",
    "Tubo PVC hidráulico ½ pulgada, tramo 6 m — presión &amp; unión",
]
UNITS = ["pieza", "pieza", "saco", "pieza", "cubeta", "rollo", "juego", "tramo"]  # per description
CHARGES = [("IVA", 16), ("IEPS", 8), ("ISH", 3)]  # tipo and percent of importe


def money(cents):
    return f"{cents // 100}.{cents % 100:02d}"


def draw_items(n, rng):
    """The numbers of every item: quantity, unit price and discount (cents), charges, text."""
    cantidad, precio, descuento, cargos, texto = (array("q") for _ in range(5))
    for _ in range(n):
        quantity = rng.randint(1, 500)
        price = rng.randint(150, 2_500_000)
        cantidad.append(quantity)
        precio.append(price)
        # a quarter of the items get 1-10 % off
        off = rng.randint(1, 10) if rng.random() < 0.25 else 0
        descuento.append(quantity * price * off // 100)
        cargos.append(rng.randint(0, 3))
        texto.append(rng.randrange(len(DESCRIPTIONS)))
    return cantidad, precio, descuento, cargos, texto


def header(n, subtotal, discount, charges, seed):
    total = subtotal - discount + charges
    attributes = [
        ("version", "4.0"),
        ("serie", "A"),
        ("folio", str(100000 + seed)),
        ("fecha", "2026-11-30T10:15:00"),
        ("formaPago", "03"),
        ("condicionesDePago", "Contado"),
        ("subTotal", money(subtotal)),
        ("descuento", money(discount)),
        ("total", money(total)),
        ("moneda", "MXN"),
        ("tipoCambio", "1"),
        ("tipoDeComprobante", "I"),
        ("exportacion", "01"),
        ("metodoPago", "PUE"),
        ("lugarExpedicion", "64000"),
        ("noCertificado", "30001000000400002434"),
        ("certificado", "MIIFuzCCA6OgAwIBAgIUMzAwMDEwMDAwMDA0MDAwMDI0MzQwDQ"),
        ("sello", "dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSBqdXN0IGZpbGxlcg=="),
        ("confirmacion", "ECVH1"),
        ("totalImpuestosTrasladados", money(charges)),
        ("totalImpuestosRetenidos", "0.00"),
        ("pesoBruto", f"{n * 1.25:.3f}"),
        ("pesoNeto", f"{n * 1.1:.3f}"),
        ("numeroPartidas", str(n)),
        ("numeroPedido", f"PED-{seed:06d}"),
        ("ordenCompra", "OC-2026-0042"),
        ("referencia", "Obra Monterrey Norte &amp; anexos"),
        ("vendedor", "María José Peña"),
        ("almacen", "CEDIS Apodaca"),
        ("sucursal", "Matriz"),
    ]
    text = " ".join(f'{name}="{value}"' for name, value in attributes)
    return (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        f'<Comprobante xmlns="{NAMESPACE}" {text}>\n'
        '  <Emisor rfc="FLU010101AB1" nombre="Ferretería La Única, S.A. de C.V." '
        'regimenFiscal="601"/>\n'
        '  <Receptor rfc="CNH020202CD2" nombre="Construcciones Núñez &amp; Hijos" '
        'usoCFDI="G03" domicilioFiscal="64000"/>\n'
        "  <Observaciones>Entrega en obra, horario de 8 a 14 h. Maniobras &amp; flete "
        "por cuenta del cliente.</Observaciones>\n"
        "  <Conceptos>\n"
    )


def trailer(n, subtotal, seed):
    """What stands after the items, as on real invoices: a stamp, legends, the payment and an
    addenda with a closing note."""
    return (
        "  <Complemento>\n"
        f'    <Timbre version="1.1" uuid="{seed:08d}-0000-4000-8000-{n:012d}" '
        'fechaTimbrado="2026-11-30T10:16:00" selloSAT="QUJDREVGR0hJSktMTU5PUA=="/>\n'
        '    <Leyenda norma="NOM-050" texto="Producto nacional"/>\n'
        '    <Leyenda norma="NOM-024" texto="Garantía de 90 días"/>\n'
        '    <Leyenda texto="Gracias por su compra"/>\n'
        f'    <Pago forma="03" monto="{money(subtotal)}"/>\n'
        "  </Complemento>\n"
        '  <Addenda><Entrega folio="E-1024" lugar="Obra Norte"/>'
        "<Nota>Fin del comprobante</Nota></Addenda>\n"
    )


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("n", type=int, help="number of Detaprod items")
    parser.add_argument("out", help="output file")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.n < 0:
        sys.exit("N must not be negative")

    rng = random.Random(args.seed)
    cantidad, precio, descuento, cargos, texto = draw_items(args.n, rng)
    subtotal = discount = charges = 0
    for i in range(args.n):
        importe = cantidad[i] * precio[i] - descuento[i]
        subtotal += importe + descuento[i]
        discount += descuento[i]
        charges += sum(importe * pct // 100 for _, pct in CHARGES[: cargos[i]])

    tmp = args.out + ".part"
    with open(tmp, "w", encoding="utf-8", newline="\n", buffering=1 << 20) as out:
        out.write(header(args.n, subtotal, discount, charges, args.seed))
        chunk = []
        for i in range(args.n):
            importe = cantidad[i] * precio[i] - descuento[i]
            start = (
                f'    <Detaprod cantidad="{cantidad[i]}" unidad="{UNITS[texto[i]]}" '
                f'clave="P{i + 1:07d}" descripcion="{DESCRIPTIONS[texto[i]]}" '
                f'valorUnitario="{money(precio[i])}" descuento="{money(descuento[i])}" '
                f'importe="{money(importe)}"'
            )
            count = cargos[i]
            if count == 0:
                chunk.append(start + "/>\n")
            else:
                chunk.append(start + ">\n")
                for tipo, pct in CHARGES[:count]:
                    chunk.append(
                        f'      <Cargo tipo="{tipo}" monto="{money(importe * pct // 100)}"/>\n'
                    )
                chunk.append("    </Detaprod>\n")
            if len(chunk) >= 8192:
                out.write("".join(chunk))
                chunk.clear()
        out.write("".join(chunk))
        out.write("  </Conceptos>\n" + trailer(args.n, subtotal, args.seed) + "</Comprobante>\n")
    os.replace(tmp, args.out)


if __name__ == "__main__":
    main()
