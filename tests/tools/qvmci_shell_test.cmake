# Runs qvmci on the demo disc with a manual clock and compares its output line by line.
set(input "open cdaudio alias cd wait shareable\nstatus cd number of tracks\nset cd time format tmsf\nplay cd from 2\n.advance 1500\nstatus cd position\nfrobnicate\n.remove\nstatus cd media present\n")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/qvmci_input.txt "${input}")
execute_process(COMMAND ${QVMCI} --drive demo --clock manual
  INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/qvmci_input.txt
  OUTPUT_VARIABLE output RESULT_VARIABLE code)
set(expected "1\n12\n\n\n\n02:00:01:37\nerror 261: The CD audio device does not know this command.\n\nfalse\n")
if(NOT code EQUAL 0)
  message(FATAL_ERROR "qvmci exited with ${code}")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "qvmci printed:\n${output}\nexpected:\n${expected}")
endif()
