# Benchmarks of the image effects and the batch.
add_executable(effects_bench EffectsBench.cpp)
target_link_libraries(effects_bench PRIVATE quill_effects)
if(WIN32)
  add_executable(batch_bench BatchBench.cpp)
  target_link_libraries(batch_bench PRIVATE quill_capture)
endif()
