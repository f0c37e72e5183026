# The compile options (language level, warnings, sanitizers) every target of
# the project takes by linking `orvane_compile_options`.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

option(ORVANE_ASAN_UBSAN "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ORVANE_TSAN "Build with ThreadSanitizer" OFF)
option(ORVANE_FUZZ "Build the libFuzzer targets (clang), with AddressSanitizer" OFF)
option(ORVANE_WERROR "Treat the project's warnings as errors" OFF)
if(ORVANE_ASAN_UBSAN AND ORVANE_TSAN)
  message(FATAL_ERROR "ORVANE_ASAN_UBSAN and ORVANE_TSAN cannot be combined")
endif()
if((ORVANE_ASAN_UBSAN OR ORVANE_TSAN) AND MSVC)
  message(FATAL_ERROR "The sanitizer builds need GCC or Clang")
endif()

add_library(orvane_compile_options INTERFACE)
if(MSVC)
  target_compile_options(orvane_compile_options INTERFACE /W4 /utf-8 /permissive-)
  if(ORVANE_WERROR)
    target_compile_options(orvane_compile_options INTERFACE /WX)
  endif()
else()
  target_compile_options(orvane_compile_options INTERFACE -Wall -Wextra -Wshadow -Wold-style-cast -Woverloaded-virtual
    -Wnon-virtual-dtor -Wcast-qual -Wconversion)
  if(ORVANE_WERROR)
    target_compile_options(orvane_compile_options INTERFACE -Werror)
  endif()
endif()
# Every text with Chinese in it, or any other text, becomes a QString deliberately.
target_compile_definitions(orvane_compile_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)

# float-cast-overflow is not part of GCC's "undefined": a double out of an
# integer's range converted to it is caught only when named.
if(ORVANE_ASAN_UBSAN)
  target_compile_options(orvane_compile_options INTERFACE
    -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow
    -fno-omit-frame-pointer)
  target_link_options(orvane_compile_options INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()
if(ORVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVANE_FUZZ needs clang (libFuzzer)")
  endif()
  target_compile_options(orvane_compile_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined,float-cast-overflow -fno-sanitize-recover=undefined,float-cast-overflow
    -fno-omit-frame-pointer)
  target_link_options(orvane_compile_options INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()
if(ORVANE_TSAN)
  target_compile_options(orvane_compile_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(orvane_compile_options INTERFACE -fsanitize=thread)
endif()
