# `cmake --install <build> --prefix P` lays out an installation the library finds its way in: P/lib holds
# the library, the log relay and the board libraries it loads from <installation folder>/lib; P/bin the
# programs; P/include the headers; P/lib/cmake and P/lib/pkgconfig let other projects find it.
# Components: Runtime (library, relay, noxcam), Development (headers, CMake package, pkg-config file) and
# Simulator (the virtual frame grabber's board libraries, its headers and vexosim), which an
# installation for real boards leaves out.
include(CMakePackageConfigHelpers)

install(TARGETS nox_genicam EXPORT NoxGenICamTargets
        LIBRARY DESTINATION lib COMPONENT Runtime NAMELINK_COMPONENT Development)
install(TARGETS shared-log-relay LIBRARY DESTINATION lib COMPONENT Runtime)
install(FILES include/nox_genicam.h include/nox_genicam_ext.h DESTINATION include COMPONENT Development)
install(EXPORT NoxGenICamTargets NAMESPACE NoxGenICam:: DESTINATION lib/cmake/NoxGenICam COMPONENT Development)

configure_package_config_file(cmake/NoxGenICamConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/NoxGenICamConfig.cmake
                              INSTALL_DESTINATION lib/cmake/NoxGenICam)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/NoxGenICamConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/NoxGenICamConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/NoxGenICamConfigVersion.cmake
        DESTINATION lib/cmake/NoxGenICam COMPONENT Development)

configure_file(cmake/nox_genicam.pc.in ${CMAKE_CURRENT_BINARY_DIR}/nox_genicam.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/nox_genicam.pc DESTINATION lib/pkgconfig COMPONENT Development)

if(TARGET grablib5)
  install(TARGETS vexo_hal grablib5 EXPORT NoxGenICamSimulatorTargets LIBRARY DESTINATION lib COMPONENT Simulator)
  install(TARGETS opmod LIBRARY DESTINATION lib COMPONENT Simulator)
  install(FILES include/grablib5.h sim/include/vexosim.h DESTINATION include COMPONENT Simulator)
  install(EXPORT NoxGenICamSimulatorTargets NAMESPACE NoxGenICam:: DESTINATION lib/cmake/NoxGenICam
          COMPONENT Simulator)
endif()
