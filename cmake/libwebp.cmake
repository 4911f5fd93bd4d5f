# libwebp for the Windows program: built from Debian's source package (Debian's patches,
# its security fixes among them, applied) and linked statically, so vexal.exe decodes WebP
# itself and still needs no DLL of its own. Windows has no WebP codec without a store
# extension, and Wine has none at all.
#
# The source is unpacked once into build/sources (shared by every Windows preset and kept
# when a build folder is removed); scripts/setup fetches it, and a configure that finds it
# missing fetches it too.
set(VEXAL_LIBWEBP_VERSION 1.2.4)
set(VEXAL_SOURCES_DIR ${PROJECT_SOURCE_DIR}/build/sources CACHE PATH
    "Folder of the Debian source packages the Windows build compiles in (fetched when missing)")
set(VEXAL_LIBWEBP_DIR ${VEXAL_SOURCES_DIR}/libwebp-${VEXAL_LIBWEBP_VERSION})

if(NOT EXISTS ${VEXAL_LIBWEBP_DIR}/.unpacked)
    message(STATUS "Fetching Debian's source package of libwebp ${VEXAL_LIBWEBP_VERSION}")
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/debian-source libwebp ${VEXAL_LIBWEBP_VERSION}
                            ${VEXAL_SOURCES_DIR}
                    RESULT_VARIABLE fetched)
    if(NOT fetched EQUAL 0 OR NOT EXISTS ${VEXAL_LIBWEBP_DIR}/.unpacked)
        message(FATAL_ERROR "The libwebp ${VEXAL_LIBWEBP_VERSION} source could not be fetched into "
                            "${VEXAL_LIBWEBP_DIR} (see the lines above). The Windows build links it "
                            "statically; it comes from Debian's source package libwebp, read from the "
                            "mirrors of /etc/apt/sources.list.d/debian.sources. Run scripts/setup with "
                            "network access to the mirror, or unpack that source package there.")
    endif()
endif()

enable_language(C)
# The decoder, the demultiplexer for animations, and what they share; encoder files among
# them cost nothing in the program, which takes only what it calls from the archive.
file(GLOB VEXAL_LIBWEBP_SOURCES ${VEXAL_LIBWEBP_DIR}/src/dec/*.c ${VEXAL_LIBWEBP_DIR}/src/demux/*.c
     ${VEXAL_LIBWEBP_DIR}/src/dsp/*.c ${VEXAL_LIBWEBP_DIR}/src/utils/*.c)
add_library(vexal_libwebp STATIC ${VEXAL_LIBWEBP_SOURCES})
target_include_directories(vexal_libwebp PRIVATE ${VEXAL_LIBWEBP_DIR})
target_include_directories(vexal_libwebp SYSTEM PUBLIC ${VEXAL_LIBWEBP_DIR}/src)
# Threads for the lossy loop filter (Win32 threads in libwebp's own wrapper).
target_compile_definitions(vexal_libwebp PRIVATE WEBP_USE_THREAD)
# Not our code to hold to our warnings.
target_compile_options(vexal_libwebp PRIVATE -w)
