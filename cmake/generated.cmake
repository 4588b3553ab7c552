# Sources generated at build time (shared by the native and the cross tree).

# Blowfish's initial P-array and S-boxes: the hexadecimal digits of pi, computed by a script.
set(TESSARIN_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(BLOWFISH_TABLES ${TESSARIN_GENERATED_DIR}/blowfish_tables.h)
add_custom_command(OUTPUT ${BLOWFISH_TABLES}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/gen/pi_hex_tables.py ${BLOWFISH_TABLES}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/gen/pi_hex_tables.py
  COMMENT "Computing the Blowfish tables from pi")
list(APPEND TESSARIN_PORTABLE_SOURCES ${BLOWFISH_TABLES})
include_directories(${TESSARIN_GENERATED_DIR})
