# Fails when the screen saver carries any of the instrument's code. Run as a test with
# -DPROGRAM=<sstovel> -DNM=<nm>.

execute_process(COMMAND ${NM} -C ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm could not read ${PROGRAM}")
endif()
# What it must carry, so that an unreadable symbol table cannot pass for a clean one.
foreach(name CJewelManager CGraphics HsvToRgb)
    string(FIND "${symbols}" "${name}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${PROGRAM} lacks ${name}: the symbol table was not read")
    endif()
endforeach()
foreach(name CSynthesizer CTimbre CPlayTask AudioEngine SourceVoice Reverb CSynthesizerKeyboard
             CKeyboardKey CTimbrePalette CHarmonicsControl)
    string(FIND "${symbols}" "${name}" at)
    if(NOT at EQUAL -1)
        string(SUBSTRING "${symbols}" ${at} 120 context)
        message(FATAL_ERROR "${PROGRAM} carries the instrument's ${name}: ${context}")
    endif()
endforeach()
