# The layers of the launcher, held by the build.
#
# Every folder of the core is one library, and a header of it can be named
# ("checks/os_validation.h") only by a target that links that library,
# directly or through another library's PUBLIC dependencies. So an include
# that runs against the layers does not compile ("No such file"), instead of
# waiting for a reviewer to notice it.
#
# For this, no target of the core gets the source tree as an include
# folder. Each layer gets a folder of its own in the build tree that holds
# just a link to its source folder (build/layers/zqchecks/checks ->
# checks/); that folder is the layer's PUBLIC include folder. A folder that
# holds other layers in subfolders (platform/ holds sim/ and win32/, app/
# holds the entry points) links its own headers one by one, so that the
# subfolders stay out of reach.

# zq_layer(<target> [SOURCES <file>...] [PUBLIC <item>...] [PRIVATE <item>...])
#
# Makes <target> the layer of the current source folder: a static library
# of SOURCES, or an interface library when there are none. PUBLIC and
# PRIVATE are passed to target_link_libraries: the layers (and outside
# libraries) whose headers this one's headers, or only its sources, include.
function(zq_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;PUBLIC;PRIVATE")
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${root})  # links only; what they point to stays
  cmake_path(GET folder PARENT_PATH parent)
  file(MAKE_DIRECTORY ${root}/${parent})

  file(GLOB subfolders LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  set(has_subfolders FALSE)
  foreach(entry IN LISTS subfolders)
    if(IS_DIRECTORY ${entry})
      set(has_subfolders TRUE)
    endif()
  endforeach()
  if(has_subfolders)
    # A header added later reconfigures the build, which links it too.
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
      file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${root}/${folder}/${header} SYMBOLIC)
    endforeach()
  else()
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()

  if(arg_SOURCES)
    add_library(${target} STATIC ${arg_SOURCES})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
  else()
    if(arg_PRIVATE)
      message(FATAL_ERROR "zq_layer(${target}): a layer without sources has no PRIVATE dependencies")
    endif()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${root})
    target_link_libraries(${target} INTERFACE ${arg_PUBLIC})
  endif()
endfunction()
