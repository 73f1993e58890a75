# vdx_add_module(NAME [SOURCES ...] [LINK ...])
# A static library from every .cpp/.h in the calling folder (non-recursive),
# plus extra SOURCES. Headers are included by folder-relative names.
function(vdx_add_module name)
  cmake_parse_arguments(M "" "" "SOURCES;LINK;EXCLUDE" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(ex IN LISTS M_EXCLUDE)
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${ex})
  endforeach()
  if(NOT srcs AND NOT M_SOURCES)
    # A folder whose code has not arrived yet still offers its include path.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${M_LINK})
    return()
  endif()
  add_library(${name} STATIC ${srcs} ${M_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${M_LINK})
endfunction()

# vdx_add_qtests(LINK ... [SLOW tst_a ...] [ROOT tst_b ...]): one Qt Test
# executable and ctest entry per tst_*.cpp in the calling folder. Tests run
# with the offscreen platform, a private runtime dir, and know where the
# sources and the build are. Labels: the folder's name; "slow" for the tests
# named after SLOW (a minute or more: ./vdx test -LE slow leaves them out),
# "root" for those after ROOT (parts skipped without root).
function(vdx_add_qtests)
  cmake_parse_arguments(T "" "TIMEOUT" "LINK;LABELS;SLOW;ROOT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  foreach(src IN LISTS tests)
    get_filename_component(tname ${src} NAME_WE)
    set(target ${folder}_${tname})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE Qt5::Test vdx_testsupport ${T_LINK})
    add_test(NAME ${folder}/${tname} COMMAND ${target})
    set(labels ${folder} ${T_LABELS})
    if(tname IN_LIST T_SLOW)
      list(APPEND labels slow)
    endif()
    if(tname IN_LIST T_ROOT)
      list(APPEND labels root)
    endif()
    set_tests_properties(${folder}/${tname} PROPERTIES
      TIMEOUT ${T_TIMEOUT}
      LABELS "${labels}"
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime;VDX_SANDBOX=")
  endforeach()
endfunction()
