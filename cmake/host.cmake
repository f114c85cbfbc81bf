# The command-line front end: the conversions of one drop, with the terminal in place of
# the window.
file(GLOB HIBARION_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/host_*.cpp)
if(HIBARION_HOST_SOURCES)
  add_executable(hibarion ${HIBARION_HOST_SOURCES})
  target_link_libraries(hibarion PRIVATE hibarion_core)
endif()

# The tape signal at any sample rate, shared by the tests, the benchmark and the tools.
add_library(hibarion_synthesis STATIC ${CMAKE_SOURCE_DIR}/tools/signal_synthesis.cpp)
target_include_directories(hibarion_synthesis PUBLIC ${CMAKE_SOURCE_DIR})

# Turns a readable BASIC program into a tape image; makes the bundled example.
add_executable(make_tape_image ${CMAKE_SOURCE_DIR}/tools/make_tape_image.cpp)
target_link_libraries(make_tape_image PRIVATE hibarion_core)
