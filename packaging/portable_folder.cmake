# Leaves only the program folder in cpack's staging area, renamed typetoki/,
# so the archive holds nothing a player unpacking it would not use.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
file(GLOB entries LIST_DIRECTORIES true "${root}/*")
file(RENAME "${root}/lib/typetoki" "${root}/.typetoki")
foreach(entry IN LISTS entries)
  file(REMOVE_RECURSE "${entry}")
endforeach()
file(RENAME "${root}/.typetoki" "${root}/typetoki")
