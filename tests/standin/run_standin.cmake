# Runs the real stand-in player with the real component module and checks what it does.
#   cmake -DSTANDIN=<program> [-DEMULATOR=<runner>] -DWORK_DIR=<scratch folder> -P run_standin.cmake
# Checks: the factory chain is walked (version record, page, start-up service), start-up and
# shut-down run, the settings file written at exit holds the default blob byte for byte, a
# second run reads it back and writes it unchanged, --port lands in the port record, a check
# box ticked on the preferences page is saved, and the command line's errors are reported with
# exit status 2.

cmake_minimum_required(VERSION 3.25)

# The seven default settings as the component saves them: four integer records (0), then the
# title format, the music folder and the port.
set(default_blob
    "acfd71a594b4314dbfa71d944fce3a4b0400000000000000"
    "38bb959255c1984482692a6a0ea8109b0400000000000000"
    "65215de9f351d04a972a32d7e10432920400000000000000"
    "3ac685d7050dbd4db08646f2d95268400400000000000000"
    "c662533c435b3f4ba7c095414a4f63c029000000"
    "24696632282561727469737425202d20257469746c65252c20255f66696c656e616d655f6578742529"
    "c5a1e9052774794cb84faa358ac3db6d06000000483a5c6d7033"
    "da8a283a702d9f419a23117590c800a904000000434f4d34")
string(JOIN "" default_blob ${default_blob})

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(run_player out_var status_var)
    execute_process(
        COMMAND ${EMULATOR} "${STANDIN}" ${ARGN}
        WORKING_DIRECTORY "${WORK_DIR}"
        OUTPUT_VARIABLE output
        ERROR_VARIABLE errors
        RESULT_VARIABLE status
        TIMEOUT 120)
    set(${out_var} "${output}${errors}" PARENT_SCOPE)
    set(${status_var} "${status}" PARENT_SCOPE)
endfunction()

function(expect_in text wanted)
    string(FIND "${text}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "expected \"${wanted}\" in the output:\n${text}")
    endif()
endfunction()

function(expect_order text)
    set(last -1)
    foreach(wanted IN LISTS ARGN)
        string(FIND "${text}" "${wanted}" at)
        if(at EQUAL -1 OR at LESS_EQUAL last)
            message(FATAL_ERROR "expected \"${wanted}\" after the lines before it:\n${text}")
        endif()
        set(last ${at})
    endforeach()
endfunction()

function(expect_file_hex file wanted)
    file(READ "${WORK_DIR}/${file}" actual HEX)
    if(NOT actual STREQUAL wanted)
        message(FATAL_ERROR "${file} holds\n${actual}\nexpected\n${wanted}")
    endif()
endfunction()

# First run: no settings file.
run_player(output status --config settings.cfg --time-limit 0.5)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the player failed (${status}):\n${output}")
endif()
expect_order("${output}"
    "standin: component service: componentversion \"Ambrel\" 1.1"
    "standin: component service: preferences_page \"Ambrel\""
    "standin: component service: initquit"
    "Initializing"
    "standin: stopping: time limit reached"
    "Terminating"
    "standin: settings saved to settings.cfg (207 bytes)")
expect_file_hex(settings.cfg "${default_blob}")

# Second run: the file is read back and written again unchanged.
run_player(output status --config settings.cfg --time-limit 0.2)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the second run failed (${status}):\n${output}")
endif()
expect_file_hex(settings.cfg "${default_blob}")

# The port option edits the port record before the component loads its settings.
run_player(output status --config settings.cfg --port ttyTEST9 --time-limit 0.2)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the run with --port failed (${status}):\n${output}")
endif()
string(REPLACE "04000000434f4d34" "080000007474795445535439" port_blob "${default_blob}")
expect_file_hex(settings.cfg "${port_blob}")

# A setting changed on the preferences page, as a user does, is saved at exit; an action the
# page refuses is reported and the run goes on.
run_player(output status --config page.cfg --page-check 1006=1 --page-check 1006=2
           --time-limit 0.2)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the run with page actions failed (${status}):\n${output}")
endif()
expect_in("${output}" "preferences page \"Ambrel\": check 1006=1")
expect_in("${output}" "check 1006=2 failed")
string(REPLACE "3ac685d7050dbd4db08646f2d95268400400000000000000"
               "3ac685d7050dbd4db08646f2d95268400400000001000000" page_blob "${default_blob}")
expect_file_hex(page.cfg "${page_blob}")

# Command-line errors.
run_player(output status --no-such-option)
if(NOT status EQUAL 2)
    message(FATAL_ERROR "an unknown option gave status ${status}:\n${output}")
endif()
expect_in("${output}" "unknown option --no-such-option")
run_player(output status --help)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "--help gave status ${status}")
endif()
expect_in("${output}" "Usage: corvina-standin")
