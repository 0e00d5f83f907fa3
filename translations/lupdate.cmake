# Extracts every text marked for translation into one .ts file, keeping the
# translations it already holds. Run by the update_translations target and by
# tst_catalogue; both must read the same sources.
#   cmake -DLUPDATE=... -DSOURCE_DIR=<project root> -DFORM=<form .ui> -DTS=<output .ts> -P lupdate.cmake
foreach(var LUPDATE SOURCE_DIR FORM TS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "lupdate.cmake needs -D${var}=...")
  endif()
endforeach()

# Every folder whose code the window shows texts of.
set(inputs)
foreach(dir app link record api monitor)
  if(IS_DIRECTORY "${SOURCE_DIR}/${dir}")
    list(APPEND inputs "${SOURCE_DIR}/${dir}")
  endif()
endforeach()

# No locations: line numbers would change the catalogue at every edit.
execute_process(
  COMMAND "${LUPDATE}" -silent -locations none -no-obsolete
          -source-language zh_CN -target-language en
          ${inputs} "${FORM}" -ts "${TS}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${result})")
endif()
