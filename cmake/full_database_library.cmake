# libcanxlate (canxlate.dll on Windows): the full-database library, a second
# face on the parts it shares with canxlatelib (src/shared: number reading,
# field rounding and saturation, the ".zcd" reader). Included by the top-level
# CMakeLists.txt.

file(GLOB CANXLATE_FULL_SOURCES CONFIGURE_DEPENDS
     src/canxlate/database/*.cpp src/canxlate/dbc/*.cpp src/canxlate/codec/*.cpp src/canxlate/zcd/*.cpp
     src/canxlate/capi/*.cpp src/canxlate/builder/*.cpp)
list(APPEND CANXLATE_FULL_SOURCES ${CANXLATE_SHARED_SOURCES})
add_library(canxlate_full_objects OBJECT ${CANXLATE_FULL_SOURCES})
target_include_directories(canxlate_full_objects PUBLIC include src)
target_compile_definitions(canxlate_full_objects PUBLIC CANXLATE_BUILDING_FULL_LIBRARY)
set_target_properties(canxlate_full_objects PROPERTIES
  POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # The diagnostics' sentences are std::string concatenations, on which GCC 12
  # warns falsely in optimised builds (GCC bug 105329).
  target_compile_options(canxlate_full_objects PRIVATE -Wno-restrict)
endif()

# The target is canxlate_library (the program owns the name canxlate); the
# file is libcanxlate.so / canxlate.dll.
add_library(canxlate_library SHARED $<TARGET_OBJECTS:canxlate_full_objects>)
add_library(canxlate::canxlate ALIAS canxlate_library)
# The log readers and writers (src/canxlate/logs) are behind the same C interface.
target_link_libraries(canxlate_full_objects PUBLIC canxlate_logs)
target_link_libraries(canxlate_library PRIVATE canxlate_logs)
target_include_directories(canxlate_library PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>)
set_target_properties(canxlate_library PROPERTIES OUTPUT_NAME canxlate EXPORT_NAME canxlate
                      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
# Installed and packaged beside canxlatelib: imported target canxlate::canxlate,
# pkg-config canxlate (cmake/install.cmake).
list(APPEND CANXLATE_EXTRA_PUBLIC_LIBRARIES canxlate_library)
set(CANXLATE_FULL_EXPORT_MAP ${CMAKE_CURRENT_SOURCE_DIR}/src/canxlate/capi/canxlate.map)
canxlate_export_only(canxlate_library ${CANXLATE_FULL_EXPORT_MAP})
