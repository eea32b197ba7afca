# Installing: the three libraries, their public headers, a CMake package
# (find_package(DataManager 1)) and a pkg-config file (datamanager.pc);
# dmctl's own rule is in tools/dmctl/CMakeLists.txt.  Never installed: the
# development store KeelAPIDev, the tests and the benchmarks.
#
#   cmake --install build/default [--prefix <folder>]   (DESTDIR works too)
#
# POSIX, under the prefix:
#   bin/dmctl                                   RUNPATH $ORIGIN/../lib
#   lib/libDataManager.so.1.0.0, libKSLog.so.1.0.0  with their .so.1 and .so links
#   lib/libKeelAPI.so.2.0.0                     the production store, under its
#                                               own version, with .so.2 and .so links
#   <DM_COMMON_PROGRAM_FILES>/Halvorn/libKeelAPI.so
#                                               a link to the store's SONAME file,
#                                               where DataManager looks for it first
#   include/DataManager.h KSLog.h KSLogSink.h KSTypes.h KeelAPI.h KeelAPIAdmin.h
#           KeelAPITest.h (the types the admin header uses; its functions
#           stay in the development store)
#   include/keelapi/sys/KeelBackend.h           for store backend implementors
#   lib/cmake/DataManager/  lib/pkgconfig/datamanager.pc
# Windows: the DLLs and dmctl.exe in bin/, import libraries in lib/.
#
# DataManager loads the store by its unversioned name, libKeelAPI.so, and
# dmctl reaches the copy DataManager loaded (it never links the store), so
# the versioned files change nothing for either.
include(CMakePackageConfigHelpers)

set(DM_INSTALL_BINDIR bin)
set(DM_INSTALL_LIBDIR lib)
set(DM_INSTALL_INCLUDEDIR include)
set(DM_INSTALL_CMAKEDIR ${DM_INSTALL_LIBDIR}/cmake/DataManager)

set_target_properties(ks_types PROPERTIES EXPORT_NAME KSTypes)
install(TARGETS DataManager KSLog KeelAPI ks_types
  EXPORT DataManagerTargets
  RUNTIME DESTINATION ${DM_INSTALL_BINDIR}
  LIBRARY DESTINATION ${DM_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${DM_INSTALL_LIBDIR})

install(FILES
  ${PROJECT_SOURCE_DIR}/BioLayer/DataManager/include/DataManager.h
  ${PROJECT_SOURCE_DIR}/BioLayer/KSLog/include/KSLog.h
  ${PROJECT_SOURCE_DIR}/BioLayer/KSLog/include/KSLogSink.h
  ${PROJECT_SOURCE_DIR}/BioLayer/common/include/KSTypes.h
  ${PROJECT_SOURCE_DIR}/BioLayer/KeelAPI/include/KeelAPI.h
  ${PROJECT_SOURCE_DIR}/BioLayer/KeelAPI/include/KeelAPIAdmin.h
  ${PROJECT_SOURCE_DIR}/BioLayer/KeelAPI/include/KeelAPITest.h
  DESTINATION ${DM_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/BioLayer/KeelAPI/include/sys/KeelBackend.h
  DESTINATION ${DM_INSTALL_INCLUDEDIR}/keelapi/sys)

# The store folder DataManager looks in first: a link there to the store.
# Inside the prefix (the default, <prefix>/lib), the link is relative and
# moves with --prefix and DESTDIR; outside it, the folder is absolute.
if(NOT WIN32)
  cmake_path(IS_PREFIX CMAKE_INSTALL_PREFIX "${DM_COMMON_PROGRAM_FILES}" NORMALIZE dm_store_inside)
  if(dm_store_inside)
    cmake_path(RELATIVE_PATH DM_COMMON_PROGRAM_FILES BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
               OUTPUT_VARIABLE dm_store_dir)
    cmake_path(APPEND dm_store_dir Halvorn)
    file(RELATIVE_PATH dm_store_link "/p/${dm_store_dir}" "/p/${DM_INSTALL_LIBDIR}/$<TARGET_SONAME_FILE_NAME:KeelAPI>")
    set(dm_store_dir "\${CMAKE_INSTALL_PREFIX}/${dm_store_dir}")
  else()
    set(dm_store_dir "${DM_COMMON_PROGRAM_FILES}/Halvorn")
    set(dm_store_link "\${CMAKE_INSTALL_PREFIX}/${DM_INSTALL_LIBDIR}/$<TARGET_SONAME_FILE_NAME:KeelAPI>")
  endif()
  install(CODE "
    set(dm_dir \"\$ENV{DESTDIR}${dm_store_dir}\")
    file(MAKE_DIRECTORY \"\${dm_dir}\")
    message(STATUS \"Installing: \${dm_dir}/libKeelAPI.so -> ${dm_store_link}\")
    file(CREATE_LINK \"${dm_store_link}\" \"\${dm_dir}/libKeelAPI.so\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${dm_dir}/libKeelAPI.so\")
  ")
endif()

# find_package(DataManager 1) and DataManager::DataManager (also
# DataManager::KSLog, DataManager::KeelAPI).
install(EXPORT DataManagerTargets
  NAMESPACE DataManager::
  FILE DataManagerTargets.cmake
  DESTINATION ${DM_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/templates/DataManagerConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/DataManagerConfig.cmake
  INSTALL_DESTINATION ${DM_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/DataManagerConfigVersion.cmake
  VERSION ${DataManager_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_BINARY_DIR}/package/DataManagerConfig.cmake
  ${CMAKE_BINARY_DIR}/package/DataManagerConfigVersion.cmake
  DESTINATION ${DM_INSTALL_CMAKEDIR})

# pkg-config: relocatable, its prefix found from the file's own folder.
configure_file(${CMAKE_CURRENT_LIST_DIR}/templates/datamanager.pc.in
  ${CMAKE_BINARY_DIR}/package/datamanager.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/datamanager.pc
  DESTINATION ${DM_INSTALL_LIBDIR}/pkgconfig)

# The Debian package (make package): everything above, under the prefix
# the build was configured for, which is also where its DataManager looks
# for the store folder.
if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME datamanager)
  set(CPACK_PACKAGE_VERSION ${DataManager_VERSION})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "Data-access library of a fingerprint sign-in suite, its log library, credential store and dmctl")
  set(CPACK_PACKAGE_CONTACT "DataManager maintainers <maintainers@example.invalid>")
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libssl3, libcurl4, libsqlite3-0")
  include(CPack)
endif()
