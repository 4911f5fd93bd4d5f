# Cross build for 64-bit Windows with the mingw-w64 "posix" thread model (std::thread and
# friends need it). Everything links statically so vexal.exe needs no DLL that Windows
# does not ship itself; tests run through Wine as the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXAL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXAL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXAL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXAL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXAL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Unicode Win32 API everywhere (the W functions).
add_compile_definitions(UNICODE _UNICODE)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest and gtest_discover_tests start the test programs through Wine.
find_program(VEXAL_WINE NAMES wine wine64)
if(VEXAL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXAL_WINE})
endif()
