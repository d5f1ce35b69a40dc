# Read by cpack before it makes a package: the changelog's newest entry must
# be the version packaged, or the package would describe another release.
if(NOT CPACK_QUILLCREST_CHANGELOG_VERSION STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "The newest entry of packaging/changelog is for ${CPACK_QUILLCREST_CHANGELOG_VERSION},"
                      " the program is ${CPACK_PACKAGE_VERSION} (resources/version.h):"
                      " add an entry for ${CPACK_PACKAGE_VERSION} at the changelog's top.")
endif()
