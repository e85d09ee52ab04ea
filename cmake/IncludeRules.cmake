# Fails when a file outside platform/ includes SDL, OpenGL, GTK or a library behind them, or a
# platform backend's own header. Run by the build (target tovel_include_rules) with -DROOT=<tree>.
# The platform's own tests (tests/platform) exercise the backends and may include them.

set(forbidden [[^[ \t]*#[ \t]*include[ \t]*[<"](SDL[^/]*\.h|SDL2/|epoxy/|GL/|GLES|EGL/|gtk/|gdk/|glib|gio/|cairo|pango|fontconfig/|X11/|platform/[a-z]+/(gl|sdl|backend)/)]])

file(GLOB_RECURSE sources RELATIVE ${ROOT} LIST_DIRECTORIES false
     ${ROOT}/*.cpp ${ROOT}/*.h)
set(offences "")
foreach(source IN LISTS sources)
    if(source MATCHES "^(platform|tests/platform|build[^/]*)/" OR source MATCHES "^\\.")
        continue()
    endif()
    file(STRINGS ${ROOT}/${source} lines REGEX "${forbidden}")
    foreach(line IN LISTS lines)
        string(APPEND offences "  ${source}: ${line}\n")
    endforeach()
endforeach()
if(offences)
    message(FATAL_ERROR "Only platform/ may include SDL, GL, GTK or a platform backend's headers; "
                        "go through a platform interface instead:\n${offences}")
endif()
