# Reads a BASIC program as text, a listing or plain, back into a tape image: for the
# command-line program's --tokenize and for make_tape_image; the Windows program never
# links it.
file(GLOB HIBARION_TOKENIZER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tokenizer/*.cpp)
add_library(hibarion_tokenizer STATIC ${HIBARION_TOKENIZER_SOURCES})
target_link_libraries(hibarion_tokenizer PUBLIC hibarion_core)

# The command-line program (cli/): the conversions of one drop, with the terminal in
# place of the window, and --robust, whose signal path (signal/) streams recordings in
# any format libsndfile reads through the robust decoder: a library of its own, so that
# the tests and the robustness table use the very code the program runs. The Windows
# program never links it.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
file(GLOB HIBARION_SIGNAL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/signal/*.cpp)
add_library(hibarion_signal STATIC ${HIBARION_SIGNAL_SOURCES})
target_link_libraries(hibarion_signal PUBLIC hibarion_core PkgConfig::SNDFILE)

# Its options, settings place and progress line apart from main and the platform seam,
# so that the unit tests reach them.
add_library(hibarion_cli STATIC ${CMAKE_SOURCE_DIR}/cli/options.cpp
                                ${CMAKE_SOURCE_DIR}/cli/messages.cpp
                                ${CMAKE_SOURCE_DIR}/cli/tokenize.cpp
                                ${CMAKE_SOURCE_DIR}/cli/image_file.cpp
                                ${CMAKE_SOURCE_DIR}/cli/progress.cpp
                                ${CMAKE_SOURCE_DIR}/cli/settings_place.cpp
                                ${CMAKE_SOURCE_DIR}/cli/run_outputs.cpp)
target_link_libraries(hibarion_cli PUBLIC hibarion_tokenizer hibarion_settings hibarion_core)
add_executable(hibarion ${CMAKE_SOURCE_DIR}/cli/main.cpp ${CMAKE_SOURCE_DIR}/cli/platform.cpp
                        ${CMAKE_SOURCE_DIR}/cli/robust.cpp ${CMAKE_SOURCE_DIR}/cli/robust_messages.cpp
                        ${CMAKE_SOURCE_DIR}/cli/recording_probe.cpp)
target_link_libraries(hibarion PRIVATE hibarion_cli hibarion_signal hibarion_core)
target_compile_definitions(hibarion PRIVATE HIBARION_VERSION="${PROJECT_VERSION}")

# The tape signal at any sample rate and what an old tape does to it, shared by the
# tests, the benchmark and the tools.
add_library(hibarion_synthesis STATIC ${CMAKE_SOURCE_DIR}/tools/signal_synthesis.cpp
                                      ${CMAKE_SOURCE_DIR}/tools/impairments.cpp
                                      ${CMAKE_SOURCE_DIR}/tools/files.cpp)
target_include_directories(hibarion_synthesis PUBLIC ${CMAKE_SOURCE_DIR})

# Turns a readable BASIC program into a tape image; makes the bundled example.
add_executable(make_tape_image ${CMAKE_SOURCE_DIR}/tools/make_tape_image.cpp)
target_link_libraries(make_tape_image PRIVATE hibarion_tokenizer hibarion_core)

# Rewrites docs/robustness.md: how recordings decode after noise, offset, gain, speed,
# low-pass, hum, dropouts and inversion: as they are, with --robust and by minimodem.
add_executable(hibarion_robustness ${CMAKE_SOURCE_DIR}/tools/robustness.cpp)
target_link_libraries(hibarion_robustness PRIVATE hibarion_signal hibarion_synthesis hibarion_settings
                      hibarion_core)

# Rewrites docs/program_structure.md: what the check of a BASIC program's structure
# adds to --robust on recordings of programs that decode with errors.
add_executable(hibarion_structure_table ${CMAKE_SOURCE_DIR}/tools/structure_table.cpp)
target_link_libraries(hibarion_structure_table PRIVATE hibarion_signal hibarion_tokenizer hibarion_synthesis
                      hibarion_core)

# Who answers for the Debian package: its Maintainer and the changelog's signature.
set(HIBARION_MAINTAINER "Hibarion developers <maintainers@users.noreply.c-seed-66a116ac.example>"
    CACHE STRING "Name and address of the Debian package's maintainer")

# The manual page and the changelog as Debian keeps them: compressed, with no name or
# time in the gzip header, so that every build packs the same bytes.
find_program(HIBARION_GZIP gzip REQUIRED)
set(HIBARION_PACKAGING_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${HIBARION_PACKAGING_DIR}/changelog @ONLY)
add_custom_command(
  OUTPUT ${HIBARION_PACKAGING_DIR}/hibarion.1.gz ${HIBARION_PACKAGING_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/cli/hibarion.1 ${HIBARION_PACKAGING_DIR}
  COMMAND ${HIBARION_GZIP} -9nf ${HIBARION_PACKAGING_DIR}/hibarion.1
  COMMAND ${HIBARION_GZIP} -9nkf ${HIBARION_PACKAGING_DIR}/changelog
  DEPENDS ${CMAKE_SOURCE_DIR}/cli/hibarion.1 ${HIBARION_PACKAGING_DIR}/changelog
  VERBATIM)
add_custom_target(hibarion_compressed_docs ALL
                  DEPENDS ${HIBARION_PACKAGING_DIR}/hibarion.1.gz ${HIBARION_PACKAGING_DIR}/changelog.gz)

# The message catalogues, compiled beside the program as they are installed, where the
# program looks first: locale/LANGUAGE/LC_MESSAGES/hibarion.mo.
include(GNUInstallDirs)
find_program(HIBARION_MSGFMT msgfmt REQUIRED)
file(GLOB HIBARION_TRANSLATIONS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/po/*.po)
set(HIBARION_CATALOGUES)
foreach(translation IN LISTS HIBARION_TRANSLATIONS)
  get_filename_component(language ${translation} NAME_WE)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/locale/${language}/LC_MESSAGES)
  add_custom_command(
    OUTPUT ${folder}/hibarion.mo
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${HIBARION_MSGFMT} --check -o ${folder}/hibarion.mo ${translation}
    DEPENDS ${translation}
    VERBATIM)
  list(APPEND HIBARION_CATALOGUES ${folder}/hibarion.mo)
  install(FILES ${folder}/hibarion.mo DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES)
endforeach()
add_custom_target(hibarion_catalogues ALL DEPENDS ${HIBARION_CATALOGUES})

# `cmake --install`: the program, its manual page, its message catalogues, and the
# README with the documents it links to and the bundled example, where a Debian system
# keeps them.
install(TARGETS hibarion RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${HIBARION_PACKAGING_DIR}/hibarion.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(HIBARION_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/hibarion)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/copyright
              ${HIBARION_PACKAGING_DIR}/changelog.gz
        DESTINATION ${HIBARION_DOC_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs ${CMAKE_SOURCE_DIR}/examples DESTINATION ${HIBARION_DOC_DIR})

# `cmake --build build/host --target package`: the same files as a Debian package for
# /usr, declaring the shared libraries the program loads.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hibarion)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converts cassette recordings and tape images of an 8-bit home computer")
set(CPACK_PACKAGE_DESCRIPTION
    "Hibarion reads recordings of the cassette signal of an 8-bit home computer
into tape images (.p6), writes tape images back as recordings, and lists
the BASIC programs they hold. Its --robust decoder reads worn, noisy or
resampled tapes in any format libsndfile reads, and --tokenize turns a
BASIC text back into a tape image.")
set(CPACK_PACKAGE_CONTACT "${HIBARION_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, libsndfile1")
set(CPACK_STRIP_FILES ON)
include(CPack)
