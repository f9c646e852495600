# Compiler flags shared by every target of ours, carried by one interface library.
add_library(ot_options INTERFACE)
target_compile_options(ot_options INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wimplicit-fallthrough)
if(OT_WARNINGS_AS_ERRORS)
  target_compile_options(ot_options INTERFACE -Werror)
endif()
if(OT_SANITIZE)
  target_compile_options(ot_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(ot_options INTERFACE -fsanitize=address,undefined)
endif()

# One static library per module. Sources are listed by each module's CMakeLists.
# A module that has no sources yet is an interface library, so that the include
# rules and link lines are in place before its first file lands.
function(ot_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(ot_${name} STATIC ${ARG_SOURCES})
    target_include_directories(ot_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(ot_${name} PUBLIC ot_options ${ARG_DEPS})
  else()
    add_library(ot_${name} INTERFACE)
    target_include_directories(ot_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(ot_${name} INTERFACE ot_options ${ARG_DEPS})
  endif()
endfunction()
