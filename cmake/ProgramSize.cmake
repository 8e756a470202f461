# Fails when the shipped program has grown past its size limit. DownloadSetup.exe is what a user
# fetches before anything else, often over a slow line (at 56 kbit/s, 400 KB take about a minute).
#
#   cmake -DPROGRAM=<DownloadSetup.exe> -DLIMIT=<bytes> -P cmake/ProgramSize.cmake
file(SIZE "${PROGRAM}" size)
get_filename_component(name "${PROGRAM}" NAME)
math(EXPR kb "(${size} + 1023) / 1024")
math(EXPR limit_kb "${LIMIT} / 1024")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${name} is ${size} bytes (${kb} KB), more than its limit of ${LIMIT} bytes (${limit_kb} KB)")
endif()
message("${name}: ${size} bytes (${kb} KB), within its limit of ${limit_kb} KB")
