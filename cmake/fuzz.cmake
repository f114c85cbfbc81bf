# Fuzz targets for every loader and what runs after it, built with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer (clang only: the fuzz preset). Each
# target also gets a short CTest run over its committed seed corpus.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "HIBARION_FUZZ needs clang and its libFuzzer (cmake --preset fuzz)")
endif()

# The program's own targets need g++'s code page conversion of their literals; this build
# makes only the fuzz targets.
function(hibarion_exclude_from_all directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    set_property(TARGET ${target} PROPERTY EXCLUDE_FROM_ALL TRUE)
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    hibarion_exclude_from_all(${subdirectory})
  endforeach()
endfunction()
hibarion_exclude_from_all(${CMAKE_SOURCE_DIR})

set(HIBARION_FUZZ_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz)
set(HIBARION_FUZZ_WARNINGS -Wall -Wextra -ffp-contract=off -fno-fast-math)
set(HIBARION_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)

# clang compiles string literals only as UTF-8, so the portable sources are compiled from
# copies that spell every code page 932 byte as an octal escape.
add_executable(escape_cp932 ${HIBARION_FUZZ_DIR}/escape_cp932.cpp)
set_property(TARGET escape_cp932 PROPERTY COMPILE_OPTIONS ${HIBARION_FUZZ_WARNINGS})

set(HIBARION_ESCAPED_SOURCES)
foreach(source IN LISTS HIBARION_CORE_SOURCES HIBARION_SETTINGS_SOURCES HIBARION_SHELL_SOURCES
                          HIBARION_TOKENIZER_SOURCES)
  file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${source})
  set(escaped ${CMAKE_BINARY_DIR}/cp932/${relative})
  get_filename_component(escapedDirectory ${escaped} DIRECTORY)
  add_custom_command(
    OUTPUT ${escaped}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${escapedDirectory}
    COMMAND escape_cp932 ${source} ${escaped}
    DEPENDS escape_cp932 ${source}
    VERBATIM)
  list(APPEND HIBARION_ESCAPED_SOURCES ${escaped})
endforeach()

# The sample loops of the conversions compare computed levels and counts, never input
# bytes, and tracing those comparisons took over half of every run; the loaders keep it.
set_source_files_properties(${CMAKE_BINARY_DIR}/cp932/core/sine.cpp
                            ${CMAKE_BINARY_DIR}/cp932/core/lanes.cpp
                            ${CMAKE_BINARY_DIR}/cp932/core/encoder.cpp
                            ${CMAKE_BINARY_DIR}/cp932/core/cell_times.cpp
                            ${CMAKE_BINARY_DIR}/cp932/core/cell_samples.cpp
                            ${CMAKE_BINARY_DIR}/cp932/core/decoder.cpp
                            PROPERTIES COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)

add_library(hibarion_fuzz_core STATIC ${HIBARION_ESCAPED_SOURCES})
target_include_directories(hibarion_fuzz_core PUBLIC ${CMAKE_SOURCE_DIR})
if(HIBARION_AVX2)
  set_source_files_properties(${CMAKE_BINARY_DIR}/cp932/core/lanes_avx2.cpp PROPERTIES
                              COMPILE_OPTIONS "-fno-sanitize-coverage=trace-cmp;${HIBARION_AVX2_OPTIONS}")
  target_compile_definitions(hibarion_fuzz_core PUBLIC HIBARION_AVX2)
endif()
set_property(TARGET hibarion_fuzz_core PROPERTY COMPILE_OPTIONS
             ${HIBARION_FUZZ_WARNINGS} ${HIBARION_SANITIZERS} -fsanitize=fuzzer-no-link)

enable_testing()

# fuzz_<name> from tests/fuzz/fuzz_<name>.cpp, with the libFuzzer options of its runs.
function(hibarion_fuzz_target name options)
  add_executable(${name} ${HIBARION_FUZZ_DIR}/${name}.cpp ${HIBARION_FUZZ_DIR}/fuzz_support.cpp
                         ${HIBARION_FUZZ_DIR}/quiet_platform.cpp)
  set_property(TARGET ${name} PROPERTY COMPILE_OPTIONS
               ${HIBARION_FUZZ_WARNINGS} ${HIBARION_SANITIZERS} -fsanitize=fuzzer-no-link)
  target_link_libraries(${name} PRIVATE hibarion_fuzz_core)
  target_link_options(${name} PRIVATE ${HIBARION_SANITIZERS} -fsanitize=fuzzer)
  add_test(NAME ${name}
           COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:${name}>
                   -DCORPUS=${HIBARION_FUZZ_DIR}/corpus/${name}
                   -DWORK=${CMAKE_BINARY_DIR}/fuzz-runs/${name}
                   "-DOPTIONS=${options} -max_total_time=${HIBARION_FUZZ_SECONDS}"
                   -P ${HIBARION_FUZZ_DIR}/run_fuzz.cmake)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

# The signal path of --robust, over libsndfile (itself not instrumented).
add_library(hibarion_fuzz_signal STATIC ${HIBARION_SIGNAL_SOURCES})
set_property(TARGET hibarion_fuzz_signal PROPERTY COMPILE_OPTIONS
             ${HIBARION_FUZZ_WARNINGS} ${HIBARION_SANITIZERS} -fsanitize=fuzzer-no-link)
target_link_libraries(hibarion_fuzz_signal PUBLIC hibarion_fuzz_core PkgConfig::SNDFILE)

set(HIBARION_FUZZ_SECONDS 20 CACHE STRING "Seconds of each fuzz target's CTest run")
hibarion_fuzz_target(fuzz_wave "-max_len=65536 -timeout=20")
hibarion_fuzz_target(fuzz_tape "-max_len=4100 -timeout=20")
hibarion_fuzz_target(fuzz_settings "-max_len=8192 -timeout=20")
hibarion_fuzz_target(fuzz_skin "-max_len=32768 -timeout=20")
hibarion_fuzz_target(fuzz_tokenize "-max_len=8192 -timeout=20")
hibarion_fuzz_target(fuzz_recording "-max_len=65536 -timeout=20")
target_link_libraries(fuzz_recording PRIVATE hibarion_fuzz_signal)
hibarion_fuzz_target(fuzz_robust_decoder "-max_len=65536 -timeout=20")
target_link_libraries(fuzz_robust_decoder PRIVATE hibarion_fuzz_signal)
hibarion_fuzz_target(fuzz_program_structure "-max_len=4100 -timeout=20")
target_link_libraries(fuzz_program_structure PRIVATE hibarion_fuzz_signal)
hibarion_fuzz_target(fuzz_take_merge "-max_len=4096 -timeout=20")
target_link_libraries(fuzz_take_merge PRIVATE hibarion_fuzz_signal)

# The web page's converter between UTF-8 and code page 932, against glibc's own.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(HIBARION_CP932_TABLE ${CMAKE_BINARY_DIR}/web/cp932_table.h)
add_custom_command(OUTPUT ${HIBARION_CP932_TABLE}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/web
                   COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/web/make_cp932_table.py
                           ${HIBARION_CP932_TABLE}
                   DEPENDS ${CMAKE_SOURCE_DIR}/web/make_cp932_table.py VERBATIM)
hibarion_fuzz_target(fuzz_cp932 "-max_len=4096 -timeout=20")
target_sources(fuzz_cp932 PRIVATE ${CMAKE_SOURCE_DIR}/web/cp932_converter.cpp ${HIBARION_CP932_TABLE})
target_include_directories(fuzz_cp932 PRIVATE ${CMAKE_BINARY_DIR}/web)
