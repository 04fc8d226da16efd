# Writes the default prefs.dat into a program directory's data/ unless one is there already, so a
# fresh installation starts with the first-run questions and a user's settings are never replaced.
# Usage: cmake -DPROGRAM_DIR=<dir the program runs from> [-DSTAGING_DIR=<where it is written now>]
#        -P default-prefs.cmake
if(NOT STAGING_DIR)
    set(STAGING_DIR "${PROGRAM_DIR}")
endif()
set(prefs "${STAGING_DIR}/data/prefs.dat")
if(NOT EXISTS "${prefs}")
    string(ASCII 13 cr)
    set(crlf "${cr}\n")
    file(WRITE "${prefs}"
        "${PROGRAM_DIR}/data/Tessel.gif${crlf}/etc/hosts${crlf}80${crlf}80${crlf}keepHostsFile: NotSet${crlf}")
endif()
