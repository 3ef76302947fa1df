#include "driver/help.h"

#include <strings.h>

#include <cstdio>

#include "base/run_log.h"
#include "driver/command_line.h"

namespace ruvo {

namespace {

// The help text after its first line. Accented letters are single Latin-1 bytes, written as
// octal escapes (\341 a-acute, \363 o-acute); the trailing blanks are part of the lines.
constexpr const char* kHelpBody =
    "Ruvo extrae datos de un archivo en formato XML para pegarlos \n"
    "en un archivo de texto plano con la ayuda de una plantilla de \n"
    "configuraci\363n. \n"
    "Sintaxis:\n"
    "   Ruvo <entrada> <plantilla> <salida> [-c <conf>] [<opciones>]\n"
    "Donde:\n"
    "\t<entrada>\t: Par\341metro requerido. Es un archivo xml a partir del cual se tomara la \n"
    "                          informacion a ser llenada en el archivo de salida.\n"
    "\t<plantilla>\t:     Par\341metro requerido. Es un archivo de contiene la plantilla a partir "
    "de \n"
    "                          la cual se mostrar\341 la parte gr\341fica. \n"
    "\t<salida>\t:\t\t  Par\341metro requerido. En este archivo se vaciara la informaci\363n "
    "encontrada.\n"
    "\t<conf>\t\t:\t\t  Archivo de configuraci\363n.\n"
    "\t<opciones>\t:\t\t  Cualquiera de los siguientes valores:\n"
    "\t-h\t\t\t:\tMuestra esta ayuda:\n"
    "\t-preview N\t:\tMuestra un previo el documento con N paginas al inicio y N al final:\n"
    "Ejemplos:\n"
    "   Ruvo AU50Firmado.xml PlantillaHFD.Kst Salida.txt -c Ruvo.cfg\n"
    "\n"
    "Sintaxis Cfg: \n"
    "[TABLE_COLUMNS]<<Detalle>> \n"
    "Detaprod:cantidad,Jr@? \n"
    "Detaprodprueba:unidad,Jc@? \n"
    "Detaprod:presentacion,Jc@? \n"
    "Detaprod:descripcion,Jl@? \n"
    "Detaprod:promocion,Jr@? \n"
    "Detaprod:precioneto,Jr@? \n"
    "Detaprod:importe,Jr@? \n"
    "............. \n"
    " De acuerdo a esta seccion se forman las columnas del detalle. \n"
    "\n"
    "\n"
    "[COMMA_INSERT]\n"
    "Comprobante:total \n"
    "Comprobante:subTotal \n"
    "............. \n"
    "Este elemento:atributo se mostrar\341 con separacion de miles. \n";

}  // namespace

void print_help() {
  std::printf("Ruvo v%s\n", kVersion);
  std::fputs(kHelpBody, stdout);
  std::fflush(stdout);
}

void print_usage() {
  std::fputs("usage: ruvo INPUT TEMPLATE OUTPUT ", stdout);
  print_option_synopsis(stdout);
  std::printf(
      "\n"
      "Fills TEMPLATE with values from the XML document INPUT and writes OUTPUT. It reports only\n"
      "through its exit status and the run log %s in the current folder.\n"
      "Arguments count by their place, options included; options are compared without regard\n"
      "to case, and the argument after an option that takes a value is still read as an option.\n"
      "Options:\n",
      kRunLogName);
  print_option_lines(stdout);
  std::printf("  %-12s %s\n", kUsageWord, "print this usage (when fewer than three arguments)");
  std::fputs(
      "ruvo-check, given the same arguments, explains what the run would do without writing\n"
      "anything. More in man ruvo.\n",
      stdout);
  std::fflush(stdout);
}

bool asks_for_usage(const ArgTable& table, int count) {
  for (int i = 0; i < count; ++i) {
    if (strcasecmp(table.at(i), kUsageWord) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace ruvo
