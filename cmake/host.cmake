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

add_executable(hibarion ${CMAKE_SOURCE_DIR}/cli/main.cpp
                        ${CMAKE_SOURCE_DIR}/cli/options.cpp
                        ${CMAKE_SOURCE_DIR}/cli/platform.cpp
                        ${CMAKE_SOURCE_DIR}/cli/robust.cpp
                        ${CMAKE_SOURCE_DIR}/cli/settings_place.cpp)
target_link_libraries(hibarion PRIVATE hibarion_signal hibarion_core)
target_compile_definitions(hibarion PRIVATE HIBARION_VERSION="${PROJECT_VERSION}")

# The tape signal at any sample rate and what an old tape does to it, shared by the
# tests, the benchmark and the tools.
add_library(hibarion_synthesis STATIC ${CMAKE_SOURCE_DIR}/tools/signal_synthesis.cpp
                                      ${CMAKE_SOURCE_DIR}/tools/impairments.cpp)
target_include_directories(hibarion_synthesis PUBLIC ${CMAKE_SOURCE_DIR})

# Turns a readable BASIC program into a tape image; makes the bundled example.
add_executable(make_tape_image ${CMAKE_SOURCE_DIR}/tools/make_tape_image.cpp)
target_link_libraries(make_tape_image PRIVATE hibarion_core)

# Rewrites docs/robustness.md: how recordings decode after noise, offset, gain, speed,
# low-pass, hum, dropouts and inversion: as they are, with --robust and by minimodem.
add_executable(hibarion_robustness ${CMAKE_SOURCE_DIR}/tools/robustness.cpp)
target_link_libraries(hibarion_robustness PRIVATE hibarion_signal hibarion_synthesis hibarion_core)
