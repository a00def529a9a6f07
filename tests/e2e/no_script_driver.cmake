# Fails when the program file holds the script driver's environment variable.
file(STRINGS ${PROGRAM} hits REGEX "TOLVANE_SCRIPT")
if(hits)
  message(FATAL_ERROR "${PROGRAM} contains the script driver: ${hits}")
endif()
