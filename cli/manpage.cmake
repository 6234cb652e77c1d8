# Turns `tunepress --help` into a manual page: cmake -DPROGRAM=... -DOUTPUT=... -DVERSION=... -P
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed")
endif()
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TIMESTAMP year "%Y")
file(WRITE ${OUTPUT} ".TH TUNEPRESS 1 \"\" \"tunepress ${VERSION}\" \"User Commands\"
.SH NAME
tunepress \\- convert MIDI files to MP3 files, several at once
.SH DESCRIPTION
.nf
${help}.fi
.SH EXAMPLES
.nf
tunepress -b 192 -o ~/mp3 ~/midi
tunepress -n -o ~/mp3 ~/midi
find ~/midi -name '*.kar' -print0 | tunepress -0 --files-from - -j 4 --report report.jsonl
.fi
.SH SEE ALSO
timidity(1), lame(1), parallel(1)
")
