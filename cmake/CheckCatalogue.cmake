# Run by the test catalogue_in_step (cmake -P): the English catalogue holds every text the sources
# mark, no other, and each one translated. lupdate refreshes a copy of the .ts from the sources
# as the target update_translations does; a copy that differs from the .ts, or an lrelease that
# reports an unfinished or untranslated text, fails.
#
# Variables: LUPDATE, LRELEASE (the tools), TS (the catalogue), SOURCE_DIR (main/src), WORK (a
# scratch directory).

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(copy "${WORK}/tavrel_en.ts")
configure_file("${TS}" "${copy}" COPYONLY)
file(GLOB_RECURSE sources "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.ui")
list(SORT sources)
execute_process(COMMAND "${LUPDATE}" -locations none -no-obsolete -I "${SOURCE_DIR}" ${sources} -ts "${copy}"
  RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed:\n${said}")
endif()
file(READ "${TS}" before)
file(READ "${copy}" after)
if(NOT before STREQUAL after)
  message(FATAL_ERROR "The catalogue is not in step with the sources: run "
    "'cmake --build <build> --target update_translations' and translate what it marks unfinished.\n${said}")
endif()
execute_process(COMMAND "${LRELEASE}" "${copy}" -qm "${WORK}/en.qm"
  RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0 OR NOT said MATCHES " 0 unfinished" OR said MATCHES "untranslated")
  message(FATAL_ERROR "Texts without a translation:\n${said}")
endif()
message(STATUS "${said}")
