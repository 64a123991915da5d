# What a Debian package of Cutora holds beyond the programs and the shared
# library (whose rules live with their targets), and how cpack makes it:
# `cpack` in a release build folder writes cutora_<version>_amd64.deb.

# The desktop entry and the icons are installed by app/; here the AppStream
# metainfo, the manual pages and the model installer.
install(FILES ${CUTORA_RESOURCES_DIR}/app/app.cutora.cutora.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(_page cutora cutora-service cutora-install-model)
  set(_compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${_page}.1.gz)
  # -n keeps the name and time out, so that every build gives the same bytes.
  add_custom_command(OUTPUT ${_compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CUTORA_RESOURCES_DIR}/man/${_page}.1 > ${_compressed}
    DEPENDS ${CUTORA_RESOURCES_DIR}/man/${_page}.1
    VERBATIM)
  list(APPEND _pages ${_compressed})
endforeach()
add_custom_target(cutora_man_pages ALL DEPENDS ${_pages})
install(FILES ${_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The learned model stays a step after the installation: it is fetched per
# user, with the user's own registry access.
install(PROGRAMS ${CMAKE_CURRENT_SOURCE_DIR}/scripts/install-model.sh
        DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME cutora-install-model)
install(PROGRAMS ${CMAKE_CURRENT_SOURCE_DIR}/scripts/model-tool.py DESTINATION ${CMAKE_INSTALL_DATADIR}/cutora)

# A team's machines run the service under systemd (see the README); the
# unit stays disabled until a machine is given its environment file.
install(FILES ${CUTORA_RESOURCES_DIR}/service/cutora-service.service DESTINATION lib/systemd/system)
install(FILES ${CUTORA_RESOURCES_DIR}/service/service.env.example DESTINATION ${CMAKE_INSTALL_DATADIR}/cutora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cutora)
set(CPACK_PACKAGE_VENDOR Cutora)
set(CPACK_PACKAGE_CONTACT "Cutora support <support@cutora.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remove the background from a photograph")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Cutora cuts the subject out of a photograph of a person or an object, puts it on a colour or\n"
       "into a regular, ID-photo or online-shop size, and saves it as JPEG or PNG. The cut-out service\n"
       "runs on this computer. cutora-install-model installs the optional learned model for a user.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.cutora.app/)
# Libraries from the programs' own links; Qt's plugins are loaded at run time,
# so they are named: TIFF holds the job's intermediate pictures.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, python3-onnx, npm, xdg-utils")
include(CPack)
