# Writes the manual page of vfft with help2man: the program's --help and
# --version, and a section per command from that command's --help.
#   cmake -DVFFT=program -DHELP2MAN=help2man -DOUTPUT=vfft.1 -P manual.cmake
get_filename_component(work ${OUTPUT} DIRECTORY)
set(include ${work}/vfft.1.commands)
file(WRITE ${include} "")
foreach(command demo run vectors)
  execute_process(COMMAND ${VFFT} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "vfft ${command} --help failed: ${result}")
  endif()
  # Shown as written: backslashes escaped, no line read as a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(TOUPPER ${command} title)
  file(APPEND ${include} "[COMMAND ${title}]\n.nf\n${help}.fi\n\n")
endforeach()
execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --name "bit-accurate model of the vfft FFT core"
          --include=${include} --output=${OUTPUT} ${VFFT}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "help2man failed: ${result}")
endif()
