# Runs ruvo on the shipped example in a fresh folder and shows what it wrote.
# Called by the "demo" test with RUVO (the binary), EXAMPLES (this folder) and WORK.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(name invoice.xml template.txt Ruvo.cfg)
  file(COPY "${EXAMPLES}/${name}" DESTINATION "${WORK}")
endforeach()

execute_process(COMMAND "${CMAKE_COMMAND}" -E env RUVO_OPERADOR=demo
                        "${RUVO}" invoice.xml template.txt output.txt
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status)
message("RUVO_OPERADOR=demo ruvo invoice.xml template.txt output.txt  ->  exit status ${status}")
if(NOT status EQUAL 0)
  file(READ "${WORK}/Ruvo.log" log)
  message(FATAL_ERROR "the example did not convert; Ruvo.log:\n${log}")
endif()

# The output is Latin-1; show it in the terminal's UTF-8 when iconv is there.
find_program(ICONV iconv)
message("----- ${WORK}/output.txt -----")
if(ICONV)
  execute_process(COMMAND "${ICONV}" -f LATIN1 -t UTF-8 "${WORK}/output.txt"
                  OUTPUT_VARIABLE shown)
else()
  file(READ "${WORK}/output.txt" shown)
endif()
message("${shown}")
message("----- end -----")
