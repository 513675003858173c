# Fails when a source file includes a folder it may not, or when files include each other
# in a circle. Run as a script: cmake -DROOT=<checkout> -P include_rules.cmake
#
# The folders stand in layers, and includes only go down:
#   base                      shared types and helpers; includes only base
#   sync, settings, secure    engines on base
#   run                       a run of the definitions, on sync and base
#   ui                        every window; may include everything
#   tools/<name>              console runners; anything but ui
# A file may always include the files of its own folder.

set(allowed_base base)
set(allowed_sync sync base)
set(allowed_settings settings base)
set(allowed_secure secure base)
set(allowed_run run sync base)
set(allowed_ui ui run sync settings secure base)
set(allowed_tools run sync settings secure base)
set(src_folders base sync settings secure run ui)

if(NOT ROOT)
    message(FATAL_ERROR "ROOT (the checkout) is not set")
endif()

file(GLOB_RECURSE sources RELATIVE ${ROOT}
    ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp)
list(SORT sources)

# The layer of a file: its src folder, or "tools" for every runner.
function(layer_of path result)
    if(path MATCHES "^src/([^/]+)/")
        set(${result} ${CMAKE_MATCH_1} PARENT_SCOPE)
    elseif(path MATCHES "^tools/")
        set(${result} tools PARENT_SCOPE)
    else()
        set(${result} "" PARENT_SCOPE)
    endif()
endfunction()

set(problems "")
set(nodes "")
foreach(source ${sources})
    layer_of(${source} layer)
    list(FIND src_folders "${layer}" known)
    if(known EQUAL -1 AND NOT layer STREQUAL "tools")
        list(APPEND problems "${source}: lies in no folder of the layout")
        continue()
    endif()
    get_filename_component(own_folder ${source} DIRECTORY)
    list(APPEND nodes ${source})
    set(edges_${source} "")

    # Sources are UTF-8: read as such, a Japanese comment stays one line.
    file(STRINGS ${ROOT}/${source} lines ENCODING UTF-8
         REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${lines})
        if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(included ${CMAKE_MATCH_1})
        elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>")
            # The platform's and the library's headers; one of ours in brackets still counts.
            set(included ${CMAKE_MATCH_1})
            if(NOT included MATCHES "^(base|sync|settings|secure|run|ui)/")
                continue()
            endif()
        else()
            continue()
        endif()
        # "folder/file.h" from src, or a file of the including file's own folder.
        if(EXISTS ${ROOT}/${own_folder}/${included})
            get_filename_component(target ${ROOT}/${own_folder}/${included} ABSOLUTE)
        elseif(EXISTS ${ROOT}/src/${included})
            get_filename_component(target ${ROOT}/src/${included} ABSOLUTE)
        else()
            list(APPEND problems "${source}: includes \"${included}\", which is no file of src")
            continue()
        endif()
        file(RELATIVE_PATH target ${ROOT} ${target})
        layer_of(${target} target_layer)
        get_filename_component(target_folder ${target} DIRECTORY)
        if(NOT target_folder STREQUAL own_folder)
            list(FIND allowed_${layer} "${target_layer}" permitted)
            if(permitted EQUAL -1 OR NOT target MATCHES "^src/")
                string(JOIN ", " may ${allowed_${layer}})
                list(APPEND problems "${source}: includes ${target}, but ${layer} may include only ${may}")
            endif()
        endif()
        list(APPEND edges_${source} ${target})
    endforeach()
endforeach()

# Files in a circle: take away, again and again, every file that includes none of the files
# left, and every file that none of the files left includes; what remains includes itself
# through others.
set(left ${nodes})
set(changed TRUE)
while(changed)
    set(changed FALSE)
    set(included_by_left "")
    foreach(node ${left})
        list(APPEND included_by_left ${edges_${node}})
    endforeach()
    set(still "")
    foreach(node ${left})
        set(includes_left FALSE)
        foreach(target ${edges_${node}})
            list(FIND left ${target} pending)
            if(NOT pending EQUAL -1)
                set(includes_left TRUE)
                break()
            endif()
        endforeach()
        list(FIND included_by_left ${node} included)
        if(includes_left AND NOT included EQUAL -1)
            list(APPEND still ${node})
        else()
            set(changed TRUE)
        endif()
    endforeach()
    set(left ${still})
endwhile()
foreach(node ${left})
    set(circle "")
    foreach(target ${edges_${node}})
        list(FIND left ${target} pending)
        if(NOT pending EQUAL -1)
            list(APPEND circle ${target})
        endif()
    endforeach()
    string(JOIN ", " circle ${circle})
    list(APPEND problems "${node}: in a circle of includes, through ${circle}")
endforeach()

list(LENGTH sources checked)
if(problems)
    string(REPLACE ";" "\n  " listed "${problems}")
    message(FATAL_ERROR "includes against the layout:\n  ${listed}")
endif()
message(STATUS "${checked} files include only what their folders may")
