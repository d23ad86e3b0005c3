# The core never sees Qt: configuring fails when a core source includes a Qt header.
file(GLOB_RECURSE _core_sources CONFIGURE_DEPENDS
  "${CMAKE_SOURCE_DIR}/src/song/*" "${CMAKE_SOURCE_DIR}/src/midi/*" "${CMAKE_SOURCE_DIR}/src/exchange/*"
  "${CMAKE_SOURCE_DIR}/src/editing/*" "${CMAKE_SOURCE_DIR}/src/document/*")
foreach(_file IN LISTS _core_sources)
  file(STRINGS "${_file}" _qt_includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q")
  if(_qt_includes)
    message(FATAL_ERROR "The core must not include Qt: ${_file}: ${_qt_includes}")
  endif()
endforeach()
