# Turns resources/dialogs.rc into a C++ string, with the local headers it
# includes inlined, so that the module carries its templates.
file(READ ${INPUT} script)
get_filename_component(dir ${INPUT} DIRECTORY)
string(REGEX MATCHALL "#include \"[^\"]+\"" includes "${script}")
foreach(inc IN LISTS includes)
  string(REGEX REPLACE "#include \"([^\"]+)\"" "\\1" name "${inc}")
  if(EXISTS ${dir}/${name})
    file(READ ${dir}/${name} body)
    string(REPLACE "${inc}" "${body}" script "${script}")
  endif()
endforeach()
file(WRITE ${OUTPUT}.tmp "// Generated from resources/dialogs.rc; do not edit.\n"
     "extern \"C\" __attribute__((visibility(\"default\"))) const char OrvoResourceScript[] = R\"orvo_rc(${script})orvo_rc\";\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
