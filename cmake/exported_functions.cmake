# canxlate_export_only(TARGET MAP): the shared library TARGET exports exactly
# the functions that the export map MAP lists, on every platform.
#
# ELF: the map is the linker's version script. Windows: a module-definition
# file written from the same map gives the plain C names; the DLL exports them
# undecorated (no leading underscore, no @N suffix) and the import library
# maps the names that 32-bit compilers decorate cdecl functions with onto
# them. NAME.dll sits beside its import library NAME.lib; the .def file is
# installed for toolchains that make their own import library.
function(canxlate_export_only target map)
  if(WIN32)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
      set(name ${target})
    endif()
    file(STRINGS ${map} lines)
    set(exports "")
    foreach(line IN LISTS lines)
      if(line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*;[ \t]*$")
        string(APPEND exports "  ${CMAKE_MATCH_1}\n")
      endif()
    endforeach()
    if(exports STREQUAL "")
      message(FATAL_ERROR "no exported functions found in ${map}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${map})
    set(def ${CMAKE_BINARY_DIR}/${name}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "LIBRARY ${name}.dll\nEXPORTS\n${exports}" @ONLY)
    target_sources(${target} PRIVATE ${def})
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")
    include(GNUInstallDirs)
    install(FILES ${def} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  else()
    target_link_options(${target} PRIVATE -Wl,--version-script=${map})
    if(CANXLATE_SANITIZE STREQUAL "")
      # Sanitizer runtimes come from the host program, so only plain builds
      # can insist that the library resolves everything itself.
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    set_target_properties(${target} PROPERTIES LINK_DEPENDS ${map})
  endif()
endfunction()
