# Installs the build into a scratch prefix and checks where the screen saver's files land:
# the program in XScreenSaver's folder of hacks with a link in bin/, its settings description
# (well-formed XML) in share/xscreensaver/config/, and the jewels with the file naming them.
# Run as a test with -DBUILD=<build tree> -DPREFIX=<scratch folder> -DXMLLINT=<xmllint>.

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed")
endif()
foreach(path libexec/xscreensaver/sstovel bin/sstovel share/xscreensaver/config/sstovel.xml
             etc/tovel/installdirectory)
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "${path} was not installed")
    endif()
endforeach()
file(GLOB jewels ${PREFIX}/share/tovel/Jewels/*.gem)
if(NOT jewels)
    message(FATAL_ERROR "no jewels were installed")
endif()
file(READ_SYMLINK ${PREFIX}/bin/sstovel target)
if(NOT target STREQUAL "../libexec/xscreensaver/sstovel")
    message(FATAL_ERROR "bin/sstovel links to ${target}")
endif()
execute_process(COMMAND ${XMLLINT} --noout ${PREFIX}/share/xscreensaver/config/sstovel.xml
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "sstovel.xml is not well-formed XML")
endif()
file(REMOVE_RECURSE ${PREFIX})
