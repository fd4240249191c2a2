# Compiler settings shared by every target of the project.
add_library(quarvello_options INTERFACE)
target_compile_features(quarvello_options INTERFACE cxx_std_20)

if(MSVC)
    target_compile_options(quarvello_options INTERFACE /W4 /WX /permissive- /utf-8)
    target_compile_definitions(quarvello_options INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
else()
    target_compile_options(quarvello_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
endif()

if(WIN32)
    target_compile_definitions(quarvello_options INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
    if(MINGW)
        # One self-contained exe: no libgcc, libstdc++ or winpthread DLL beside it.
        target_link_options(quarvello_options INTERFACE -static -static-libgcc -static-libstdc++)
    endif()
endif()

if(QUARVELLO_SANITIZE STREQUAL "address")
    set(QUARVELLO_SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
elseif(QUARVELLO_SANITIZE STREQUAL "thread")
    set(QUARVELLO_SAN_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT QUARVELLO_SANITIZE STREQUAL "")
    message(FATAL_ERROR "QUARVELLO_SANITIZE must be empty, address or thread")
endif()
if(QUARVELLO_SAN_FLAGS)
    target_compile_options(quarvello_options INTERFACE ${QUARVELLO_SAN_FLAGS})
    target_link_options(quarvello_options INTERFACE ${QUARVELLO_SAN_FLAGS})
    target_compile_definitions(quarvello_options INTERFACE QUARVELLO_SANITIZED=1)
endif()

# A release build that any clone, in any folder and at any time, turns into the same bytes:
# no build path in the code (file names in asserts and debug data), no time stamp in the PE
# header, no symbol table (it names the object files).
option(QUARVELLO_REPRODUCIBLE "Build an exe whose bytes depend only on the sources" OFF)
if(QUARVELLO_REPRODUCIBLE)
    target_compile_options(quarvello_options INTERFACE
        "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=" "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
    target_link_options(quarvello_options INTERFACE -s)
    if(MINGW)
        target_link_options(quarvello_options INTERFACE -Wl,--no-insert-timestamp)
    endif()
endif()
