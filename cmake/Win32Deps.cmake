# The libraries of the Windows build: GoogleTest built from Debian's sources
# for the cross compiler, and the two header-only libraries of the build
# machine, seen through a folder of their own so that the host's /usr/include
# stays out of the cross build.
set(VANTRIX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${VANTRIX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

set(VANTRIX_HOST_INCLUDE /usr/include CACHE PATH "Where nlohmann/ and CLI/ lie on the build machine")
set(_hostinc ${CMAKE_BINARY_DIR}/host-include)
file(MAKE_DIRECTORY ${_hostinc})
foreach(_lib nlohmann CLI)
    if(NOT EXISTS ${_hostinc}/${_lib})
        file(CREATE_LINK ${VANTRIX_HOST_INCLUDE}/${_lib} ${_hostinc}/${_lib} SYMBOLIC)
    endif()
endforeach()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_hostinc})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_hostinc})

# What the core takes for granted of POSIX headers and mingw lacks.
add_compile_options(-include ${CMAKE_SOURCE_DIR}/app/PosixCompat_win32.h)
# Windows 7 and later: the calls of the backends.
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
