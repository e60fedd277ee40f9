# The images are drawn at build time with Pillow. VELMORA_IMAGE_PYTHON is the
# first python3 on the path that can import it: an interpreter found earlier
# on the path may lack it.
include_guard(GLOBAL)

function(velmora_python_has_pillow result python)
  execute_process(COMMAND ${python} -c "import PIL" RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

find_program(VELMORA_IMAGE_PYTHON python3 VALIDATOR velmora_python_has_pillow)
if(NOT VELMORA_IMAGE_PYTHON)
  message(FATAL_ERROR "Drawing the images needs Python 3 with Pillow (Debian package python3-pil; `./run deps` installs it).")
endif()
