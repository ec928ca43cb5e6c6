# harvex_install_stripped(<target>)
# Strips an installed program the way Debian's tools do (symbols, .comment and
# .note sections), in the staging folder too (DESTDIR).
function(harvex_install_stripped target)
  if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "no strip program found: installed programs would keep their debug information")
  endif()
  install(CODE "
    set(installed \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment
                            --remove-section=.note \"\${installed}\"
                    RESULT_VARIABLE stripped)
    if(NOT stripped EQUAL 0)
      message(FATAL_ERROR \"could not strip \${installed}\")
    endif()")
endfunction()
