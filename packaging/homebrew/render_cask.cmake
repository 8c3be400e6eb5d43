# Renders the Homebrew cask of one release.
# Arguments: -DVERSION=1.2.3 -DSHA256=checksum of the disk image -DREPOSITORY=owner/name
#            -DADHOC=ON|OFF (the app is only signed ad hoc) -DOUTPUT=file
cmake_minimum_required(VERSION 3.25)
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "VERSION '${VERSION}' is not MAJOR.MINOR.PATCH")
endif()
string(LENGTH "${SHA256}" length)
if(NOT SHA256 MATCHES "^[0-9a-f]+$" OR NOT length EQUAL 64)
  message(FATAL_ERROR "SHA256 '${SHA256}' is not 64 lowercase hexadecimal digits")
endif()
if(NOT REPOSITORY MATCHES "^[A-Za-z0-9_.-]+/[A-Za-z0-9_.-]+$")
  message(FATAL_ERROR "REPOSITORY '${REPOSITORY}' is not owner/name")
endif()

set(ARTIFACT_SUFFIX "")
set(CAVEATS "")
if(ADHOC)
  # Must match the disk image's name, which says the same (CMakeLists.txt, CPack).
  set(ARTIFACT_SUFFIX -adhoc)
  string(CONCAT CAVEATS
    "\n"
    "  caveats <<~EOS\n"
    "    This release of Quorvane is signed ad hoc, not notarized: macOS blocks its first launch.\n"
    "    Allow it under System Settings > Privacy & Security > Open Anyway, or run\n"
    "      xattr -dr com.apple.quarantine #{appdir}/Quorvane.app\n"
    "  EOS\n")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvane.rb.in ${OUTPUT} @ONLY)
