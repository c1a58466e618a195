# The show in a web page: the same sources as the native show above the
# platform layer, with the browser's stand-ins (platform/web/) in place of
# the Linux ones, compiled by emscripten to build/web/: velmora-trailer.js and
# .wasm, the page, and the data package. `make web` configures this with
# emcmake and -DTRAILER_NATIVE_BUILD (the native build, whose generators make
# the data, the baked glyphs and the package).
if(NOT TRAILER_NATIVE_BUILD)
  message(FATAL_ERROR "The web build needs -DTRAILER_NATIVE_BUILD=<the native build folder>: use make web")
endif()
if(NOT TRAILER_WEB_OUT)
  set(TRAILER_WEB_OUT ${CMAKE_BINARY_DIR}/web)
endif()

file(GLOB WEB_SHOW_SOURCES CONFIGURE_DEPENDS
  app/*.cpp show/*.cpp models/*.cpp render/*.cpp paths/*.cpp fx/*.cpp)
# The platform's portable parts: the audio library's logic, files, the CRT's
# rand, the counters, message-box bookkeeping, the glyph lists and file.
set(WEB_PORTABLE_PLATFORM
  platform/bass.cpp platform/audio_deck.cpp platform/position_estimate.cpp platform/audio_silent.cpp
  platform/crt_rand.cpp platform/win_files.cpp platform/perf_counter.cpp platform/msgbox.cpp
  platform/outline_font.cpp platform/glyph_file.cpp)
file(GLOB WEB_STAND_INS CONFIGURE_DEPENDS platform/web/*.cpp)

add_executable(velmora-trailer ${WEB_SHOW_SOURCES} ${WEB_PORTABLE_PLATFORM} ${WEB_STAND_INS})
set_target_properties(velmora-trailer PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${TRAILER_WEB_OUT})
target_include_directories(velmora-trailer PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(velmora-trailer PRIVATE TRAILER_VERSION="${PROJECT_VERSION}"
  TRAILER_DATA_FROM_BIN="../share/velmora-trailer")
target_compile_options(velmora-trailer PRIVATE -Wall -Wextra)
# Everything that draws goes through the fixed-function layer over WebGL 1.
set_source_files_properties(${WEB_SHOW_SOURCES} platform/outline_font.cpp PROPERTIES
  COMPILE_OPTIONS "-include;${CMAKE_SOURCE_DIR}/platform/web/gl_names.h")
target_link_options(velmora-trailer PRIVATE
  -sASYNCIFY -sASYNCIFY_IMPORTS=['velmora_wait_frame','emscripten_sleep'] -sASYNCIFY_STACK_SIZE=65536
  -sMODULARIZE -sEXPORT_NAME=VelmoraTrailer -sINVOKE_RUN=0 -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH -sINITIAL_MEMORY=67108864 -sFORCE_FILESYSTEM
  -sEXPORTED_RUNTIME_METHODS=['FS','ENV','callMain'] -sEXPORTED_FUNCTIONS=['_main','_malloc','_free']
  -sMIN_WEBGL_VERSION=1 -sMAX_WEBGL_VERSION=1
  --post-js ${CMAKE_SOURCE_DIR}/platform/web/page/module_post.js)
set_property(TARGET velmora-trailer APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/platform/web/page/module_post.js)

# The page and the data package beside the program.
set(WEB_PAGE_FILES index.html velmora-page.js)
foreach(page_file ${WEB_PAGE_FILES})
  configure_file(platform/web/page/${page_file} ${TRAILER_WEB_OUT}/${page_file} COPYONLY)
endforeach()
file(GLOB WEB_DATA_FILES ${TRAILER_NATIVE_BUILD}/Data/*.3ds ${TRAILER_NATIVE_BUILD}/Data/*.3DS
  ${TRAILER_NATIVE_BUILD}/Data/*.tga)
set(WEB_PACK_ARGS TrailerLOW.mp3=${TRAILER_NATIVE_BUILD}/TrailerLOW.mp3 glyphs.bin=${TRAILER_NATIVE_BUILD}/glyphs.bin)
foreach(data_file ${WEB_DATA_FILES})
  get_filename_component(name ${data_file} NAME)
  list(APPEND WEB_PACK_ARGS Data/${name}=${data_file})
endforeach()
add_custom_command(OUTPUT ${TRAILER_WEB_OUT}/data.bin ${TRAILER_WEB_OUT}/data.json
  COMMAND ${TRAILER_NATIVE_BUILD}/tools/generators/pagepack/pagepack ${TRAILER_WEB_OUT} ${WEB_PACK_ARGS}
  DEPENDS ${TRAILER_NATIVE_BUILD}/TrailerLOW.mp3 ${TRAILER_NATIVE_BUILD}/glyphs.bin ${WEB_DATA_FILES}
  COMMENT "Packing the page's data"
  VERBATIM)
add_custom_target(web_data ALL DEPENDS ${TRAILER_WEB_OUT}/data.bin)
