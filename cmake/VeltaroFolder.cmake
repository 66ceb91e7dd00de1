# veltaro_folder(<name> DEPENDS <targets...> [EXCLUDE <files...>])
# Builds every source of the calling folder into the library veltaro_<name>,
# but the files named after EXCLUDE (relative to the folder).
# A folder without sources yet is an interface library so that its dependants link.
function(veltaro_folder name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(target veltaro_${name})
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources)
    file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    add_library(${target} STATIC ${sources} ${headers})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()
