# cmake -DBUILD=<build dir> -DPREFIX=<fresh prefix> -DMODULE_DIR_FROM_PROGRAM=<relative path>
#       -DVERSION=<project version> -DREADER=<test_exportmodule> -P install_layout.cmake
#
# Installs the build into a fresh prefix: the export module must land where
# the installed program looks for it, and be the module of this version.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc})")
endif()
if(NOT EXISTS "${PREFIX}/bin/trasovnik")
  message(FATAL_ERROR "the program is not installed as bin/trasovnik")
endif()
cmake_path(SET module NORMALIZE "${PREFIX}/bin/${MODULE_DIR_FROM_PROGRAM}/trasovnik-export.so")
if(NOT EXISTS "${module}")
  file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
  message(FATAL_ERROR "the program looks for its module at ${module}; installed: ${installed}")
endif()
execute_process(COMMAND "${READER}" --module-version "${module}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR NOT version STREQUAL VERSION)
  message(FATAL_ERROR "${module} is not the module of version ${VERSION} (${rc}: '${version}')")
endif()
message(STATUS "${module}: version ${version}")
