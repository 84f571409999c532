# What the maintainer's set-up and night need besides the programs: the
# systemd user units, the example files, the manual pages of the suite as a
# whole (Parlux.conf(5), parlux(7)) and Gridhub's AppStream metainfo.
# Included by packaging/CMakeLists.txt after the programs' own files.

# The units name the programs by the prefix they are installed under, known
# only when they are installed (/usr for the package): the service is
# written into its place then. The timer is as it stands.
install(CODE "
  set(PARLUX_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(units \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user\")
  message(STATUS \"Installing: \${units}/parlux-nightly.service\")
  configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/systemd/parlux-nightly.service\" \"\${units}/parlux-nightly.service\" @ONLY)
")
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/systemd/parlux-nightly.timer DESTINATION lib/systemd/user)

# Parlux.conf as a new data folder gets it, and its manual page with the
# keys' paragraphs, written from the list of its keys.
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/Parlux.conf ${CMAKE_CURRENT_BINARY_DIR}/man/Parlux.conf.5
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
  COMMAND parlux-conf-files ${CMAKE_CURRENT_BINARY_DIR}/Parlux.conf ${CMAKE_CURRENT_SOURCE_DIR}/man/Parlux.conf.5.in
    ${CMAKE_CURRENT_BINARY_DIR}/man/Parlux.conf.5
  DEPENDS parlux-conf-files ${CMAKE_CURRENT_SOURCE_DIR}/man/Parlux.conf.5.in VERBATIM)

# A set-up from an empty home: copied into the data folder as they are.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/examples/Pingers.lst ${CMAKE_CURRENT_SOURCE_DIR}/examples/PingersBad.lst
  ${CMAKE_CURRENT_BINARY_DIR}/Parlux.conf
  DESTINATION ${PARLUX_DOC_DIR}/examples)
# A site's skeleton to publish as it is: its root pages, the images of the
# pages' frame and the index of the pages a night writes.
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/examples/site DESTINATION ${PARLUX_DOC_DIR}/examples)

set(night_pages)
foreach(page IN ITEMS Parlux.conf.5 parlux.7)
  string(REGEX MATCH "[0-9]$" section ${page})
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/man/${page})
  if(EXISTS ${source}.in)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/man/${page})
  endif()
  parlux_gzip(${source} ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
  list(APPEND night_pages ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(parlux_night_pages ALL DEPENDS ${night_pages})

set(PARLUX_APPSTREAM_ID "org.example.parlux.gridhub" CACHE STRING "The AppStream id of Gridhub's metainfo")
set(PARLUX_LICENSE MIT)
string(REGEX REPLACE " *<.*$" "" PARLUX_DEVELOPER "${PARLUX_MAINTAINER}")
configure_file(parlux-gridhub.metainfo.xml.in ${CMAKE_CURRENT_BINARY_DIR}/${PARLUX_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${PARLUX_APPSTREAM_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

if(PARLUX_TESTS)
  # The night's files in the install tree: units (systemd-analyze verify when
  # there is one), examples, the suite's own manual pages, the metainfo.
  add_test(NAME NightFiles COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/night_files.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(NightFiles PROPERTIES TIMEOUT 300)
endif()
