// Every message the run log carries, in the Spanish that callers and their operators read and
// search for; each is written here once and logged by the unit that meets its cause. ruvo-check
// quotes them from here when it says what a run logs. Accented letters are Latin-1 bytes.
#pragma once

namespace ruvo::log_messages {

// The driver's checks and loads, in the order of a run.
inline constexpr const char* kXmlInputMissing = "ERROR: El archivo XML de entrada no existe:";
inline constexpr const char* kXmlNotParsed = "ERROR: Archivo de entrada parseado con errores.";
inline constexpr const char* kTemplateMissing = "ERROR: El archivo Plantilla NO se encuentra.";
inline constexpr const char* kConfigurationMissing = "ERROR: El archivo Cfg NO se encuentra.";
inline constexpr const char* kOutputNotWritten = "ERROR: No se pudo escribir el archivo de salida:";
// The detail after kOutputNotWritten when the output is one of the run's own files (%s).
inline constexpr const char* kOutputIsRunFile = "es el mismo archivo que: %s";
// The detail after kOutputNotWritten when the output holds placeholders and the template none.
inline constexpr const char* kOutputLooksLikeTemplate =
    "parece una plantilla; \277se invirtieron los argumentos?";

// An encoding the converter does not know or that is not ASCII-compatible (-encoding).
inline constexpr const char* kEncodingUnsupported = "ERROR: Codificacion no soportada:";
// The detail after kTemplateMissing or kConfigurationMissing for a file that is not text in the
// run's encoding (%zu: its line, %s: the encoding).
inline constexpr const char* kTextNotInEncoding = "linea %zu: no es texto valido en %s";

// The fill.
inline constexpr const char* kXPathFailed = "WARNING: La instruccion XPATH no gener\363 resultados";
inline constexpr const char* kElementNotReplaced = "WARNING: Error al reemplazar elemento:";
inline constexpr const char* kLineLimitReached =
    "WARNING: Limite de reemplazos alcanzado en la linea; el resto de la linea queda sin llenar:";
// A bare element that ends the run (%s: the placeholder's content).
inline constexpr const char* kNoMasterDefinition =
    "ERROR: El archivo de configuraci\363n no contiene definici\363n para master table [%s]";
inline constexpr const char* kFillOutOfMemory =
    "ERROR: Memoria insuficiente para llenar la plantilla.";
// A column table whose definition is faulty (%s: the table's name).
inline constexpr const char* kColumnDefinitionFaulty =
    "ERROR: No se encuentra la configuraci\363n de elemento:atributo en linea 1 para MT '%s'";

// The label of the memory-count line that ends every run but a successful one.
inline constexpr const char* kFinalMemoryLabel = "Total memoria final:";

}  // namespace ruvo::log_messages
