# Fails when a translation is unfinished or obsolete: lupdate, run with the
# project's options over the sources as they are now, updates a copy of each
# .ts file (the tree's stays as it is), and every text of the copy must have
# a finished translation whose source text is still in the program.
#
#   cmake -DLUPDATE=... -DOPTIONS=... -DSOURCES_FILE=... -DTS_FILES=... -DSTAMP=... -P CheckTranslations.cmake
cmake_minimum_required(VERSION 3.25)

get_filename_component(work "${STAMP}" DIRECTORY)
set(faults "")
foreach(ts IN LISTS TS_FILES)
  get_filename_component(name "${ts}" NAME)
  set(copy "${work}/checked-${name}")
  file(COPY_FILE "${ts}" "${copy}")
  execute_process(COMMAND "${LUPDATE}" ${OPTIONS} "@${SOURCES_FILE}" -ts "${copy}"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "lupdate failed on ${name}:\n${output}")
  endif()
  file(READ "${copy}" text)
  string(REGEX MATCHALL "<source>[^<]*</source>[ \t\r\n]*(<comment>[^<]*</comment>[ \t\r\n]*)?<translation type=\"(unfinished|vanished|obsolete)\""
         open "${text}")
  foreach(entry IN LISTS open)
    string(REGEX REPLACE "^<source>([^<]*)</source>.*type=\"([a-z]+)\"$" "  \\2: \\1" line "${entry}")
    string(APPEND faults "${name}${line}\n")
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Translations not up to date (update them with the target update_translations, "
                      "then translate what is unfinished and drop what is gone):\n${faults}")
endif()
file(TOUCH "${STAMP}")
