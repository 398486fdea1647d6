# Puts together one build of the GNOME Shell extension: HEAD + the shared body + TAIL into
# OUT/extension.js, and OUT/metadata.json for the shell versions VERSIONS.
file(READ ${SRC}/${HEAD} _head)
file(READ ${SRC}/follow-body.js _body)
file(READ ${SRC}/${TAIL} _tail)
file(MAKE_DIRECTORY ${OUT})
file(WRITE ${OUT}/extension.js "${_head}\n${_body}\n${_tail}")
set(SHELL_VERSIONS ${VERSIONS})
set(QUAVIX_EXTENSION_VERSION 2)
configure_file(${SRC}/metadata.json.in ${OUT}/metadata.json @ONLY)
