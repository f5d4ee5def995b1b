# Install rules, the CMake package, pkg-config files and CPack packages.
# Included last by the top-level CMakeLists.txt.
#
#   cmake --install build --prefix /opt/canxlate
#   cd build && cpack          # Debian packages on Linux, a zip kit for Windows builds
#
# Components: "runtime" (the shared libraries), "development" (headers, import
# libraries, CMake and pkg-config files), "program" (canxlate and its manual page).

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Libraries a host can link: each target's EXPORT_NAME names its imported
# target and its OUTPUT_NAME (or target name) its pkg-config file.
set(CANXLATE_PUBLIC_LIBRARIES canxlatelib ${CANXLATE_EXTRA_PUBLIC_LIBRARIES})

foreach(library IN LISTS CANXLATE_PUBLIC_LIBRARIES)
  install(TARGETS ${library} EXPORT canxlateTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT development FILES_MATCHING PATTERN "*.h")

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/canxlate)
install(EXPORT canxlateTargets NAMESPACE canxlate:: DESTINATION ${config_dir} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/package/canxlateConfig.cmake.in
  ${CMAKE_BINARY_DIR}/canxlateConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/canxlateConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/canxlateConfig.cmake ${CMAKE_BINARY_DIR}/canxlateConfigVersion.cmake
  DESTINATION ${config_dir} COMPONENT development)

# pkg-config: one file per library, named as the library (pkg-config canxlatelib),
# relocatable: the prefix is found from the file's own place.
file(RELATIVE_PATH CANXLATE_PC_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
string(REGEX REPLACE "/$" "" CANXLATE_PC_PREFIX "${CANXLATE_PC_PREFIX}")
foreach(library IN LISTS CANXLATE_PUBLIC_LIBRARIES)
  get_target_property(CANXLATE_PC_NAME ${library} OUTPUT_NAME)
  if(NOT CANXLATE_PC_NAME)
    set(CANXLATE_PC_NAME ${library})
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/package/library.pc.in ${CMAKE_BINARY_DIR}/${CANXLATE_PC_NAME}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${CANXLATE_PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT development)
endforeach()

if(CANXLATE_PROGRAM_TARGET)
  install(TARGETS ${CANXLATE_PROGRAM_TARGET} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
  if(CANXLATE_MANUAL_PAGE)
    install(FILES ${CANXLATE_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
  endif()
endif()

# Packages.
set(CPACK_PACKAGE_NAME canxlate)
set(CPACK_PACKAGE_VENDOR "canxlate developers")
set(CPACK_PACKAGE_CONTACT "canxlate developers <canxlate@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CAN frame payloads to engineering values and back")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_PACKAGE_FILE_NAME canxlate-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Our own libraries come from the runtime package (a component dependency).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
  set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libcanxlate${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libcanxlate-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME canxlate)
  set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION electronics)
  set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
  set(CPACK_COMPONENT_PROGRAM_DEPENDS runtime)
  set(CPACK_COMPONENTS_ALL runtime development program)
endif()
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "canxlate shared libraries")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "canxlate headers, CMake package and pkg-config files")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "canxlate command-line program for CAN logs")
include(CPack)
