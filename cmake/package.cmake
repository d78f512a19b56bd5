# The library as others consume it: the C interface, one static and one
# shared library made of every part, and the install rules with pkg-config and
# CMake package files. Included from the top-level CMakeLists.txt after the
# library targets.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The library targets the package is made of: the one place that names them.
set(PALTAB_LIBRARY_PARTS paltab_tables paltab_core paltab_lib)

add_library(paltab_capi OBJECT
  src/c_api/paltab_c_palette.cpp
  src/c_api/paltab_c_tables.cpp
  src/c_api/paltab_c_remap.cpp)
target_include_directories(paltab_capi PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_compile_features(paltab_capi PRIVATE cxx_std_20)
target_compile_definitions(paltab_capi PRIVATE
  PALTAB_PROJECT_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  PALTAB_PROJECT_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  PALTAB_PROJECT_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_link_libraries(paltab_capi PRIVATE paltab_warnings)

set(paltab_objects $<TARGET_OBJECTS:paltab_capi>)
foreach(part IN LISTS PALTAB_LIBRARY_PARTS)
  list(APPEND paltab_objects $<TARGET_OBJECTS:${part}>)
endforeach()

# libpaltab.a: the C interface and the C++ library (whose headers are not
# stable yet). A C program linking it needs the C++ runtime besides, which
# the package files name.
add_library(paltab_static STATIC ${paltab_objects})
add_library(paltab::paltab ALIAS paltab_static)
set_target_properties(paltab_static PROPERTIES
  OUTPUT_NAME paltab EXPORT_NAME paltab ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
target_include_directories(paltab_static PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
# Built from object libraries, so CMake does not see its C++: a program
# linked by the C compiler gets the C++ runtime and libm named.
target_link_libraries(paltab_static PUBLIC Threads::Threads "$<$<LINK_LANGUAGE:C>:stdc++;m>"
  PRIVATE PNG::PNG ZLIB::ZLIB libdeflate::libdeflate GIF::GIF JPEG::JPEG)

# libpaltab.so.0: the C interface alone; every other symbol stays inside.
add_library(paltab_shared SHARED $<TARGET_OBJECTS:paltab_capi>)
add_library(paltab::paltab_shared ALIAS paltab_shared)
set_target_properties(paltab_shared PROPERTIES
  OUTPUT_NAME paltab EXPORT_NAME paltab_shared LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib
  VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/paltab.map)
target_include_directories(paltab_shared PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(paltab_shared PRIVATE paltab_static)
target_link_options(paltab_shared PRIVATE "LINKER:--version-script=${PROJECT_SOURCE_DIR}/cmake/paltab.map")
if(NOT PALTAB_SANITIZE AND NOT PALTAB_BUILD_FUZZ)
  # Complete in itself (the sanitizers' run-time is the executable's).
  target_link_options(paltab_shared PRIVATE "LINKER:--no-undefined")
endif()

if(NOT PALTAB_INSTALL)
  return()
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/paltab TYPE INCLUDE)
install(TARGETS paltab_static paltab_shared EXPORT paltabTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
if(PALTAB_BUILD_TOOLS)
  install(TARGETS paltab paltool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(paltab_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/paltab)
install(EXPORT paltabTargets NAMESPACE paltab:: DESTINATION ${paltab_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/paltabConfig.cmake.in
  ${PROJECT_BINARY_DIR}/paltabConfig.cmake INSTALL_DESTINATION ${paltab_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/paltabConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/paltabConfig.cmake ${PROJECT_BINARY_DIR}/paltabConfigVersion.cmake
  DESTINATION ${paltab_cmake_dir})

# paltab.pc finds the prefix from its own place, so that `cmake --install
# --prefix DIR` gives a working file wherever DIR is.
file(RELATIVE_PATH paltab_pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" paltab_pc_to_prefix "${paltab_pc_to_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/paltab.pc.in ${PROJECT_BINARY_DIR}/paltab.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/paltab.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
