# Installing DVK as a desktop program: `cmake --install build` (prefix
# /usr/local unless --prefix says otherwise; DESTDIR is honoured) copies
#
#   PREFIX/bin/                                  dvk and its tools (dvk-*)
#   PREFIX/share/dvk/resources/                  what the programs read at run time (build/bin/resources)
#   PREFIX/share/applications/dvk.desktop        the desktop entry: a file manager opens raws with `dvk FILE...`
#   PREFIX/share/icons/hicolor/scalable/apps/dvk.svg   its icon
#
# The programs find their resources beside themselves (a build tree) or at the
# installed place relative to their own folder (platform/resource_path.cpp),
# so an installation moved to another prefix keeps working.
#
# The programs are found, not listed: every executable named dvk or dvk-* of
# the project's folders except tests/ and bench/, less the build-time
# generators marked with dvk_build_time_tool(<target>). The benchmarks are
# tools of development and stay in the build tree.
include(GNUInstallDirs)

set(DVK_INSTALL_RESOURCES_DIR ${CMAKE_INSTALL_DATADIR}/dvk/resources)
# The resources folder as seen from the installed programs' folder
# ("../share/dvk/resources"), compiled into the resource lookup.
file(RELATIVE_PATH DVK_INSTALLED_RESOURCES ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_DATADIR}/dvk/resources)

# A program the build runs to make something and nobody else does: not installed.
function(dvk_build_time_tool target)
  set_target_properties(${target} PROPERTIES DVK_BUILD_TIME_TOOL ON)
endfunction()

# The installable programs made in `dir` and the folders below it.
function(_dvk_programs_in dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  set(found)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    get_target_property(build_time ${t} DVK_BUILD_TIME_TOOL)
    if(type STREQUAL "EXECUTABLE" AND t MATCHES "^dvk(-.+)?$" AND NOT build_time)
      list(APPEND found ${t})
    endif()
  endforeach()
  foreach(child ${children})
    if(NOT child STREQUAL "${PROJECT_SOURCE_DIR}/tests" AND NOT child STREQUAL "${PROJECT_SOURCE_DIR}/bench")
      _dvk_programs_in(${child} more)
      list(APPEND found ${more})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The install rules, once every target exists.
function(dvk_install_rules)
  _dvk_programs_in(${PROJECT_SOURCE_DIR} programs)
  install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/resources/ DESTINATION ${DVK_INSTALL_RESOURCES_DIR})
  if(TARGET dvk)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/dvk.desktop
      DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/dvk.svg
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    # A file manager may read the folder's MIME cache rather than the entries
    # themselves: renew it when installing in place (a package's staging
    # folder, DESTDIR, leaves that to the package's own scripts).
    install(CODE "
      find_program(DVK_UPDATE_DESKTOP_DATABASE update-desktop-database)
      if(DVK_UPDATE_DESKTOP_DATABASE AND \"\$ENV{DESTDIR}\" STREQUAL \"\")
        execute_process(COMMAND \${DVK_UPDATE_DESKTOP_DATABASE} -q \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
      endif()")
  endif()
endfunction()
