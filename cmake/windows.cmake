# The Windows program: Hibarion.exe for 32-bit Windows, with its skin picture beside it,
# and the end-to-end tests that run it under Wine.
find_program(HIBARION_PYTHON python3 REQUIRED)
find_program(HIBARION_ICONV iconv REQUIRED)

# The resource script is kept in UTF-8; windres reads it as code page 932. It is run here
# rather than as CMake's RC language so that the compiler options of the project never
# reach it.
set(HIBARION_RESOURCE_DIR ${CMAKE_CURRENT_BINARY_DIR}/resources)
set(HIBARION_ICON ${HIBARION_RESOURCE_DIR}/hibarion.ico)
set(HIBARION_RC_932 ${HIBARION_RESOURCE_DIR}/hibarion.rc)
set(HIBARION_RESOURCE_OBJECT ${HIBARION_RESOURCE_DIR}/hibarion_res.o)
file(GLOB HIBARION_ICON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/icon*.txt)
add_custom_command(
  OUTPUT ${HIBARION_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HIBARION_RESOURCE_DIR}
  COMMAND ${HIBARION_PYTHON} ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${HIBARION_ICON}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py ${HIBARION_ICON_SOURCES}
  COMMENT "Drawing the icon"
  VERBATIM)
add_custom_command(
  OUTPUT ${HIBARION_RC_932}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HIBARION_RESOURCE_DIR}
  COMMAND ${HIBARION_ICONV} -f UTF-8 -t CP932 -o ${HIBARION_RC_932}
          ${CMAKE_SOURCE_DIR}/resources/hibarion.rc
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/hibarion.rc
  VERBATIM)
add_custom_command(
  OUTPUT ${HIBARION_RESOURCE_OBJECT}
  COMMAND ${CMAKE_RC_COMPILER} -c 932 -I ${CMAKE_SOURCE_DIR}/resources
          -I ${HIBARION_RESOURCE_DIR} -O coff -i ${HIBARION_RC_932}
          -o ${HIBARION_RESOURCE_OBJECT}
  DEPENDS ${HIBARION_RC_932} ${HIBARION_ICON} ${CMAKE_SOURCE_DIR}/resources/resource.h
  WORKING_DIRECTORY ${HIBARION_RESOURCE_DIR}
  COMMENT "Compiling the resources"
  VERBATIM)
set_source_files_properties(${HIBARION_RESOURCE_OBJECT} PROPERTIES
                            EXTERNAL_OBJECT TRUE GENERATED TRUE)

# A GUI program (-mwindows) that carries the compiler's runtime inside, so that it runs
# alone on a stock Windows.
add_executable(Hibarion WIN32
               shell/win_main.cpp
               shell/win_platform.cpp
               shell/main_window.cpp
               shell/drop_files.cpp
               shell/settings_dialog.cpp
               ${HIBARION_RESOURCE_OBJECT})
target_link_libraries(Hibarion PRIVATE hibarion_settings hibarion_shell hibarion_core user32 gdi32 shell32)
target_link_options(Hibarion PRIVATE -static -static-libgcc -static-libstdc++ -s)

# The window's face, beside the program where it looks for it.
set(HIBARION_SKIN ${CMAKE_CURRENT_BINARY_DIR}/Hibarion.bmp)
add_custom_command(
  OUTPUT ${HIBARION_SKIN}
  COMMAND ${HIBARION_PYTHON} ${CMAKE_SOURCE_DIR}/tools/make_skin.py ${HIBARION_SKIN}
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_skin.py
  COMMENT "Drawing the skin"
  VERBATIM)
add_custom_target(hibarion_skin_picture ALL DEPENDS ${HIBARION_SKIN})

# The distributable folder Hibarion/ and Hibarion.zip: `--target package`.
set(HIBARION_DIST_DIR ${CMAKE_CURRENT_BINARY_DIR}/Hibarion)
set(HIBARION_ZIP ${CMAKE_CURRENT_BINARY_DIR}/Hibarion.zip)
add_custom_target(package
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${HIBARION_DIST_DIR} ${HIBARION_ZIP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${HIBARION_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Hibarion> ${HIBARION_SKIN} ${HIBARION_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${HIBARION_ZIP} --format=zip Hibarion
  DEPENDS Hibarion hibarion_skin_picture
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
  COMMENT "Packing Hibarion.zip"
  VERBATIM)

if(HIBARION_TESTS)
  enable_testing()
  add_subdirectory(tests/e2e)
endif()
