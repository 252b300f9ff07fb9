# Plays a copy of the demo headless and keeps two screens of it, the pictures the AppStream
# metadata shows: a message, and the menu. Run by the build as
#   cmake -DPLAYER=... -DDEMO=... -DOUT=... -P demo_screenshots.cmake
# A copy, because a run writes the story's data folder and settings.
set(run ${OUT}/run)
file(REMOVE_RECURSE ${run})
file(MAKE_DIRECTORY ${run})
file(GLOB demo_files ${DEMO}/*.png ${DEMO}/*.wav ${DEMO}/demo.zp7)
file(COPY ${demo_files} DESTINATION ${run})
file(WRITE ${run}/events.txt
  "2500 click 320 180\n3000 shot ${OUT}/demo-message.png\n"
  "5000 click 320 180\n7200 shot ${OUT}/demo-menu.png\n7300 quit\n")
execute_process(COMMAND ${PLAYER} --headless --events ${run}/events.txt ${run}/demo.zp7
                RESULT_VARIABLE status)
file(REMOVE_RECURSE ${run})
if(NOT status EQUAL 0 OR NOT EXISTS ${OUT}/demo-message.png OR NOT EXISTS ${OUT}/demo-menu.png)
  message(FATAL_ERROR "the demo did not give its screenshots (exit status ${status})")
endif()
