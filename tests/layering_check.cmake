# The layers' include rules, checked on the sources (cmake -P):
#   core    -> core, and no Qt Widgets, Qt SerialPort or threads
#   serial  -> serial, core
#   session -> session, serial, core
#   provision -> provision, session, serial, core
#   gui     -> gui, provision, session, serial, core
#   cli     -> cli, provision, session, serial, core
#   sim, fuzz -> their own folder, core
# A quoted include names a header by its path from the project's root.
# -DROOT=<source dir> -DWIDGETS_DIR=<QtWidgets headers> -DSERIALPORT_DIR=<QtSerialPort headers>
cmake_minimum_required(VERSION 3.25)
set(layers core serial session provision gui cli sim fuzz)
set(allowed_core core)
set(allowed_serial serial core)
set(allowed_session session serial core)
set(allowed_provision provision session serial core)
set(allowed_gui gui provision session serial core)
set(allowed_cli cli provision session serial core)
set(allowed_sim sim core)
set(allowed_fuzz fuzz core)
set(thread_headers thread mutex shared_mutex condition_variable future QThread QMutex QMutexLocker QWaitCondition
  QReadWriteLock QSemaphore QThreadPool QtConcurrent)

set(violations "")
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" found "${line}")
      set(header ${CMAKE_MATCH_1})
      if(line MATCHES "\"")
        # Every project header is included by its path from the root: its
        # first folder is its layer.
        set(target_layer "")
        if(EXISTS ${ROOT}/${header})
          string(REGEX MATCH "^[^/]+" first "${header}")
          if(first IN_LIST layers)
            set(target_layer ${first})
          endif()
        endif()
        if(target_layer STREQUAL "" AND NOT header MATCHES "\\.moc$")
          list(APPEND violations "${source}: \"${header}\" is in no layer")
        elseif(NOT target_layer STREQUAL "" AND NOT target_layer IN_LIST allowed_${layer})
          list(APPEND violations "${source}: ${layer} includes ${target_layer}/${header}")
        endif()
      elseif(layer STREQUAL "core")
        if(EXISTS ${WIDGETS_DIR}/${header} OR header MATCHES "^QtWidgets")
          list(APPEND violations "${source}: the core includes Qt Widgets <${header}>")
        elseif(EXISTS ${SERIALPORT_DIR}/${header} OR header MATCHES "^QtSerialPort")
          list(APPEND violations "${source}: the core includes Qt SerialPort <${header}>")
        elseif(header IN_LIST thread_headers)
          list(APPEND violations "${source}: the core includes a thread header <${header}>")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Layering broken:\n  ${text}")
endif()
message(STATUS "Layering holds")
