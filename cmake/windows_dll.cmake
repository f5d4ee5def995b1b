# canxlatelib.dll for Windows hosts, included by the top-level CMakeLists.txt
# on Windows builds.
#
# The exports come from a module-definition file written from the ELF export
# map, so both platforms export one list. The file gives the plain C names:
# the DLL exports them undecorated (no leading underscore, no @N suffix), and
# the import library maps the names that 32-bit compilers decorate cdecl
# functions with onto them.

file(STRINGS ${CANXLATE_EXPORT_MAP} canxlate_map_lines)
set(canxlate_exports "")
foreach(line IN LISTS canxlate_map_lines)
  if(line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*;[ \t]*$")
    string(APPEND canxlate_exports "  ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
if(canxlate_exports STREQUAL "")
  message(FATAL_ERROR "no exported functions found in ${CANXLATE_EXPORT_MAP}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CANXLATE_EXPORT_MAP})
set(CANXLATE_DEF_FILE ${CMAKE_BINARY_DIR}/canxlatelib.def)
file(CONFIGURE OUTPUT ${CANXLATE_DEF_FILE}
     CONTENT "LIBRARY canxlatelib.dll\nEXPORTS\n${canxlate_exports}" @ONLY)
target_sources(canxlatelib PRIVATE ${CANXLATE_DEF_FILE})

# canxlatelib.dll beside its import library canxlatelib.lib.
set_target_properties(canxlatelib PROPERTIES
  PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")
