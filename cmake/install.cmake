# Install rules: programs, library, header, manual pages, a CMake package
# (find_package(samplestream) gives samplestream::samplestream) and a
# pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS hsum rtab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS samplestream EXPORT samplestreamTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES samplestream/samplestream.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES man/hsum.1 man/rtab.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES man/samplestream.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)
install(FILES man/samplestream.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

set(packagedir ${CMAKE_INSTALL_LIBDIR}/cmake/samplestream)
install(EXPORT samplestreamTargets NAMESPACE samplestream:: DESTINATION ${packagedir})
configure_package_config_file(cmake/samplestreamConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/samplestreamConfig.cmake INSTALL_DESTINATION ${packagedir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/samplestreamConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/samplestreamConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/samplestreamConfigVersion.cmake
        DESTINATION ${packagedir})

configure_file(cmake/samplestream.pc.in ${CMAKE_CURRENT_BINARY_DIR}/samplestream.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/samplestream.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
