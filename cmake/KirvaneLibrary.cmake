# kirvane_library(NAME LIBS lib... [WIDGET_LIBS lib...])
# The sources of the calling folder become the static library kirvane_NAME (namespace
# kirvane::NAME). A widgets/ subfolder, when present, becomes kirvane_NAME_widgets: the
# subsystem's windows, and the only library of the subsystem that links Qt Widgets, so
# that a widget used in logic is a link error.
function(kirvane_library name)
  cmake_parse_arguments(L "" "" "LIBS;WIDGET_LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(kirvane_${name} STATIC ${sources})
  target_include_directories(kirvane_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(kirvane_${name} PUBLIC ${L_LIBS})
  file(GLOB widget_sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/widgets/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/widgets/*.h)
  if(widget_sources)
    add_library(kirvane_${name}_widgets STATIC ${widget_sources})
    target_link_libraries(kirvane_${name}_widgets PUBLIC kirvane_${name} kirvane_ui ${L_WIDGET_LIBS} Qt6::Widgets)
  endif()
endfunction()
