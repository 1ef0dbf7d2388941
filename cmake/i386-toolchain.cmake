set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Some kernels (this project's CI machines among them) cannot execute 32-bit
# programs; run the tests under user-mode emulation there.
execute_process(COMMAND /usr/lib/i386-linux-gnu/ld-linux.so.2 --version
                RESULT_VARIABLE zelto_i386_native OUTPUT_QUIET ERROR_QUIET)
if(NOT zelto_i386_native EQUAL 0)
  find_program(ZELTO_QEMU_I386 qemu-i386 REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELTO_QEMU_I386})
endif()
