# Stages the files of a release in STAGE, afresh (a file removed from help/ must not linger):
# the program, its copy named as a screen saver, help/, the README and licence as text.
# Then writes FILELIST, the staged files of the program folder for the setup program's script:
# a macro ReleaseFiles EACH that inserts EACH "<folder>" "<name>" for each of them.
# cmake -DSTAGE=<folder> -DFILELIST=<file> -DEXE=<murlavo.exe> -DSOURCE=<source tree> [-DSTRIP=<strip>]
#       -P stage.cmake
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY_FILE ${EXE} ${STAGE}/murlavo.exe)
# The build keeps its debugging information; the release does without it.
if(STRIP)
  execute_process(COMMAND ${STRIP} --strip-debug ${STAGE}/murlavo.exe COMMAND_ERROR_IS_FATAL ANY)
endif()
file(COPY_FILE ${STAGE}/murlavo.exe ${STAGE}/Murlavo.scr)
if(IS_DIRECTORY ${SOURCE}/help)
  file(COPY ${SOURCE}/help DESTINATION ${STAGE})
endif()
# Text files with Windows line ends, so every editor on Windows shows their lines.
foreach(pair "README.md;README.txt" "LICENSE;LICENSE.txt")
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(READ ${SOURCE}/${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${STAGE}/${to} "${text}")
endforeach()

# Every staged file but the screen saver, which goes to the system folder.
file(GLOB_RECURSE staged RELATIVE ${STAGE} ${STAGE}/*)
list(SORT staged)
set(nsh "; The files of the program folder, written by installer/stage.cmake.\n!macro ReleaseFiles EACH\n")
foreach(path IN LISTS staged)
  if(path STREQUAL "Murlavo.scr")
    continue()
  endif()
  get_filename_component(folder "${path}" DIRECTORY)
  get_filename_component(name "${path}" NAME)
  string(REPLACE "/" "\\" folder "${folder}")
  # "$" starts a variable in the script's strings.
  string(REPLACE "$" "$$" folder "${folder}")
  string(REPLACE "$" "$$" name "${name}")
  string(APPEND nsh "  !insertmacro \${EACH} \"${folder}\" \"${name}\"\n")
endforeach()
string(APPEND nsh "!macroend\n")
file(WRITE ${FILELIST} "${nsh}")
