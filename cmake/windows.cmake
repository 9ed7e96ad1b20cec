# Dependencies of the Windows cross build.
#
# Boost is header-only here, and hidapi.h is a portable header: both are taken
# from the build machine's Debian packages through a folder that holds only
# them, so no Linux system header can leak into the Windows build.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(pair "/usr/include/boost;boost" "/usr/include/hidapi/hidapi.h;hidapi.h")
  list(GET pair 0 source)
  list(GET pair 1 name)
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "${source} is missing: run scripts/deps.sh (libboost-dev, libhidapi-dev)")
  endif()
  file(CREATE_LINK ${source} ${host_headers}/${name} SYMBOLIC)
endforeach()

add_library(Boost::headers INTERFACE IMPORTED)
target_include_directories(Boost::headers SYSTEM INTERFACE ${host_headers})
target_compile_definitions(Boost::headers INTERFACE _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN)
target_link_libraries(Boost::headers INTERFACE ws2_32 mswsock)

add_library(hidapi_headers INTERFACE)
target_include_directories(hidapi_headers SYSTEM INTERFACE ${host_headers})

# hidapi.dll comes from hidapi's own Windows release, put beside the programs;
# we link it through an import library made from the four functions we call.
set(hidapi_import ${CMAKE_BINARY_DIR}/libhidapi.dll.a)
add_custom_command(OUTPUT ${hidapi_import}
  COMMAND x86_64-w64-mingw32-dlltool --input-def ${PROJECT_SOURCE_DIR}/windows/hidapi.def
          --dllname hidapi.dll --output-lib ${hidapi_import}
  DEPENDS ${PROJECT_SOURCE_DIR}/windows/hidapi.def)
add_custom_target(hidapi_import_library DEPENDS ${hidapi_import})
add_library(hidapi_library INTERFACE)
target_link_libraries(hidapi_library INTERFACE ${hidapi_import})
add_dependencies(hidapi_library hidapi_import_library)
